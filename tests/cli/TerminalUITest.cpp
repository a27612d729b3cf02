// The terminal's user-interface services: how questions are answered, where picks come from,
// what is printed where, the progress line, and Ctrl-C as the abort key.
#include "pcbhost/cli/TerminalUI.h"
#include "pcbhost/cli/AbortKey.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace pcbhost::cli;
using namespace permutor::host;

namespace {

class TerminalUITest : public ::testing::Test {
protected:
    void SetUp() override { AbortKey::Reset(); }
    void TearDown() override { AbortKey::Reset(); }

    // A UI over string streams; `input` is what the user types.
    IPtr<TTerminalUI> Make(const std::string& input = "", bool terminal = false, bool json = false) {
        In.str(input);
        Console = std::make_unique<TConsole>(TConsole{In, Out, Err, terminal, terminal, false});
        Report = std::make_unique<TReport>(*Console, json, false);
        return MakeObject<TTerminalUI>(Options, *Report);
    }

    TGlobalOptions Options;
    std::istringstream In;
    std::ostringstream Out, Err;
    std::unique_ptr<TConsole> Console;
    std::unique_ptr<TReport> Report;
};

} // namespace

TEST_F(TerminalUITest, BoxesPrintCaptionAndTextErrorsOnStandardError) {
    auto ui = Make();
    ui->ShowMessage(eMessageBox_Information, "3 pins swapped", "Pin Swapper");
    ui->ShowMessage(eMessageBox_Error, "The board has no swap groups", "Error");
    EXPECT_EQ(Out.str(), "Pin Swapper: 3 pins swapped\n");
    EXPECT_EQ(Err.str(), "Error: The board has no swap groups\n");
    EXPECT_TRUE(Report->ErrorShown());
}

TEST_F(TerminalUITest, WarningsDoNotCountAsErrors) {
    auto ui = Make();
    ui->ShowMessage(eMessageBox_Warning, "careful", "Warning");
    EXPECT_FALSE(Report->ErrorShown());
    EXPECT_EQ(Err.str(), "Warning: careful\n");
}

TEST_F(TerminalUITest, JsonCollectsInsteadOfPrinting) {
    auto ui = Make("", false, true);
    ui->ShowMessage(eMessageBox_Error, "bad", "Error");
    EXPECT_TRUE(Out.str().empty());
    EXPECT_TRUE(Err.str().empty());
    Report->Finish(1);
    const auto doc = nlohmann::json::parse(Out.str());
    ASSERT_EQ(doc["messages"].size(), 1u);
    EXPECT_EQ(doc["messages"][0]["kind"], "error");
    EXPECT_EQ(doc["messages"][0]["caption"], "Error");
    EXPECT_EQ(doc["exit_code"], 1);
}

TEST_F(TerminalUITest, AnswerForCaptionWinsOverYesAndNo) {
    Options.No = true;
    Options.Answers = {{"confirm SWAP", true}};
    auto ui = Make();
    EXPECT_EQ(ui->AskQuestion("Swap U1-1 and U1-2?", "Confirm Swap", eButtons_YesNo), eModal_Yes);
    EXPECT_EQ(ui->AskQuestion("Continue?", "Other", eButtons_YesNo), eModal_No);
    EXPECT_EQ(ui->AskQuestion("Go on?", "Other", eButtons_OKCancel), eModal_Cancel);
}

TEST_F(TerminalUITest, TheLastAnswerForACaptionCounts) {
    Options.Answers = {{"Confirm", true}, {"confirm", false}};
    auto ui = Make();
    EXPECT_EQ(ui->AskQuestion("?", "Confirm", eButtons_OKCancel), eModal_Cancel);
}

TEST_F(TerminalUITest, WithoutTerminalOrOptionsQuestionsTakeTheirDefault) {
    auto ui = Make("n\n", false);
    EXPECT_EQ(ui->AskQuestion("Proceed?", "Q", eButtons_YesNo), eModal_Yes);
    EXPECT_EQ(In.tellg(), 0); // nothing was read: there is no terminal to ask
    EXPECT_NE(Out.str().find("Q: Proceed? -> Yes (default)"), std::string::npos);
}

TEST_F(TerminalUITest, OnATerminalQuestionsAreAskedUntilAnswered) {
    auto ui = Make("perhaps\nno\n\n", true);
    EXPECT_EQ(ui->AskQuestion("Proceed?", "Q", eButtons_YesNo), eModal_No);
    EXPECT_NE(Err.str().find("Q: Proceed? [Y/n]"), std::string::npos);
    EXPECT_NE(Err.str().find("Please answer yes or no."), std::string::npos);
    // An empty line takes the default.
    EXPECT_EQ(ui->AskQuestion("Again?", "Q", eButtons_OKCancel), eModal_OK);
    // End of input takes the default too.
    EXPECT_EQ(ui->AskQuestion("Once more?", "Q", eButtons_YesNo), eModal_Yes);
}

TEST_F(TerminalUITest, UserInterfaceIsAbsentInBatchAndWithoutAnyWayToAnswer) {
    EXPECT_FALSE(Make("", false)->HasUserInterface());
    EXPECT_TRUE(Make("", true)->HasUserInterface());
    Options.Yes = true;
    EXPECT_TRUE(Make("", false)->HasUserInterface());
    Options.Batch = true;
    EXPECT_FALSE(Make("", true)->HasUserInterface());
}

TEST_F(TerminalUITest, PicksAreUsedInOrderAndAnExhaustedListCancels) {
    TPickOption a, b;
    std::string error;
    ASSERT_TRUE(Pick_Parse("U1-2", a, error));
    ASSERT_TRUE(Pick_Parse("1,-2,In1.Cu", b, error));
    Options.Picks = {a, b};
    auto ui = Make("5,5\n", true);
    std::vector<std::string> resolved;
    ui->SetPickResolver([&](const TPickOption& p, TCoord& x, TCoord& y, std::string&) {
        resolved.push_back(p.Text);
        x = 111;
        y = 222;
        return true;
    });
    std::int32_t x = 0, y = 0;
    ASSERT_TRUE(ui->ChooseLocation("Pick a pin", x, y));
    EXPECT_EQ(x, 111);
    EXPECT_EQ(y, 222);
    EXPECT_EQ(ui->PendingPicks(), 1u);
    ASSERT_TRUE(ui->ChooseLocation("Pick another", x, y));
    EXPECT_EQ(x, std::int32_t(std::lround(1 * cUnitsPerMM)));
    EXPECT_EQ(y, std::int32_t(std::lround(-2 * cUnitsPerMM)));
    EXPECT_EQ(ui->LastPickLayer(), eV6_MidLayer1);
    // The list is the whole script: the terminal is not asked once it runs out.
    EXPECT_FALSE(ui->ChooseLocation("Pick a third", x, y));
    EXPECT_EQ(In.tellg(), 0);
    EXPECT_EQ(resolved, std::vector<std::string>{"U1-2"});
}

TEST_F(TerminalUITest, APickThatNamesNothingCancelsAndIsReported) {
    TPickOption a;
    std::string error;
    ASSERT_TRUE(Pick_Parse("U9-1", a, error));
    Options.Picks = {a};
    auto ui = Make();
    ui->SetPickResolver([](const TPickOption&, TCoord&, TCoord&, std::string& why) {
        why = "the board has no component U9";
        return false;
    });
    std::int32_t x = 0, y = 0;
    EXPECT_FALSE(ui->ChooseLocation("Pick", x, y));
    EXPECT_NE(Err.str().find("--pick U9-1: the board has no component U9"), std::string::npos);
    EXPECT_TRUE(Report->ErrorShown());
}

TEST_F(TerminalUITest, WithoutPicksATerminalIsPrompted) {
    auto ui = Make("nonsense\n2.5,0\n", true);
    std::int32_t x = 0, y = 0;
    ASSERT_TRUE(ui->ChooseLocation("Pick a pin", x, y));
    EXPECT_EQ(x, std::int32_t(std::lround(2.5 * cUnitsPerMM)));
    EXPECT_EQ(y, 0);
    EXPECT_NE(Err.str().find("Pick a pin [REF-PAD or X,Y in mm; empty cancels]"), std::string::npos);
    // Without a terminal nothing is asked and the pick cancels.
    auto quiet = Make("1,1\n", false);
    EXPECT_FALSE(quiet->ChooseLocation("Pick", x, y));
}

TEST_F(TerminalUITest, ChoosingAmongTakesTheFirstWithoutATerminal) {
    auto ui = Make("", false);
    EXPECT_EQ(ui->ChooseAmong("Which?", {"Pad U1-1", "Track"}), 0);
    EXPECT_EQ(ui->ChooseAmong("Which?", {}), -1);
    auto asked = Make("7\n1\n", true);
    EXPECT_EQ(asked->ChooseAmong("Which?", {"Pad U1-1", "Track"}), 1);
    EXPECT_NE(Err.str().find("[1] Track"), std::string::npos);
}

TEST_F(TerminalUITest, APickMeansTheObjectItNamesWhereSeveralLie) {
    TPickOption pad, point;
    std::string error;
    ASSERT_TRUE(Pick_Parse("U1-2", pad, error));
    ASSERT_TRUE(Pick_Parse("0.5,0", point, error));
    Options.Picks = {pad, point};
    auto ui = Make("", true);
    ui->SetPickResolver([](const TPickOption&, TCoord& x, TCoord& y, std::string&) {
        x = y = 0;
        return true;
    });
    std::int32_t x = 0, y = 0;
    ASSERT_TRUE(ui->ChooseLocation("Pick", x, y));
    // The pad named, not its footprint nor a pad whose name only starts the same.
    EXPECT_EQ(
        ui->ChooseAmong("Which?", {"Component U1", "Pad U1-20 (1, 1) on F.Cu", "Pad U1-2 (0, 2) on F.Cu"}),
        2);
    ASSERT_TRUE(ui->ChooseLocation("Pick", x, y));
    // A point given on the command line means the copper there, not a ratsnest line.
    EXPECT_EQ(ui->ChooseAmong("Which?",
                              {"Component U1", "Connection (0, 0)-(1, 1)", "Track (0, 0)-(1, 0) on F.Cu"}),
              2);
    EXPECT_EQ(Err.str().find("[1]"), std::string::npos); // nobody was asked

    // A pad typed at the prompt is meant too, in any letter case.
    Options.Picks.clear();
    auto typed = Make("u1-2\n", true);
    typed->SetPickResolver([](const TPickOption&, TCoord& x, TCoord& y, std::string&) {
        x = y = 0;
        return true;
    });
    ASSERT_TRUE(typed->ChooseLocation("Pick", x, y));
    EXPECT_EQ(typed->ChooseAmong("Which?", {"Component U1", "Pad U1-2 (0, 2) on F.Cu"}), 1);
}

TEST_F(TerminalUITest, APromptListsTheHighlightAndShowsWhatCameBefore) {
    auto ui = Make("\n", true);
    int hooks = 0;
    ui->SetBeforePick([&] { ++hooks; });
    ui->SetHighlightDescriber([](const std::vector<std::uintptr_t>& objects) {
        std::vector<std::string> r;
        for (std::uintptr_t id : objects)
            r.push_back("U1-" + std::to_string(id) + " N" + std::to_string(id));
        return r;
    });
    ui->Highlight_Show({1, 2});
    std::int32_t x = 0, y = 0;
    EXPECT_FALSE(ui->ChooseLocation("Choose Sub-Net to move", x, y));
    EXPECT_EQ(hooks, 1);
    const std::string err = Err.str();
    const auto listing = err.find("Highlighted (2): U1-1 N1, U1-2 N2\n");
    ASSERT_NE(listing, std::string::npos) << err;
    EXPECT_LT(listing, err.find("Choose Sub-Net to move ["));
    // Picks given on the command line list nothing (unless --verbose).
    Err.str("");
    TPickOption pick;
    std::string error;
    ASSERT_TRUE(Pick_Parse("1,1", pick, error));
    Options.Picks = {pick};
    auto scripted = Make("", true);
    scripted->SetHighlightDescriber(
        [](const std::vector<std::uintptr_t>&) { return std::vector<std::string>{"X"}; });
    scripted->Highlight_Show({1});
    ASSERT_TRUE(scripted->ChooseLocation("Pick", x, y));
    EXPECT_EQ(Err.str().find("Highlighted"), std::string::npos);
    EXPECT_EQ(Out.str().find("Highlighted"), std::string::npos);
}

TEST_F(TerminalUITest, ProgressIsDrawnOnlyOnATerminal) {
    auto plain = Make("", false);
    plain->Progress_Begin("Optimising", 10);
    plain->Progress_Step(5);
    plain->Status_Text("pass 1");
    plain->Progress_End();
    EXPECT_TRUE(Err.str().empty());

    auto terminal = Make("", true);
    terminal->Progress_Begin("Optimising", 4);
    terminal->Progress_Step(2);
    terminal->Progress_End();
    const std::string drawn = Err.str();
    EXPECT_NE(drawn.find("Optimising ["), std::string::npos);
    EXPECT_NE(drawn.find("0%"), std::string::npos);
    // The line is cleared when the work ends.
    EXPECT_EQ(drawn.substr(drawn.size() - 4), "\r\x1b[K");
}

TEST_F(TerminalUITest, ProgressRedrawsAreThrottled) {
    auto ui = Make("", true);
    ui->Progress_Begin("Work", 100000);
    for (int i = 0; i < 100000; ++i)
        ui->Progress_Step(1);
    ui->Progress_End();
    std::size_t draws = 0;
    for (std::size_t p = Err.str().find("Work ["); p != std::string::npos;
         p = Err.str().find("Work [", p + 1))
        ++draws;
    EXPECT_GE(draws, 1u);
    EXPECT_LT(draws, 1000u);
}

TEST_F(TerminalUITest, CtrlCDuringWorkIsSeenOnceByTheModule) {
    auto ui = Make();
    EXPECT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Terminate); // no work: ends the program
    ui->BeginWork();
    EXPECT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Noted);
    EXPECT_TRUE(ui->AbortKey_Pressed());
    EXPECT_FALSE(ui->AbortKey_Pressed());
    // A second press before the module saw the first one ends the program.
    EXPECT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Noted);
    EXPECT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Terminate);
    EXPECT_TRUE(ui->AbortKey_Pressed());
    ui->EndWork();
    EXPECT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Terminate);
}

TEST_F(TerminalUITest, CtrlCWhileAQuestionWaitsEndsTheProgram) {
    auto ui = Make();
    ui->Progress_Begin("Work", 10);
    AbortKey::BeginQuestion();
    EXPECT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Terminate);
    AbortKey::EndQuestion();
    EXPECT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Noted);
    ui->Progress_End();
    EXPECT_TRUE(ui->AbortKey_Pressed());
}

// ---- the abort key's question and what follows it ----

TEST_F(TerminalUITest, WithoutATerminalCtrlCAnswersTheAbortQuestionAndStopsTheRun) {
    Options.Batch = true;
    auto ui = Make();
    ui->BeginWork();
    EXPECT_FALSE(ui->HasUserInterface());
    ASSERT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Noted);
    ASSERT_TRUE(ui->AbortKey_Pressed());
    // The module asks its question of the host now, and the key press is the answer.
    EXPECT_TRUE(ui->HasUserInterface());
    EXPECT_EQ(ui->AskQuestion("Abort Pin/Net Optimization Yes/No?", "Confirm", eButtons_YesNo), eModal_Yes);
    EXPECT_TRUE(ui->Stopped());
    EXPECT_NE(Out.str().find("Confirm: Abort Pin/Net Optimization Yes/No? -> Yes (Ctrl-C)"),
              std::string::npos)
        << Out.str();
    // The partial result is kept (the question's default) and no further phase starts.
    EXPECT_TRUE(ui->HasUserInterface());
    EXPECT_EQ(ui->AskQuestion("Do you wish to continue with the partial results?",
                              "Confirm Continue With Net/Pin Assignment", eButtons_YesNo),
              eModal_Yes);
    EXPECT_EQ(
        ui->AskQuestion("Continue with iterative optimizer", "Confirm Iterative Optimizer?", eButtons_YesNo),
        eModal_No);
    // Once stopping, another Ctrl-C quits at once.
    EXPECT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Terminate);
    ui->EndWork();
    // The next command starts afresh.
    ui->BeginWork();
    EXPECT_FALSE(ui->Stopped());
    EXPECT_FALSE(ui->HasUserInterface());
    ui->EndWork();
}

TEST_F(TerminalUITest, AnswersGivenInAdvanceStillHoldAfterCtrlCExceptForTheNextPhase) {
    Options.No = true;
    Options.Answers = {{"Confirm Iterative Optimizer?", true}};
    auto ui = Make();
    ui->BeginWork();
    ASSERT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Noted);
    ASSERT_TRUE(ui->AbortKey_Pressed());
    // --no does not outvote the key: nobody could have answered this question in advance.
    EXPECT_EQ(ui->AskQuestion("Abort Pin/Net Optimization Yes/No?", "Confirm", eButtons_YesNo), eModal_Yes);
    EXPECT_EQ(ui->AskQuestion("Keep?", "Confirm Continue With Net/Pin Assignment", eButtons_YesNo),
              eModal_No);
    EXPECT_EQ(ui->AskQuestion("Go on?", "Confirm Iterative Optimizer?", eButtons_YesNo), eModal_Yes);
    ui->EndWork();
}

TEST_F(TerminalUITest, OnATerminalTheAbortQuestionIsAskedWithNoAsItsDefault) {
    auto ui = Make("\n", true);
    ui->BeginWork();
    ASSERT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Noted);
    ASSERT_TRUE(ui->AbortKey_Pressed());
    // An empty line goes on working, as the box's default does; a later press is noted again.
    EXPECT_EQ(ui->AskQuestion("Abort Pin/Net Optimization Yes/No?", "Confirm", eButtons_YesNo), eModal_No);
    EXPECT_NE(Err.str().find("Confirm: Abort Pin/Net Optimization Yes/No? [y/N]"), std::string::npos)
        << Err.str();
    EXPECT_FALSE(ui->Stopped());
    ASSERT_EQ(AbortKey::OnInterrupt(), AbortKey::eInterrupt_Noted);
    ASSERT_TRUE(ui->AbortKey_Pressed());
    // End of input leaves the key press standing.
    EXPECT_EQ(ui->AskQuestion("Abort Pin/Net Optimization Yes/No?", "Confirm", eButtons_YesNo), eModal_Yes);
    EXPECT_TRUE(ui->Stopped());
    // On a terminal the follow-up questions are the user's own, with their usual default.
    EXPECT_EQ(ui->AskQuestion("Go on?", "Confirm Iterative Optimizer?", eButtons_YesNo), eModal_Yes);
    ui->EndWork();
}

// Ctrl-C is held back while files are written: the program ends once the save is complete.
TEST(AbortKeyHold, ACtrlCDuringASaveEndsTheProgramOnlyAfterIt) {
    EXPECT_EXIT(
        {
            AbortKey::Reset();
            AbortKey::Install(false);
            {
                AbortKey::THold hold;
                std::raise(SIGINT);
                std::fputs("all files written\n", stderr);
            }
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "all files written");
}

// ---- the progress line ----

TEST_F(TerminalUITest, NestedProgressShowsTheInnerDisplayAndThenTheOuterOneAgain) {
    auto ui = Make("", true);
    ui->Progress_Begin("Building Swap Data...", 10);
    ui->Progress_Step(5);
    ui->Progress_Begin("Local Pin/Net Optimizer...", 4);
    ui->Progress_Step(4);
    EXPECT_NE(Err.str().find("Local Pin/Net Optimizer... ["), std::string::npos);
    Err.str("");
    ui->Progress_End();
    EXPECT_NE(Err.str().find("Building Swap Data... [###############"), std::string::npos) << Err.str();
    EXPECT_NE(Err.str().find(" 50%"), std::string::npos) << Err.str();
    ui->Progress_End();
    // One after the other, each display starts at nought.
    ui->Progress_Begin("Iterative Pin/Net Optimizer...", 0);
    ui->Progress_Step(7);
    ui->Progress_End();
    ui->Progress_Begin("Updating PCB with Pin/Net Changes...", 3);
    EXPECT_NE(Err.str().find("Updating PCB with Pin/Net Changes... [          "), std::string::npos);
    ui->Progress_End();
    ui->Progress_End(); // one end too many changes nothing
    EXPECT_EQ(Err.str().substr(Err.str().size() - 4), "\r\x1b[K");
}

TEST_F(TerminalUITest, TheStatusTextFollowsTheBarAndTheLineFitsTheTerminal) {
    auto ui = Make("", true);
    Console->ErrorColumns = 60;
    ui->StatusBar_SetPanelText(3, "T:1000 Crossovers:12 Cost:3.5 Moves:4 Iterations:100 and a long tail");
    ui->Progress_Begin("Iterative Pin/Net Optimizer...", 0);
    const std::string drawn = Err.str();
    const auto last = drawn.rfind('\r');
    ASSERT_NE(last, std::string::npos);
    const std::string line = drawn.substr(last + 1, drawn.find("\x1b[K", last) - last - 1);
    EXPECT_EQ(line.rfind("Iterative Pin/Net Optimizer... (0)  T:1000", 0), 0u) << line;
    EXPECT_EQ(line.size(), 59u);
    ui->Progress_End();
}

TEST(ModuleTexts, CarriageReturnsBecomeLinesUnderTheCaption) {
    EXPECT_EQ(
        MessageText_Lines("Length Reduced mm \r\rCross-Overs Reduced\r\rElapsed Time: 00:00:03"),
        (std::vector<std::string>{"Length Reduced mm", "Cross-Overs Reduced", "Elapsed Time: 00:00:03"}));
    EXPECT_EQ(MessageText_Show("Results", "A \r\rB"), "Results:\n  A\n  B");
    EXPECT_EQ(MessageText_Show("Q", "Go on?", "-> Yes (default)"), "Q: Go on? -> Yes (default)");
    EXPECT_EQ(MessageText_Show("", "one\rtwo"), "one\n  two");
}

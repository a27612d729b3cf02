// The external-tool swappers on a board built in code, against the stand-in tool running as its
// own process with the shared block in the test's folder. U1's seven pins sit on N1..N7, wired to
// the connector J1; its configuration file puts pins 1-4 (and 5, locked) in one bank and 6-7 in
// another.
#include "SwapperFixture.h"

#include "../provider/KestrelProcess.h"

#include "permutor/interactive/KestrelSwapper.h"

#include <fstream>
#include <sstream>

#include <unistd.h>

using namespace permutor::interactive;
using namespace permutor::interactive::testing;
using namespace kestreltest;
using permutor::provider::TKestrelProvider;

namespace {

constexpr const char* cSource = "KESTREL Pin/Net Swapper";
const std::string cMove = "Choose Sub-Net to move";
const std::string cTarget1 = "Choose Target Net for Sub-Net U1-1";

class KestrelSwapperTest : public TSwapperFixture {
protected:
    void SetUp() override {
        TSwapperFixture::SetUp();
        PinComponent("U1", std::vector<std::string>(7, ""), {"N1", "N2", "N3", "N4", "N5", "N6", "N7"})
            .ChildItem(Folder.Write("notes/readme.txt", "-"))
            .ChildItem(Config);
        auto& j1 = Pcb.AddFootprint("J1");
        for (int i = 1; i <= 7; ++i)
            j1.AddPad(std::to_string(i), 10, 2.0 * (i - 1)).Net("N" + std::to_string(i));
        ASSERT_TRUE(Build(eSwap_PinsKESTREL));
    }

    void StartTool(const std::vector<std::string>& args = {}) {
        std::vector<std::string> all{"--log", (Folder.Path() / "kestrel.log").string()};
        all.insert(all.end(), args.begin(), args.end());
        Tool.reset();
        Tool = std::make_unique<TKestrelProcess>(Folder.Path(), all);
        ASSERT_TRUE(Tool->Serving()) << Tool->Errors();
    }
    std::unique_ptr<TKestrelProvider> NewProvider(std::int32_t wait = permutor::provider::cKestrelWaitMs) {
        return std::make_unique<TKestrelProvider>(wait, permutor::provider::cKestrelPollMs,
                                                  Folder.BlockPath());
    }
    template <class TSwapper>
    std::unique_ptr<TSwapper> NewSwapper(std::int32_t wait = permutor::provider::cKestrelWaitMs) {
        return std::make_unique<TSwapper>(*Set, NewProvider(wait));
    }

    std::vector<std::string> U1Nets() {
        std::vector<std::string> r;
        for (int i = 1; i <= 7; ++i)
            r.push_back(NetOf("U1", std::to_string(i)));
        return r;
    }
    std::string ConfigText() const {
        std::ifstream in(Config);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // What was reported before is not looked at again.
    void Mark() {
        FLineMark = SwapperLines().size();
        FBoxMark = UI().Boxes().size();
        FPromptMark = UI().PickPrompts().size();
    }
    std::vector<std::string> Prompts() {
        const auto& all = UI().PickPrompts();
        return std::vector<std::string>(all.begin() + std::ptrdiff_t(FPromptMark), all.end());
    }
    // The tool's message, in the panel and in a box, and nothing else.
    void ExpectOnlyReport(const std::string& text) {
        std::vector<std::string> lines;
        const auto all = SwapperLines();
        for (std::size_t k = FLineMark; k < all.size(); ++k) {
            const auto& line = all[k];
            lines.push_back(line.Text);
            EXPECT_EQ(line.Source, cSource);
            EXPECT_EQ(line.DocumentName, "m.kicad_pcb");
            EXPECT_EQ(line.ImageIndex, 27);
        }
        EXPECT_EQ(lines, std::vector<std::string>{text});
        ASSERT_EQ(UI().Boxes().size(), FBoxMark + 1);
        EXPECT_EQ(UI().Boxes().back().Kind, eMessageBox_Information);
        EXPECT_EQ(UI().Boxes().back().Text, text);
        EXPECT_EQ(UI().Boxes().back().Caption, cSource);
    }
    void ExpectUnchanged() {
        EXPECT_EQ(U1Nets(), Start);
        EXPECT_EQ(Host.PcbServer().UndoStepCount(), 0u);
        EXPECT_TRUE(Pcb.Model().SwapLog().empty());
    }

    TTestFolder Folder;
    std::string Config = Folder.Write("sheet/KESTREL.pincfg", PinConfigText());
    std::unique_ptr<TKestrelProcess> Tool;
    std::size_t FLineMark = 0, FBoxMark = 0, FPromptMark = 0;
    const std::vector<std::string> Start{"N1", "N2", "N3", "N4", "N5", "N6", "N7"};
};

TEST_F(KestrelSwapperTest, TheCandidatesAreHighlightedAndTheConfirmedSwapIsMadeAndReported) {
    StartTool();
    Pick("J1", "2"); // copper without a pin: asked again
    Pick("U1", "1");
    Pick("U1", "3");
    auto swapper = NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>();
    EXPECT_TRUE(swapper->Run());

    EXPECT_EQ(UI().PickPrompts(), (std::vector<std::string>{cMove, cMove, cTarget1}));
    const auto& shows = Pcb.Model().HighlightShows();
    ASSERT_EQ(shows.size(), 2u);
    EXPECT_EQ(HighlightedPads(shows[0]),
              (std::set<std::string>{"U1-1", "U1-2", "U1-3", "U1-4", "U1-5", "U1-6", "U1-7"}));
    EXPECT_EQ(HighlightedPads(shows[1]), (std::set<std::string>{"U1-2", "U1-3", "U1-4"}));

    EXPECT_EQ(U1Nets(), (std::vector<std::string>{"N3", "N2", "N1", "N4", "N5", "N6", "N7"}));
    EXPECT_EQ(PanelTexts(), std::vector<std::string>{"Interactive Pin-Swap:U1-1(N1) With U1-3(N3)"});
    EXPECT_TRUE(UI().Boxes().empty());
    EXPECT_EQ(Host.PcbServer().UndoStepCount(), 1u);
    EXPECT_EQ(Pcb.Model().SwapLog().size(), 1u);
    // One question for the pin (its own pad is not asked) and one confirmation; the tool's file
    // follows the board.
    EXPECT_EQ(swapper->Provider().RequestCount(), 2);
    EXPECT_EQ(swapper->Provider().KESTRELCfgPath(), Config);
    EXPECT_NE(ConfigText().find("<pin name=\"1\" signal=\"S3\"/>"), std::string::npos) << ConfigText();
    EXPECT_NE(ConfigText().find("<pin name=\"3\" signal=\"S1\"/>"), std::string::npos);
}

TEST_F(KestrelSwapperTest, ARefusalOrATargetTheToolDidNotProposeIsNotConfirmed) {
    StartTool({"--refuse"});
    Pick("U1", "1");
    Pick("U1", "2");
    EXPECT_FALSE(NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>()->Run());
    ExpectOnlyReport("Swap was not confirmed by KESTREL.");
    ExpectUnchanged();
    EXPECT_EQ(ConfigText(), PinConfigText());

    StartTool();
    Mark();
    Pick("U1", "1");
    Pick("U1", "6"); // another bank: not highlighted, refused by the candidate check
    auto swapper = NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>();
    EXPECT_FALSE(swapper->Run());
    ExpectOnlyReport("Swap was not confirmed by KESTREL.");
    ExpectUnchanged();
    EXPECT_EQ(swapper->Provider().RequestCount(), 1);
}

TEST_F(KestrelSwapperTest, ALockedPinHasNoCandidatesAndCancellingTheTargetSaysNothing) {
    StartTool();
    Pick("U1", "5");
    EXPECT_FALSE(NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>()->Run());
    EXPECT_EQ(UI().PickPrompts(), std::vector<std::string>{cMove});
    ExpectOnlyReport("No swap candidates for selected pin [U1-5]");
    ExpectUnchanged();

    Mark();
    Pick("U1", "1"); // and no target
    EXPECT_FALSE(NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>()->Run());
    EXPECT_EQ(Prompts(), (std::vector<std::string>{cMove, cTarget1}));
    EXPECT_EQ(SwapperLines().size(), FLineMark);
    EXPECT_EQ(UI().Boxes().size(), FBoxMark);
    ExpectUnchanged();

    // Cancelling the first pick ends the run as completed.
    Mark();
    EXPECT_TRUE(NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>()->Run());
    EXPECT_EQ(Prompts(), std::vector<std::string>{cMove});
    EXPECT_EQ(UI().Boxes().size(), FBoxMark);
}

TEST_F(KestrelSwapperTest, ASilentToolIsNotAvailableAndAnotherConfirmationStatusIsShown) {
    StartTool({"--silent"});
    Pick("U1", "1");
    auto swapper = NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>(300);
    EXPECT_FALSE(swapper->Run());
    ExpectOnlyReport("KESTREL is not avaiable.");
    EXPECT_EQ(UI().PickPrompts(), std::vector<std::string>{cMove});
    EXPECT_EQ(swapper->Provider().RequestCount(), 1); // the loop stopped at the first silence
    ExpectUnchanged();

    // The candidates learnt from a tool that then acknowledges the confirmation with 503.
    StartTool();
    Mark();
    swapper = NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>();
    swapper->Provider().SetKESTRELCfgPath(Config);
    EXPECT_EQ(swapper->Provider().SwapPins("1", "2", true), 200);
    StartTool({"--ack-status", "503"});
    Pick("U1", "1");
    Pick("U1", "2");
    EXPECT_FALSE(swapper->Run());
    ExpectOnlyReport("KESTREL is not avaiable or unknown error code(503).");
    ExpectUnchanged();
}

TEST_F(KestrelSwapperTest, ABlockThatMayNotBeUsedIsExplainedOnceAndTheToolIsNotAvailable) {
    const std::string target = Folder.Write("elsewhere", "x");
    ASSERT_EQ(::symlink(target.c_str(), Folder.BlockPath().c_str()), 0);
    Pick("U1", "1");
    EXPECT_FALSE(NewSwapper<TSwapOptimizer_InteractiveKESTRELPins>()->Run());
    std::vector<TMessageLine> warnings;
    for (const auto& line : Lines("Warning"))
        if (line.Source == cSource)
            warnings.push_back(line);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].Text, "refusing " + Folder.BlockPath() + ": it is a symbolic link");
    ExpectOnlyReport("KESTREL is not avaiable.");
    ExpectUnchanged();
}

TEST_F(KestrelSwapperTest, TheOnePinVariantTakesTheCurrentObjectAndEndsSilentlyWithoutOne) {
    StartTool();
    auto swapper = NewSwapper<TSwapOptimizer_InteractiveKESTRELPin>();
    EXPECT_FALSE(swapper->Run()); // no current object
    EXPECT_TRUE(UI().PickPrompts().empty());
    EXPECT_TRUE(SwapperLines().empty());
    EXPECT_EQ(swapper->Provider().RequestCount(), 0);

    Pcb.Model().SetCurrentObject(&*Pcb.Model().FindComponent("J1")->FindPad("4"));
    EXPECT_FALSE(NewSwapper<TSwapOptimizer_InteractiveKESTRELPin>()->Run()); // copper without a pin
    EXPECT_TRUE(UI().PickPrompts().empty());

    Pcb.Model().SetCurrentObject(&*Pcb.Model().FindComponent("U1")->FindPad("4"));
    Pick("U1", "2");
    EXPECT_TRUE(NewSwapper<TSwapOptimizer_InteractiveKESTRELPin>()->Run());
    EXPECT_EQ(UI().PickPrompts(), std::vector<std::string>{"Choose Target Net for Sub-Net U1-4"});
    EXPECT_EQ(PanelTexts(), std::vector<std::string>{"Interactive Pin-Swap:U1-4(N4) With U1-2(N2)"});
    EXPECT_EQ(U1Nets(), (std::vector<std::string>{"N1", "N4", "N3", "N2", "N5", "N6", "N7"}));
    EXPECT_TRUE(UI().Boxes().empty());
}

TEST_F(KestrelSwapperTest, ThePinConfigurationIsTheFirstChildItemOfThatNameInAnyLetterCase) {
    auto& u2 = Sch.AddComponent("U2");
    u2.ChildItem("/x/KESTREL.pincfg.bak").ChildItem("/y/kestrel.PINCFG").ChildItem("/z/KESTREL.pincfg");
    Sch.AddComponent("U3").ChildItem("/x/other.pincfg");
    Project.Compile();
    auto design = Project.Model().CompiledDocument();
    ASSERT_NE(design, nullptr);
    auto find = [&](const std::string& ref) {
        for (std::int32_t i = 0; i < design->ComponentCount(); ++i)
            if (auto c = design->Component(i); c && c->Designator() == ref)
                return FindPinConfigPath(c.get());
        return std::string("no ") + ref;
    };
    EXPECT_EQ(find("U2"), "/y/kestrel.PINCFG");
    EXPECT_EQ(find("U3"), "");
    EXPECT_EQ(find("U1"), Config);
    EXPECT_EQ(FindPinConfigPath(nullptr), "");
}

} // namespace

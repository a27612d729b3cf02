// The configuration entry end to end, with the dialogs played in the host's own (terminal) form:
// the list and editor driven by typed commands, the confirmations, the single-component flow,
// and how the terminal form reports a mistyped command.
#include "permutor/dialogs/ConfigureEntry.h"

#include "pcbhost/model/DialogPlayer.h"

#include "ModelFixture.h"

#include <filesystem>

namespace {

using namespace permutor::dialogs;
using namespace permutor::model::testing;
using permutor::host::eSwapId_Pin;

class DialogPlayerTest : public TModelFixture {
protected:
    void SetUp() override {
        TModelFixture::SetUp();
        Host.SetOptionsDirectory(Options.string());
        U1 = &Sch.AddComponent("U1", 2).Comment("Quad NAND with a rather long comment").Footprint("SOIC-14");
        auto& fp = Pcb.AddFootprint("U1", *U1).PinSwapEnabled();
        for (int pin = 1; pin <= 6; ++pin) {
            const std::string name = std::to_string(pin);
            auto& p = U1->AddPin(name, pin <= 3 ? 1 : 2);
            if (pin <= 4)
                p.PinSwap("A");
            fp.AddPad(name, 0, 2.0 * pin).Net("N" + name);
        }
        Project.Model().Compile();
    }
    void TearDown() override {
        TModelFixture::TearDown();
        std::filesystem::remove_all(Options);
    }
    bool Run(const std::vector<std::string>& commands, const std::string& uniqueId = "") {
        for (const auto& c : commands)
            Host.UI().QueueDialogCommand(c);
        return ConfigurePinSwap_Run(Pcb.Path(), "", uniqueId);
    }
    const std::string& Transcript() { return Host.UI().DialogTranscript(); }

    std::filesystem::path Options =
        std::filesystem::temp_directory_path() / ("permutor-player-test-" + std::to_string(::getpid()));
    TComponentBuilder* U1 = nullptr;
};

TEST_F(DialogPlayerTest, ListAndEditorCommandsChangeAndWriteTheGroups) {
    EXPECT_TRUE(Run({"open U1", "ungroup 1,2", "group 5 6 new", "ok", "ok"}));
    EXPECT_TRUE(Host.UI().DialogErrors().empty()) << Transcript();
    // The list showed U1 as modified after the editor closed, then OK asked and wrote both gates.
    EXPECT_NE(Transcript().find("* (4/6)"), std::string::npos) << Transcript();
    ASSERT_EQ(Host.UI().Questions().size(), 1u);
    EXPECT_EQ(Host.UI().Questions()[0].Caption, "Confirm Update Schmatic Sheets?");
    EXPECT_EQ(U1->Pin("1").Model().SwapId(eSwapId_Pin), "");
    EXPECT_EQ(U1->Pin("3").Model().SwapId(eSwapId_Pin), "A");
    EXPECT_EQ(U1->Pin("5").Model().SwapId(eSwapId_Pin), "1");
    EXPECT_EQ(U1->Pin("6").Model().SwapId(eSwapId_Pin), "1");
}

TEST_F(DialogPlayerTest, RemovedInformationShowsAsRemovedAndCancelAfterChangesAsks) {
    Host.UI().SetAnswerForCaption("Confirm Abandon Changes?", permutor::host::eModal_Yes);
    EXPECT_FALSE(Run({"open U1", "ungroup all", "ok", "cancel"}));
    EXPECT_NE(Transcript().find("- Removed"), std::string::npos) << Transcript();
    ASSERT_EQ(Host.UI().Questions().size(), 1u);
    EXPECT_EQ(Host.UI().Questions()[0].Text,
              "1 Component has been modified.\r\rAre you sure that you want to lose these changes?");
    EXPECT_EQ(U1->Pin("1").Model().SwapId(eSwapId_Pin), "A");
    EXPECT_EQ(U1->Pin("1").Model().WriteCount(), 0);
}

TEST_F(DialogPlayerTest, SingleComponentOkWithoutEditsAsksNothingAndWritesNothing) {
    EXPECT_TRUE(Run({"ok"}, U1->UniqueId()));
    EXPECT_TRUE(Host.UI().Questions().empty());
    EXPECT_EQ(U1->Pin("1").Model().WriteCount(), 0);
    // With an edit it asks, naming the component and its placed gates, and writes on OK.
    EXPECT_TRUE(Run({"set 6 \" B \"", "ok"}, U1->UniqueId()));
    ASSERT_EQ(Host.UI().Questions().size(), 1u);
    EXPECT_EQ(Host.UI().Questions()[0].Text,
              "U1 has been modified\r\rConfirm update 2 Sub-Parts in Schematic Sheets");
    EXPECT_EQ(U1->Pin("6").Model().SwapId(eSwapId_Pin), "B");
    // An id that matches nothing.
    EXPECT_FALSE(Run({}, "\\nothing"));
    EXPECT_EQ(Host.UI().Boxes().back().Text, "Unable To Locate Component with UniqueID: \\nothing");
}

TEST_F(DialogPlayerTest, AMistypedCommandStopsTheScriptAndNothingIsWritten) {
    EXPECT_FALSE(Run({"open U1", "group 1 new", "grup 2 new", "ok", "ok"}));
    ASSERT_EQ(Host.UI().DialogErrors().size(), 1u);
    EXPECT_NE(Host.UI().DialogErrors()[0].find("unknown command \"grup\""), std::string::npos);
    EXPECT_EQ(Host.UI().PendingDialogCommands(), 2u);
    Host.UI().ClearDialogCommands();
    EXPECT_EQ(U1->Pin("1").Model().WriteCount(), 0);
    // A component the list does not have is named in the error.
    EXPECT_FALSE(Run({"open U9"}));
    EXPECT_NE(Host.UI().DialogErrors().back().find("no component U9"), std::string::npos);
    // Without a project nothing runs, and the user is told why.
    auto& free = Host.AddFreeBoard("/virtual/free/free.kicad_pcb");
    EXPECT_FALSE(ConfigurePinSwap_Run(free.Path(), "", ""));
    EXPECT_EQ(Host.UI().Boxes().back().Text,
              "Pin/Net Optimization requires that the board is part of a PCB Project");
}

TEST(DialogPlayerTable, FitsItsWidthByShorteningTheWidestTexts) {
    std::vector<TDialogColumn> columns(3);
    columns[0].Caption = "Designator";
    columns[1].Caption = "Comment";
    columns[2].Caption = "On";
    columns[2].Kind = TColumnKind::eColumn_Check;
    TDialogRow row;
    row.Cells.resize(3);
    row.Cells[0].Text = "U1";
    row.Cells[1].Text = std::string(80, 'c');
    row.Cells[1].Icon = TSwapStatusIcon::eIcon_Added;
    row.Cells[2].Check = TCheckState::eCheck_Checked;
    const std::string text = pcbhost::TDialogPlayer::Table_Format(columns, {row}, {0, 1, 2}, 40);
    std::size_t start = 0, longest = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        longest = std::max(longest, end - start);
    EXPECT_EQ(longest, 40u) << text;
    EXPECT_NE(text.find("+ ccc"), std::string::npos);
    EXPECT_NE(text.find("c~ [x]"), std::string::npos) << text;
    EXPECT_EQ(text.substr(0, 10), "Designator");
}

} // namespace

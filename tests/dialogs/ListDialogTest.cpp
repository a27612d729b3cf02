// The list of components: rows and their status, the filter, copy and paste, the enable switches,
// OK and Cancel with their confirmations, and what OK writes to the schematic and the board.
#include "permutor/dialogs/ConfigureAllPinSwap.h"
#include "permutor/dialogs/ConfigureEntry.h"

#include "ModelFixture.h"

#include <filesystem>

namespace {

using namespace permutor::dialogs;
using namespace permutor::model;
using namespace permutor::model::testing;
using permutor::host::eModal_Cancel;
using permutor::host::eModal_No;
using permutor::host::eModal_OK;
using permutor::host::eModal_Yes;

class ListDialogTest : public TModelFixture {
protected:
    void SetUp() override {
        TModelFixture::SetUp();
        Host.SetOptionsDirectory(Options.string());
        // U1: two gates with pin and part information; R1: pin information only; J1: none.
        U1 = &Sch.AddComponent("U1", 2).Comment("74HC00").Footprint("SOIC-8");
        auto& fp = Pcb.AddFootprint("U1", *U1).PinSwapEnabled().PartSwapEnabled();
        for (int pin = 1; pin <= 4; ++pin) {
            const std::string name = std::to_string(pin);
            U1->AddPin(name, pin <= 2 ? 1 : 2).PinSwap("A").PartSwap("G").PartPinSwap(pin % 2 ? "IN" : "OUT");
            fp.AddPad(name, 0, 2.0 * pin).Net("N" + name);
        }
        R1 = &Sch.AddComponent("R1");
        auto& r = Pcb.AddFootprint("R1", *R1);
        for (const char* pin : {"1", "2"}) {
            R1->AddPin(pin).PinSwap("R");
            r.AddPad(pin, 10, 0);
        }
        J1 = &Sch.AddComponent("J1");
        auto& j = Pcb.AddFootprint("J1", *J1);
        for (const char* pin : {"1", "2", "3"}) {
            J1->AddPin(pin);
            j.AddPad(pin, 20, 0);
        }
        Project.Model().Compile();
        NewSet(eSwap_All).Build_ComponentsOnly("");
        Dialog = std::make_unique<TConfigureAllPinSwap>(*Set, Host.UI().DialogViews());
        Dialog->SetState_Controls();
    }
    void TearDown() override {
        Dialog.reset();
        TModelFixture::TearDown();
        std::filesystem::remove_all(Options);
    }

    std::int32_t Record(const std::string& designator) { return Dialog->FindRecord(designator); }
    const TDialogRow* Row(const std::string& designator) {
        static std::vector<TDialogRow> rows;
        rows = Dialog->Rows();
        for (const auto& row : rows)
            if (row.Cells[TConfigureAllPinSwap::eCol_Designator].Text == designator)
                return &row;
        return nullptr;
    }
    TSwapComponent* Component(const std::string& designator) {
        return Set->Components[std::size_t(Record(designator))];
    }
    void Select(const std::vector<std::string>& designators) {
        std::vector<std::int32_t> records;
        for (const auto& d : designators)
            records.push_back(Record(d));
        Dialog->SetSelection(records, records.empty() ? -1 : records.front());
    }

    std::filesystem::path Options =
        std::filesystem::temp_directory_path() / ("permutor-list-test-" + std::to_string(::getpid()));
    TComponentBuilder* U1 = nullptr;
    TComponentBuilder* R1 = nullptr;
    TComponentBuilder* J1 = nullptr;
    std::unique_ptr<TConfigureAllPinSwap> Dialog;
};

TEST_F(ListDialogTest, RowsShowEachComponentWithItsSwapStatusAndSwitches) {
    EXPECT_EQ(Dialog->Caption(), "Configure Swapping Information In Components");
    ASSERT_EQ(Dialog->Rows().size(), 3u);
    const TDialogRow* u1 = Row("U1");
    ASSERT_TRUE(u1);
    EXPECT_EQ(u1->Cells[TConfigureAllPinSwap::eCol_Comment].Text, "74HC00");
    EXPECT_EQ(u1->Cells[TConfigureAllPinSwap::eCol_Pins].Text, "4");
    EXPECT_EQ(u1->Cells[TConfigureAllPinSwap::eCol_Parts].Text, "2/2");
    EXPECT_EQ(u1->Cells[TConfigureAllPinSwap::eCol_PinSwapData].Text, "(4/4)");
    EXPECT_EQ(u1->Cells[TConfigureAllPinSwap::eCol_PinSwapData].Icon, TSwapStatusIcon::eIcon_None);
    EXPECT_EQ(u1->Cells[TConfigureAllPinSwap::eCol_PinSwap].Check, TCheckState::eCheck_Checked);
    // R1 has pin information but no part information: no part switch at all.
    const TDialogRow* r1 = Row("R1");
    EXPECT_EQ(r1->Cells[TConfigureAllPinSwap::eCol_PinSwap].Check, TCheckState::eCheck_Unchecked);
    EXPECT_EQ(r1->Cells[TConfigureAllPinSwap::eCol_PartSwap].Check, TCheckState::eCheck_None);
    EXPECT_FALSE(Dialog->SetCheck(Record("R1"), TConfigureAllPinSwap::eCol_PartSwap, true));
    EXPECT_TRUE(Dialog->HasBoard());
    EXPECT_TRUE(Dialog->Bands()[2].Visible);

    // The filter drops J1, whose record then has no row.
    Dialog->SetSwappableOnly(true);
    EXPECT_EQ(Dialog->Rows().size(), 2u);
    EXPECT_EQ(Row("J1"), nullptr);
    EXPECT_EQ(Component("J1")->Node, nullptr);
    EXPECT_NE(Component("U1")->Node, nullptr);
    EXPECT_EQ(Dialog->Focused(), Dialog->Rows().front().Record);
}

TEST_F(ListDialogTest, EnableCommandsSkipComponentsWithoutInformationAndDisableClearsAnyway) {
    Dialog->RunCommand(TListCommand::eList_DisableAll_PinSwap);
    EXPECT_FALSE(Dialog->PinTick(Record("U1")));
    // Paste empty pin information into U1: its pin information is now removed.
    Select({"J1"});
    Dialog->RunCommand(TListCommand::eList_CopyPinSwapData);
    Select({"U1"});
    Dialog->RunCommand(TListCommand::eList_PastePinSwapData);
    EXPECT_EQ(Row("U1")->Cells[TConfigureAllPinSwap::eCol_PinSwapData].Icon, TSwapStatusIcon::eIcon_Removed);
    EXPECT_EQ(Row("U1")->Cells[TConfigureAllPinSwap::eCol_PinSwapData].Text, "Removed");
    Dialog->RunCommand(TListCommand::eList_EnableAll_PinSwap);
    EXPECT_FALSE(Dialog->PinTick(Record("U1")));
    EXPECT_TRUE(Dialog->PinTick(Record("R1")));
    EXPECT_FALSE(Dialog->PinTick(Record("J1")));
    // The selected variants act on the selection only.
    Select({"R1"});
    Dialog->RunCommand(TListCommand::eList_DisableSelected_PinSwap);
    EXPECT_FALSE(Dialog->PinTick(Record("R1")));
    Dialog->RunCommand(TListCommand::eList_EnableSelected_PartSwap);
    EXPECT_FALSE(Dialog->PartTick(Record("R1"))); // no part information
    Dialog->RunCommand(TListCommand::eList_DisableAll_PartSwap);
    EXPECT_FALSE(Dialog->PartTick(Record("U1")));
}

TEST_F(ListDialogTest, PasteChecksThatTheInformationFitsEachComponent) {
    // U1's pin information names pins 3 and 4, which R1 lacks; J1 has pins 1-3.
    Select({"U1"});
    Dialog->RunCommand(TListCommand::eList_CopyPinSwapData);
    EXPECT_EQ(Dialog->CopiedSwapData_Pin(), "Pin_1=A|Pin_2=A|Pin_3=A|Pin_4=A");
    Select({"R1"});
    Dialog->RunCommand(TListCommand::eList_PastePinSwapData);
    ASSERT_EQ(Host.UI().Boxes().size(), 1u);
    EXPECT_EQ(Host.UI().Boxes()[0].Text, "None of the 1 Selected Components can be updated");
    EXPECT_TRUE(Host.UI().Questions().empty());
    EXPECT_FALSE(Component("R1")->PinSwapData_Changed);

    // R1's two pins fit U1 and J1 alike: no question.
    Select({"R1"});
    Dialog->RunCommand(TListCommand::eList_CopyPinSwapData);
    Select({"U1", "J1"});
    Dialog->RunCommand(TListCommand::eList_PastePinSwapData);
    EXPECT_TRUE(Host.UI().Questions().empty());
    EXPECT_EQ(Component("J1")->PinSwapData_New, "Pin_1=R|Pin_2=R");
    EXPECT_EQ(Row("J1")->Cells[TConfigureAllPinSwap::eCol_PinSwapData].Icon, TSwapStatusIcon::eIcon_Added);
    EXPECT_EQ(Row("U1")->Cells[TConfigureAllPinSwap::eCol_PinSwapData].Icon, TSwapStatusIcon::eIcon_Modified);

    // Part information of U1 into U1 and R1: one fits; declined, nothing changes.
    Select({"U1"});
    Dialog->RunCommand(TListCommand::eList_CopyPartSwapData);
    Select({"R1", "U1"});
    Host.UI().QueueAnswer(eModal_No);
    Dialog->RunCommand(TListCommand::eList_PastePartSwapData);
    ASSERT_EQ(Host.UI().Questions().size(), 1u);
    EXPECT_EQ(Host.UI().Questions()[0].Caption, "Confirm Partial Paste");
    EXPECT_EQ(Host.UI().Questions()[0].Text,
              "There are 1 Components (From 2 Selected) that cannot be updated.\r\r"
              "Confirm Paste Part-Swap information into 1 Components");
    EXPECT_FALSE(Component("R1")->PartSwapData_Changed);
    // The commands that need one row are unavailable with two selected.
    EXPECT_FALSE(Dialog->CommandEnabled(TListCommand::eList_CopyPinSwapData));
    EXPECT_FALSE(Dialog->CommandEnabled(TListCommand::eList_ConfigureComponent));
    EXPECT_TRUE(Dialog->CommandEnabled(TListCommand::eList_PastePinSwapData));
}

TEST_F(ListDialogTest, OkAndCancelAskWithTheCountOfModifiedComponents) {
    // Ticks alone: Cancel asks, OK does not.
    EXPECT_TRUE(Dialog->SetCheck(Record("R1"), TConfigureAllPinSwap::eCol_PinSwap, true));
    Host.UI().QueueAnswer(eModal_No);
    EXPECT_FALSE(Dialog->Cancel());
    ASSERT_EQ(Host.UI().Questions().size(), 1u);
    EXPECT_EQ(Host.UI().Questions()[0].Caption, "Confirm Abandon Changes?");
    EXPECT_EQ(Host.UI().Questions()[0].Text,
              "1 Component has been modified.\r\rAre you sure that you want to lose these changes?");
    EXPECT_TRUE(Dialog->OK());
    EXPECT_EQ(Host.UI().Questions().size(), 1u);

    // One component with changed pin data: OK names its two placed gates.
    Component("U1")->UpdatePinSwapData("Pin_1=B|Pin_2=B");
    Host.UI().QueueAnswer(eModal_Cancel);
    EXPECT_FALSE(Dialog->OK());
    EXPECT_EQ(Host.UI().Questions().back().Caption, "Confirm Update Schmatic Sheets?");
    EXPECT_EQ(Host.UI().Questions().back().Text,
              "1 Component has been modified.\r\rConfirm update 2 Sub-Parts in Schematic Sheets");

    // Three modified components: the plural.
    Component("J1")->UpdatePinSwapData("Pin_1=C|Pin_2=C");
    Host.UI().QueueAnswer(eModal_Yes);
    EXPECT_TRUE(Dialog->Cancel());
    EXPECT_EQ(Host.UI().Questions().back().Text,
              "3 Components have been modified.\r\rAre you sure that you want to lose these changes?");
}

TEST_F(ListDialogTest, OkWritesEveryGateAndTheBoardSwitchesAndOnlyWhatChanged) {
    Component("U1")->UpdatePinSwapData("Pin_1=B|Pin_3=B");
    Component("R1")->UpdatePairSwapData("Pair_1=D|Pair_2=D");
    EXPECT_TRUE(Dialog->SetCheck(Record("R1"), TConfigureAllPinSwap::eCol_PinSwap, true));
    Dialog->GetState_Controls();
    // Both gates of U1 carry the new pin ids; its part ids are untouched.
    EXPECT_EQ(U1->Pin("1").Model().SwapId(permutor::host::eSwapId_Pin), "B");
    EXPECT_EQ(U1->Pin("2").Model().SwapId(permutor::host::eSwapId_Pin), "");
    EXPECT_EQ(U1->Pin("3").Model().SwapId(permutor::host::eSwapId_Pin), "B");
    EXPECT_EQ(U1->Pin("4").Model().SwapId(permutor::host::eSwapId_Part), "G");
    EXPECT_GT(U1->Pin("1").Model().WriteCount(), 0);
    // R1: only its pair ids were written, and its board switch.
    EXPECT_EQ(R1->Pin("2").Model().SwapId(permutor::host::eSwapId_Pair), "D");
    EXPECT_EQ(R1->Pin("1").Model().SwapId(permutor::host::eSwapId_Pin), "R");
    EXPECT_TRUE(Pcb.Footprint("R1").Model().PinSwappingEnabled());
    EXPECT_FALSE(Pcb.Footprint("J1").Model().PinSwappingEnabled());
    // The board and the sheet show as modified; the user saves them.
    EXPECT_TRUE(Host.Client()->ServerDocumentByPath(Pcb.Path())->Modified());
    EXPECT_TRUE(Host.Client()->ServerDocumentByPath(Sch.Path())->Modified());
}

} // namespace

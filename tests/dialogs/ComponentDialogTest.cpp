// The editor of one component: group numbering, what OK encodes (trimmed, in key order), the pair
// modes, assigning groups from a column, and part groups with their sequence numbers.
#include "permutor/dialogs/ConfigureComponentPinSwap.h"

#include "ModelFixture.h"

namespace {

using namespace permutor::dialogs;
using namespace permutor::model;
using namespace permutor::model::testing;
using TDlg = TConfigureComponentPinSwap;

class ComponentDialogTest : public TModelFixture {
protected:
    // U1: two gates (pins 1-2 gate 1, 3-4 gate 2), pins 5 and 6 common, on a differential pair.
    void MakeU1(const std::vector<std::string>& pinGroups) {
        U1 = &Sch.AddComponent("U1", 2);
        auto& fp = Pcb.AddFootprint("U1", *U1);
        const char* nets[] = {"A", "B", "C", "D", "CLK_P", "CLK_N"};
        for (int pin = 1; pin <= 6; ++pin) {
            const std::string name = std::to_string(pin);
            auto& p = U1->AddPin(name, pin <= 2 ? 1 : pin <= 4 ? 2 : 0);
            if (std::size_t(pin - 1) < pinGroups.size() && !pinGroups[std::size_t(pin - 1)].empty())
                p.PinSwap(pinGroups[std::size_t(pin - 1)]);
            fp.AddPad(name, 0, 2.0 * pin).Net(nets[pin - 1]);
        }
        Project.Model().Compile();
        NewSet(eSwap_All).Build_ComponentsOnly("");
        ASSERT_EQ(Set->Components.Count(), 1u);
        C = Set->Components[0];
        C->PinSwapData_Original = C->ImportFromSchematic_PinSwapData();
        C->UpdatePinSwapData(C->PinSwapData_Original);
        C->PartSwapData_Original = C->ImportFromSchematic_PartSwapData();
        C->UpdatePartSwapData(C->PartSwapData_Original);
        C->PairSwapData_Original = C->ImportFromSchematic_PairSwapData();
        C->UpdatePairSwapData(C->PairSwapData_Original);
        Dialog = std::make_unique<TDlg>(*Set, *C);
        Dialog->SetState_Controls();
    }
    std::vector<std::int32_t> Pins(const std::vector<std::string>& designators) {
        std::vector<std::int32_t> records;
        for (const auto& d : designators)
            records.push_back(Dialog->FindPin(d));
        return records;
    }
    std::vector<std::string> Groups() {
        std::vector<std::string> groups;
        for (const auto& r : Dialog->PinData())
            groups.push_back(r.Values[TDlg::ePin_Group]);
        return groups;
    }
    void TearDown() override {
        Dialog.reset();
        TModelFixture::TearDown();
    }

    TComponentBuilder* U1 = nullptr;
    TSwapComponent* C = nullptr;
    std::unique_ptr<TDlg> Dialog;
};

TEST_F(ComponentDialogTest, NewTakesTheSmallestFreeNumberAndOtherIdsOnlyCountAsUsed) {
    MakeU1({"1", "2", "4", "x", "", ""});
    EXPECT_EQ(Dialog->IdsInUse(TSwapList::eSwapList_Pins), (std::vector<std::string>{"1", "2", "4", "x"}));
    EXPECT_EQ(Dialog->NewId(TSwapList::eSwapList_Pins), "3");
    Dialog->SetSelection(TSwapList::eSwapList_Pins, Pins({"5"}));
    Dialog->AddToPinSwapGroup(-1);
    Dialog->SetSelection(TSwapList::eSwapList_Pins, Pins({"6"}));
    Dialog->AddToPinSwapGroup(-1);
    EXPECT_EQ(Groups(), (std::vector<std::string>{"1", "2", "4", "x", "3", "5"}));
    // An id in use is chosen by its place in the sorted list: "x" is the last.
    Dialog->AddToPinSwapGroup(5);
    EXPECT_EQ(Groups()[5], "x");
    // The menu lists "&New" first, then the ids in use.
    const auto menu = Dialog->PopupMenu(TSwapList::eSwapList_Pins);
    const auto add = std::find_if(menu.begin(), menu.end(),
                                  [](const TMenuItem& i) { return i.Caption == "Add To Pin-Swap Group"; });
    ASSERT_NE(add, menu.end());
    ASSERT_EQ(add->Items.size(), 6u);
    EXPECT_EQ(add->Items[0].Caption, "&New");
    EXPECT_EQ(add->Items[5].Caption, "x");
    Dialog->RunMenuItem(TSwapList::eSwapList_Pins, add->Items[1].Id);
    EXPECT_EQ(Groups()[5], "1");
    // Removing takes the selection out of every group.
    Dialog->SetSelection(TSwapList::eSwapList_Pins, Pins({"1", "2", "3", "4", "5", "6"}));
    Dialog->RemoveFromPinSwapGroup();
    EXPECT_EQ(Dialog->NewId(TSwapList::eSwapList_Pins), "1");
}

TEST_F(ComponentDialogTest, OkEncodesTrimmedGroupsAndAnEmptyTextWhenNothingIsLeft) {
    MakeU1({"A", "A"});
    const std::int32_t group = TDlg::ePin_Group;
    EXPECT_TRUE(Dialog->SetCellText(TSwapList::eSwapList_Pins, Dialog->FindPin("3"), group, "  B \t"));
    EXPECT_TRUE(Dialog->SetCellText(TSwapList::eSwapList_Pins, Dialog->FindPin("4"), group, "   "));
    EXPECT_FALSE(Dialog->SetCellText(TSwapList::eSwapList_Pins, Dialog->FindPin("4"), TDlg::ePin_Net, "X"));
    Dialog->GetState_Controls();
    EXPECT_EQ(C->PinSwapData_New, "Pin_1=A|Pin_2=A|Pin_3=B");
    Dialog->SetSelection(TSwapList::eSwapList_Pins, Pins({"1", "2", "3"}));
    Dialog->RemoveFromPinSwapGroup();
    Dialog->GetState_Controls();
    EXPECT_EQ(C->PinSwapData_New, "");
}

TEST_F(ComponentDialogTest, OkWithoutEditsKeepsTheTextsAsTheyWereRead) {
    MakeU1({"B", "A", "B", "A"});
    // Stored in another order than the encoder's: still the same information.
    C->PartSwapData_New = "PartPin_3=Y|Part_3=G|Part_1=G";
    Dialog = std::make_unique<TDlg>(*Set, *C);
    Dialog->SetState_Controls();
    Dialog->GetState_Controls();
    EXPECT_EQ(C->PinSwapData_New, C->PinSwapData_Original);
    EXPECT_EQ(C->PartSwapData_New, "PartPin_3=Y|Part_3=G|Part_1=G");
    EXPECT_EQ(C->PairSwapData_New, "");
}

TEST_F(ComponentDialogTest, PairModesListPinsOrTheDesignsPairs) {
    MakeU1({});
    // All pins: five pin columns without the digit, the "1" columns hidden.
    std::vector<std::string> shown;
    for (const auto& c : Dialog->Columns(TSwapList::eSwapList_Pairs))
        if (c.Visible && c.Band == 0)
            shown.push_back(c.Caption);
    EXPECT_EQ(shown, (std::vector<std::string>{"Designator", "Pin Name", "Net", "Type"}));
    EXPECT_EQ(Dialog->Columns(TSwapList::eSwapList_Pairs)[TDlg::ePair_Bank0].Caption, "Bank");
    EXPECT_EQ(Dialog->Rows(TSwapList::eSwapList_Pairs).size(), 6u);
    // From the design: CLK_P/CLK_N reach pins 5 and 6.
    Dialog->SetPairMode(eFromDirectives);
    const auto rows = Dialog->Rows(TSwapList::eSwapList_Pairs);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Cells[TDlg::ePair_Designator0].Text, "5");
    EXPECT_EQ(rows[0].Cells[TDlg::ePair_Designator1].Text, "6");
    EXPECT_EQ(Dialog->Columns(TSwapList::eSwapList_Pairs)[TDlg::ePair_Designator0].Caption, "Designator 0");
    EXPECT_TRUE(Dialog->Columns(TSwapList::eSwapList_Pairs)[TDlg::ePair_Net1].Visible);
    Dialog->SetSelection(TSwapList::eSwapList_Pairs, {rows[0].Record});
    Dialog->AddToPairSwapGroup(-1);
    Dialog->GetState_Controls();
    EXPECT_EQ(C->PairSwapData_New, "Pair_5=1|Pair_6=1");
    // No FPGA data: that mode has no rows.
    Dialog->SetPairMode(eFromFPGA);
    EXPECT_TRUE(Dialog->Rows(TSwapList::eSwapList_Pairs).empty());
}

TEST_F(ComponentDialogTest, AssignByAColumnGivesEverySelectedPinItsValue) {
    MakeU1({});
    EXPECT_FALSE(Dialog->IsFPGA());
    Dialog->SetSelection(TSwapList::eSwapList_Pins, Pins({"1", "2", "3", "4"}));
    Dialog->AssignPinSwapGroupBy(TDlg::ePin_PartNo);
    EXPECT_EQ(Groups(), (std::vector<std::string>{"1", "1", "2", "2", "", ""}));
    // The sub-menu offers the pin-status columns but not the swap data or the hidden FPGA band.
    const auto menu = Dialog->PopupMenu(TSwapList::eSwapList_Pins);
    const auto by = std::find_if(menu.begin(), menu.end(),
                                 [](const TMenuItem& i) { return i.Caption == "Assign Pin-Swap Groups By"; });
    ASSERT_NE(by, menu.end());
    std::vector<std::string> captions;
    for (const auto& item : by->Items)
        if (!item.Separator)
            captions.push_back(item.Caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"&Pin Properties", "Designator", "Pin Name", "Net", "Bus",
                                                  "Type", "Part No.", "Part Mode"}));
    Dialog->SetSelection(TSwapList::eSwapList_Pins, Pins({"5"}));
    Dialog->RunMenuItem(TSwapList::eSwapList_Pins, by->Items[4].Id); // "Net"
    EXPECT_EQ(Groups()[4], "CLK_P");
}

TEST_F(ComponentDialogTest, PartGroupsGoToEveryPinOfTheGateWithItsSequenceNumbers) {
    MakeU1({});
    const auto parts = Dialog->Rows(TSwapList::eSwapList_SubParts);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].Cells[TDlg::eSub_Name].Text, "U1A");
    Dialog->SetSelection(TSwapList::eSwapList_SubParts, {parts[0].Record, parts[1].Record});
    Dialog->AddToPartSwapGroup(-1);
    const auto pins = Dialog->Rows(TSwapList::eSwapList_PartPins);
    ASSERT_EQ(pins.size(), 4u); // the common pins belong to no gate
    Dialog->SetSelection(TSwapList::eSwapList_PartPins, Pins({"1", "3"}));
    Dialog->AddToPartPinSwapGroup(-1);
    Dialog->SetSelection(TSwapList::eSwapList_PartPins, Pins({"2", "4"}));
    Dialog->AddToPartPinSwapGroup(-1);
    EXPECT_EQ(Dialog->Rows(TSwapList::eSwapList_SubParts)[1].Cells[TDlg::eSub_Group].Text, "1");
    Dialog->GetState_Controls();
    EXPECT_EQ(C->PartSwapData_New,
              "Part_1=1|PartPin_1=1|Part_2=1|PartPin_2=2|Part_3=1|PartPin_3=1|Part_4=1|PartPin_4=2");
    // Taking the second gate out leaves its sequence numbers.
    Dialog->SetSelection(TSwapList::eSwapList_SubParts, {parts[1].Record});
    Dialog->RemoveFromPartSwapGroup();
    Dialog->GetState_Controls();
    EXPECT_EQ(C->PartSwapData_New, "Part_1=1|PartPin_1=1|Part_2=1|PartPin_2=2|PartPin_3=1|PartPin_4=2");
}

} // namespace

// Swap components, pins and groups per mode, the pins that cannot take part with their
// message-panel lines, and the group filters of the build.
#include "ModelFixture.h"

using namespace permutor::model;
using namespace permutor::model::testing;

namespace {

using GroupingTest = TModelFixture;

std::string Breaks() {
    return "\r\r";
}

} // namespace

TEST_F(GroupingTest, PinsWithIdsEqualButForCaseShareAGroupAndPadsMatchPinsWithoutCase) {
    auto& u1 = PinComponent("U1", {"Gx", "gx", "H", "H", ""}, {"A", "B", "C", "D", "E"});
    u1.AddPin("A1").PinSwap("GX");
    Pcb.Footprint("U1").AddPad("a1", 0, 12).Net("F");
    ASSERT_TRUE(Build(eSwap_Pins));

    EXPECT_EQ(GroupIds(Set->PinSwapGroups), (std::vector<std::string>{"Gx", "H"})); // largest first
    EXPECT_TRUE(Set->PartSwapGroups.Empty());
    TSwapGroup* gx = Set->PinSwapGroups[0];
    EXPECT_EQ(PadNames(gx->SwapPins), (std::vector<std::string>{"1", "2", "a1"}));
    EXPECT_EQ(PinNamed(gx, "a1")->Pin_SCH->Designator(), "A1");
    TSwapComponent* u = ComponentNamed("U1");
    ASSERT_NE(u, nullptr);
    // Pin 5 has no id: not a candidate, not reported.
    EXPECT_EQ(PadNames(u->Pins()), (std::vector<std::string>{"1", "2", "3", "4", "a1"}));
    EXPECT_EQ(u->ComponentPinSwapGroups.Count(), 2u);
    EXPECT_EQ(u->ComponentPinSwapGroups.Lookup("GX"), gx);
    for (TSwapPin* p : gx->SwapPins) {
        EXPECT_EQ(p->PinSwapGroup, gx);
        EXPECT_EQ(p->PartSwapGroup, nullptr);
        EXPECT_EQ(p->Component(), u);
    }
    EXPECT_EQ(Set->ErrorCount_MissingPins, 0);
    EXPECT_EQ(Set->ErrorCount_BadPins, 0);
    EXPECT_TRUE(Host.Messages().empty());
}

TEST_F(GroupingTest, KestrelModeJoinsEveryAllowedPinOfAComponentInOneGroup) {
    PinComponent("U1", {"G", "", "H", ""}, {"A", "B", "C", "D"});
    // Pin ids are not needed in this mode; the pin switch still is.
    PinComponent("U2", {"", ""}, {"E", "F"}, 10);
    ASSERT_TRUE(Build(eSwap_PinsKESTREL));
    ASSERT_EQ(Set->PinSwapGroups.Count(), 2u);
    EXPECT_EQ(GroupIds(Set->PinSwapGroups), (std::vector<std::string>{"KESTREL", "KESTREL"}));
    EXPECT_EQ(PadNames(Set->PinSwapGroups[0]->SwapPins), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(Set->PinSwapGroups[0]->Component, ComponentNamed("U1"));
    EXPECT_EQ(Set->PinSwapGroups[1]->Component, ComponentNamed("U2"));
}

TEST_F(GroupingTest, AllModeMakesNoCandidates) {
    PinComponent("U1", {"G", "G"}, {"A", "B"});
    ASSERT_TRUE(Build(eSwap_All));
    ASSERT_EQ(Set->Components.Count(), 1u);
    EXPECT_TRUE(Set->Components[0]->Pins().Empty());
    EXPECT_TRUE(Set->PinSwapGroups.Empty());
    EXPECT_TRUE(Set->PartSwapGroups.Empty());
    EXPECT_EQ(Set->Nets.Count(), 0u);
}

TEST_F(GroupingTest, PartAndPairModesGroupByTheirOwnIds) {
    auto& u2 = Sch.AddComponent("U2", 2);
    u2.AddPin("1", 1).PartSwap("Gate").PartPinSwap("A").PairSwap("PA");
    u2.AddPin("2", 1).PartSwap("gate").PartPinSwap("B").PairSwap("pa");
    u2.AddPin("3", 2).PartSwap("GATE").PartPinSwap("A");
    u2.AddPin("4", 2).PartSwap("0").PartPinSwap("B"); // "0" is no part id
    auto& fp = Pcb.AddFootprint("U2", u2).PartSwapEnabled();
    for (int i = 1; i <= 4; ++i)
        fp.AddPad(std::to_string(i), 0, 2.0 * i); // no nets: pair ids make these pair pins

    ASSERT_TRUE(Build(eSwap_Parts));
    EXPECT_TRUE(Set->PinSwapGroups.Empty());
    ASSERT_EQ(GroupIds(Set->PartSwapGroups), std::vector<std::string>{"Gate"});
    EXPECT_EQ(PadNames(Set->PartSwapGroups[0]->SwapPins), (std::vector<std::string>{"1", "2", "3"}));
    for (TSwapPin* p : Set->PartSwapGroups[0]->SwapPins) {
        EXPECT_EQ(p->PartSwapGroup, Set->PartSwapGroups[0]);
        EXPECT_EQ(p->PinSwapGroup, nullptr);
    }

    ASSERT_TRUE(Build(eSwap_DifferentialPairs));
    ASSERT_EQ(GroupIds(Set->PartSwapGroups), std::vector<std::string>{"PA"});
    EXPECT_EQ(PadNames(Set->PartSwapGroups[0]->SwapPins), (std::vector<std::string>{"1", "2"}));
}

TEST_F(GroupingTest, ComponentsNeedIdsAndTheMatchingSwitch) {
    auto& pins = PinComponent("U1", {"G", "G"}, {"A", "B"});
    auto& off = PinComponent("U2", {"G", "G"}, {"C", "D"}, 10);
    Pcb.Footprint("U2").PinSwapEnabled(false).PartSwapEnabled(true); // part switch, pin ids: no
    auto& pairs = Sch.AddComponent("U3");
    pairs.AddPin("1").PairSwap("P");
    Pcb.AddFootprint("U3", pairs).PartSwapEnabled().AddPad("1", 20, 0); // pair ids, either switch
    auto& parts = Sch.AddComponent("U4");
    parts.AddPin("1").PartSwap("Q");
    Pcb.AddFootprint("U4", parts).PinSwapEnabled().AddPad("1", 30, 0); // part ids, pin switch: no
    (void)pins;
    (void)off;

    ASSERT_TRUE(Build(eSwap_Pins));
    std::vector<std::string> names;
    for (TSwapComponent* c : Set->Components)
        names.push_back(c->GetState_Description());
    EXPECT_EQ(names, (std::vector<std::string>{"U1", "U3"}));
    EXPECT_TRUE(Set->Components[0]->PinSwapEnabled());
    EXPECT_FALSE(Set->Components[0]->PartSwapEnabled());

    // For the dialogs every matched component counts.
    NewSet(eSwap_Pins).Build_ComponentsOnly("");
    EXPECT_EQ(Set->Components.Count(), 4u);
    for (TSwapComponent* c : Set->Components)
        EXPECT_TRUE(c->Pins().Empty());
    EXPECT_TRUE(Set->PinSwapGroups.Empty());
}

TEST_F(GroupingTest, AUniqueIdSelectsTheComponentByItsLastSegmentWithoutCase) {
    auto& u1 = Sch.AddComponent("U1");
    u1.AddPin("1").PinSwap("G");
    u1.AddPin("2").PinSwap("G");
    u1.SetUniqueId(1, "\\root\\u1");
    auto& fp = Pcb.AddFootprint("U1", u1).PinSwapEnabled();
    fp.AddPad("1", 0, 0).Net("A");
    fp.AddPad("2", 0, 2).Net("B");
    PinComponent("U2", {"G", "G"}, {"C", "D"}, 10);

    ASSERT_TRUE(NewSet(eSwap_Pins).Build("\\Other\\Path\\U1", true));
    ASSERT_EQ(Set->Components.Count(), 1u);
    EXPECT_EQ(Set->Components[0]->GetState_Description(), "U1");
    ASSERT_EQ(Set->PinSwapGroups.Count(), 1u);

    NewSet(eSwap_Pins).Build_ComponentsOnly("U1");
    ASSERT_EQ(Set->Components.Count(), 1u);
    EXPECT_EQ(Set->Components[0]->GetState_Description(), "U1");
}

TEST_F(GroupingTest, UnmatchedPadsAndUnswappablePinsGoToThePanelAsCrossProbeLines) {
    Project.AllowPinSwapping(false).AllowNetLabelSwapping(true);
    auto& u1 = Sch.AddComponent("U1");
    auto& fp = Pcb.AddFootprint("U1", u1).PinSwapEnabled();
    for (int i = 1; i <= 3; ++i) {
        auto& pin = u1.AddPin(std::to_string(i)).PinSwap("G").At(10.0 * i, 0);
        if (i < 3)
            Sch.AddPort("N" + std::to_string(i), pin); // swappable through its net label
        fp.AddPad(std::to_string(i), 0, 2.0 * i).Net("N" + std::to_string(i));
    }
    fp.AddPad("9", 0, 20).Net("N9"); // no schematic pin of that name

    ASSERT_TRUE(Build(eSwap_Pins));
    EXPECT_EQ(Set->ErrorCount_MissingPins, 1);
    EXPECT_EQ(Set->ErrorCount_BadPins, 1);
    ASSERT_EQ(Set->PinSwapGroups.Count(), 1u);
    EXPECT_EQ(PadNames(Set->PinSwapGroups[0]->SwapPins), (std::vector<std::string>{"1", "2"}));

    const auto lines = Lines("[Error]");
    ASSERT_EQ(lines.size(), 2u);
    // Pads in the board's order: pin 3's pad comes before pad 9.
    EXPECT_EQ(lines[0].Text, "Schematic Pin U1-3 cannot be swapped on Schematic");
    EXPECT_EQ(lines[0].Source, "Dynamic Net/Pin Allocation");
    EXPECT_EQ(lines[0].DocumentName, "m.kicad_sch");
    EXPECT_EQ(lines[0].CrossProbeProcess, "SCH:CrossProbeNotify");
    EXPECT_EQ(lines[0].CrossProbeParameters, "FullDocumentPath=/virtual/m/m.kicad_sch|Kind=NetlistObject|"
                                             "ObjectKind=Pin|TargetFileName=m.kicad_sch|PrimaryId=U1-3");
    EXPECT_EQ(lines[0].ImageIndex, 73);

    EXPECT_EQ(lines[1].Text, "PCB Pin 9 cannot be matched to a schematic pin");
    EXPECT_EQ(lines[1].Source, "Dynamic Net/Pin Allocation");
    EXPECT_EQ(lines[1].DocumentName, "m.kicad_pcb");
    EXPECT_EQ(lines[1].CrossProbeProcess, "PCB:CrossProbeNotify");
    EXPECT_EQ(lines[1].CrossProbeParameters, "TargetFileName=m.kicad_pcb|Kind=Pad|Id=U1-9");
    EXPECT_EQ(lines[1].ImageIndex, 73);
    // Dialogs suppressed: the counts follow as warnings, and the build goes on.
    const auto warnings = Lines("Warning");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].Text, "1 Pins could not be matched to Schematic Pins");
    EXPECT_EQ(warnings[1].Text, "1 Pins can not be swapped based on current Project Settings");
    for (const auto& w : warnings) {
        EXPECT_EQ(w.Source, "Permutor");
        EXPECT_EQ(w.DocumentName, "m.kicad_pcb");
        EXPECT_EQ(w.ImageIndex, 7);
        EXPECT_EQ(w.CrossProbeProcess, "");
    }
    EXPECT_TRUE(Host.UI().Questions().empty());
}

TEST_F(GroupingTest, WithDialogsTheUserIsAskedToContinue) {
    auto& u1 = PinComponent("U1", {"G", "G"}, {"A", "B"});
    (void)u1;
    Pcb.Footprint("U1").AddPad("7", 0, 9).Net("C");
    Pcb.Footprint("U1").AddPad("8", 0, 11).Net("D");

    Host.UI().QueueAnswer(eModal_No);
    EXPECT_FALSE(Build(eSwap_Pins, true, false));
    ASSERT_EQ(Host.UI().Questions().size(), 1u);
    EXPECT_EQ(Host.UI().Questions()[0].Text, "There are " + Breaks() +
                                                 "2 Pins that could not be matched to Schematic Pins" +
                                                 Breaks() + "Confirm Continue?");
    EXPECT_EQ(Host.UI().Questions()[0].Caption, "Net/Pin Optimizer");
    EXPECT_EQ(Host.UI().Questions()[0].Buttons, eButtons_YesNo);
    // The per-pin lines go to the panel whatever the dialogs setting.
    EXPECT_EQ(Lines("[Error]").size(), 2u);
    EXPECT_TRUE(Lines("Warning").empty());

    Host.UI().QueueAnswer(eModal_Yes);
    EXPECT_TRUE(Build(eSwap_Pins, true, false));
    EXPECT_EQ(Host.UI().WaitCursorDepth(), 0);
    EXPECT_EQ(Host.UI().StatusDepth(), 0);
}

TEST_F(GroupingTest, NeitherSwapMethodAllowedReportsEveryCandidateAsUnswappable) {
    Project.AllowPinSwapping(false).AllowNetLabelSwapping(false);
    PinComponent("U1", {"G", "G", ""}, {"A", "B", "C"});

    Host.UI().QueueAnswer(eModal_Yes);
    EXPECT_TRUE(Build(eSwap_Pins, true, false));
    ASSERT_GE(Host.UI().Boxes().size(), 1u);
    EXPECT_EQ(Host.UI().Boxes()[0].Kind, eMessageBox_Error);
    EXPECT_EQ(Host.UI().Boxes()[0].Caption, "Error");
    EXPECT_EQ(Host.UI().Boxes()[0].Text, "No Swapping is allowed under current Project Settings." + Breaks() +
                                             "Swapping can be enabled in the Project Options Form.");
    EXPECT_EQ(Set->ErrorCount_BadPins, 2);
    ASSERT_EQ(Host.UI().Questions().size(), 1u);
    EXPECT_EQ(Host.UI().Questions()[0].Text,
              "There are " + Breaks() + "2 Pins that cannot be swapped based on current Project Settings" +
                  Breaks() + "Confirm Continue?");

    // Dialogs suppressed: the error is a panel line without its breaks; the build continues.
    EXPECT_TRUE(Build(eSwap_Pins));
    EXPECT_TRUE(Set->PinSwapGroups.Empty());
    const auto errors = Lines("Error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Text, "No Swapping is allowed under current Project Settings."
                              "Swapping can be enabled in the Project Options Form.");
    EXPECT_EQ(errors[0].ImageIndex, 8);
    EXPECT_EQ(errors[0].Source, "Permutor");
}

TEST_F(GroupingTest, ABoardWithoutSwapComponentsFailsNamingTheDocument) {
    PinComponent("U1", {"G", "G"}, {"A", "B"});
    Pcb.Footprint("U1").PinSwapEnabled(false);
    EXPECT_FALSE(Build(eSwap_Pins, true, false));
    ASSERT_EQ(Host.UI().Boxes().size(), 1u);
    EXPECT_EQ(Host.UI().Boxes()[0].Text,
              "No Components have been enabled for Swapping in PCB Document" + Breaks() + "m.kicad_pcb");
    EXPECT_EQ(Host.UI().WaitCursorDepth(), 0);
    EXPECT_EQ(Host.UI().StatusDepth(), 0);
    EXPECT_EQ(Host.UI().StatusTexts(), std::vector<std::string>{"Building Swap Map..."});
}

TEST_F(GroupingTest, BoardComponentsWithoutASchematicComponentAreWarnedAbout) {
    PinComponent("U1", {"G", "G"}, {"A", "B"});
    Pcb.AddFootprint("J9").AddPad("1", 30, 0).Net("A");
    EXPECT_TRUE(Build(eSwap_Pins, true, false));
    ASSERT_GE(Host.UI().Boxes().size(), 1u);
    EXPECT_EQ(Host.UI().Boxes()[0].Kind, eMessageBox_Warning);
    EXPECT_EQ(Host.UI().Boxes()[0].Caption, "Warning");
    EXPECT_EQ(Host.UI().Boxes()[0].Text, "Not all PCB components are linked to schematic components.");
}

TEST_F(GroupingTest, ABoardOutsideAProjectHasNoComponentMappings) {
    auto& free = Host.AddFreeBoard("/virtual/free/free.kicad_pcb");
    free.AddFootprint("U1").PinSwapEnabled().AddPad("1", 0, 0).Net("A");
    Set = std::make_unique<TSwapDataSet>(free.Path(), eSwap_Pins);
    Set->SetSuppressDialogs(true);
    EXPECT_FALSE(Set->Project());
    EXPECT_FALSE(Set->Build("", true));
    std::vector<std::string> texts;
    for (const auto& line : Host.Messages())
        texts.push_back(line.Text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "No PCB components are linked to schematic components.",
                         "No Components have been enabled for Swapping in PCB Documentfree.kicad_pcb"}));
}

TEST_F(GroupingTest, GroupsWithOnePinAreDroppedBeforeNetsAreMade) {
    PinComponent("U1", {"Solo", "G", "G", "G"}, {"SOLO", "A", "B", "C"});
    ASSERT_TRUE(Build(eSwap_Pins));
    ASSERT_EQ(GroupIds(Set->PinSwapGroups), std::vector<std::string>{"G"});
    // The lone pin keeps its link to the dropped group, but its net was never looked at.
    TSwapComponent* u1 = ComponentNamed("U1");
    TSwapPin* solo = u1->Pins()[0];
    ASSERT_NE(solo->PinSwapGroup, nullptr);
    EXPECT_EQ(solo->PinSwapGroup->ID, "Solo");
    EXPECT_EQ(solo->SubNet, nullptr);
    std::vector<std::string> nets;
    for (const auto& entry : Set->Nets)
        nets.push_back(entry.Object->NetName());
    std::sort(nets.begin(), nets.end());
    EXPECT_EQ(nets, (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(GroupingTest, AGroupWhosePinsHaveNoNetIsInvalidAndLeavesTheSwappableList) {
    PinComponent("U1", {"Loose", "Loose", "G", "G"}, {"", "", "A", "B"});
    ASSERT_TRUE(Build(eSwap_Pins));
    ASSERT_EQ(GroupIds(Set->PinSwapGroups), std::vector<std::string>{"G"});
    TSwapSubNet* loose = SubNetOf(PadOf("U1", "1"));
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(loose->SubNetIndex, 9999);
    EXPECT_EQ(loose->Net_Original, nullptr);
    EXPECT_EQ(loose->SwapPin, nullptr);
    EXPECT_FALSE(Set->MasterSubNetList_Swappable.Contains(loose));
    EXPECT_EQ(Set->MasterSubNetList_Swappable.Count(), 2u);
    // The record made for pads without a net got no sub-net and is gone from the index.
    EXPECT_FALSE(Set->Nets.HasPCB(nullptr));
}

TEST_F(GroupingTest, AGroupWithOneSwappableSubNetIsInvalid) {
    // Pads 1 and 2 are joined by copper: neither sub-net can take a pin.
    PinComponent("U1", {"G", "G", "G"}, {"A", "A", "B"});
    Pcb.AddTrack("A", {0, 0}, {0, 2}, 0.2);
    ASSERT_TRUE(Build(eSwap_Pins));
    EXPECT_TRUE(Set->PinSwapGroups.Empty());
    EXPECT_TRUE(Set->MasterSubNetList_Swappable.Empty());
}

// What a non-interactive build prepares for the optimisers (targets, connection lines, crossings,
// totals), the descriptions of the records, moving copper between nets, and ownership.
#include "ModelFixture.h"

#include "permutor/model/SwapCost.h"

#include <cmath>

using namespace permutor::model;
using namespace permutor::model::testing;

namespace {

struct BuildTest : TModelFixture {
    // J1 pins 1..3 in group G at (0, 0), (0, 2), (0, 4) on A, B, C. Their partners: R1-1 (A) at
    // (10, 2), R1-2 (B) at (10, 0), so the connections of A and B cross; R1-3 (C) at (10, 4) on
    // the bottom layer.
    void CrossedBoard() {
        PinComponent("J1", {"G", "G", "G"}, {"A", "B", "C"});
        auto& r1 = Sch.AddComponent("R1");
        auto& fp = Pcb.AddFootprint("R1", r1);
        r1.AddPin("1");
        r1.AddPin("2");
        r1.AddPin("3");
        fp.AddPad("1", 10, 2).Net("A");
        fp.AddPad("2", 10, 0).Net("B");
        fp.AddPad("3", 10, 4).Smd(eV6_BottomLayer).Net("C");
    }
    TSwapSubNet* J(int pin) { return SubNetOf(PadOf("J1", std::to_string(pin))); }
    TSwapSubNet* R(int pin) { return SubNetOf(PadOf("R1", std::to_string(pin))); }
    THotSpot* PadSpot(TSwapSubNet* s) {
        EXPECT_EQ(s->HotspotList.Count(), 1u);
        return s->HotspotList.Empty() ? nullptr : s->HotspotList[0];
    }
};

THotSpot Spot(double xMM, double yMM, TV6_Layer layer = eV6_TopLayer) {
    return THotSpot(MM(xMM), MM(yMM), layer, nullptr);
}

} // namespace

TEST_F(BuildTest, TargetsConnectionsCrossingsAndTotalsOfAnAutomaticBuild) {
    CrossedBoard();
    ASSERT_TRUE(Build(eSwap_Pins, false));
    ASSERT_EQ(Set->PinSwapGroups.Count(), 1u);
    TSwapGroup* g = Set->PinSwapGroups[0];
    TSwapSubNet *j1 = J(1), *j2 = J(2), *j3 = J(3);
    EXPECT_EQ(Set->MasterSubNetList_Swappable.Count(), 3u);
    // The group's order follows the net index, whose keys are host references.
    ASSERT_EQ(g->SubNets.Count(), 3u);
    for (TSwapSubNet* s : {j1, j2, j3})
        EXPECT_TRUE(g->SubNets.Contains(s));
    ASSERT_EQ(g->TargetNets().Count(), 3u);
    // The pad of R1 on each net.
    auto partner = [&](TSwapNet* net) { return PadSpot(R(1 + net->NetName()[0] - 'A')); };
    for (int i = 0; i < 3; ++i) {
        TSwapSubNet* s = g->SubNets[std::size_t(i)];
        EXPECT_EQ(g->TargetNets()[std::size_t(i)], s->Net_Original);
        EXPECT_EQ(s->NetIndex_Original, i);
        EXPECT_EQ(s->NetIndex_Current, i);
        EXPECT_EQ(s->NetIndex_Old, -1);
        EXPECT_EQ(s->Net_Current(), s->Net_Original);
        // Each would reach any of the three nets at that net's pad of R1.
        ASSERT_EQ(s->BestTargets.size(), 3u);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(s->BestTargets[std::size_t(k)], partner(g->TargetNets()[std::size_t(k)]));
        EXPECT_EQ(s->Point1(), s->BestHotSpot);
        EXPECT_EQ(s->Point2(), partner(s->Net_Original));
        EXPECT_EQ(s->ConnectionLine->End1, s->Point1());
        EXPECT_EQ(s->ConnectionLine->End2, s->Point2());
    }
    EXPECT_DOUBLE_EQ(j1->ConnectionLength(), std::hypot(double(MM(10)), double(MM(2))));
    EXPECT_EQ(j1->IntersectingSubNets().Items(), std::vector<TSwapSubNet*>{j2});
    EXPECT_EQ(j2->IntersectingSubNets().Items(), std::vector<TSwapSubNet*>{j1});
    EXPECT_TRUE(j3->IntersectingSubNets().Empty());
    EXPECT_EQ(Set->TotalIntersectionCount(), 1);
    // Manhattan lengths; C changes layer on its way.
    const double ab = double(MM(10) + MM(2));
    EXPECT_DOUBLE_EQ(j1->SubNetCost(), ab);
    EXPECT_DOUBLE_EQ(j3->SubNetCost(), double(MM(10)) + cLayerChangePenalty);
    EXPECT_DOUBLE_EQ(Set->TotalSubNetCost(), 2 * ab + double(MM(10)) + cLayerChangePenalty);
    EXPECT_DOUBLE_EQ(Set->GetTotalCost(), 50000.0 + Set->TotalSubNetCost());
}

TEST_F(BuildTest, TargetsLeaveOutTheCopperThatMovesWithTheGroup) {
    // Pin 2 of J1 sits on A as well: A's copper of the group is no target for the group's pins.
    PinComponent("J1", {"G", "G", "G"}, {"A", "A", "B"});
    auto& r1 = Sch.AddComponent("R1");
    auto& fp = Pcb.AddFootprint("R1", r1);
    r1.AddPin("1");
    r1.AddPin("2");
    fp.AddPad("1", 30, 0).Net("A");
    fp.AddPad("2", 10, 4).Net("B");
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapSubNet* j1 = J(1);
    TSwapGroup* g = j1->PinSwapGroup();
    ASSERT_EQ(j1->BestTargets.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        // On A not J1-2, 2 mm away, but R1-1.
        const bool onA = g->TargetNets()[k]->NetName() == "A";
        EXPECT_EQ(j1->BestTargets[k], PadSpot(R(onA ? 1 : 2)));
    }
}

TEST_F(BuildTest, AnInteractiveBuildPreparesNoConnections) {
    CrossedBoard();
    ASSERT_TRUE(Build(eSwap_Pins, true));
    for (TSwapSubNet* s : Set->MasterSubNetList_Swappable) {
        EXPECT_TRUE(s->BestTargets.empty());
        EXPECT_TRUE(s->NeighbourSubNets().Empty());
        EXPECT_TRUE(s->IntersectingSubNets().Empty());
        EXPECT_EQ(s->ConnectionLine->End1, nullptr);
        EXPECT_GE(s->NetIndex_Current, 0); // the target list is built all the same
        EXPECT_EQ(s->SubNetCost(), 0.0);
    }
    EXPECT_EQ(Set->TotalIntersectionCount(), 0);
    EXPECT_EQ(Set->TotalSubNetCost(), 0.0);
    EXPECT_EQ(Set->GetTotalCost(), 0.0);
    EXPECT_EQ(Host.UI().StatusTexts(), (std::vector<std::string>{"Building Swap Map...", "Analyzing Nets...",
                                                                 "Finding Closest Sub-Net Neighbors..."}));
}

TEST_F(BuildTest, CrossingTestSpecialCases) {
    const THotSpot a1 = Spot(0, 0), a2 = Spot(10, 10), b1 = Spot(0, 10), b2 = Spot(10, 0);
    EXPECT_TRUE(Segments_Cross(&a1, &a2, &b1, &b2));
    EXPECT_FALSE(Segments_Cross(&a1, &a2, &b1, nullptr));
    // Meeting at an end counts; the same two ends in either direction do not.
    const THotSpot mid = Spot(5, 5);
    EXPECT_TRUE(Segments_Cross(&a1, &mid, &mid, &b2));
    EXPECT_FALSE(Segments_Cross(&a1, &a2, &a2, &a1));
    EXPECT_FALSE(Segments_Cross(&a1, &a2, &a1, &a2));
    // A connection whose ends coincide crosses nothing.
    EXPECT_FALSE(Segments_Cross(&mid, &mid, &b1, &b2));
    // Collinear overlap counts; parallel lines do not.
    const THotSpot c1 = Spot(5, 5), c2 = Spot(15, 15), d1 = Spot(0, 1), d2 = Spot(10, 11);
    EXPECT_TRUE(Segments_Cross(&a1, &a2, &c1, &c2));
    EXPECT_FALSE(Segments_Cross(&a1, &a2, &d1, &d2));
    // Different single layers never cross; a multi-layer end meets any layer it shares.
    const THotSpot bb1 = Spot(0, 10, eV6_BottomLayer), bb2 = Spot(10, 0, eV6_BottomLayer);
    EXPECT_FALSE(Segments_Cross(&a1, &a2, &bb1, &bb2));
    const THotSpot m1 = Spot(0, 10, eV6_MultiLayer);
    EXPECT_FALSE(Segments_Cross(&m1, &bb2, &a1, &a2)); // no end of the one shares a layer with the other
    const THotSpot m2 = Spot(10, 0, eV6_MultiLayer);
    EXPECT_FALSE(Segments_Cross(&m1, &m2, &a1, &a2));
    EXPECT_TRUE(Segments_Cross(&m1, &b2, &a1, &a2)); // b2 is on the top layer like a1
    // A first segment on one single layer wants the second to start on it: the order matters,
    // which is why sub-nets are compared in a fixed order.
    EXPECT_FALSE(Segments_Cross(&a1, &a2, &m1, &b2));
}

TEST_F(BuildTest, TheCrossingOfTwoSubNetsIsTheSameForEitherOrder) {
    CrossedBoard();
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapSubNet *j1 = J(1), *j2 = J(2), *j3 = J(3);
    for (TSwapSubNet* s : {j1, j2, j3})
        for (TSwapSubNet* t : {j1, j2, j3})
            if (s != t) {
                EXPECT_EQ(s->Crosses(t), t->Crosses(s));
            }
    // A sub-net without a current net crosses nothing and costs nothing.
    j2->NetIndex_Current = -1;
    EXPECT_FALSE(j1->Crosses(j2));
    EXPECT_EQ(j2->SubNetCost(), 0.0);
    EXPECT_EQ(j2->Point2(), nullptr);
}

TEST_F(BuildTest, RecordsDescribeThemselves) {
    CrossedBoard();
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapSubNet* j1 = J(1);
    TSwapPin* pin = j1->SwapPin;
    EXPECT_EQ(pin->GetState_Name(), "J1-1");
    EXPECT_EQ(pin->GetState_Description(), "J1-1 OldNet=A NewNet:A");
    EXPECT_EQ(pin->SubPartNumber(), "0");
    EXPECT_EQ(j1->GetState_Id(), "1(A)");
    EXPECT_EQ(j1->GetState_Description(),
              "SubNet Index:1 Prims:1 HotSpot:X:0 Y:0 Layer:1 Net Name:A Id:1(A) Comp:J1");
    EXPECT_EQ(R(1)->GetState_Description(), "SubNet Index:2 Prims:1 Net Name:A Id:NULL(NULL)");
    EXPECT_EQ(j1->Net_Original->GetState_Description(), "Net:A");
    EXPECT_EQ(Set->PinSwapGroups[0]->GetState_Description(), "SwapGroup For Component:J1 ID:G");
    EXPECT_EQ(Set->Components[0]->GetState_Description(), "J1");
    EXPECT_EQ(j1->TSwapDataObject::GetState_Description(), "Abstract TSwapDataObject:TSwapSubNet");
    EXPECT_EQ(j1->ConnectionLine->GetState_Description(),
              "Connection From:X:0 Y:0 Layer:1 To:X:" + std::to_string(MM(10)) +
                  " Y:" + std::to_string(MM(2)) + " Layer:1");

    // After a change of net the pin's new net shows, and the sub-net names it.
    j1->NetIndex_Current = J(2)->NetIndex_Original; // B
    EXPECT_EQ(pin->GetState_Description(), "J1-1 OldNet=A NewNet:B");
    EXPECT_EQ(j1->GetState_Id(), "1(B)");
    // Without a pin the sub-net shows its pin's spot instead of a far end it does not have.
    j1->BestHotSpot = nullptr;
    EXPECT_EQ(j1->GetState_Description(),
              "SubNet Index:1 Prims:1 PinSpot:X:0 Y:0 Layer:1 Net Name:B Id:1(B) Comp:J1");
}

TEST_F(BuildTest, UpdatingABoardNetMovesTheCopperOfChangedSubNetsOnly) {
    CrossedBoard();
    Pcb.AddTrack("A", {0, 0}, {-3, 0}, 0.2);
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapSubNet *j1 = J(1), *j2 = J(2), *j3 = J(3);
    TSwapNet* a = j1->Net_Original;
    TSwapNet* b = j2->Net_Original;
    std::swap(j1->NetIndex_Current, j2->NetIndex_Current);
    const auto modifies = PadOf("J1", "1").ModifyCount();
    const auto unchanged = PadOf("J1", "3").ModifyCount();
    for (TSwapSubNet* s : {j1, j2, j3})
        s->UpdatePCBNet();
    EXPECT_EQ(PadOf("J1", "1").OwnerNet()->Name(), "B");
    EXPECT_EQ(j1->Net_PCB_Current().get(), b->Net_PCB().get());
    for (auto& p : j1->Primitives)
        EXPECT_EQ(p->Net().get(), b->Net_PCB().get()); // the pad and its track
    EXPECT_EQ(PadOf("J1", "2").OwnerNet()->Name(), "A");
    EXPECT_EQ(j1->Net_Previous, b);
    EXPECT_EQ(j2->Net_Previous, a);
    EXPECT_EQ(PadOf("J1", "1").ModifyCount(), modifies + 2); // off one net, onto the other
    EXPECT_EQ(PadOf("J1", "3").OwnerNet()->Name(), "C");
    EXPECT_EQ(PadOf("J1", "3").ModifyCount(), unchanged);

    // A sub-net without a current net keeps its copper where it is.
    j3->NetIndex_Current = -1;
    j3->UpdatePCBNet();
    EXPECT_EQ(PadOf("J1", "3").OwnerNet()->Name(), "C");
    EXPECT_EQ(j3->Net_Previous, j3->Net_Original);
}

TEST_F(BuildTest, TheDataSetOwnsItsRecordsAndReleasesTheHostObjects) {
    CrossedBoard();
    TPad& pad = PadOf("J1", "1");
    // The host's islands hold their primitives too; have them made before counting.
    for (TPcbNet* net : Pcb.Model().NetList())
        net->SubNetGroupCount();
    const auto before = pad.RefCount();
    ASSERT_TRUE(Build(eSwap_Pins, false));
    EXPECT_GT(pad.RefCount(), before);
    EXPECT_GT(Set->DestructionCount(),
              Set->MasterSubNetList_All.Count() * 2 + Set->Components.Count() + Set->PinSwapGroups.Count());
    Set.reset();
    EXPECT_EQ(pad.RefCount(), before);
}

TEST_F(BuildTest, BindsTheBoardProjectAndCompiledDesignOfTheDocument) {
    CrossedBoard();
    TSwapDataSet& set = NewSet(eSwap_Parts);
    EXPECT_EQ(set.PCBBoard().get(), static_cast<IPCB_Board*>(&Pcb.Model()));
    EXPECT_EQ(set.Project().get(), static_cast<IProject*>(&Project.Model()));
    ASSERT_TRUE(set.DM_Document());
    EXPECT_EQ(set.DM_Document().get(), static_cast<IDocument*>(Project.Model().Compiled()));
    EXPECT_TRUE(set.ComponentMappings);
    EXPECT_FALSE(set.IsSchematicLibrary());
    EXPECT_EQ(set.SwapMode(), eSwap_Parts);
    EXPECT_EQ(set.DocumentPath(), Pcb.Path());
    EXPECT_EQ(set.DocumentFileName(), "m.kicad_pcb");
    EXPECT_FALSE(set.PinsOnly());
    // The design components were brought up to date once.
    auto compiled = Project.Model().Compiled();
    for (auto& c : compiled->Data()->Components)
        EXPECT_EQ(c->RefreshCount, 1) << c->DesignatorText;

    // A schematic sheet of the project: the compiled design, no board and no mappings; the
    // dialogs list its components.
    TSwapDataSet sheet(Sch.Path(), eSwap_Pins);
    EXPECT_FALSE(sheet.PCBBoard());
    EXPECT_TRUE(sheet.Project());
    EXPECT_FALSE(sheet.ComponentMappings);
    EXPECT_TRUE(sheet.Build_ComponentsOnly(""));
    EXPECT_EQ(sheet.Components.Count(), 2u);
    EXPECT_FALSE(sheet.Components[0]->Component_PCB());
    EXPECT_FALSE(sheet.Components[0]->PinSwapEnabled());
}

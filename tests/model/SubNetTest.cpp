// How nets fall into sub-nets: routed, partly routed and unrouted pins, pads without a net, hot
// spots and their de-duplication, via layer spans, the far end, neighbours and the look-ups.
#include "ModelFixture.h"

#include "permutor/model/SwapCost.h"

#include <algorithm>
#include <set>
#include <tuple>

using namespace permutor::model;
using namespace permutor::model::testing;

namespace {

struct SubNetTest : TModelFixture {
    // U1 pins 1..7 in group G:
    //   1 on A, routed to R1-1      2 on A, alone          3 on B, with a stub track
    //   4 on C, unrouted            5 no net, with a stub  6, 7 no net, joined by a track
    // R1-2 on B and R1-3 on C are unrouted; a piece of B's copper touches no pad.
    void MixedBoard() {
        PinComponent("U1", {"G", "G", "G", "G", "G", "G", "G"}, {"A", "A", "B", "C", "", "", ""});
        auto& r1 = Sch.AddComponent("R1");
        auto& fp = Pcb.AddFootprint("R1", r1);
        const char* nets[] = {"A", "B", "C"};
        for (int i = 1; i <= 3; ++i) {
            r1.AddPin(std::to_string(i));
            fp.AddPad(std::to_string(i), 10, 2.0 * (i - 1) * 2).Net(nets[i - 1]);
        }
        RouteA = &Pcb.AddTrack("A", {0, 0}, {10, 0}, 0.2);
        StubB = &Pcb.AddTrack("B", {0, 4}, {-5, 4}, 0.2);
        FloatingB = &Pcb.AddTrack("B", {20, 20}, {25, 20}, 0.2);
        StubNoNet = &Pcb.AddTrack("", {0, 8}, {-5, 8}, 0.2);
        JoinNoNet = &Pcb.AddTrack("", {0, 10}, {0, 12}, 0.2);
    }
    TSwapNet* NetNamed(const std::string& name) const {
        for (const auto& entry : Set->Nets)
            if (entry.Object->NetName() == name)
                return entry.Object;
        return nullptr;
    }
    static bool Holds(const TSwapSubNet* s, TPrimitive& p) {
        return std::any_of(s->Primitives.begin(), s->Primitives.end(),
                           [&](auto& q) { return q.get() == p.Interface(); });
    }
    using TPoint = std::tuple<TCoord, TCoord, TV6_Layer>;
    static std::set<TPoint> Points(const TSwapSubNet* s) {
        std::set<TPoint> r;
        for (THotSpot* h : s->HotspotList) {
            EXPECT_EQ(h->SubNet, s);
            r.emplace(h->X, h->Y, h->Layer);
        }
        return r;
    }

    TTrack* RouteA = nullptr;
    TTrack* StubB = nullptr;
    TTrack* FloatingB = nullptr;
    TTrack* StubNoNet = nullptr;
    TTrack* JoinNoNet = nullptr;
};

} // namespace

TEST_F(SubNetTest, ARoutedPinReachingAnotherPadIsNotSwappableItsLonePartnerIs) {
    MixedBoard();
    ASSERT_TRUE(Build(eSwap_Pins));
    TSwapNet* a = NetNamed("A");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->FSubNets_All.Count(), 2u);
    TSwapSubNet* routed = SubNetOf(PadOf("U1", "1"));
    TSwapSubNet* alone = SubNetOf(PadOf("U1", "2"));
    EXPECT_TRUE(a->FSubNets_All.Contains(routed));
    EXPECT_TRUE(a->FSubNets_All.Contains(alone));
    EXPECT_EQ(std::set<int>({routed->SubNetIndex, alone->SubNetIndex}), (std::set<int>{1, 2}));
    EXPECT_TRUE(Holds(routed, PadOf("R1", "1")));
    EXPECT_TRUE(Holds(routed, *RouteA));
    EXPECT_EQ(routed->SwapPin, nullptr);
    EXPECT_EQ(routed->Net_Original, a);
    EXPECT_EQ(routed->Net_Previous, a);
    // The pin still knows the copper it sits in.
    TSwapPin* pin1 = PinNamed(Set->PinSwapGroups[0], "1");
    EXPECT_EQ(pin1->SubNet, routed);
    ASSERT_NE(alone->SwapPin, nullptr);
    EXPECT_EQ(alone->SwapPin->Pin_PCB()->Name(), "2");
    EXPECT_EQ(alone->SwapPin->SubNet, alone);
    EXPECT_TRUE(Set->PinSwapGroups[0]->SubNets.Contains(alone));
    EXPECT_FALSE(Set->PinSwapGroups[0]->SubNets.Contains(routed));
}

TEST_F(SubNetTest, APartlyRoutedPinReachesOutFromTheFarEndOfItsCopper) {
    MixedBoard();
    ASSERT_TRUE(Build(eSwap_Pins));
    TSwapSubNet* stub = SubNetOf(PadOf("U1", "3"));
    ASSERT_NE(stub->SwapPin, nullptr);
    EXPECT_TRUE(Holds(stub, *StubB));
    // The pad's centre and the stub's start are one point.
    EXPECT_EQ(Points(stub), (std::set<TPoint>{{0, MM(4), eV6_TopLayer}, {MM(-5), MM(4), eV6_TopLayer}}));
    ASSERT_NE(stub->BestHotSpot, nullptr);
    EXPECT_EQ(stub->BestHotSpot->X, MM(-5));
    EXPECT_EQ(stub->BestHotSpot->Y, MM(4));
    EXPECT_EQ(stub->BestHotSpot->SubNet, stub);

    // An unrouted pin's far end is its pad.
    TSwapSubNet* lone = SubNetOf(PadOf("U1", "4"));
    ASSERT_NE(lone->BestHotSpot, nullptr);
    TSwapPin* pin4 = lone->SwapPin;
    ASSERT_NE(pin4, nullptr);
    EXPECT_EQ(std::tie(lone->BestHotSpot->X, lone->BestHotSpot->Y, lone->BestHotSpot->Layer),
              std::tie(pin4->PadLocation->X, pin4->PadLocation->Y, pin4->PadLocation->Layer));
    EXPECT_EQ(pin4->PadLocation->SubNet, nullptr);
}

TEST_F(SubNetTest, CopperWithoutAPadLeavesTheNetButNotTheMasterList) {
    MixedBoard();
    ASSERT_TRUE(Build(eSwap_Pins));
    TSwapNet* b = NetNamed("B");
    ASSERT_EQ(b->FSubNets_All.Count(), 2u); // U1-3 with its stub, R1-2
    std::vector<TSwapSubNet*> floating;
    for (TSwapSubNet* s : Set->MasterSubNetList_All)
        if (Holds(s, *FloatingB))
            floating.push_back(s);
    ASSERT_EQ(floating.size(), 1u);
    EXPECT_FALSE(b->FSubNets_All.Contains(floating[0]));
    EXPECT_EQ(floating[0]->Net_Original, b);
    EXPECT_EQ(floating[0]->SwapPin, nullptr);
    // A pad that is no swap pin makes its sub-net unswappable too.
    EXPECT_EQ(SubNetOf(PadOf("R1", "2"))->SwapPin, nullptr);
}

TEST_F(SubNetTest, APadWithoutANetTakesTheCopperTheFinderReaches) {
    MixedBoard();
    ASSERT_TRUE(Build(eSwap_Pins));
    TSwapSubNet* stub = SubNetOf(PadOf("U1", "5"));
    EXPECT_EQ(stub->SubNetIndex, TSwapSubNet::cNoNetSubNetIndex);
    EXPECT_EQ(stub->Net_Original, nullptr);
    ASSERT_EQ(stub->Primitives.size(), 2u);
    EXPECT_EQ(stub->Primitives[0].get(), PadOf("U1", "5").Interface()); // the start heads the list
    EXPECT_EQ(stub->Primitives[1].get(), StubNoNet->Interface());
    for (auto& p : stub->Primitives)
        EXPECT_EQ(p->SubNetNumber(), 9999);
    ASSERT_NE(stub->SwapPin, nullptr);
    EXPECT_EQ(stub->BestHotSpot->X, MM(-5));
    EXPECT_TRUE(Set->MasterSubNetList_Swappable.Contains(stub));

    // Two pins joined by copper without a net: each sub-net holds both pads, neither is swappable.
    auto six = SubNetsHolding(PadOf("U1", "6"));
    ASSERT_EQ(six.size(), 2u);
    for (TSwapSubNet* s : six) {
        EXPECT_TRUE(Holds(s, PadOf("U1", "7")));
        EXPECT_TRUE(Holds(s, *JoinNoNet));
        EXPECT_EQ(s->SwapPin, nullptr);
    }
    EXPECT_EQ(Set->PinSwapGroups[0]->SubNets.Count(), 4u); // pins 2, 3, 4 and 5
}

TEST_F(SubNetTest, PinsOnlySubNetsHoldPadsAlone) {
    MixedBoard();
    NewSet(eSwap_Pins).SetPinsOnly(true);
    ASSERT_TRUE(Set->Build("", true));
    for (TSwapSubNet* s : Set->MasterSubNetList_All)
        for (auto& p : s->Primitives)
            EXPECT_EQ(p->ObjectId(), ePadObject) << s->GetState_Description();
    TSwapSubNet* stub = SubNetOf(PadOf("U1", "3"));
    EXPECT_EQ(stub->Primitives.size(), 1u);
    EXPECT_EQ(stub->BestHotSpot->X, 0); // no stub to reach out with
    TSwapSubNet* noNet = SubNetOf(PadOf("U1", "5"));
    ASSERT_EQ(noNet->Primitives.size(), 1u);
    EXPECT_EQ(noNet->Primitives[0]->SubNetNumber(), 9999);
    // Pins 6 and 7 are no longer joined, so both take part.
    EXPECT_NE(SubNetOf(PadOf("U1", "6"))->SwapPin, nullptr);
    EXPECT_NE(SubNetOf(PadOf("U1", "7"))->SwapPin, nullptr);
    // The routed pair of pads on A is still one island.
    EXPECT_EQ(SubNetOf(PadOf("U1", "1"))->SwapPin, nullptr);
    EXPECT_EQ(NetNamed("B")->FSubNets_All.Count(), 2u);
}

TEST_F(SubNetTest, HotSpotsAreKeptOncePerPointAndViasSpanTheirLayers) {
    Pcb.CopperLayers(4);
    PinComponent("U1", {"G", "G", "G", "G", "G"}, {"A", "B", "C", "D", "E"});
    // A: two tracks meeting at one point: three points, not four.
    Pcb.AddTrack("A", {0, 0}, {5, 0}, 0.2);
    Pcb.AddTrack("A", {5, 0}, {5, -5}, 0.2);
    // B: a through via at the end of a track.
    Pcb.AddTrack("B", {0, 2}, {3, 2}, 0.2);
    Pcb.AddVia("B", {3, 2});
    // C: a via from the top to the second inner layer.
    Pcb.AddTrack("C", {0, 4}, {3, 4}, 0.2);
    Pcb.AddVia("C", {3, 4}, 0.6, 0.3, eV6_TopLayer, TV6_Layer(eV6_MidLayer1 + 1));
    // D: a via whose start layer comes after its stop layer gives no point.
    Pcb.AddTrack("D", {0, 6}, {3, 6}, 0.2);
    TVia& reversed = Pcb.AddVia("D", {3, 6}, 0.6, 0.3, TV6_Layer(eV6_MidLayer1 + 1), eV6_TopLayer);
    // E: a plain hole takes no connection.
    TPad& hole = PadOf("U1", "5");
    hole.SetExclusionFlags(cExclusion_NoConnectivity);
    ASSERT_TRUE(Build(eSwap_Pins));

    const TCoord x = MM(3);
    EXPECT_EQ(
        Points(SubNetOf(PadOf("U1", "1"))),
        (std::set<TPoint>{{0, 0, eV6_TopLayer}, {MM(5), 0, eV6_TopLayer}, {MM(5), MM(-5), eV6_TopLayer}}));
    EXPECT_EQ(
        Points(SubNetOf(PadOf("U1", "2"))),
        (std::set<TPoint>{{0, MM(2), eV6_TopLayer}, {x, MM(2), eV6_TopLayer}, {x, MM(2), eV6_MultiLayer}}));
    EXPECT_EQ(Points(SubNetOf(PadOf("U1", "3"))),
              (std::set<TPoint>{{0, MM(4), eV6_TopLayer},
                                {x, MM(4), eV6_TopLayer},
                                {x, MM(4), eV6_MidLayer1},
                                {x, MM(4), TV6_Layer(eV6_MidLayer1 + 1)}}));
    TSwapSubNet* d = SubNetOf(PadOf("U1", "4"));
    ASSERT_TRUE(Holds(d, reversed));
    EXPECT_EQ(Points(d), (std::set<TPoint>{{0, MM(6), eV6_TopLayer}, {x, MM(6), eV6_TopLayer}}));

    // The host names the owner of a plain hole; an empty table puts the far end at the pad.
    EXPECT_EQ(hole.OwnerText(), "U1");
    EXPECT_EQ(PadOf("U1", "1").OwnerText(), "");
    TSwapSubNet* e = SubNetOf(hole);
    EXPECT_TRUE(e->HotspotList.Empty());
    ASSERT_NE(e->SwapPin, nullptr);
    EXPECT_EQ(e->BestHotSpot, e->SwapPin->PadLocation);
}

TEST_F(SubNetTest, HotSpotsOfDifferentSubNetsAtOnePointAreDistinct) {
    // Copper of two nets ending at one point: each sub-net keeps a point of its own.
    PinComponent("U1", {"G", "G"}, {"A", "B"});
    Pcb.AddTrack("A", {0, 0}, {5, 5}, 0.2);
    Pcb.AddTrack("B", {0, 2}, {5, 5}, 0.2);
    ASSERT_TRUE(Build(eSwap_Pins));
    TSwapSubNet* a = SubNetOf(PadOf("U1", "1"));
    TSwapSubNet* b = SubNetOf(PadOf("U1", "2"));
    EXPECT_TRUE(a->HotspotList.Contains(THotSpot(MM(5), MM(5), eV6_TopLayer, a)));
    EXPECT_FALSE(a->HotspotList.Contains(THotSpot(MM(5), MM(5), eV6_TopLayer, b)));
    EXPECT_TRUE(b->HotspotList.Contains(THotSpot(MM(5), MM(5), eV6_TopLayer, b)));
    EXPECT_NE(a->HotspotList.Find(THotSpot(MM(5), MM(5), eV6_TopLayer, a)),
              b->HotspotList.Find(THotSpot(MM(5), MM(5), eV6_TopLayer, b)));
}

TEST_F(SubNetTest, NeighboursAreTheOtherSubNetsOfTheGroupNearestFirst) {
    PinComponent("U1", {"G", "G", "G", "G"}, {"A", "B", "C", "D"});
    Pcb.Footprint("U1").Pad("4").Model().SetPosition(0, MM(30)); // far from the rest
    auto& r1 = Sch.AddComponent("R1");
    auto& fp = Pcb.AddFootprint("R1", r1);
    for (int i = 1; i <= 4; ++i) {
        r1.AddPin(std::to_string(i));
        fp.AddPad(std::to_string(i), 20, 2.0 * i).Net(std::string(1, char('A' + i - 1)));
    }
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapSubNet* s1 = SubNetOf(PadOf("U1", "1"));
    TSwapSubNet* s2 = SubNetOf(PadOf("U1", "2"));
    TSwapSubNet* s3 = SubNetOf(PadOf("U1", "3"));
    TSwapSubNet* s4 = SubNetOf(PadOf("U1", "4"));
    EXPECT_EQ(s1->NeighbourSubNets().Items(), (std::vector<TSwapSubNet*>{s2, s3, s4}));
    EXPECT_EQ(s4->NeighbourSubNets().Items(), (std::vector<TSwapSubNet*>{s3, s2, s1}));
    ASSERT_EQ(s2->NeighbourSubNets().Count(), 3u);
    EXPECT_EQ(s2->NeighbourSubNets()[2], s4);
    for (TSwapSubNet* s : {s1, s2, s3, s4})
        EXPECT_FALSE(s->NeighbourSubNets().Contains(s));

    // An interactive build leaves them empty.
    ASSERT_TRUE(Build(eSwap_Pins, true));
    EXPECT_TRUE(SubNetOf(PadOf("U1", "1"))->NeighbourSubNets().Empty());
}

TEST_F(SubNetTest, IndexedLookUpsAnswerAsThePlainWalk) {
    MixedBoard();
    PinComponent("U2", {"Solo", "H", "H"}, {"X", "Y", "Z"}, 40);
    ASSERT_TRUE(Build(eSwap_Pins));
    std::size_t pinsFound = 0, subNetsFound = 0;
    for (TPrimitive* p : Pcb.Model().PrimitiveList()) {
        IPCB_Primitive* primitive = p->Interface();
        EXPECT_EQ(Set->FindSubNetFromPrimitive(primitive), Set->FindSubNetFromPrimitive_Scan(primitive));
        subNetsFound += Set->FindSubNetFromPrimitive(primitive) != nullptr;
        if (auto pad = QueryInterface<IPCB_Pad>(primitive)) {
            EXPECT_EQ(Set->FindSwapPinByPad(pad.get()), Set->FindSwapPinByPad_Scan(pad.get()));
            pinsFound += Set->FindSwapPinByPad(pad.get()) != nullptr;
        }
    }
    EXPECT_EQ(pinsFound, 9u); // U1's seven pins and U2's pair; the lone pin's group is gone
    EXPECT_GT(subNetsFound, 10u);
    EXPECT_EQ(Set->FindSwapPinByPad(nullptr), nullptr);
    EXPECT_EQ(Set->FindSubNetFromPrimitive(nullptr), nullptr);
    // The pins' own look-up of a pad of a dropped group finds nothing.
    EXPECT_EQ(Set->FindSwapPinByPad(&PadOf("U2", "1")), nullptr);
    // The pad of two no-net sub-nets belongs to the first one created.
    EXPECT_EQ(Set->FindSubNetFromPrimitive(&PadOf("U1", "7")), SubNetsHolding(PadOf("U1", "7")).front());
}

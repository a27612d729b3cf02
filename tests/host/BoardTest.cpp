// Copper islands, ratsnest, spatial search, distances and the undo history of the in-memory
// board, on small boards built in code.
#include "pcbhost/model/Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <tuple>

using namespace pcbhost;

namespace {

struct TBoardFixture : ::testing::Test {
    THost Host;
    TProjectBuilder& Project = Host.AddProject("/virtual/b/b.kicad_pro");
    TBoardBuilder& Pcb = Project.AddBoard("/virtual/b/b.kicad_pcb");
    TBoard& Board = Pcb.Model();

    TPad& FreePad(const std::string& net, double x, double y, TV6_Layer layer = eV6_TopLayer) {
        return Pcb.AddFreePad("P", x, y).Smd(layer).Net(net).Model();
    }
    TPcbNet& Net(const std::string& name) { return *Board.FindNet(name); }

    // Islands of a net as sets of primitives, independent of order.
    std::set<std::set<TPrimitive*>> IslandsOf(const std::string& name) {
        std::set<std::set<TPrimitive*>> r;
        for (auto& island : Net(name).Islands())
            r.emplace(island.begin(), island.end());
        return r;
    }
};

double Length(TConnection* c) {
    return std::hypot(double(c->X2() - c->X1()), double(c->Y2() - c->Y1()));
}

double RatsnestLength(TPcbNet& net) {
    double sum = 0;
    for (TConnection* c : net.Ratsnest())
        sum += Length(c);
    return sum;
}

} // namespace

TEST_F(TBoardFixture, UnroutedPadsAreIslandsOfTheirOwnJoinedByAMinimumSpanningTree) {
    TPad& a = FreePad("N1", 0, 0);
    TPad& b = FreePad("N1", 10, 0);
    TPad& c = FreePad("N1", 10, 5);
    EXPECT_EQ(IslandsOf("N1"), (std::set<std::set<TPrimitive*>>{{&a}, {&b}, {&c}}));
    ASSERT_EQ(Net("N1").Ratsnest().size(), 2u);
    // The tree joins a-b (10 mm) and b-c (5 mm), never a-c (11.2 mm).
    EXPECT_NEAR(RatsnestLength(Net("N1")), double(MM(10) + MM(5)), 2.0);
    for (TConnection* conn : Net("N1").Ratsnest()) {
        EXPECT_TRUE(conn->IsRatsnest());
        EXPECT_EQ(conn->Layer1(), eV6_TopLayer);
        EXPECT_EQ(conn->Layer2(), eV6_TopLayer);
        std::set<std::pair<TCoord, TCoord>> ends{{conn->X1(), conn->Y1()}, {conn->X2(), conn->Y2()}};
        EXPECT_TRUE(ends.count({b.X(), b.Y()})) << "every edge of this tree touches the middle pad";
    }
}

TEST_F(TBoardFixture, RatsnestEndsKeepTheLayerOfTheirAnchor) {
    FreePad("N1", 0, 0, eV6_TopLayer);
    FreePad("N1", 10, 0, eV6_BottomLayer);
    ASSERT_EQ(Net("N1").Ratsnest().size(), 1u);
    TConnection* c = Net("N1").Ratsnest().front();
    std::set<std::pair<TCoord, TV6_Layer>> ends{{c->X1(), c->Layer1()}, {c->X2(), c->Layer2()}};
    EXPECT_EQ(ends, (std::set<std::pair<TCoord, TV6_Layer>>{{0, eV6_TopLayer}, {MM(10), eV6_BottomLayer}}));
    EXPECT_EQ(c->ObjectId(), eConnectionObject);
    EXPECT_EQ(c->Net().get(), static_cast<IPCB_Net*>(&Net("N1")));
}

TEST_F(TBoardFixture, RatsnestIsAMinimumSpanningTreeOfRandomPads) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(0, 50);
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 40; ++i) {
        points.emplace_back(coordinate(random), coordinate(random));
        // Tiny pads, so that no two of them overlap and every pad is an island.
        Pcb.AddFreePad("R", points.back().first, points.back().second).Size(0.01, 0.01).Net("R");
    }
    // Prim's algorithm on the pad centres, done plainly here.
    std::vector<double> best(points.size(), 1e300);
    std::vector<bool> done(points.size(), false);
    best[0] = 0;
    double expected = 0;
    for (std::size_t step = 0; step < points.size(); ++step) {
        std::size_t next = 0;
        double d = 1e301;
        for (std::size_t i = 0; i < points.size(); ++i)
            if (!done[i] && best[i] < d)
                d = best[i], next = i;
        done[next] = true;
        expected += d;
        for (std::size_t i = 0; i < points.size(); ++i) {
            double e = std::hypot(double(MM(points[i].first) - MM(points[next].first)),
                                  double(MM(points[i].second) - MM(points[next].second)));
            best[i] = std::min(best[i], e);
        }
    }
    EXPECT_EQ(Net("R").Ratsnest().size(), points.size() - 1);
    EXPECT_NEAR(RatsnestLength(Net("R")), expected, 1e-6 * expected);
}

TEST_F(TBoardFixture, TrackJoiningTwoPadsMergesThemAndShortensTheRatsnest) {
    TPad& a = FreePad("N1", 0, 0);
    TPad& b = FreePad("N1", 10, 0);
    TPad& c = FreePad("N1", 20, 0);
    EXPECT_EQ(Net("N1").Islands().size(), 3u);
    TTrack& t = Pcb.AddTrack("N1", {0, 0}, {10, 0}, 0.25);
    EXPECT_EQ(IslandsOf("N1"), (std::set<std::set<TPrimitive*>>{{&a, &b, &t}, {&c}}));
    ASSERT_EQ(Net("N1").Ratsnest().size(), 1u);
    EXPECT_NEAR(Length(Net("N1").Ratsnest().front()), double(MM(10)), 1.0);

    // Taking the track off the net splits the island again.
    t.AssignNet(nullptr);
    EXPECT_EQ(Net("N1").Islands().size(), 3u);
}

TEST_F(TBoardFixture, CopperOneUnitApartDoesNotTouchButAbuttingCopperDoes) {
    auto track = [&](TCoordPoint from, TCoordPoint to) -> TTrack& {
        auto t = MakeObject<TTrack>();
        t->SetEnds(from, to);
        t->SetWidth(0);
        t->SetLayerValue(eV6_TopLayer);
        Board.Place(t.get());
        t->AssignNet(&Board.EnsureNet("N"));
        return *t;
    };
    TTrack& a = track({0, 0}, {1000, 0});
    TTrack& b = track({1001, 0}, {2000, 0});
    EXPECT_EQ(Net("N").Islands().size(), 2u);
    EXPECT_GE(Board.PrimPrimDistance(&a, &b), 1.0);
    TTrack& c = track({2000, 0}, {3000, 0});
    EXPECT_LT(Board.PrimPrimDistance(&b, &c), 1.0);
    EXPECT_EQ(IslandsOf("N"), (std::set<std::set<TPrimitive*>>{{&a}, {&b, &c}}));
}

TEST_F(TBoardFixture, ViaJoinsLayersOnlyWithinItsSpan) {
    Pcb.CopperLayers(4);
    TV6_Layer inner1 = TV6_Layer(eV6_MidLayer1), inner2 = TV6_Layer(eV6_MidLayer1 + 1);
    ASSERT_EQ(Board.CopperLayerList(),
              (std::vector<TV6_Layer>{eV6_TopLayer, inner1, inner2, eV6_BottomLayer}));
    FreePad("N", 0, 0, eV6_TopLayer);
    Pcb.AddTrack("N", {0, 0}, {5, 0}, 0.2, eV6_TopLayer);
    Pcb.AddTrack("N", {5, 0}, {10, 0}, 0.2, eV6_BottomLayer);
    FreePad("N", 10, 0, eV6_BottomLayer);
    TVia& blind = Pcb.AddVia("N", {5, 0}, 0.6, 0.3, eV6_TopLayer, inner1);
    EXPECT_EQ(Net("N").Islands().size(), 2u) << "a top-to-inner via does not reach the bottom track";
    EXPECT_TRUE(blind.CopperLayers().Contains(inner1));
    EXPECT_FALSE(blind.CopperLayers().Contains(inner2));

    blind.SetSpan(eV6_TopLayer, eV6_BottomLayer);
    EXPECT_EQ(Net("N").Islands().size(), 1u) << "a through via joins every layer";
}

TEST_F(TBoardFixture, ThroughHolePadJoinsAllLayersButASurfacePadOnlyItsOwn) {
    TPad& hub = Pcb.AddFreePad("H", 0, 0).ThroughHole(0.8).Size(1.6, 1.6).Net("N").Model();
    Pcb.AddTrack("N", {0, 0}, {5, 0}, 0.2, eV6_TopLayer);
    Pcb.AddTrack("N", {0, 0}, {-5, 0}, 0.2, eV6_BottomLayer);
    FreePad("N", 5, 0, eV6_TopLayer);
    FreePad("N", -5, 0, eV6_BottomLayer);
    EXPECT_EQ(Net("N").Islands().size(), 1u);

    hub.SetLayerValue(eV6_TopLayer);
    EXPECT_EQ(Net("N").Islands().size(), 2u);
}

TEST_F(TBoardFixture, ZoneFillJoinsThePadsItCoversOnItsLayer) {
    TPad& a = FreePad("GND", 0, 0);
    TPad& b = FreePad("GND", 10, 0);
    TRegion& bottomFill = Pcb.AddZoneFill("GND", eV6_BottomLayer, {{-2, -2}, {12, -2}, {12, 2}, {-2, 2}});
    EXPECT_EQ(IslandsOf("GND"), (std::set<std::set<TPrimitive*>>{{&a}, {&b}, {&bottomFill}}));
    TRegion& topFill = Pcb.AddZoneFill("GND", eV6_TopLayer, {{-2, -2}, {12, -2}, {12, 2}, {-2, 2}});
    EXPECT_EQ(IslandsOf("GND"), (std::set<std::set<TPrimitive*>>{{&a, &b, &topFill}, {&bottomFill}}));
    // An island of fill alone is no connection to make (KiCad draws no line to it either); once
    // other copper joins it, it is one again.
    EXPECT_TRUE(Net("GND").Ratsnest().empty());
    Pcb.AddTrack("GND", {4, 1}, {6, 1}, 0.2, eV6_BottomLayer);
    EXPECT_EQ(Net("GND").Islands().size(), 2u);
    ASSERT_EQ(Net("GND").Ratsnest().size(), 1u);
    TConnection* line = Net("GND").Ratsnest().front();
    EXPECT_EQ(std::set<TV6_Layer>({line->Layer1(), line->Layer2()}),
              std::set<TV6_Layer>({eV6_TopLayer, eV6_BottomLayer}));
}

TEST_F(TBoardFixture, ArcTrackConnectsAtBothEnds) {
    TPad& a = FreePad("N", 5, 0);
    TPad& b = FreePad("N", 0, -5);
    // A quarter circle around the origin from 0 to 90 degrees (upwards on screen: y = -5).
    TArc& arc = Pcb.AddArc("N", {0, 0}, 5, 0, 90, 0.2);
    EXPECT_EQ(arc.StartPoint(), (TCoordPoint{MM(5), 0}));
    EXPECT_EQ(arc.EndPoint(), (TCoordPoint{0, MM(-5)}));
    EXPECT_EQ(IslandsOf("N"), (std::set<std::set<TPrimitive*>>{{&a, &b, &arc}}));

    TArc threePoint;
    ASSERT_TRUE(threePoint.SetThroughPoints({MM(5), 0}, {MM(5 * std::sqrt(0.5)), MM(-5 * std::sqrt(0.5))},
                                            {0, MM(-5)}));
    EXPECT_NEAR(threePoint.Radius(), MM(5), 3) << "the mid point was rounded to whole units";
    EXPECT_NEAR(threePoint.StartAngle(), 0, 1e-4);
    EXPECT_NEAR(threePoint.EndAngle(), 90, 1e-4);
}

TEST_F(TBoardFixture, SubNetGroupsIterateTheirPrimitives) {
    TPad& a = FreePad("N", 0, 0);
    TPad& b = FreePad("N", 10, 0);
    TTrack& t = Pcb.AddTrack("N", {0, 0}, {10, 0}, 0.25);
    TPad& c = FreePad("N", 30, 0);
    IPCB_Net* net = &Net("N");
    ASSERT_EQ(net->SubNetGroupCount(), 2);
    std::vector<std::set<IPCB_Primitive*>> groups;
    for (int i = 0; i < net->SubNetGroupCount(); ++i) {
        auto group = net->SubNetGroup(i);
        auto it = group->Iterate();
        std::set<IPCB_Primitive*> members;
        for (auto p = it->First(); p; p = it->Next())
            members.insert(p.get());
        EXPECT_EQ(std::int32_t(members.size()), group->PrimitiveCount());
        groups.push_back(members);
        // First starts over.
        EXPECT_TRUE(it->First());
    }
    EXPECT_EQ(groups[0], (std::set<IPCB_Primitive*>{&a, &b, &t}));
    EXPECT_EQ(groups[1], (std::set<IPCB_Primitive*>{&c}));
    EXPECT_FALSE(net->SubNetGroup(2));
}

TEST_F(TBoardFixture, IslandsAreRebuiltOnlyAfterTheNetChanged) {
    FreePad("N", 0, 0);
    FreePad("N", 10, 0);
    TPcbNet& net = Net("N");
    net.Islands();
    int builds = net.RebuildCount();
    net.Islands();
    net.Ratsnest();
    EXPECT_EQ(net.RebuildCount(), builds);
    FreePad("N", 20, 0);
    EXPECT_EQ(net.Islands().size(), 3u);
    EXPECT_EQ(net.RebuildCount(), builds + 1);
    net.RebuildConnections();
    EXPECT_EQ(net.RebuildCount(), builds + 2);
}

TEST_F(TBoardFixture, LargeBoardIslandsMatchTheirConstruction) {
    // 30 nets of 50 pads; every pad but each fifth is joined to its predecessor by a track.
    for (int n = 0; n < 30; ++n) {
        std::string name = "NET" + std::to_string(n);
        for (int i = 0; i < 50; ++i) {
            FreePad(name, i * 2.0, n * 3.0);
            if (i > 0 && i % 5 != 0)
                Pcb.AddTrack(name, {(i - 1) * 2.0, n * 3.0}, {i * 2.0, n * 3.0}, 0.2);
        }
    }
    for (int n = 0; n < 30; ++n) {
        TPcbNet& net = Net("NET" + std::to_string(n));
        EXPECT_EQ(net.Islands().size(), 10u);
        EXPECT_EQ(net.Ratsnest().size(), 9u);
        EXPECT_NEAR(RatsnestLength(net), 9.0 * MM(2), 9.0);
    }
}

TEST_F(TBoardFixture, SpatialIteratorFiltersByKindLayerAndArea) {
    Pcb.CopperLayers(4);
    TPad& top = FreePad("A", 0, 0, eV6_TopLayer);
    TPad& bottom = FreePad("A", 0, 0, eV6_BottomLayer);
    TPad& th = Pcb.AddFreePad("T", 20, 0).ThroughHole().Size(1.5, 1.5).Net("A").Model();
    TTrack& track = Pcb.AddTrack("A", {0, 0}, {20, 0}, 0.2, TV6_Layer(eV6_MidLayer1));
    TVia& via = Pcb.AddVia("A", {40, 0}, 0.6, 0.3, eV6_TopLayer, TV6_Layer(eV6_MidLayer1));

    auto collect = [&](const TObjectSet& kinds, const TLayerSet& layers, const TCoordRect* area) {
        auto it = Board.SpatialIterator_Create();
        it->SetFilter_ObjectSet(kinds);
        it->SetFilter_LayerSet(layers);
        if (area)
            it->SetFilter_Area(*area);
        std::set<IPCB_Primitive*> r;
        for (auto p = it->First(); p; p = it->Next())
            r.insert(p.get());
        return r;
    };
    TLayerSet inner2 = TLayerSet().Include(eV6_MidLayer1 + 1);
    TLayerSet inner1 = TLayerSet().Include(eV6_MidLayer1);
    TObjectSet copper{ePadObject, eTrackObject, eViaObject};
    EXPECT_EQ(collect(copper, inner2, nullptr), (std::set<IPCB_Primitive*>{&th}))
        << "only the through-hole pad reaches the second inner layer";
    EXPECT_EQ(collect(copper, inner1, nullptr), (std::set<IPCB_Primitive*>{&th, &track, &via}));
    EXPECT_EQ(collect({ePadObject}, TLayerSet::All(), nullptr),
              (std::set<IPCB_Primitive*>{&top, &bottom, &th}));
    TCoordRect nearOrigin{MM(-1), MM(-1), MM(1), MM(1)};
    EXPECT_EQ(collect(copper, TLayerSet::All(), &nearOrigin),
              (std::set<IPCB_Primitive*>{&top, &bottom, &track}));
    TCoordRect nowhere{MM(100), MM(100), MM(101), MM(101)};
    EXPECT_TRUE(collect(TObjectSet::All(), TLayerSet::All(), &nowhere).empty());
    // Connections are the board's ratsnest, iterated like primitives.
    auto connections = collect({eConnectionObject}, TLayerSet::All(), nullptr);
    EXPECT_EQ(connections.size(), Net("A").Ratsnest().size());
    EXPECT_FALSE(connections.empty());
}

TEST_F(TBoardFixture, PrimPrimDistanceFollowsTheCopperOutline) {
    TPad& rect = Pcb.AddFreePad("R", 0, 0).Smd().Shape(ePadShape_Rect).Size(2, 2).Model();
    TTrack& right = Pcb.AddTrack("", {3, 0}, {6, 0}, 0.2);
    // 3 mm from the centre, minus the pad's half width and the track's half width.
    EXPECT_NEAR(Board.PrimPrimDistance(&rect, &right), MM(3) - MM(1) - MM(0.1), 2.0);
    // The same track turned to the corner: the rectangle's corner is nearest.
    TTrack& diagonal = Pcb.AddTrack("", {3, 3}, {6, 6}, 0);
    EXPECT_NEAR(Board.PrimPrimDistance(&rect, &diagonal), std::hypot(MM(2), MM(2)), 2.0);
    // Turned by 45 degrees the corners point along the axes and an edge faces the diagonal.
    rect.SetRotation(45);
    EXPECT_NEAR(Board.PrimPrimDistance(&rect, &diagonal), std::hypot(MM(3), MM(3)) - MM(1), 2.0);
    EXPECT_NEAR(Board.PrimPrimDistance(&rect, &right), MM(3) - MM(std::sqrt(2.0)) - MM(0.1), 2.0);

    TPad& oval = Pcb.AddFreePad("O", 10, 0).Smd().Shape(ePadShape_Oval).Size(4, 1).Model();
    TPad& round = Pcb.AddFreePad("C", 14, 0).Smd().Shape(ePadShape_Round).Size(1, 1).Model();
    EXPECT_NEAR(Board.PrimPrimDistance(&oval, &round), MM(4) - MM(2) - MM(0.5), 2.0);
    TPad& overlapping = Pcb.AddFreePad("C2", 11, 0).Smd().Shape(ePadShape_Round).Size(1, 1).Model();
    EXPECT_EQ(Board.PrimPrimDistance(&oval, &overlapping), 0.0);
    // Copper on different layers does not touch, even where it overlaps in the plane.
    TPad& under = Pcb.AddFreePad("U", 11, 0).Smd(eV6_BottomLayer).Shape(ePadShape_Round).Size(1, 1).Model();
    EXPECT_GE(Board.PrimPrimDistance(&oval, &under), 1.0);
    EXPECT_GT(Board.PrimPrimDistance(&oval, nullptr), 1e30);
}

TEST_F(TBoardFixture, BracketedChangeIsOneUndoStepThatRestoresNets) {
    TPad& a = FreePad("A", 0, 0);
    TPad& b = FreePad("B", 10, 0);
    TTrack& t = Pcb.AddTrack("A", {0, 0}, {0, 5}, 0.2);
    TPcbNet* netA = &Net("A");
    TPcbNet* netB = &Net("B");
    TPcbServer& server = Host.PcbServer();
    IPCB_ServerInterface* pcb = &server;

    pcb->PreProcess();
    pcb->PreProcess(); // nested brackets make one step
    a.SetNet(netB);
    t.SetNet(netB);
    pcb->PostProcess();
    b.SetNet(netA);
    netA->RemovePrimitive(&b);
    pcb->PostProcess();
    EXPECT_EQ(server.BracketCount(), 1);
    ASSERT_EQ(server.UndoStepCount(), 1u);
    EXPECT_EQ(b.OwnerNet(), nullptr);
    EXPECT_EQ(netB->Members().size(), 2u);

    // A change outside a bracket is made but is no undo step.
    TPad& c = FreePad("A", 20, 0);
    c.SetNet(netB);
    EXPECT_EQ(server.UndoStepCount(), 1u);
    ASSERT_TRUE(server.Undo());
    EXPECT_EQ(a.OwnerNet(), netA);
    EXPECT_EQ(t.OwnerNet(), netA);
    EXPECT_EQ(b.OwnerNet(), netB);
    EXPECT_EQ(c.OwnerNet(), netB);
    EXPECT_EQ(Board.FindNet("A"), netA) << "nets keep their identity through undo";
    EXPECT_FALSE(server.Undo());
}

TEST_F(TBoardFixture, UndoRestoresRemovedObjectsNetsAndSwitches) {
    auto& fp = Pcb.AddFootprint("U1", "\\s\\u1").PinSwapEnabled(false);
    TPad& pad = fp.AddPad("1", 0, 0).Net("SIG").Model();
    TPcbNet* sig = &Net("SIG");
    IPCB_ServerInterface* pcb = &Host.PcbServer();

    pcb->PreProcess();
    Board.RemoveObject(&pad);
    Board.RemoveNet(sig);
    fp.Model().SetPinSwappingEnabled(true);
    auto extra = pcb->CreateObject(eNetObject);
    auto extraNet = QueryInterface<IPCB_Net>(extra);
    Board.AddNet(extraNet.get());
    pcb->PostProcess();
    EXPECT_EQ(Board.FindNet("SIG"), nullptr);
    EXPECT_EQ(Board.NetList().size(), 1u);
    EXPECT_TRUE(std::find(Board.PrimitiveList().begin(), Board.PrimitiveList().end(), &pad) ==
                Board.PrimitiveList().end());

    ASSERT_TRUE(Host.PcbServer().Undo());
    EXPECT_EQ(Board.FindNet("SIG"), sig);
    EXPECT_EQ(pad.OwnerNet(), sig);
    EXPECT_EQ(pad.OwnerBoard(), &Board);
    EXPECT_FALSE(fp.Model().PinSwappingEnabled());
    EXPECT_EQ(Board.NetList().size(), 1u) << "the net added in the step is gone again";
}

TEST_F(TBoardFixture, RedoMakesAnUndoneStepAgainUntilTheNextChange) {
    auto& fp = Pcb.AddFootprint("U1", "\\s\\u1").PinSwapEnabled(false);
    TPad& one = fp.AddPad("1", 0, 0).Net("A").Model();
    TPad& two = fp.AddPad("2", 10, 0).Net("B").Model();
    TPad& three = fp.AddPad("3", 20, 0).Net("C").Model();
    TPcbNet* a = &Net("A");
    TPcbNet* b = &Net("B");
    TPcbNet* c = &Net("C");
    TPcbServer& server = Host.PcbServer();
    IPCB_ServerInterface* pcb = &server;
    auto net = QueryInterface<IPCB_Net>(pcb->CreateObject(eNetObject));
    Board.AddNet(net.get());
    auto line = QueryInterface<IPCB_Connection>(pcb->CreateObject(eConnectionObject));
    net->AddPrimitive(line.get());
    line->SetEnds(0, 0, eV6_TopLayer, 100, 100, eV6_TopLayer);

    pcb->PreProcess();
    one.SetNet(b);
    two.SetNet(a);
    Board.RemoveObject(&three);
    fp.Model().SetPinSwappingEnabled(true);
    line->SetEnds(MM(1), MM(2), eV6_BottomLayer, MM(3), MM(4), eV6_TopLayer);
    pcb->PostProcess();
    EXPECT_FALSE(server.Redo()) << "nothing undone yet";

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(server.Undo());
        EXPECT_EQ(server.RedoStepCount(), 1u);
        EXPECT_EQ(one.OwnerNet(), a);
        EXPECT_EQ(two.OwnerNet(), b);
        EXPECT_EQ(three.OwnerNet(), c);
        EXPECT_EQ(three.OwnerBoard(), &Board);
        EXPECT_FALSE(fp.Model().PinSwappingEnabled());
        EXPECT_EQ(line->X1(), 0);
        EXPECT_EQ(line->Layer1(), eV6_TopLayer);

        ASSERT_TRUE(server.Redo());
        EXPECT_EQ(server.RedoStepCount(), 0u);
        EXPECT_EQ(server.UndoStepCount(), 1u);
        EXPECT_EQ(one.OwnerNet(), b);
        EXPECT_EQ(two.OwnerNet(), a);
        EXPECT_EQ(three.OwnerBoard(), nullptr);
        EXPECT_EQ(three.OwnerNet(), nullptr);
        EXPECT_TRUE(fp.Model().PinSwappingEnabled());
        EXPECT_EQ(line->X1(), MM(1));
        EXPECT_EQ(line->Y2(), MM(4));
        EXPECT_EQ(line->Layer1(), eV6_BottomLayer);
    }

    // A new change after an undo drops what could have been redone.
    ASSERT_TRUE(server.Undo());
    pcb->PreProcess();
    two.SetNet(c);
    pcb->PostProcess();
    EXPECT_EQ(server.RedoStepCount(), 0u);
    EXPECT_FALSE(server.Redo());
    EXPECT_EQ(one.OwnerNet(), a);
    EXPECT_EQ(two.OwnerNet(), c);
}

TEST_F(TBoardFixture, NetsKeepTheirIdentityForTheBoardsLife) {
    TPad& pad = FreePad("CLK", 0, 0);
    IPtr<IPCB_Net> first = pad.Net();
    FreePad("CLK", 5, 0);
    Net("CLK").RebuildConnections();
    pad.AssignNet(nullptr);
    pad.AssignNet(&Net("CLK"));
    EXPECT_EQ(pad.Net(), first);
    EXPECT_EQ(&Board.EnsureNet("CLK"), first.get());
}

TEST_F(TBoardFixture, DifferentialPairsComeFromNetNames) {
    FreePad("USB_P", 0, 0);
    FreePad("USB_N", 1, 0);
    FreePad("LVDS+", 2, 0);
    FreePad("LVDS-", 3, 0);
    FreePad("CLK_P", 4, 0);  // no partner
    FreePad("data_p", 5, 0); // lower case is no polarity mark
    FreePad("data_n", 6, 0);
    ASSERT_TRUE(Net("USB_P").InDifferentialPair());
    auto pair = Net("USB_N").DifferentialPair();
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->Name(), "USB");
    EXPECT_EQ(pair->PositiveNet().get(), static_cast<IPCB_Net*>(&Net("USB_P")));
    EXPECT_EQ(pair->NegativeNet().get(), static_cast<IPCB_Net*>(&Net("USB_N")));
    EXPECT_EQ(Net("USB_P").DifferentialPair(), pair) << "one pair object for both members";
    EXPECT_EQ(Net("LVDS-").DifferentialPair()->Name(), "LVDS");
    EXPECT_FALSE(Net("CLK_P").InDifferentialPair());
    EXPECT_FALSE(Net("data_p").InDifferentialPair());
    EXPECT_TRUE(QueryInterface<IPCB_DifferentialPair>(pair.get()));
}

TEST_F(TBoardFixture, ObjectAtLocationAsksWhenSeveralQualify) {
    TPad& pad = FreePad("A", 0, 0);
    TTrack& track = Pcb.AddTrack("A", {0, 0}, {5, 0}, 0.2);
    FreePad("B", 20, 0);
    TObjectSet kinds{ePadObject, eTrackObject};
    EXPECT_EQ(Board.ObjectAtLocation(MM(3), 0, kinds, TLayerSet::All()).get(),
              static_cast<IPCB_Primitive*>(&track));
    EXPECT_FALSE(Board.ObjectAtLocation(MM(10), 0, kinds, TLayerSet::All()));
    EXPECT_FALSE(Board.ObjectAtLocation(0, 0, kinds, TLayerSet().Include(eV6_BottomLayer)));

    Host.UI().QueueChoice(1);
    auto chosen = Board.ObjectAtLocation(0, 0, kinds, TLayerSet::All());
    ASSERT_EQ(Host.UI().Choices().size(), 1u);
    EXPECT_EQ(Host.UI().Choices().back().Candidates.size(), 2u);
    EXPECT_EQ(chosen.get(), static_cast<IPCB_Primitive*>(&track));
    // An empty choice queue cancels.
    EXPECT_FALSE(Board.ObjectAtLocation(0, 0, kinds, TLayerSet::All()));
    EXPECT_EQ(Board.ObjectAtLocation(0, 0, {ePadObject}, TLayerSet::All()).get(),
              static_cast<IPCB_Primitive*>(&pad));
}

TEST_F(TBoardFixture, ChooseLocationTakesPicksUntilTheQueueIsEmpty) {
    Host.UI().QueuePickMM(1.5, -2);
    TCoord x = 0, y = 0;
    ASSERT_TRUE(Board.ChooseLocation(x, y, "Choose a pin"));
    EXPECT_EQ(x, MM(1.5));
    EXPECT_EQ(y, MM(-2));
    EXPECT_FALSE(Board.ChooseLocation(x, y, "Choose a pin"));
    EXPECT_EQ(Host.UI().PickPrompts(), (std::vector<std::string>{"Choose a pin", "Choose a pin"}));
}

TEST_F(TBoardFixture, HighlightListIsShownThroughTheUserInterface) {
    TPad& a = FreePad("A", 0, 0);
    TPad& b = FreePad("A", 3, 0);
    Board.HighlightList_Clear();
    Board.HighlightList_Begin();
    Board.HighlightList_Add(&a);
    Board.HighlightList_Add(&b);
    Board.HighlightList_Show(true, false);
    Board.HighlightList_End();
    ASSERT_EQ(Host.UI().Highlights().size(), 1u);
    EXPECT_EQ(Host.UI().Highlights()[0], (std::vector<std::uintptr_t>{ObjectIdentity<IPCB_Primitive>(&a),
                                                                      ObjectIdentity<IPCB_Primitive>(&b)}));
    ASSERT_EQ(Board.HighlightShows().size(), 1u);
    EXPECT_TRUE(Board.HighlightShows()[0].Zoom);
}

TEST_F(TBoardFixture, ComponentsOwnTheirPadsAndSwitches) {
    auto& fp = Pcb.AddFootprint("U7", "\\a\\b").PinSwapEnabled(true).Kind(eComponentKind_NetTie_BOM);
    TPad& p1 = fp.AddPad("1", 0, 0).Net("X").Model();
    TPad& p2 = fp.AddPad("2", 1, 0).Model();
    TPad& loose = FreePad("X", 5, 0);
    IPCB_Component& c = fp.Model();
    EXPECT_TRUE(c.PinSwappingEnabled());
    EXPECT_FALSE(c.PartSwappingEnabled());
    EXPECT_EQ(c.ComponentKind(), eComponentKind_NetTie_BOM);
    EXPECT_EQ(c.SourceUniqueId(), "\\a\\b");
    auto it = c.IteratePrimitives({ePadObject});
    std::vector<IPCB_Primitive*> pads;
    for (auto p = it->First(); p; p = it->Next())
        pads.push_back(p.get());
    EXPECT_EQ(pads, (std::vector<IPCB_Primitive*>{&p1, &p2}));
    EXPECT_FALSE(c.IteratePrimitives({eTrackObject})->First());
    EXPECT_TRUE(p1.InComponent());
    EXPECT_EQ(p1.Component().get(), &c);
    EXPECT_EQ(p1.OwnerText(), ""); // a pad that takes connections
    p1.SetExclusionFlags(pcbhost::cExclusion_NoConnectivity);
    EXPECT_EQ(p1.OwnerText(), "U7"); // a plain hole
    EXPECT_FALSE(loose.InComponent());
    loose.SetExclusionFlags(pcbhost::cExclusion_NoConnectivity);
    EXPECT_EQ(loose.OwnerText(), "Board");
    EXPECT_EQ(QueryInterface<IPCB_Component>(&c)->NameText(), "U7");
}

TEST_F(TBoardFixture, CreatedConnectionsLiveOnATemporaryNetAndResolveByHandle) {
    IPCB_ServerInterface* pcb = &Host.PcbServer();
    auto net = QueryInterface<IPCB_Net>(pcb->CreateObject(eNetObject));
    auto line = QueryInterface<IPCB_Connection>(pcb->CreateObject(eConnectionObject));
    ASSERT_TRUE(net && line);
    EXPECT_EQ(line->Layer(), eV6_ConnectLayer);
    EXPECT_EQ(pcb->ObjectFromHandle(line->Handle()), IPtr<IPCB_Primitive>(line));
    Board.AddNet(net.get());
    net->AddPrimitive(line.get());
    EXPECT_EQ(line->Board().get(), static_cast<IPCB_Board*>(&Board)) << "a net on a board places its objects";
    EXPECT_EQ(pcb->ObjectFromHandle(line->Handle()), IPtr<IPCB_Primitive>(line)); // found on the board now
    line->SetEnds(0, 0, eV6_TopLayer, MM(5), 0, eV6_TopLayer);
    EXPECT_EQ(line->X2(), MM(5));

    Board.RemoveObject(line.get());
    line->SetNet(nullptr);
    pcb->DestroyObject(line.get());
    EXPECT_FALSE(pcb->ObjectFromHandle(line->Handle()));
    pcb->DestroyObject(net.get());
    EXPECT_EQ(Board.NetList().size(), 0u);
}

TEST_F(TBoardFixture, PinSwapLogRecordsPadsAndTheirNets) {
    auto& fp = Pcb.AddFootprint("U1");
    TPad& a = fp.AddPad("1", 0, 0).Net("N1").Model();
    TPad& b = fp.AddPad("2", 1, 0).Net("N2").Model();
    auto log = Board.PinSwapLog();
    ASSERT_TRUE(log);
    log->RecordSwap(&a, &b, a.Net().get(), b.Net().get());
    ASSERT_EQ(Board.SwapLog().size(), 1u);
    EXPECT_EQ(Board.SwapLog()[0].PadA, "U1-1");
    EXPECT_EQ(Board.SwapLog()[0].PadB, "U1-2");
    EXPECT_EQ(Board.SwapLog()[0].NetA, "N1");
    EXPECT_EQ(Board.SwapLog()[0].NetB, "N2");
    EXPECT_EQ(Board.SwapLog()[0].ComponentA, "U1");
    EXPECT_EQ(Board.SwapLog()[0].PinB, "2");

    // Later entries share names with earlier ones (each name is kept once) and a free pad or a
    // missing net reads back empty; every entry reads back as it was recorded, in order.
    auto& loose = Pcb.AddFreePad("9", 5, 5).Net("N2").Model();
    TPad& c = fp.AddPad("3", 2, 0).Net("N1").Model();
    log->RecordSwap(&b, &a, b.Net().get(), nullptr);
    log->RecordSwap(&c, &loose, c.Net().get(), loose.Net().get());
    const std::vector<TSwapLogEntry> expected = {
        {"U1-1", "U1-2", "N1", "N2", "U1", "U1", "1", "2"},
        {"U1-2", "U1-1", "N2", "", "U1", "U1", "2", "1"},
        {"U1-3", "9", "N1", "N2", "U1", "", "3", "9"},
    };
    const TSwapLogEntries& entries = Board.SwapLog();
    ASSERT_EQ(entries.size(), expected.size());
    std::size_t i = 0;
    for (const TSwapLogEntry& e : entries) {
        const TSwapLogEntry& x = expected[i++];
        EXPECT_EQ(std::tie(e.PadA, e.PadB, e.NetA, e.NetB, e.ComponentA, e.ComponentB, e.PinA, e.PinB),
                  std::tie(x.PadA, x.PadB, x.NetA, x.NetB, x.ComponentA, x.ComponentB, x.PinA, x.PinB))
            << "entry " << i - 1;
    }
    EXPECT_EQ(entries[2].PadB, "9");
}

TEST_F(TBoardFixture, LayersOfTheBoard) {
    Pcb.CopperLayers(6);
    EXPECT_EQ(Board.TopLayer(), eV6_TopLayer);
    EXPECT_EQ(Board.BottomLayer(), eV6_BottomLayer);
    TLayerSet multi;
    Board.LayerSet_IncludeMultiLayer(multi);
    for (TV6_Layer l : Board.CopperLayerList())
        EXPECT_TRUE(multi.Contains(l));
    EXPECT_FALSE(multi.Contains(eV6_MidLayer1 + 4)) << "a six-layer board has four inner layers";
    EXPECT_TRUE(Board.VisibleLayers().Contains(eV6_MidLayer1 + 3));
    Pcb.DisplayUnit(eImperial);
    EXPECT_EQ(Board.DisplayUnit(), eImperial);
}

TEST_F(TBoardFixture, PadCopperCanBeLimitedToSomeLayers) {
    Pcb.CopperLayers(4);
    TPad& outerOnly = Pcb.AddFreePad("H", 0, 0).ThroughHole().Size(1.6, 1.6).Net("N").Model();
    Pcb.AddTrack("N", {0, 0}, {5, 0}, 0.2, TV6_Layer(eV6_MidLayer1));
    EXPECT_EQ(Net("N").Islands().size(), 1u);
    outerOnly.SetCopperLayerOverride(TLayerSet().Include(eV6_TopLayer).Include(eV6_BottomLayer));
    EXPECT_EQ(Net("N").Islands().size(), 2u) << "an outer-layer annulus does not meet an inner track";
    outerOnly.SetCopperLayerOverride(std::nullopt);
    EXPECT_EQ(Net("N").Islands().size(), 1u);
}

TEST_F(TBoardFixture, RemovedLoadedObjectsAreListedForTheWriter) {
    TTrack& loaded = Pcb.AddTrack("N", {0, 0}, {1, 0}, 0.2);
    loaded.SetSourceId("b3f1");
    TTrack& added = Pcb.AddTrack("N", {1, 0}, {2, 0}, 0.2);
    Board.ClearModifiedFlags();
    EXPECT_FALSE(Board.Modified());
    EXPECT_FALSE(loaded.Modified());
    IPCB_ServerInterface* pcb = &Host.PcbServer();
    pcb->PreProcess();
    Board.RemoveObject(&loaded);
    Board.RemoveObject(&added);
    pcb->PostProcess();
    EXPECT_EQ(Board.RemovedSourceIds(), (std::vector<std::string>{"b3f1"}));
    EXPECT_TRUE(Board.Modified());
    Host.PcbServer().Undo();
    EXPECT_TRUE(Board.RemovedSourceIds().empty()) << "undo puts the loaded track back";
    loaded.SetNet(nullptr);
    EXPECT_TRUE(loaded.Modified());
}

TEST_F(TBoardFixture, ContextAndCurrentObjectAreWhatTheHostWasToldToShow) {
    auto& fp = Pcb.AddFootprint("U3");
    TPad& pad = fp.AddPad("1", 0, 0).Model();
    EXPECT_FALSE(Board.CurrentObject(0, 0));
    EXPECT_EQ(Board.CountInContext(2), 0);
    EXPECT_FALSE(Board.ComponentInContext({eComponentObject}, 2));

    Board.SetContext({&pad, &fp.Model()});
    Board.SetCurrentObject(&pad);
    EXPECT_EQ(Board.CountInContext(2), 2);
    EXPECT_EQ(Board.ComponentInContext({eComponentObject}, 2).get(),
              static_cast<IPCB_Primitive*>(&fp.Model()));
    EXPECT_EQ(Board.ComponentInContext({ePadObject}, 2).get(), static_cast<IPCB_Primitive*>(&pad));
    EXPECT_FALSE(Board.ComponentInContext({eViaObject}, 2));
    EXPECT_EQ(Board.CurrentObject(0, 0).get(), static_cast<IPCB_Primitive*>(&pad));
    // Removing an object takes it out of the context.
    Board.RemoveObject(&pad);
    EXPECT_EQ(Board.CountInContext(2), 1);
    EXPECT_FALSE(Board.CurrentObject(0, 0));
}

TEST_F(TBoardFixture, DrawnLinesMovedInsideABracketMoveBackOnUndo) {
    IPCB_ServerInterface* pcb = &Host.PcbServer();
    auto net = QueryInterface<IPCB_Net>(pcb->CreateObject(eNetObject));
    Board.AddNet(net.get());
    auto line = QueryInterface<IPCB_Connection>(pcb->CreateObject(eConnectionObject));
    net->AddPrimitive(line.get());
    line->SetEnds(0, 0, eV6_TopLayer, 100, 100, eV6_TopLayer);
    pcb->PreProcess();
    line->SetEnds(MM(1), MM(2), eV6_BottomLayer, MM(3), MM(4), eV6_TopLayer);
    pcb->PostProcess();
    EXPECT_EQ(line->Layer1(), eV6_BottomLayer);
    ASSERT_TRUE(Host.PcbServer().Undo());
    EXPECT_EQ(line->X1(), 0);
    EXPECT_EQ(line->Y2(), 100);
    EXPECT_EQ(line->Layer1(), eV6_TopLayer);

    // The net lists its drawn line like any member; it has no copper, so no islands.
    auto it = net->IteratePrimitives();
    EXPECT_EQ(it->First(), IPtr<IPCB_Primitive>(line));
    EXPECT_FALSE(it->Next());
    EXPECT_EQ(net->SubNetGroupCount(), 0);
}

namespace {

// A user interface of another front end: answers every pick with one fixed point.
class TFixedPickUI : public TUnknownImpl<IHostUI> {
public:
    bool HasUserInterface() override { return true; }
    bool DesktopUIRunning() override { return false; }
    void ShowMessage(TMessageBoxKind, const std::string&, const std::string&) override {}
    TModalResult AskQuestion(const std::string&, const std::string&, TQuestionButtons) override {
        return eModal_No;
    }
    bool ChooseLocation(const std::string&, std::int32_t& x, std::int32_t& y) override {
        x = 123, y = 456;
        return true;
    }
    std::int32_t ChooseAmong(const std::string&, const std::vector<std::string>&) override { return 0; }
    void Cursor_SetWait() override {}
    void Cursor_Restore() override {}
    void Status_Begin() override {}
    void Status_Text(const std::string&) override {}
    void Status_End() override {}
    void StatusBar_SetPanelText(std::int32_t, const std::string&) override {}
    void Progress_Begin(const std::string&, std::int32_t) override {}
    void Progress_Step(std::int32_t) override {}
    void Progress_End() override {}
    void ProcessMessages() override {}
    bool AbortKey_Pressed() override { return false; }
    void Highlight_Show(const std::vector<std::uintptr_t>&) override {}
    void View_Redraw() override {}
    void Preview_ShowPins(std::uintptr_t, const std::string&) override {}
};

} // namespace

TEST(HostWithAnotherUserInterface, BoardsAndClientUseTheInstalledServices) {
    auto ui = MakeObject<TFixedPickUI>();
    THost host(THostSettings{"", ui});
    auto& pcb = host.AddFreeBoard("/virtual/ui.kicad_pcb");
    TCoord x = 0, y = 0;
    ASSERT_TRUE(pcb.Model().ChooseLocation(x, y, "pick"));
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 456);
    EXPECT_EQ(host.Client()->UI().get(), static_cast<IHostUI*>(ui.get()));
    EXPECT_THROW(host.UI(), std::logic_error);
}

TEST_F(TBoardFixture, ManyDrawnLinesComeAndGoInAnyOrderKeepingTheRestInPlacementOrder) {
    // A run draws a line per connection and removes them all, first drawn first; the board's
    // list, handles, component list and spatial search must stay right throughout.
    IPCB_ServerInterface* pcb = &Host.PcbServer();
    auto& fp = Pcb.AddFootprint("U1");
    fp.AddPad("1", 0, 0).Net("A");
    fp.AddPad("2", 1, 0).Net("B");
    auto net = QueryInterface<IPCB_Net>(pcb->CreateObject(eNetObject));
    Board.AddNet(net.get());
    std::vector<IPtr<IPCB_Connection>> lines;
    for (int i = 0; i < 60; ++i) {
        auto line = QueryInterface<IPCB_Connection>(pcb->CreateObject(eConnectionObject));
        net->AddPrimitive(line.get());
        line->SetEnds(MM(10 + i), 0, eV6_TopLayer, MM(10 + i), MM(1), eV6_TopLayer);
        lines.push_back(line);
    }
    auto expectList = [&](const std::vector<IPtr<IPCB_Connection>>& kept) {
        std::vector<TPrimitive*> wanted;
        for (TPrimitive* p : Board.PrimitiveList())
            if (p->Kind() != eConnectionObject)
                wanted.push_back(p);
        for (auto& l : kept)
            wanted.push_back(ModelOf(l.get()));
        EXPECT_EQ(Board.PrimitiveList(), wanted);
        for (auto& l : kept)
            EXPECT_EQ(pcb->ObjectFromHandle(l->Handle()), IPtr<IPCB_Primitive>(l));
        ASSERT_EQ(Board.ComponentList().size(), 1u);
        EXPECT_EQ(Board.ComponentList()[0], &fp.Model());
        TCoordRect around{MM(9), MM(-1), MM(80), MM(2)};
        EXPECT_EQ(Board.Query(&around).size(), kept.size());
        // The net's members are the kept lines in the order they joined it, each once.
        std::vector<TPrimitive*> members;
        for (auto& l : kept)
            members.push_back(ModelOf(l.get()));
        EXPECT_EQ(ModelOf(net.get())->Members(), members);
    };
    expectList(lines);
    auto drop = [&](std::size_t i) {
        Board.RemoveObject(lines[i].get());
        lines[i]->SetNet(nullptr);
        pcb->DestroyObject(lines[i].get());
        EXPECT_FALSE(pcb->ObjectFromHandle(lines[i]->Handle()));
        EXPECT_EQ(lines[i]->Board().get(), nullptr);
        lines.erase(lines.begin() + std::ptrdiff_t(i));
    };
    for (int k = 0; k < 20; ++k) // first drawn first
        drop(0);
    expectList(lines);
    for (int k = 0; k < 10; ++k) // last drawn first
        drop(lines.size() - 1);
    expectList(lines);
    for (std::size_t k = 0; k < 10; ++k) // from the middle, the list read after each
        drop(lines.size() / 2), expectList(lines);
    // A line that leaves for another net and comes back joins the end of the member list; the
    // lines left in between keep their order, read or not.
    auto other = QueryInterface<IPCB_Net>(pcb->CreateObject(eNetObject));
    Board.AddNet(other.get());
    lines[1]->SetNet(other.get());
    lines[3]->SetNet(other.get());
    lines[3]->SetNet(net.get());
    EXPECT_EQ(ModelOf(other.get())->Members(), std::vector<TPrimitive*>{ModelOf(lines[1].get())});
    lines[1]->SetNet(net.get());
    EXPECT_TRUE(ModelOf(other.get())->Members().empty());
    std::vector<IPtr<IPCB_Connection>> order = lines;
    order.erase(order.begin() + 3);
    order.erase(order.begin() + 1);
    order.push_back(lines[3]);
    order.push_back(lines[1]);
    std::size_t walked = 0;
    auto it = net->IteratePrimitives();
    for (auto p = it->First(); p; p = it->Next(), ++walked)
        ASSERT_EQ(ModelOf(p.get()), ModelOf(order[walked].get()));
    EXPECT_EQ(walked, order.size());
    std::vector<TPrimitive*> members;
    for (auto& l : order)
        members.push_back(ModelOf(l.get()));
    EXPECT_EQ(ModelOf(net.get())->Members(), members);
    // An object taken off and put back goes to the end.
    TPad& pad = *fp.Model().Pads()[0];
    IPtr<IPCB_Component> keep(&fp.Model());
    Board.RemoveObject(&fp.Model());
    EXPECT_TRUE(Board.ComponentList().empty());
    EXPECT_EQ(pad.OwnerBoard(), nullptr);
    Board.AddPrimitive(&fp.Model());
    ASSERT_EQ(Board.ComponentList().size(), 1u);
    EXPECT_EQ(Board.PrimitiveList()[Board.PrimitiveList().size() - 3], &fp.Model());
    EXPECT_EQ(Board.PrimitiveList().back(), fp.Model().Pads().back());
    EXPECT_EQ(Board.FindComponent("U1"), &fp.Model());

    // Components stay in placement order as others come and go.
    auto& u2 = Pcb.AddFootprint("U2");
    auto& u3 = Pcb.AddFootprint("U3");
    IPtr<IPCB_Component> keepU2(&u2.Model());
    Board.RemoveObject(&u2.Model());
    EXPECT_EQ(Board.ComponentList(), (std::vector<TPcbComponent*>{&fp.Model(), &u3.Model()}));
    Board.AddPrimitive(&u2.Model());
    EXPECT_EQ(Board.ComponentList(), (std::vector<TPcbComponent*>{&fp.Model(), &u3.Model(), &u2.Model()}));
    EXPECT_EQ(Board.FindComponent("U2"), &u2.Model());
    std::vector<TPcbComponent*> listed;
    for (TPrimitive* p : Board.PrimitiveList())
        if (auto* c = dynamic_cast<TPcbComponent*>(p))
            listed.push_back(c);
    EXPECT_EQ(Board.ComponentList(), listed);
}

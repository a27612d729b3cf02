// The search for copper that touches a pad, on small boards of the in-memory host: breadth-first
// order, layers, touching by distance, the passes it skips and the multi-pass dictionary.
#include "permutor/schematic/ConnectedObjectFinder.h"

#include "pcbhost/model/Host.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace pcbhost;
using permutor::schematic::ConnectedObjectFinder_CopperKinds;
using permutor::schematic::TConnectedFlagsDictionary;
using permutor::schematic::TConnectedObjectFinder;

static_assert(permutor::host::cPrimitiveExclusion_KeepOut == pcbhost::cExclusion_KeepOut);
static_assert(permutor::host::cPrimitiveExclusion_NoConnectivity == pcbhost::cExclusion_NoConnectivity);

namespace {

// A track that lies on copper but offers the non-connecting interface (as copper text might).
class TNonConnectingTrack : public TTrack {
public:
    TNonConnectingTrack() : FMarker(this) {}

protected:
    bool QueryExtra(const TGuid& iid, void** out) override {
        if (iid != IPCB_NonConnectingObject::IID)
            return false;
        *out = static_cast<IPCB_NonConnectingObject*>(&FMarker);
        return true;
    }

private:
    // Answers for the track: references taken through it are the track's.
    struct TMarker : IPCB_NonConnectingObject {
        explicit TMarker(TTrack* owner) : Owner(owner) {}
        bool QueryInterface(const TGuid& iid, void** out) override { return Owner->QueryInterface(iid, out); }
        std::uint32_t AddRef() override { return Owner->AddRef(); }
        std::uint32_t Release() override { return Owner->Release(); }
        TTrack* Owner;
    } FMarker;
};

struct FinderTest : ::testing::Test {
    THost Host;
    TBoardBuilder& Pcb = Host.AddFreeBoard("/virtual/finder/finder.kicad_pcb");
    TBoard& Board = Pcb.Model();

    TPad& Pad(const std::string& footprint, const std::string& name, double x, double y,
              TV6_Layer layer = eV6_TopLayer) {
        TFootprintBuilder& fp =
            HasFootprint(footprint) ? Pcb.Footprint(footprint) : Pcb.AddFootprint(footprint);
        return fp.AddPad(name, x, y).Smd(layer).Model();
    }
    bool HasFootprint(const std::string& designator) { return Board.FindComponent(designator) != nullptr; }
    TTrack& Track(TPointMM from, TPointMM to, TV6_Layer layer = eV6_TopLayer, double width = 0.2) {
        return Pcb.AddTrack("", from, to, width, layer);
    }

    std::vector<IPtr<IPCB_Primitive>> Find(TPrimitive& start,
                                           TConnectedFlagsDictionary* dictionary = nullptr) {
        std::vector<IPtr<IPCB_Primitive>> found;
        TConnectedObjectFinder finder(&Board, start.Interface(), found, ConnectedObjectFinder_CopperKinds(),
                                      dictionary);
        finder.Run();
        return found;
    }
    static std::vector<IPCB_Primitive*> Raw(const std::vector<IPtr<IPCB_Primitive>>& list) {
        std::vector<IPCB_Primitive*> r;
        for (auto& p : list)
            r.push_back(p.get());
        return r;
    }
    static bool Holds(const std::vector<IPtr<IPCB_Primitive>>& list, TPrimitive& p) {
        return std::any_of(list.begin(), list.end(), [&](auto& q) { return q.get() == p.Interface(); });
    }
};

} // namespace

TEST_F(FinderTest, APadWithNothingTouchingItFindsItselfOnly) {
    TPad& pad = Pad("U1", "1", 0, 0);
    Pad("U1", "2", 5, 0);
    Track({3, 0}, {8, 0});
    EXPECT_EQ(Raw(Find(pad)), std::vector<IPCB_Primitive*>{pad.Interface()});
}

TEST_F(FinderTest, FollowsTouchingCopperBreadthFirstFromTheStart) {
    TPad& start = Pad("U1", "1", 0, 0);
    TTrack& t1 = Track({0, 0}, {5, 0});
    TTrack& t2 = Track({5, 0}, {5, 5});
    TTrack& branch = Track({0, 0}, {0, -4});
    TPad& far = Pad("R1", "1", 5, 5); // another component's pad is copper to follow
    TTrack& beyond = Track({5, 5}, {9, 5});
    const auto found = Find(start);
    ASSERT_EQ(found.size(), 6u);
    EXPECT_EQ(found[0].get(), start.Interface());
    // Level by level: what touches the pad, then what touches those, then the next ring.
    auto pos = [&](TPrimitive& p) {
        return std::find_if(found.begin(), found.end(), [&](auto& q) { return q.get() == p.Interface(); }) -
               found.begin();
    };
    EXPECT_LT(std::max(pos(t1), pos(branch)), pos(t2));
    EXPECT_LT(pos(t2), std::min(pos(far), pos(beyond)));
}

TEST_F(FinderTest, TouchingMeansLessThanOneUnitApart) {
    // Collinear tracks 3 units wide: ends 3 units apart touch (distance 0), 4 units apart do not.
    TPad& start = Pad("U1", "1", 0, 0);
    TTrack& a = Track({0, 0}, {1, 0});
    a.SetWidth(3);
    const TCoord end = a.X2();
    TTrack& touching = Track({2, 0}, {3, 0});
    touching.SetEnds({end + 3, 0}, {end + 1000, 0});
    touching.SetWidth(3);
    TTrack& apart = Track({2, 1}, {3, 1});
    apart.SetEnds({end, 4}, {end, 1000}); // starts 4 units beside a's end: 1 unit gap
    apart.SetWidth(3);
    ASSERT_EQ(Board.PrimPrimDistance(&a, &apart), 1.0);
    const auto found = Find(start);
    EXPECT_TRUE(Holds(found, touching));
    EXPECT_FALSE(Holds(found, apart));
}

TEST_F(FinderTest, ViasAreFollowedOnEveryLayerTheySpanSingleLayersOnlyOnTheirOwn) {
    Pcb.CopperLayers(4);
    TPad& start = Pad("U1", "1", 0, 0);
    TTrack& top = Track({0, 0}, {5, 0});
    TVia& via = Pcb.AddVia("", {5, 0});
    TTrack& inner = Track({5, 0}, {5, 6}, TV6_Layer(eV6_MidLayer1 + 1));
    TTrack& bottom = Track({5, 0}, {10, 0}, eV6_BottomLayer);
    // Under the top track on another layer: overlaps its area, touches nothing on its layer.
    TTrack& under = Track({1, -1}, {1, 1}, eV6_BottomLayer);
    const auto found = Find(start);
    EXPECT_TRUE(Holds(found, top));
    EXPECT_TRUE(Holds(found, via));
    EXPECT_TRUE(Holds(found, inner));
    EXPECT_TRUE(Holds(found, bottom));
    EXPECT_FALSE(Holds(found, under));
}

TEST_F(FinderTest, ANetTieStopsTheSearchOtherComponentsDoNot) {
    TPad& start = Pad("U1", "1", 0, 0);
    Track({0, 0}, {5.6, 0});
    TPad& tie = Pad("NT1", "1", 6, 0);
    Pcb.Footprint("NT1").Kind(eComponentKind_NetTie_NoBOM);
    TTrack& behindTie = Track({6.4, 0}, {10, 0});
    TPad& other = Pad("R1", "1", 0, 5);
    Track({0, 0}, {0, 5});
    const auto found = Find(start);
    EXPECT_FALSE(Holds(found, tie));
    EXPECT_FALSE(Holds(found, behindTie));
    EXPECT_TRUE(Holds(found, other));

    Pcb.Footprint("NT1").Kind(eComponentKind_NetTie_BOM);
    EXPECT_FALSE(Holds(Find(start), tie));
    Pcb.Footprint("NT1").Kind(eComponentKind_Standard);
    EXPECT_TRUE(Holds(Find(start), behindTie));
}

TEST_F(FinderTest, FillsAreNotFollowedWithTheCopperKinds) {
    TPad& start = Pad("U1", "1", 0, 0);
    TRegion& fill = Pcb.AddZoneFill("", eV6_TopLayer, {{-2, -2}, {2, -2}, {2, 2}, {-2, 2}});
    TTrack& onFill = Track({1.5, 1.5}, {6, 6});
    const auto found = Find(start);
    EXPECT_FALSE(Holds(found, fill));
    EXPECT_FALSE(Holds(found, onFill));
    EXPECT_EQ(found.size(), 1u);
}

TEST_F(FinderTest, ExcludedAndNonConnectingCopperIsPassedBy) {
    TPad& start = Pad("U1", "1", 0, 0);
    TTrack& keepOut = Track({0, 0}, {5, 0});
    keepOut.SetExclusionFlags(cExclusion_KeepOut);
    TTrack& noConnectivity = Track({0, 0}, {0, 5});
    noConnectivity.SetExclusionFlags(cExclusion_NoConnectivity);
    auto marked = MakeObject<TNonConnectingTrack>();
    marked->SetEnds({0, 0}, {MM(-5), 0});
    marked->SetWidth(MM(0.2));
    Board.Place(marked.get());
    TTrack& plain = Track({0, 0}, {-3, -3});
    ASSERT_TRUE(QueryInterface<IPCB_NonConnectingObject>(marked->Interface()));
    const auto found = Find(start);
    EXPECT_FALSE(Holds(found, keepOut));
    EXPECT_FALSE(Holds(found, noConnectivity));
    EXPECT_FALSE(Holds(found, *marked));
    EXPECT_TRUE(Holds(found, plain));
}

TEST_F(FinderTest, AMultipassDictionaryHidesWhatEarlierPassesReported) {
    TPad& a = Pad("U1", "1", 0, 0);
    TPad& b = Pad("U1", "2", 10, 0);
    TTrack& shared = Track({0, 0}, {10, 0});
    TTrack& onlyB = Track({10, 0}, {10, 5});
    TConnectedFlagsDictionary dictionary;
    const auto first = Find(a, &dictionary);
    EXPECT_TRUE(Holds(first, shared));
    EXPECT_TRUE(Holds(first, b));
    EXPECT_TRUE(Holds(first, onlyB));
    // The second pass starts at b, which the first reached: b is neither reported nor anything
    // behind it, since everything it touches was reached before.
    const auto second = Find(b, &dictionary);
    EXPECT_TRUE(second.empty());

    // A fresh pad reached by no pass heads its own list; known copper stays hidden.
    TPad& c = Pad("U1", "3", 10, 5);
    TTrack& onlyC = Track({10, 5}, {15, 5});
    const auto third = Find(c, &dictionary);
    EXPECT_EQ(Raw(third), (std::vector<IPCB_Primitive*>{c.Interface(), onlyC.Interface()}));
}

TEST_F(FinderTest, ClearingFlagsKeepsTestedPrimitivesKnown) {
    TPad& a = Pad("U1", "1", 0, 0);
    TPad& b = Pad("U1", "2", 9, 9);
    TConnectedFlagsDictionary dictionary;
    EXPECT_FALSE(dictionary.HasBeenTouched(a.Interface()));
    dictionary.MarkPrimitiveAsTouched(a.Interface());
    EXPECT_TRUE(dictionary.HasBeenTouched(a.Interface()));
    EXPECT_FALSE(dictionary.HasBeenTouched(b.Interface()));
    dictionary.ClearFlags();
    EXPECT_TRUE(dictionary.HasBeenTouched(a.Interface()));
    dictionary.MarkPrimitiveAsTouched(a.Interface()); // replaces the entry, adds none
    EXPECT_EQ(dictionary.Count(), 1u);
}

TEST_F(FinderTest, ARunIsOncePerFinder) {
    TPad& a = Pad("U1", "1", 0, 0);
    std::vector<IPtr<IPCB_Primitive>> found;
    TConnectedObjectFinder finder(&Board, a.Interface(), found, ConnectedObjectFinder_CopperKinds());
    finder.Run();
    EXPECT_THROW(finder.Run(), std::logic_error);
    EXPECT_EQ(found.size(), 1u);
}

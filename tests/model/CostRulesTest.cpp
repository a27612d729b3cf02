// The exact rules of the connection cost: the crossing test of two connection lines at the scale of
// one board unit, and which target hot spot a sub-net connects to.
#include "ModelFixture.h"

#include "permutor/model/SwapCost.h"

#include <array>
#include <cmath>
#include <random>

using namespace permutor::model;
using namespace permutor::model::testing;
using permutor::host::TCoord;
using permutor::host::TV6_Layer;

namespace {

// Segment ends in board units, all on the top layer.
struct TSegmentCase {
    const char* What;
    std::array<TCoord, 4> A; // x1, y1, x2, y2
    std::array<TCoord, 4> B;
    bool Crosses;
};

// The geometry must not depend on where the lines lie, which way they run, which of the two comes
// first, or how the picture is mirrored or turned: so every case is checked under the eight
// symmetries of the square, both directions of each line and both orders of the pair. That puts
// each touching and each near miss on both sides of every comparison in the test.
void ExpectCrossingEveryWay(const TSegmentCase& c) {
    // A realistic place on the board, so the products are as large as a real board's.
    const TCoord ox = MM(40), oy = MM(25);
    for (int symmetry = 0; symmetry < 8; ++symmetry) {
        auto place = [&](TCoord x, TCoord y) {
            if (symmetry & 1)
                x = -x;
            if (symmetry & 2)
                y = -y;
            if (symmetry & 4)
                std::swap(x, y);
            return THotSpot(ox + x, oy + y, eV6_TopLayer, nullptr);
        };
        const THotSpot a1 = place(c.A[0], c.A[1]), a2 = place(c.A[2], c.A[3]);
        const THotSpot b1 = place(c.B[0], c.B[1]), b2 = place(c.B[2], c.B[3]);
        const THotSpot* ends[4][4] = {
            {&a1, &a2, &b1, &b2}, {&a2, &a1, &b1, &b2}, {&a1, &a2, &b2, &b1}, {&a2, &a1, &b2, &b1}};
        for (int order = 0; order < 4; ++order)
            for (bool swapped : {false, true}) {
                const THotSpot* const* e = ends[order];
                const bool got =
                    swapped ? Segments_Cross(e[2], e[3], e[0], e[1]) : Segments_Cross(e[0], e[1], e[2], e[3]);
                EXPECT_EQ(got, c.Crosses) << c.What << " (symmetry " << symmetry << ", order " << order
                                          << (swapped ? ", pair swapped)" : ")");
                // The form the crossing index runs must agree at every one of these edges.
                auto end = [](const THotSpot* h) { return TLineEnd{h->X, h->Y, h->Layer}; };
                const bool combined =
                    swapped ? Segments_Cross_Combined(end(e[2]), end(e[3]), end(e[0]), end(e[1]))
                            : Segments_Cross_Combined(end(e[0]), end(e[1]), end(e[2]), end(e[3]));
                EXPECT_EQ(combined, c.Crosses) << c.What << ", combined form (symmetry " << symmetry
                                               << ", order " << order << (swapped ? ", pair swapped)" : ")");
            }
    }
}

} // namespace

// S is 0.1 inch; a near miss is one board unit.
TEST(CrossingRules, NearMissesTouchesAndCollinearLinesAtTheScaleOfOneUnit) {
    constexpr TCoord S = 1000000;
    const TSegmentCase cases[] = {
        {"clear crossing", {0, 0, 10 * S, 10 * S}, {0, 10 * S, 10 * S, 0}, true},
        {"crossing by one unit", {0, 0, 10 * S, 10 * S}, {5 * S - 1, 5 * S, 10 * S, 0}, true},
        // An end on the inside of the other line: a T-junction counts as a crossing.
        {"T-junction on a diagonal", {0, 0, 10 * S, 10 * S}, {5 * S, 5 * S, 10 * S, 0}, true},
        {"T-junction, axis-parallel", {0, 0, 10 * S, 0}, {5 * S, 0, 5 * S, 10 * S}, true},
        {"T-junction at a sloped end", {0, 0, 10 * S, 10 * S}, {0, 10 * S, 5 * S, 5 * S}, true},
        // The same lines one unit short: the ends' boxes still overlap, the lines do not meet.
        {"T-junction missed by one unit", {0, 0, 10 * S, 10 * S}, {5 * S + 1, 5 * S, 10 * S, 0}, false},
        {"sloped end one unit short", {0, 0, 10 * S, 10 * S}, {0, 10 * S, 5 * S - 1, 5 * S}, false},
        {"axis-parallel T one unit off", {0, 0, 10 * S, 0}, {5 * S, 1, 5 * S, 10 * S}, false},
        // Two connections meeting at a common end count as one crossing.
        {"shared end, bent", {0, 0, 10 * S, 10 * S}, {10 * S, 10 * S, 20 * S, 0}, true},
        {"shared end, right angle", {0, 0, 10 * S, 0}, {10 * S, 0, 10 * S, 10 * S}, true},
        {"ends one unit apart below", {0, 0, 10 * S, 10 * S}, {10 * S, 10 * S - 1, 20 * S, 0}, false},
        {"ends one unit apart above", {0, 0, 10 * S, 10 * S}, {10 * S, 10 * S + 1, 20 * S, 0}, false},
        {"ends one unit apart sideways", {0, 0, 10 * S, 0}, {10 * S + 1, 0, 10 * S + 1, 10 * S}, false},
        // Collinear lines count when they share any point.
        {"collinear overlapping", {0, 0, 10 * S, 0}, {5 * S, 0, 15 * S, 0}, true},
        {"collinear, one inside the other", {0, 0, 10 * S, 10 * S}, {2 * S, 2 * S, 8 * S, 8 * S}, true},
        {"collinear end to end", {0, 0, 10 * S, 10 * S}, {10 * S, 10 * S, 20 * S, 20 * S}, true},
        {"collinear, one unit apart", {0, 0, 10 * S, 0}, {10 * S + 1, 0, 20 * S, 0}, false},
        {"collinear diagonal, disjoint",
         {0, 0, 10 * S, 10 * S},
         {10 * S + 1, 10 * S + 1, 20 * S, 20 * S},
         false},
        // Parallel one unit apart, with overlapping boxes.
        {"parallel, one unit apart", {0, 0, 10 * S, 10 * S}, {1, 0, 10 * S + 1, 10 * S}, false},
        {"would cross if extended", {0, 0, 10 * S, 10 * S}, {0, 10 * S, 4 * S, 6 * S}, false},
    };
    for (const TSegmentCase& c : cases)
        ExpectCrossingEveryWay(c);
}

// The index's form of the test against the plain one on random lines: ends drawn from a small
// grid, so shared ends, zero-length lines, collinear runs and T-junctions are common, on layers
// that include the multi-layer one; and on coordinates near the ends of the 32-bit range, where
// the products round.
TEST(CrossingRules, TheCombinedFormAgreesWithThePlainOneOnRandomLines) {
    std::mt19937 random(17);
    const TV6_Layer layers[] = {eV6_TopLayer, eV6_BottomLayer, eV6_MultiLayer};
    std::int64_t crossings = 0, trials = 0;
    for (const TCoord scale : {TCoord(1), TCoord(1000), TCoord(200000000)}) {
        std::uniform_int_distribution<int> grid(-5, 5);
        std::uniform_int_distribution<int> layer(0, 2);
        std::uniform_int_distribution<TCoord> jitter(-2, 2);
        for (int i = 0; i < 200000; ++i) {
            THotSpot p[4] = {{0, 0, eV6_TopLayer, nullptr},
                             {0, 0, eV6_TopLayer, nullptr},
                             {0, 0, eV6_TopLayer, nullptr},
                             {0, 0, eV6_TopLayer, nullptr}};
            for (THotSpot& h : p) {
                h.X = TCoord(grid(random)) * scale + (scale > 1000 && i % 2 ? jitter(random) : 0);
                h.Y = TCoord(grid(random)) * scale + (scale > 1000 && i % 2 ? jitter(random) : 0);
                h.Layer = layers[layer(random)];
            }
            const bool plain = Segments_Cross(&p[0], &p[1], &p[2], &p[3]);
            auto end = [](const THotSpot& h) { return TLineEnd{h.X, h.Y, h.Layer}; };
            const bool combined = Segments_Cross_Combined(end(p[0]), end(p[1]), end(p[2]), end(p[3]));
            ASSERT_EQ(combined, plain) << "scale " << scale << " case " << i << ": (" << p[0].X << ","
                                       << p[0].Y << ")-(" << p[1].X << "," << p[1].Y << ") and (" << p[2].X
                                       << "," << p[2].Y << ")-(" << p[3].X << "," << p[3].Y << ")";
            crossings += plain;
            ++trials;
        }
    }
    // Both answers occur often, so agreement is not agreement on "no".
    EXPECT_GT(crossings, trials / 10);
    EXPECT_LT(crossings, trials * 9 / 10);
}

// The crossings' cost wraps at 32 bits; the descent's floor may only be used where it does not.
TEST(CrossingRules, TheCrossingCostRisesExactlyBetweenItsWraps) {
    // 42,949 crossings cost 2,147,450,000; one more passes 2^31 and wraps to a negative cost.
    EXPECT_EQ(CrossingCost(42949), 2147450000);
    EXPECT_LT(CrossingCost(42950), 0);
    EXPECT_TRUE(CrossingCost_RisesOver(0, 42949));
    EXPECT_FALSE(CrossingCost_RisesOver(0, 42950));
    EXPECT_TRUE(CrossingCost_RisesOver(42950, 128849));
    EXPECT_FALSE(CrossingCost_RisesOver(42949, 43000));
    EXPECT_FALSE(CrossingCost_RisesOver(100000, 128850));
    EXPECT_TRUE(CrossingCost_RisesOver(-42949, 42949));
    EXPECT_FALSE(CrossingCost_RisesOver(-42950, 0));
    EXPECT_FALSE(CrossingCost_RisesOver(10, 9));
    // Against the cost itself: over every range it accepts, each step up costs more.
    for (std::int64_t low = 42900; low < 43000; ++low)
        for (std::int64_t high = low; high < low + 60; ++high) {
            bool rises = true;
            for (std::int64_t x = low; x < high; ++x)
                rises = rises && CrossingCost(x + 1) > CrossingCost(x);
            EXPECT_EQ(CrossingCost_RisesOver(low, high), rises) << low << ".." << high;
        }
}

// ---------------------------------------------------------------- best targets

namespace {

struct BestTargetTest : TModelFixture {
    THotSpot* PadSpot(const std::string& ref, const std::string& pad) {
        TSwapSubNet* s = SubNetOf(PadOf(ref, pad));
        EXPECT_TRUE(s && s->HotspotList.Count() == 1u);
        return s && !s->HotspotList.Empty() ? s->HotspotList[0] : nullptr;
    }
    // A footprint with one pad "1" on `net` at (x, y) mm.
    TPadBuilder& Partner(const std::string& ref, double x, double y, const std::string& net) {
        auto& component = Sch.AddComponent(ref);
        component.AddPin("1");
        return Pcb.AddFootprint(ref, component).AddPad("1", x, y).Net(net);
    }
};

} // namespace

// J1-1 at (0, 0) on A has five pads of A to choose from. The nearest lies on the other side of the
// copper and loses to the layer change; the nearest on its own layer sits in the middle of the
// candidate list, so neither the first nor the last candidate nor the farthest is the answer.
TEST_F(BestTargetTest, TheNearestTargetWinsWithTheLayerChangeCountedAndTheFirstOfEqualOnes) {
    PinComponent("J1", {"G", "G"}, {"A", "B"});
    Partner("R1", 12, 0, "A");
    Partner("R2", 9, 0, "A");
    Partner("R3", 0, -3, "A");                        // 3 mm: the nearest on the top layer
    Partner("R4", 0, -2.5, "A").Smd(eV6_BottomLayer); // 2.5 mm, but 0.762 mm more for the change
    Partner("R5", 15, 0, "A");
    // J1-2 at (0, 2) has two pads of B exactly as far away.
    Partner("R6", 0, 7, "B");
    Partner("R7", 5, 2, "B");
    ASSERT_TRUE(Build(eSwap_Pins, false));

    TSwapSubNet* j1 = SubNetOf(PadOf("J1", "1"));
    TSwapSubNet* j2 = SubNetOf(PadOf("J1", "2"));
    ASSERT_TRUE(j1 && j2);
    TSwapGroup* g = j1->PinSwapGroup();
    ASSERT_EQ(g->TargetNets().Count(), 2u);
    const std::size_t a = g->TargetNets()[0]->NetName() == "A" ? 0 : 1, b = 1 - a;
    ASSERT_EQ(j1->BestTargets.size(), 2u);
    ASSERT_EQ(j2->BestTargets.size(), 2u);

    // The candidates of A: the five partner pads, in an order the answer must not rely on.
    const auto& candidatesA = g->TargetNets()[a]->TargetHotSpots();
    ASSERT_EQ(candidatesA.Count(), 5u);
    THotSpot* r3 = PadSpot("R3", "1");
    THotSpot* r4 = PadSpot("R4", "1");
    ASSERT_EQ(r4->Layer, eV6_BottomLayer);
    ASSERT_EQ(j1->BestHotSpot->Layer, eV6_TopLayer);
    EXPECT_LT(HotSpots_EuclideanDistance(j1->BestHotSpot, r4),
              HotSpots_EuclideanDistance(j1->BestHotSpot, r3));
    EXPECT_GT(HotSpots_EuclideanDistance(j1->BestHotSpot, r4) + cLayerChangePenalty,
              HotSpots_EuclideanDistance(j1->BestHotSpot, r3));
    const std::ptrdiff_t at = candidatesA.IndexOf(r3);
    EXPECT_GT(at, 0) << "the nearest must not be the first candidate";
    EXPECT_LT(at, std::ptrdiff_t(candidatesA.Count()) - 1) << "the nearest must not be the last candidate";
    EXPECT_EQ(j1->BestTargets[a], r3);
    // J1-2 at (0, 2) would reach A at R3 as well (5 mm, against R4's 4.5 mm plus the change).
    EXPECT_EQ(j2->BestTargets[a], r3);

    // B: R6 and R7 are equally far from J1-2; the one met first in the list wins.
    THotSpot* r6 = PadSpot("R6", "1");
    THotSpot* r7 = PadSpot("R7", "1");
    ASSERT_EQ(HotSpots_EuclideanDistance(j2->BestHotSpot, r6),
              HotSpots_EuclideanDistance(j2->BestHotSpot, r7));
    const auto& candidatesB = g->TargetNets()[b]->TargetHotSpots();
    ASSERT_EQ(candidatesB.Count(), 2u);
    EXPECT_EQ(j2->BestTargets[b], candidatesB[0]);
    // For J1-1 at (0, 0) R7 (5.4 mm) is nearer than R6 (7 mm), whatever the order.
    EXPECT_EQ(j1->BestTargets[b], r7);
}

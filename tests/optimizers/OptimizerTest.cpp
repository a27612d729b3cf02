// The optimisers on boards built in code: the fast optimiser's locking and exchanges, the
// iterative optimiser's groups, descent and rollbacks, and the automatic run's questions, abort
// handling and report.
#include "../model/ModelFixture.h"
#include "../model/RandomBoard.h"

#include "permutor/optimizers/GreedyOptimizer.h"
#include "permutor/optimizers/IterativeOptimizer.h"
#include "permutor/optimizers/RunDrivers.h"

#include <algorithm>
#include <map>
#include <numeric>

using namespace permutor::model;
using namespace permutor::model::testing;
using namespace permutor::optimizers;

namespace {

class OptimizerTest : public TModelFixture {
protected:
    void SetUp() override {
        TModelFixture::SetUp();
        Optimizer_SetAborted(false);
        // The same random choices on every run, so that a failure can be run again; a test that
        // wants other seeds sets them itself.
        Host.ClientModel().SetRandomSeed(1);
    }
    // What an iterative run decided: the figures two ways of running it must share.
    struct TOutcome {
        std::int32_t Moves, Improved, Worse, Crossings, Skipped;
        double Cost;
        std::vector<std::int32_t> Nets;
    };
    // Builds the model afresh and runs the iterative optimiser with `settings`.
    TOutcome RunIterative(const TIterativeSettings& settings, bool oneLineFloor = true) {
        EXPECT_TRUE(Build(eSwap_Pins, false));
        Set->SetOneLineFloor(oneLineFloor);
        TSwapOptimizer_Iterative iterative(*Set);
        iterative.Settings = settings;
        EXPECT_TRUE(iterative.Run());
        TOutcome o{iterative.MovesTotal,
                   iterative.ImprovedTotal,
                   iterative.AcceptedWorseTotal,
                   Set->TotalIntersectionCount(),
                   iterative.SkippedHopeless,
                   Set->GetTotalCost(),
                   {}};
        for (TSwapSubNet* s : Set->MasterSubNetList_Swappable)
            o.Nets.push_back(s->NetIndex_Current);
        return o;
    }
    void TearDown() override {
        Optimizer_SetAborted(false);
        TModelFixture::TearDown();
    }

    // A tangled bank: `ref` has pins 1..order.size() in swap group `group`, 2 mm apart down from
    // (x, 0); a connector 10 mm to the right has one pad per net, net i's pad at the height of
    // pin order[i]. So pin i best carries net order^-1(i), and the pins' nets are shuffled.
    void TangledBank(const std::string& ref, const std::string& group, const std::vector<int>& order,
                     double x = 0) {
        std::vector<std::string> ids(order.size(), group), nets;
        for (std::size_t i = 0; i < order.size(); ++i)
            nets.push_back(ref + "_N" + std::to_string(i + 1));
        PinComponent(ref, ids, nets, x);
        auto& connector = Pcb.AddFootprint("J" + ref);
        for (std::size_t i = 0; i < order.size(); ++i)
            connector.AddPad(std::to_string(i + 1), x + 10, 2.0 * order[i]).Net(nets[i]);
    }
    // The net names on the pads 1..n of a component.
    std::vector<std::string> NetsOn(const std::string& ref, std::size_t n) {
        std::vector<std::string> r;
        for (std::size_t i = 1; i <= n; ++i) {
            auto* net = PadOf(ref, std::to_string(i)).OwnerNet();
            r.push_back(net ? net->Name() : "");
        }
        return r;
    }
    // The nets every pin of a tangled bank would carry in the straight assignment.
    static std::vector<std::string> Untangled(const std::string& ref, const std::vector<int>& order) {
        std::vector<std::string> r(order.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            r[std::size_t(order[i])] = ref + "_N" + std::to_string(i + 1);
        return r;
    }
    TSwapGroup* GroupNamed(const std::string& id) {
        for (TSwapGroup* g : Set->PinSwapGroups)
            if (g->ID == id)
                return g;
        return nullptr;
    }
    TScriptedUI& UI() { return Host.UI(); }
    std::vector<std::string> Captions() {
        std::vector<std::string> r;
        for (const auto& q : UI().Questions())
            r.push_back(q.Caption);
        return r;
    }
};

// ---------------------------------------------------------------- the fast optimiser

TEST_F(OptimizerTest, GreedyUntanglesEachGroupAndLocksEverySubNet) {
    const std::vector<int> order{3, 0, 4, 1, 2}, other{1, 0, 2, 3};
    TangledBank("U1", "A", order);
    TangledBank("U2", "B", other, 40);
    ASSERT_TRUE(Build(eSwap_Pins, false));
    const double before = Set->GetTotalCost();
    TSwapOptimizer_Greedy greedy(*Set);
    ASSERT_TRUE(greedy.Run());
    EXPECT_EQ(Set->GetLockedCount(), std::int32_t(Set->MasterSubNetList_Swappable.Count()));
    // One step per sub-net: each step fixes one (with or without an exchange).
    EXPECT_EQ(greedy.Iterations, std::int32_t(order.size() + other.size()));
    EXPECT_LT(greedy.CostAtEnd, before);
    EXPECT_EQ(greedy.CostAtStart, before);
    EXPECT_EQ(greedy.CostAtEnd, Set->GetTotalCost());

    Set->ExportChanges_ToPCB();
    EXPECT_EQ(NetsOn("U1", order.size()), Untangled("U1", order));
    EXPECT_EQ(NetsOn("U2", other.size()), Untangled("U2", other));
    // Every committed exchange went to the board's pin-swap log with the pads' starting nets.
    EXPECT_FALSE(Pcb.Model().SwapLog().empty());
    // The run's progress: one bar of the swappable sub-nets, ended.
    ASSERT_FALSE(UI().Progress().empty());
    EXPECT_EQ(UI().Progress().front().Caption, "Local Pin/Net Optimizer...");
    EXPECT_TRUE(UI().Progress().front().Ended);
}

TEST_F(OptimizerTest, GreedyLeavesAnUntangledGroupAsItIsAndSwapsNothing) {
    TangledBank("U1", "A", {0, 1, 2, 3});
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapOptimizer_Greedy greedy(*Set);
    ASSERT_TRUE(greedy.Run());
    EXPECT_EQ(greedy.CostAtEnd, greedy.CostAtStart);
    EXPECT_EQ(Set->GetLockedCount(), 4);
    EXPECT_TRUE(Pcb.Model().SwapLog().empty());
}

TEST_F(OptimizerTest, GreedyStopsAtTheAbortFlag) {
    TangledBank("U1", "A", {3, 0, 4, 1, 2});
    ASSERT_TRUE(Build(eSwap_Pins, false));
    Optimizer_SetAborted(true);
    TSwapOptimizer_Greedy greedy(*Set);
    greedy.Run();
    EXPECT_EQ(greedy.Iterations, 0);
    EXPECT_EQ(Set->GetLockedCount(), 0);
    EXPECT_EQ(greedy.CostAtEnd, greedy.CostAtStart);
}

// ---------------------------------------------------------------- the iterative optimiser

// Records the total cost after every proposal of a group, by group.
class TWatchedIterative : public TSwapOptimizer_Iterative {
public:
    using TSwapOptimizer_Iterative::TSwapOptimizer_Iterative;
    void ShowStatus() override {
        Costs[CurrentGroup].push_back(SwapData->GetTotalCost());
        TSwapOptimizer_Iterative::ShowStatus();
    }
    std::map<const TSwapGroup*, std::vector<double>> Costs;
};

TEST_F(OptimizerTest, IterativeLeavesGroupsOfThreeAloneAndUntanglesLargerOnes) {
    TangledBank("U1", "SMALL", {2, 0, 1});
    TangledBank("U2", "BIG", {5, 3, 0, 4, 1, 2}, 40);
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TWatchedIterative iterative(*Set);
    ASSERT_TRUE(iterative.Run());
    EXPECT_EQ(iterative.Costs.count(GroupNamed("SMALL")), 0u);
    EXPECT_GT(iterative.Costs[GroupNamed("BIG")].size(), 0u);
    Set->ExportChanges_ToPCB();
    EXPECT_EQ(NetsOn("U1", 3), (std::vector<std::string>{"U1_N1", "U1_N2", "U1_N3"}));
    EXPECT_EQ(NetsOn("U2", 6), Untangled("U2", {5, 3, 0, 4, 1, 2}));
    EXPECT_EQ(iterative.RollbackFailures, 0);
    EXPECT_EQ(UI().Progress().front().Caption, "Iterative Pin/Net Optimizer...");
}

TEST_F(OptimizerTest, ImproveOnlyNeverRaisesTheCostAndAnnealingFindsNoWorse) {
    TRandomBoardShape shape;
    shape.Components = 2;
    shape.PinsPerComponent = 8;
    RandomBoard_Build(Sch, Pcb, shape, 11);
    std::map<bool, double> endCost;
    for (bool improveOnly : {true, false}) {
        ASSERT_TRUE(Build(eSwap_Pins, false));
        const double start = Set->GetTotalCost();
        TWatchedIterative iterative(*Set);
        iterative.Settings.ImproveOnlyFromStart = improveOnly;
        ASSERT_TRUE(iterative.Run());
        ASSERT_EQ(iterative.Costs.size(), 2u);
        bool rose = false;
        for (const auto& [group, costs] : iterative.Costs)
            for (std::size_t i = 1; i < costs.size(); ++i)
                rose = rose || costs[i] > costs[i - 1];
        EXPECT_EQ(rose, !improveOnly && iterative.AcceptedWorseTotal > 0) << improveOnly;
        if (improveOnly) {
            EXPECT_EQ(iterative.AcceptedWorseTotal, 0);
        }
        EXPECT_LT(iterative.CostAtEnd, start);
        endCost[improveOnly] = iterative.CostAtEnd;
    }
    // The descent may stop in a local minimum the annealing climbs out of; on this board it does.
    EXPECT_LE(endCost[false], endCost[true]);
}

// Records the total cost and the group's nets after every proposal.
class TStepWatcher : public TSwapOptimizer_Iterative {
public:
    using TSwapOptimizer_Iterative::TSwapOptimizer_Iterative;
    struct TStep {
        double Cost;
        std::vector<std::int32_t> Nets;
    };
    void ShowStatus() override {
        Steps.push_back({SwapData->GetTotalCost(), NetsNow(*CurrentGroup)});
        TSwapOptimizer_Iterative::ShowStatus();
    }
    static std::vector<std::int32_t> NetsNow(const TSwapGroup& group) {
        std::vector<std::int32_t> nets;
        for (TSwapSubNet* s : group.SubNets)
            nets.push_back(s->NetIndex_Current);
        return nets;
    }
    std::vector<TStep> Steps;
};

// U1's pins 1..4 sit 2 mm apart. N1's pad is 10 mm to the left and N2's 10 mm to the right, both
// level between pins 1 and 2, so those two pins may exchange N1 and N2 at no cost either way.
// N3 and N4 cross on their way to the right: exchanging pins 3 and 4 is the one improvement.
// The descent keeps a proposal only when the cost falls strictly: the free exchange is undone.
TEST_F(OptimizerTest, TheDescentKeepsOnlyStrictImprovementsAndUndoesEqualCostExchanges) {
    PinComponent("U1", {"D", "D", "D", "D"}, {"N1", "N2", "N3", "N4"});
    auto& pads = Pcb.AddFootprint("J1");
    pads.AddPad("1", -10, 1).Net("N1");
    pads.AddPad("2", 10, 1).Net("N2");
    pads.AddPad("3", 10, 6).Net("N3");
    pads.AddPad("4", 10, 4).Net("N4");
    // The rule holds whatever the random proposals; two fixed seeds keep the runs repeatable.
    for (std::uint32_t seed : {7u, 2024u})
        for (bool improveOnly : {true, false}) {
            SCOPED_TRACE(std::string(improveOnly ? "descent" : "annealing") + ", seed " +
                         std::to_string(seed));
            Host.ClientModel().SetRandomSeed(seed);
            ASSERT_TRUE(Build(eSwap_Pins, false));
            TSwapGroup* g = GroupNamed("D");
            ASSERT_TRUE(g);
            ASSERT_EQ(g->SubNets.Count(), 4u);
            auto pin = [&](int n) { return SubNetOf(PadOf("U1", std::to_string(n))); };
            const double start = Set->GetTotalCost();
            // What the board offers, from the starting nets: one free exchange and one improvement.
            auto costOf = [&](TSwapSubNet* a, TSwapSubNet* b) {
                Set->SwapSubNets_Begin(a, b);
                const double cost = Set->GetTotalCost();
                Set->SwapSubNets_Rollback(a, b);
                EXPECT_EQ(Set->GetTotalCost(), start);
                return cost;
            };
            ASSERT_EQ(costOf(pin(1), pin(2)), start);
            ASSERT_LT(costOf(pin(3), pin(4)), start);

            TStepWatcher iterative(*Set);
            iterative.Settings.ImproveOnlyFromStart = improveOnly;
            ASSERT_TRUE(iterative.Run());
            ASSERT_GT(iterative.Steps.size(), 100u);
            // Step by step: the nets changed exactly when the cost fell, or (annealing only) when a
            // proposal that did not lower it was let through.
            std::vector<std::int32_t> nets{0, 1, 2, 3};
            double cost = start;
            std::int32_t lower = 0, equal = 0, higher = 0;
            for (const auto& step : iterative.Steps) {
                if (step.Nets != nets) {
                    lower += step.Cost < cost;
                    equal += step.Cost == cost;
                    higher += step.Cost > cost;
                } else {
                    EXPECT_EQ(step.Cost, cost); // an undone proposal leaves the cost exactly as it was
                }
                nets = step.Nets;
                cost = step.Cost;
            }
            EXPECT_EQ(lower, iterative.ImprovedTotal);
            EXPECT_GE(lower, 1);
            if (improveOnly) {
                EXPECT_EQ(equal, 0);
                EXPECT_EQ(higher, 0);
                EXPECT_EQ(iterative.AcceptedWorseTotal, 0);
                // Pins 1 and 2 keep their nets: the only way to change them costs nothing.
                std::vector<std::string> names;
                for (int n = 1; n <= 4; ++n)
                    names.push_back(g->TargetNets()[std::size_t(pin(n)->NetIndex_Current)]->NetName());
                EXPECT_EQ(names, (std::vector<std::string>{"N1", "N2", "N4", "N3"}));
            } else {
                // The free exchange is proposed and, at any temperature, let through.
                EXPECT_GE(equal, 1);
                EXPECT_EQ(equal + higher, iterative.AcceptedWorseTotal);
            }
        }
}

// A whole annealing run with thousands of rolled-back proposals: every rollback restored the cost
// exactly, and the totals the transactions kept agree with a recount from scratch.
TEST_F(OptimizerTest, RollbacksOverAWholeRunLeaveTheTotalsExact) {
    TRandomBoardShape shape;
    shape.Components = 2;
    shape.PinsPerComponent = 12;
    RandomBoard_Build(Sch, Pcb, shape, 5);
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapOptimizer_Iterative iterative(*Set);
    ASSERT_TRUE(iterative.Run());
    const std::int32_t rejected =
        iterative.MovesTotal - iterative.ImprovedTotal - iterative.AcceptedWorseTotal;
    EXPECT_GT(rejected, 1000);
    EXPECT_EQ(iterative.RollbackFailures, 0);
    const double cost = Set->GetTotalCost(), subNetCost = Set->TotalSubNetCost();
    const std::int32_t crossings = Set->TotalIntersectionCount();
    Set->Totals_Recount();
    EXPECT_EQ(Set->TotalIntersectionCount(), crossings);
    EXPECT_NEAR(Set->TotalSubNetCost(), subNetCost, 1e-6 * subNetCost);
    EXPECT_NEAR(Set->GetTotalCost(), cost, 1e-6 * cost);
    for (const auto& box : UI().Boxes())
        EXPECT_EQ(box.Text.find("Failed to rollback"), std::string::npos);
}

// Refreshing only the group that was put back on its starting nets decides exactly as refreshing
// every list: same proposals kept, same cost to the last bit, same nets, on boards whose groups'
// lines cross one another.
TEST_F(OptimizerTest, AGroupRefreshDecidesExactlyAsAFullRecount) {
    TRandomBoardShape shape;
    shape.Components = 6;
    shape.PinsPerComponent = 12;
    shape.Spread = 16;
    RandomBoard_Build(Sch, Pcb, shape, 11);
    auto run = [this](bool groupOnly, bool improveOnly) {
        TIterativeSettings settings;
        settings.RefreshGroupOnly = groupOnly;
        settings.ImproveOnlyFromStart = improveOnly;
        const TOutcome o = RunIterative(settings);
        // Every list holds what crosses its line now, whichever way it was kept.
        std::vector<std::vector<TSwapSubNet*>> lists;
        for (TSwapSubNet* s : Set->MasterSubNetList_Swappable) {
            lists.emplace_back(s->FIntersectingSubNets.begin(), s->FIntersectingSubNets.end());
            std::sort(lists.back().begin(), lists.back().end());
        }
        Set->Totals_Recount();
        EXPECT_EQ(Set->TotalIntersectionCount(), o.Crossings);
        for (std::size_t i = 0; i < lists.size(); ++i) {
            std::vector<TSwapSubNet*> fresh(Set->MasterSubNetList_Swappable[i]->FIntersectingSubNets.begin(),
                                            Set->MasterSubNetList_Swappable[i]->FIntersectingSubNets.end());
            std::sort(fresh.begin(), fresh.end());
            EXPECT_EQ(lists[i], fresh) << "sub-net " << i;
        }
        return o;
    };
    for (bool improveOnly : {true, false}) {
        SCOPED_TRACE(improveOnly ? "descent" : "annealing");
        const TOutcome group = run(true, improveOnly);
        const TOutcome full = run(false, improveOnly);
        EXPECT_GT(group.Crossings + group.Improved, 0);
        EXPECT_EQ(group.Moves, full.Moves);
        EXPECT_EQ(group.Improved, full.Improved);
        EXPECT_EQ(group.Worse, full.Worse);
        EXPECT_EQ(group.Crossings, full.Crossings);
        EXPECT_EQ(group.Cost, full.Cost);
        EXPECT_EQ(group.Nets, full.Nets);
    }
}

// The descent turns down without the crossing tests the proposals whose new lengths alone cost at
// least what they could save, and with one or two new lines' tests in place of an exchange those
// that cannot lower the cost either; it keeps exactly the moves it keeps when it tests every
// proposal by exchanging the pair.
TEST_F(OptimizerTest, SkippingHopelessProposalsKeepsTheSameMoves) {
    TRandomBoardShape shape;
    shape.Components = 6;
    shape.PinsPerComponent = 12;
    shape.Spread = 16;
    RandomBoard_Build(Sch, Pcb, shape, 5);
    auto run = [this](bool skip, bool oneLine) {
        TIterativeSettings settings;
        settings.SkipHopeless = skip;
        return RunIterative(settings, oneLine);
    };
    const TOutcome testing = run(false, true);
    EXPECT_EQ(testing.Skipped, 0);
    EXPECT_EQ(Set->OneLineTried(), 0);
    const TOutcome lengths = run(true, false);
    EXPECT_EQ(Set->OneLineTried(), 0);
    const TOutcome skipping = run(true, true);
    EXPECT_GT(Set->OneLineSettled(), 0);
    EXPECT_GT(Set->OneLineTried(), Set->OneLineSettled()); // some needed the second line
    EXPECT_GT(skipping.Improved, 0);
    EXPECT_GT(lengths.Skipped, lengths.Moves / 4);
    EXPECT_GT(skipping.Skipped, lengths.Skipped);
    for (const TOutcome* o : {&lengths, &skipping}) {
        EXPECT_EQ(o->Moves, testing.Moves);
        EXPECT_EQ(o->Improved, testing.Improved);
        EXPECT_EQ(o->Crossings, testing.Crossings);
        EXPECT_EQ(o->Cost, testing.Cost);
        EXPECT_EQ(o->Nets, testing.Nets);
    }
}

// Right after a group is put back on its starting nets, the group refresh leaves every list and
// the crossing count exactly as a recount from scratch does.
TEST_F(OptimizerTest, AGroupRefreshLeavesTheListsOfARecount) {
    // Three tangled banks side by side, 4 mm apart: their lines cross those of the other banks.
    std::mt19937 random(3);
    for (int bank = 0; bank < 3; ++bank) {
        std::vector<int> order(12);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
        TangledBank("U" + std::to_string(bank + 1), "1", order, 4.0 * bank);
    }
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapOptimizer_Iterative iterative(*Set);
    iterative.Settings.RefreshGroupOnly = false;
    ASSERT_TRUE(iterative.Run()); // groups moved away from their starting nets
    auto lists = [this] {
        std::vector<std::vector<TSwapSubNet*>> r;
        for (TSwapSubNet* s : Set->MasterSubNetList_Swappable) {
            r.emplace_back(s->FIntersectingSubNets.begin(), s->FIntersectingSubNets.end());
            std::sort(r.back().begin(), r.back().end());
        }
        return r;
    };
    std::int32_t refreshed = 0;
    for (TSwapGroup* group : Set->PinSwapGroups) {
        // What the optimiser does to a group before it starts on it.
        const double groupCost = group->SubNetCost();
        group->BuildTargetNetList();
        group->FindBestTargetsForSubNets();
        Set->Totals_RecountGroup(*group, groupCost);
        const auto afterGroup = lists();
        const std::int32_t crossings = Set->TotalIntersectionCount();
        const double cost = Set->TotalSubNetCost();
        Set->Totals_Recount();
        EXPECT_EQ(afterGroup, lists()) << "group " << group->ID;
        EXPECT_EQ(crossings, Set->TotalIntersectionCount()) << "group " << group->ID;
        EXPECT_EQ(cost, Set->TotalSubNetCost()) << "group " << group->ID;
        ++refreshed;
    }
    EXPECT_EQ(refreshed, 3);
    // Lines of one bank cross lines of another (what the refresh must mend in the other lists).
    bool across = false;
    for (TSwapSubNet* s : Set->MasterSubNetList_Swappable)
        for (TSwapSubNet* t : s->FIntersectingSubNets)
            across = across || s->PinSwapGroup() != t->PinSwapGroup();
    EXPECT_TRUE(across);
}

// ---------------------------------------------------------------- the abort poll

TEST_F(OptimizerTest, TheAbortKeyIsSeenOnEveryFiftiethPollAndNoDoesNotAbort) {
    const std::int32_t start = Optimizer_PollCount();
    const std::int32_t toNext = 50 - start % 50;
    UI().PressAbortKey();
    UI().QueueAnswer(eModal_No);
    for (std::int32_t i = 0; i < toNext - 1; ++i)
        Optimizer_AbortPoll();
    EXPECT_TRUE(UI().Questions().empty()); // not yet the 50th
    Optimizer_AbortPoll();
    ASSERT_EQ(UI().Questions().size(), 1u);
    EXPECT_EQ(UI().Questions()[0].Text, "Abort Pin/Net Optimization Yes/No?");
    EXPECT_EQ(UI().Questions()[0].Caption, "Confirm");
    EXPECT_FALSE(Optimizer_Aborted());

    UI().PressAbortKey();
    UI().QueueAnswer(eModal_Yes);
    for (int i = 0; i < 50; ++i)
        Optimizer_AbortPoll();
    EXPECT_TRUE(Optimizer_Aborted());
    // Once aborted the poll neither counts nor asks.
    const std::int32_t count = Optimizer_PollCount();
    UI().PressAbortKey();
    for (int i = 0; i < 100; ++i)
        Optimizer_AbortPoll();
    EXPECT_EQ(Optimizer_PollCount(), count);
    EXPECT_EQ(UI().Questions().size(), 2u);
}

// ---------------------------------------------------------------- timing

TEST(OptimizerTiming, ElapsedTimeWrapsPastMidnightAndIsAtLeastOneSecond) {
    const TElapsedTime e = Elapsed_Between({23, 59, 50, 0}, {0, 0, 20, 0});
    EXPECT_EQ(e.Hours, 0);
    EXPECT_EQ(e.Minutes, 0);
    EXPECT_EQ(e.Seconds, 30);
    const TElapsedTime later = Elapsed_Between({22, 30, 0, 0}, {1, 45, 9, 0});
    EXPECT_EQ(later.Hours, 3);
    EXPECT_EQ(later.Minutes, 15);
    EXPECT_EQ(later.Seconds, 9);
    EXPECT_EQ(Elapsed_Text(3 * 3600 + 15 * 60 + 9), "03:15:09");
    EXPECT_EQ(Elapsed_Text(100 * 3600), "100:00:00");
}

TEST_F(OptimizerTest, FinishTimingReportsAcrossMidnightAndShortRunsAsOneSecond) {
    TangledBank("U1", "A", {1, 0, 2, 3});
    ASSERT_TRUE(Build(eSwap_Pins, false));
    TSwapOptimizer_Greedy greedy(*Set);
    greedy.StartTime = {23, 59, 50, 500};
    greedy.FinishTimingAt({0, 0, 20, 100});
    EXPECT_EQ(greedy.ElapsedSeconds, 30);
    EXPECT_EQ(greedy.ElapsedText, "00:00:30");
    greedy.StartTime = {12, 0, 0, 100};
    greedy.FinishTimingAt({12, 0, 0, 900});
    EXPECT_EQ(greedy.ElapsedSeconds, 1);
    EXPECT_EQ(greedy.ElapsedText, "00:00:00");
}

// ---------------------------------------------------------------- report texts

TEST(OptimizerReport, LengthsInBothUnitsWithWordsAndDeltas) {
    TRunStatistics s;
    s.LengthBefore = 1e7;
    s.LengthAfter = 5e6;
    s.CrossingsBefore = 10;
    s.CrossingsAfter = 4;
    EXPECT_EQ(Report_Text(s, eMetric, 30),
              "Length Reduced From 25.400 To 12.700 (Delta=12.700) mm \r\r"
              "Cross-Overs Reduced From 10 To 4 (Delta=6)\r\rElapsed Time: 00:00:30");
    EXPECT_EQ(Report_Text(s, eImperial), "Length Reduced From 1.000 To 0.500 (Delta=0.500) inches \r\r"
                                         "Cross-Overs Reduced From 10 To 4 (Delta=6)");
    s.LengthAfter = s.LengthBefore;
    s.CrossingsAfter = 12;
    EXPECT_EQ(Report_Text(s, eMetric), "Length (No Change) From 25.400 To 25.400 (Delta=0.000) mm \r\r"
                                       "Cross-Overs Increased From 10 To 12 (Delta=-2)");
    s.LengthBefore = 4e9; // 400 inches: thousands separators
    s.LengthAfter = 4.5e9;
    EXPECT_EQ(Report_Text(s, eMetric, 3725).substr(0, 63),
              "Length Increased From 10,160.000 To 11,430.000 (Delta=-1,270.00");
    EXPECT_NE(Report_Text(s, eMetric, 3725).find("Elapsed Time: 01:02:05"), std::string::npos);
}

TEST(OptimizerReport, ThousandsSeparators) {
    EXPECT_EQ(FormatThousands3(0), "0.000");
    EXPECT_EQ(FormatThousands3(999.9996), "1,000.000");
    EXPECT_EQ(FormatThousands3(1234567.891), "1,234,567.891");
    EXPECT_EQ(FormatThousands3(-1234.5), "-1,234.500");
    EXPECT_EQ(FormatThousands3(-0.0004), "0.000"); // no negative zero
    EXPECT_EQ(FormatThousands3(123.4), "123.400");
}

// ---------------------------------------------------------------- the automatic run

class AutoRunTest : public OptimizerTest {
protected:
    void SetUp() override {
        OptimizerTest::SetUp();
        Order = {7, 2, 5, 0, 6, 3, 1, 4};
        TangledBank("U1", "A", Order);
        Project.Compile();
    }
    TMessageBoxRecord ReportBox() {
        for (const auto& box : UI().Boxes())
            if (box.Caption == "Results From Net/Pin Optimization")
                return box;
        return {};
    }
    std::vector<int> Order;
};

TEST_F(AutoRunTest, AskedToGoOnTheIterativeRunUntanglesAndReports) {
    TAutoRunResult result;
    EXPECT_TRUE(AutoPermutor_Run(Pcb.Path(), {}, &result));
    EXPECT_TRUE(result.Built && result.Exported && result.IterativeRan);
    // The fast optimiser fixed every pin, so the iterative optimiser was asked about.
    ASSERT_EQ(Captions(), (std::vector<std::string>{"Confirm Iterative Optimizer?"}));
    EXPECT_EQ(
        UI().Questions()[0].Text,
        "The fast optimizer has completed 8 out of 8 swappable pins. \r\rContinue with iterative optimizer");
    EXPECT_EQ(NetsOn("U1", Order.size()), Untangled("U1", Order));
    EXPECT_LT(result.Statistics.LengthAfter, result.Statistics.LengthBefore);
    EXPECT_LT(result.Statistics.CrossingsAfter, result.Statistics.CrossingsBefore);
    const auto box = ReportBox();
    EXPECT_EQ(box.Text.rfind("Length Reduced From ", 0), 0u) << box.Text;
    EXPECT_NE(box.Text.find("Elapsed Time: 00:00:0"), std::string::npos) << box.Text;
    EXPECT_GE(result.ElapsedSeconds, 2); // greedy and iterative, at least one second each
}

TEST_F(AutoRunTest, NoToTheIterativeQuestionExportsTheFastResult) {
    UI().SetAnswerForCaption("Confirm Iterative Optimizer?", eModal_No);
    TAutoRunResult result;
    EXPECT_TRUE(AutoPermutor_Run(Pcb.Path(), {}, &result));
    EXPECT_FALSE(result.IterativeRan);
    EXPECT_EQ(NetsOn("U1", Order.size()), Untangled("U1", Order));
    EXPECT_EQ(result.ElapsedSeconds, 1);
    EXPECT_NE(ReportBox().Text.find("Elapsed Time: 00:00:01"), std::string::npos);
}

TEST_F(AutoRunTest, WithoutTheIterativeOptionNothingIsAsked) {
    TAutoRunOptions options;
    options.Iterative = false;
    TAutoRunResult result;
    EXPECT_TRUE(AutoPermutor_Run(Pcb.Path(), options, &result));
    EXPECT_TRUE(UI().Questions().empty());
    EXPECT_FALSE(result.IterativeRan);
    EXPECT_TRUE(result.Exported);
}

// Aborted during the iterative optimiser (well past the fast one's few polls), then asked whether
// to keep what was reached.
TEST_F(AutoRunTest, AnAbortedRunKeepsThePartialResultOnYes) {
    UI().PressAbortKeyAfterPolls(5);
    UI().SetAnswerForCaption("Confirm", eModal_Yes);
    UI().SetAnswerForCaption("Confirm Continue With Net/Pin Assignment", eModal_Yes);
    TAutoRunResult result;
    EXPECT_TRUE(AutoPermutor_Run(Pcb.Path(), {}, &result));
    const auto captions = Captions();
    EXPECT_EQ(std::count(captions.begin(), captions.end(), "Confirm Continue With Net/Pin Assignment"), 1);
    EXPECT_TRUE(result.Exported);
    EXPECT_FALSE(ReportBox().Text.empty());
    // What the board has now is what the model had when the run stopped.
    EXPECT_EQ(result.Statistics.LengthAfter < result.Statistics.LengthBefore,
              result.CostEnd < result.CostStart);
}

TEST_F(AutoRunTest, AnAbortedRunDropsEverythingOnNo) {
    const auto before = NetsOn("U1", Order.size());
    UI().PressAbortKeyAfterPolls(5);
    UI().SetAnswerForCaption("Confirm", eModal_Yes);
    UI().SetAnswerForCaption("Confirm Continue With Net/Pin Assignment", eModal_No);
    TAutoRunResult result;
    EXPECT_FALSE(AutoPermutor_Run(Pcb.Path(), {}, &result));
    EXPECT_FALSE(result.Exported);
    EXPECT_EQ(NetsOn("U1", Order.size()), before);
    EXPECT_TRUE(ReportBox().Text.empty());
}

TEST_F(AutoRunTest, ABoardOutsideAProjectIsRefused) {
    THost other;
    TBoardBuilder& loose = other.AddFreeBoard("/virtual/loose.kicad_pcb");
    (void)loose;
    permutor::host::Client_Set(other.Client().get());
    EXPECT_FALSE(AutoPermutor_Run("/virtual/loose.kicad_pcb"));
    ASSERT_EQ(other.UI().Boxes().size(), 1u);
    EXPECT_EQ(other.UI().Boxes()[0].Text,
              "Pin/Net Optimization requires that the board is part of a PCB Project");
    permutor::host::Client_Set(Host.Client().get());
}

// ---------------------------------------------------------------- the interactive runner

TEST_F(AutoRunTest, TheInteractiveRunnerWantsTheProjectSaved) {
    auto client = Host.Client();
    auto projectDocument = client->ServerDocumentByPath(Project.Path());
    ASSERT_TRUE(projectDocument);
    projectDocument->SetModified(true);
    EXPECT_FALSE(InteractiveSwapper_Run(Pcb.Path(), eSwapper_InteractivePins, eSwap_Pins, "Pin/Net Swapper"));
    ASSERT_EQ(UI().Boxes().size(), 1u);
    EXPECT_EQ(UI().Boxes()[0].Text, "Project needs to be saved");
    EXPECT_EQ(UI().Progress().size(), 0u); // nothing was built
}

} // namespace

// The iterative optimiser: group by group it proposes random exchanges between a sub-net and one
// of its nearest neighbours, keeps those that lower the total cost (and, while the temperature is
// high, some that do not) and undoes the rest, until the group stops improving.
#pragma once

#include "permutor/optimizers/SwapOptimizer.h"

namespace permutor::optimizers {

// The choices the optimiser's schedule leaves open.
struct TIterativeSettings {
    // Keep only improving proposals from the first pass on (a descent from the group's starting
    // assignment); when false, the first passes accept some worse proposals under the temperature.
    // The descent is the default: on generated FPGA banks and the public boards it ends within a
    // fraction of a percent of the annealing's cost (both at or next to the per-group optimum) in
    // about a tenth of the time.
    bool ImproveOnlyFromStart = true;
    // Recount every crossing list and the totals after a group is put back on its starting nets,
    // so that the status line and the cost of each proposal describe the real assignment.
    bool RefreshAfterReset = true;
    // Refresh only what the reset moved (the group's lines and the lists that meet them) instead
    // of every list; the lists hold the same sub-nets and the totals are equal either way.
    bool RefreshGroupOnly = true;
    // While only improvements are kept, turn down without exchanging the pair a proposal that
    // cannot lower the cost: its new lengths alone already cost at least what it could save in
    // crossings, or (with the data set's one-line floor) its new lines' own crossings show it. The
    // same proposals are kept either way.
    bool SkipHopeless = true;
};

class TSwapOptimizer_Iterative : public TSwapOptimizer_Abstract {
public:
    static constexpr double cStartTemperature = 1000.0;
    static constexpr double cCooling = 0.95;

    explicit TSwapOptimizer_Iterative(TSwapDataSet& ASwapData) : TSwapOptimizer_Abstract(ASwapData) {}
    static std::unique_ptr<TSwapOptimizer_Abstract> Create(TSwapDataSet& ASwapData) {
        return std::make_unique<TSwapOptimizer_Iterative>(ASwapData);
    }
    const char* ClassName() const override { return "TSwapOptimizer_Iterative"; }

    // Status panel 3 every 100 moves of a pass: temperature, crossings, cost, kept moves, steps.
    void ShowStatus() override;
    // Always true; groups of fewer than 4 sub-nets are left alone.
    bool Optimize() override;
    // The temperature's scale in the acceptance test.
    double TemperatureFactor() const { return 200.0; }

    void GroupSetUp();
    void GroupOptimize();
    // One proposal; false when no pair could be drawn (nothing was changed then).
    bool Move();

    TIterativeSettings Settings;

    double Temperature = 0;
    std::int32_t MovesThisPass = 0;
    std::int32_t MaxMovesPerPass = 0;
    std::int32_t MinMovesPerPass = 0;
    std::int32_t MaxAcceptedPerPass = 0;
    std::int32_t RejectedThisPass = 0;
    std::int32_t ImprovedThisPass = 0;
    std::int32_t AcceptedWorseThisPass = 0;
    std::int32_t ImprovedTotal = 0;
    std::int32_t AcceptedWorseTotal = 0;
    std::int32_t FrozenPasses = 0;
    bool ImproveOnly = false;
    model::TSwapGroup* CurrentGroup = nullptr;
    // Whether the crossing lists were right when the current group was put back on its starting
    // nets (a group refresh then suffices).
    bool ListsRight = false;

    // Figures over the whole run, for reports and measurements.
    std::int32_t PassesTotal = 0;
    std::int32_t MovesTotal = 0;
    std::int32_t NoPairMoves = 0;
    std::int32_t RollbackFailures = 0;
    std::int32_t SkippedHopeless = 0;
};

} // namespace permutor::optimizers

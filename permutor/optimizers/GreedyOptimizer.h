// The fast optimiser: within each pin group it repeatedly makes the one assignment that leaves the
// shortest connection still available and fixes that sub-net, until nothing unfixed improves.
#pragma once

#include "permutor/optimizers/SwapOptimizer.h"

namespace permutor::optimizers {

class TSwapOptimizer_Greedy : public TSwapOptimizer_Abstract {
public:
    explicit TSwapOptimizer_Greedy(TSwapDataSet& ASwapData) : TSwapOptimizer_Abstract(ASwapData) {}
    static std::unique_ptr<TSwapOptimizer_Abstract> Create(TSwapDataSet& ASwapData) {
        return std::make_unique<TSwapOptimizer_Greedy>(ASwapData);
    }
    const char* ClassName() const override { return "TSwapOptimizer_Greedy"; }

    // Always true; an abort keeps the exchanges made so far and skips the remaining groups.
    bool Optimize() override;
    void OptimizeGroup(model::TSwapGroup* group);
};

} // namespace permutor::optimizers

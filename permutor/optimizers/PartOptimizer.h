// The automatic gate and pair passes: within each part group (gates of a multi-part component) or
// pair group (differential pairs) every exchange of two matching sub-parts is tried, sub-net i of
// one with sub-net i of the other, and kept when the total cost falls. The pass driver builds its
// own data set in part or pair mode and writes what it kept to the board in one undoable step.
#pragma once

#include "permutor/optimizers/SwapOptimizer.h"

#include <cstdint>
#include <string>

namespace permutor::optimizers {

class TSwapOptimizer_Parts : public TSwapOptimizer_Abstract {
public:
    explicit TSwapOptimizer_Parts(TSwapDataSet& ASwapData) : TSwapOptimizer_Abstract(ASwapData) {}
    static std::unique_ptr<TSwapOptimizer_Abstract> Create(TSwapDataSet& ASwapData) {
        return std::make_unique<TSwapOptimizer_Parts>(ASwapData);
    }
    const char* ClassName() const override { return "TSwapOptimizer_Parts"; }

    // Sweeps every group until a sweep keeps nothing; always true. An abort keeps what was kept.
    bool Optimize() override;
    // One sweep over every pair of matching sub-parts of the group; the number kept.
    std::int32_t OptimizeGroup(model::TSwapGroup* group);
    // Exchanges the nets of the two sub-parts pairwise (sub-net i with sub-net i) in swap
    // transactions; doing it twice restores every net.
    void SubParts_Exchange(model::TSwapSubPart* A, model::TSwapSubPart* B);
    // Sub-parts are exchanged only when they hold as many sub-nets.
    static bool SubPartsMatch(const model::TSwapSubPart* A, const model::TSwapSubPart* B);
    // The number of exchanges the pass can try: pairs of matching sub-parts over all groups.
    static std::int32_t Candidates(const TSwapDataSet& data);

    // Judge each trial by a full recount of the totals instead of the running totals of the
    // transactions; slow, for checking that both decide alike.
    bool RecountEachTrial = false;
    std::int32_t Trials = 0; // exchanges tried
    std::int32_t Kept = 0;   // exchanges kept
};

// What one gate or pair pass did.
struct TPartPassResult {
    bool Requested = false;      // the caller asked for the pass
    bool Built = false;          // its data set was built
    bool Ran = false;            // there was something to exchange and the optimiser ran
    bool Exported = false;       // its changes reached the board
    std::int32_t Groups = 0;     // groups with at least two matching sub-parts
    std::int32_t Candidates = 0; // exchanges one sweep tries
    std::int32_t Trials = 0;
    std::int32_t Kept = 0;
    double CostBefore = 0, CostAfter = 0;
    std::int32_t CrossingsBefore = 0, CrossingsAfter = 0; // the model's, among the pass's sub-nets
    std::int32_t ElapsedSeconds = 0;
};

// The pass's name in reports: "Gate Swaps" or "Pair Swaps".
std::string PartPass_Name(model::TSwapMode mode);
// One report line of a pass that was requested.
std::string PartPass_ReportLine(model::TSwapMode mode, const TPartPassResult& result);

// Builds a data set in `mode` (eSwap_Parts or eSwap_DifferentialPairs), runs the pass and exports
// its changes in their own undo step. With nothing to exchange it says so in an information box.
// When `before` is given, the board's connection figures are taken into it after the build. False
// when the build failed or the user dropped an interrupted result (the abort flag then stays set).
bool PartPass_Run(const std::string& documentPath, model::TSwapMode mode, TPartPassResult& result,
                  double* lengthBefore = nullptr, std::int32_t* crossingsBefore = nullptr);

} // namespace permutor::optimizers

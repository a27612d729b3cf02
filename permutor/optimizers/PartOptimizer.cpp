#include "permutor/optimizers/PartOptimizer.h"

#include "permutor/optimizers/DataSetHolder.h"

#include "permutor/host/Services.h"

#include <fmt/format.h>

namespace permutor::optimizers {

using namespace permutor::host;
using model::eSwap_Parts;
using model::TSwapGroup;
using model::TSwapMode;
using model::TSwapSubPart;

namespace {

// The matching pairs of sub-parts of one group. A pin on a pair net joins a pair group even when
// its symbol declares no pair swap id; nobody said such pairs may trade places, so the group
// without an id is left alone.
std::int32_t GroupCandidates(const TSwapGroup* group) {
    std::int32_t n = 0;
    if (group->ID.empty())
        return 0;
    const std::size_t count = group->SubParts.Count();
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = i + 1; j < count; ++j)
            if (TSwapOptimizer_Parts::SubPartsMatch(group->SubParts.Object(i), group->SubParts.Object(j)))
                ++n;
    return n;
}

} // namespace

bool TSwapOptimizer_Parts::SubPartsMatch(const TSwapSubPart* A, const TSwapSubPart* B) {
    return A && B && A->SubNets.Count() == B->SubNets.Count();
}

std::int32_t TSwapOptimizer_Parts::Candidates(const TSwapDataSet& data) {
    std::int32_t n = 0;
    for (const TSwapGroup* group : data.PartSwapGroups)
        n += GroupCandidates(group);
    return n;
}

void TSwapOptimizer_Parts::SubParts_Exchange(TSwapSubPart* A, TSwapSubPart* B) {
    const std::size_t n = A->SubNets.Count();
    for (std::size_t i = 0; i < n; ++i) {
        TSwapSubNet* a = A->SubNets.Object(i);
        TSwapSubNet* b = B->SubNets.Object(i);
        if (a == b)
            continue;
        SwapData->SwapSubNets_Begin(a, b);
        SwapData->SwapSubNets_Commit(a, b);
    }
}

bool TSwapOptimizer_Parts::Optimize() {
    auto ui = HostUI_Get();
    if (ui)
        ui->Progress_Begin(SwapData->SwapMode() == eSwap_Parts ? "Gate Optimizer..." : "Pair Optimizer...",
                           Candidates(*SwapData));
    for (TSwapGroup* group : SwapData->PartSwapGroups) {
        // Each kept exchange lowers the cost, so the sweeps end.
        bool first = true;
        while (!Optimizer_Aborted()) {
            const std::int32_t kept = OptimizeGroup(group);
            if (first && ui)
                ui->Progress_Step(GroupCandidates(group));
            first = false;
            if (kept == 0)
                break;
        }
        if (Optimizer_Aborted())
            break;
        SwapData->RedrawBoard();
    }
    if (ui)
        ui->Progress_End();
    return true;
}

std::int32_t TSwapOptimizer_Parts::OptimizeGroup(TSwapGroup* group) {
    auto cost = [this] {
        if (RecountEachTrial)
            SwapData->Totals_Recount();
        return SwapData->GetTotalCost();
    };
    std::int32_t kept = 0;
    const std::size_t count = GroupCandidates(group) > 0 ? group->SubParts.Count() : 0;
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = i + 1; j < count; ++j) {
            if (Optimizer_Aborted())
                return kept;
            TSwapSubPart* A = group->SubParts.Object(i);
            TSwapSubPart* B = group->SubParts.Object(j);
            if (!SubPartsMatch(A, B))
                continue;
            ++Trials;
            ++Iterations;
            const double before = cost();
            SubParts_Exchange(A, B);
            if (cost() < before) {
                ++Kept;
                ++kept;
                for (std::size_t k = 0; k < A->SubNets.Count(); ++k)
                    RecordSwap(A->SubNets.Object(k), B->SubNets.Object(k));
            } else {
                SubParts_Exchange(A, B);
                if (RecountEachTrial)
                    SwapData->Totals_Recount();
            }
            ShowStatus();
            Optimizer_AbortPoll();
        }
    return kept;
}

std::string PartPass_Name(TSwapMode mode) {
    return mode == eSwap_Parts ? "Gate Swaps" : "Pair Swaps";
}

std::string PartPass_ReportLine(TSwapMode mode, const TPartPassResult& r) {
    const std::string name = PartPass_Name(mode);
    if (!r.Ran)
        return name + ": none on this board";
    return fmt::format("{}: {} Of {} Exchanges Kept, Cost From {:.3f} To {:.3f} (Cross-Overs From {} To {})",
                       name, r.Kept, r.Trials, r.CostBefore / 1e6, r.CostAfter / 1e6, r.CrossingsBefore,
                       r.CrossingsAfter);
}

bool PartPass_Run(const std::string& documentPath, TSwapMode mode, TPartPassResult& result,
                  double* lengthBefore, std::int32_t* crossingsBefore) {
    result = {};
    result.Requested = true;
    TDataSetHolder holder;
    holder.Data = std::make_unique<TSwapDataSet>(documentPath, mode);
    TSwapDataSet& data = *holder.Data;
    data.OpenLog();
    // The build's own messages say why it failed.
    if (!data.Build("", false))
        return false;
    result.Built = true;
    for (const TSwapGroup* group : data.PartSwapGroups)
        if (GroupCandidates(group) > 0)
            ++result.Groups;
    result.Candidates = TSwapOptimizer_Parts::Candidates(data);
    if (lengthBefore && crossingsBefore)
        data.GetConnectionStatsFromBoard(*lengthBefore, *crossingsBefore);
    if (result.Candidates == 0) {
        MessageBox_Information(mode == eSwap_Parts
                                   ? "No gates to swap: no component on this board has two matching gates "
                                     "in one part swap group."
                                   : "No differential pairs to swap: no component on this board has two "
                                     "matching pairs in one pair swap group.",
                               PartPass_Name(mode));
        return true;
    }

    data.NetConnects_RememberAndHide();
    TSwapOptimizer_Parts optimizer(data);
    result.CrossingsBefore = data.TotalIntersectionCount();
    result.Ran = true;
    if (optimizer.Run())
        Optimizer_AskToKeepPartialResult();
    result.CostBefore = optimizer.CostAtStart;
    result.CostAfter = optimizer.CostAtEnd;
    result.CrossingsAfter = data.TotalIntersectionCount();
    result.Trials = optimizer.Trials;
    result.Kept = optimizer.Kept;
    result.ElapsedSeconds = optimizer.ElapsedSeconds;

    HostUI_ProcessMessages();
    data.RemoveAllConnectionDisplayLines();
    data.RemoveDummyNetForConnections();
    // A pass that kept nothing leaves no empty step in the undo history.
    if (!Optimizer_Aborted() && optimizer.Kept > 0) {
        data.ExportChanges_ToPCB();
        result.Exported = true;
    }
    data.NetConnects_RebuildAndShow();
    data.RedrawBoard();
    data.CloseLog();
    holder.Data.reset();
    HostUI_ProcessMessages();
    return !Optimizer_Aborted();
}

} // namespace permutor::optimizers

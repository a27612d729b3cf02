#include "permutor/optimizers/GreedyOptimizer.h"

#include "permutor/host/Services.h"

namespace permutor::optimizers {

using namespace permutor::host;
using model::TSwapGroup;

bool TSwapOptimizer_Greedy::Optimize() {
    auto ui = HostUI_Get();
    if (ui)
        ui->Progress_Begin("Local Pin/Net Optimizer...",
                           std::int32_t(SwapData->MasterSubNetList_Swappable.Count()));
    for (TSwapGroup* group : SwapData->PinSwapGroups) {
        if (Optimizer_Aborted())
            break;
        OptimizeGroup(group);
        SwapData->RedrawBoard();
    }
    if (ui)
        ui->Progress_End();
    return true;
}

void TSwapOptimizer_Greedy::OptimizeGroup(TSwapGroup* group) {
    auto ui = HostUI_Get();
    group->FindBestTargetsForSubNets();
    SwapData->SaveLogFile();
    TSwapSubNet* A = nullptr;
    TSwapSubNet* B = nullptr;
    // Each pass fixes one more sub-net, so the loop ends within the group's size.
    while (group->FindBestAvailableSwapPair(A, B)) {
        if (Optimizer_Aborted())
            break;
        ++Iterations;
        A->Locked = true;
        if (A != B) {
            SwapData->SwapSubNets_Begin(A, B);
            SwapData->SwapSubNets_Commit(A, B);
            RecordSwap(A, B);
        }
        Optimizer_AbortPoll();
        if (ui)
            ui->Progress_Step(1);
    }
}

} // namespace permutor::optimizers

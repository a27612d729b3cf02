#include "permutor/optimizers/IterativeOptimizer.h"

#include "permutor/host/Services.h"

#include <fmt/format.h>

#include <cmath>

namespace permutor::optimizers {

using namespace permutor::host;
using model::TSwapGroup;

namespace {

constexpr std::size_t cMinGroupSize = 4;
// A sub-net already joined over less than this is left where it is.
constexpr double cShortConnection = 300000.0;
constexpr double cFrozenTemperature = 1.0;
constexpr double cImproveOnlyTemperature = 50.0;
constexpr std::int32_t cStatusInterval = 100;

// Passes a group can take before the temperature falls below the frozen one.
std::int32_t MaxPasses() {
    std::int32_t passes = 0;
    for (double t = TSwapOptimizer_Iterative::cStartTemperature; t >= cFrozenTemperature;
         t *= TSwapOptimizer_Iterative::cCooling)
        ++passes;
    return passes;
}

// Whether a sub-net is already joined over a short distance on a layer it can use.
bool ShortAndUsable(const TSwapSubNet* S) {
    const model::THotSpot* p1 = S->Point1();
    const model::THotSpot* p2 = S->Point2();
    if (!p1 || !p2 || !(S->ConnectionLength() < cShortConnection))
        return false;
    const bool differentSingleLayers =
        p1->Layer != p2->Layer && p1->Layer != eV6_MultiLayer && p2->Layer != eV6_MultiLayer;
    return !differentSingleLayers;
}

} // namespace

void TSwapOptimizer_Iterative::ShowStatus() {
    if (MovesThisPass % cStatusInterval != 0)
        return;
    auto ui = HostUI_Get();
    if (!ui)
        return;
    ui->StatusBar_SetPanelText(3, fmt::format("T:{:.2f} Crossovers:{} Cost:{:.3f} Moves:{} Iterations:{}",
                                              Temperature, SwapData->TotalIntersectionCount(),
                                              SwapData->GetTotalCost() / 1e6, ImprovedTotal, Iterations));
}

bool TSwapOptimizer_Iterative::Optimize() {
    auto ui = HostUI_Get();
    std::int32_t groups = 0;
    for (TSwapGroup* group : SwapData->PinSwapGroups)
        if (group->SubNets.Count() >= cMinGroupSize)
            ++groups;
    const std::int32_t maxPasses = MaxPasses();
    // One step per pass; a group that settles early gives up the rest of its share at once.
    if (ui)
        ui->Progress_Begin("Iterative Pin/Net Optimizer...", groups * maxPasses);
    for (TSwapGroup* group : SwapData->PinSwapGroups) {
        if (Optimizer_Aborted())
            break;
        CurrentGroup = group;
        if (group->SubNets.Count() < cMinGroupSize)
            continue;
        const std::int32_t passesBefore = PassesTotal;
        GroupSetUp();
        GroupOptimize();
        if (ui)
            ui->Progress_Step(maxPasses - (PassesTotal - passesBefore));
    }
    if (ui)
        ui->Progress_End();
    return true;
}

void TSwapOptimizer_Iterative::GroupSetUp() {
    SwapData->Randomize();
    Temperature = cStartTemperature;
    AcceptedWorseTotal = 0;
    ImprovedTotal = 0;
    Iterations = 0;
    FrozenPasses = 0;
    ImproveOnly = false;
    const std::int32_t n = std::int32_t(CurrentGroup->SubNets.Count());
    MaxMovesPerPass = 50 * n;
    MinMovesPerPass = 10 * n;
    MaxAcceptedPerPass = 10 * n;
    // Moves stay inside the group, so only its own sub-nets' locks are read.
    for (TSwapSubNet* S : CurrentGroup->SubNets)
        S->Locked = ShortAndUsable(S);
}

void TSwapOptimizer_Iterative::GroupOptimize() {
    auto ui = HostUI_Get();
    const double groupCost = CurrentGroup->SubNetCost();
    CurrentGroup->BuildTargetNetList();
    CurrentGroup->FindBestTargetsForSubNets();
    SwapData->SaveLogFile();
    FinishTiming();
    // The group is back on its starting nets: the crossing lists and totals still describe the
    // assignment before the reset.
    if (Settings.RefreshAfterReset) {
        if (Settings.RefreshGroupOnly && ListsRight)
            SwapData->Totals_RecountGroup(*CurrentGroup, groupCost);
        else
            SwapData->Totals_Recount();
        ListsRight = true;
        for (TSwapSubNet* S : CurrentGroup->SubNets)
            if (S->ConnectionLine && S->ConnectionLine->FDrawingLine)
                S->ConnectionLine_UpdateDrawing();
    } else {
        SwapData->CrossingIndex_Invalidate();
        ListsRight = false;
    }
    ImproveOnly = Settings.ImproveOnlyFromStart;

    // Nothing can move unless two sub-nets with pins are free.
    std::int32_t movable = 0;
    for (TSwapSubNet* S : CurrentGroup->SubNets)
        if (S->SwapPin && !S->Locked)
            ++movable;
    if (movable < 2)
        return;

    do {
        MovesThisPass = RejectedThisPass = AcceptedWorseThisPass = ImprovedThisPass = 0;
        MaxRange = std::max(double(CurrentGroup->SubNets.Count()), 3.0);
        do {
            if (!Move())
                ++NoPairMoves;
            ShowStatus();
            Optimizer_AbortPoll();
        } while (!Optimizer_Aborted() && !(MovesThisPass > MinMovesPerPass &&
                                           (MovesThisPass > MaxMovesPerPass ||
                                            ImprovedThisPass + AcceptedWorseThisPass > MaxAcceptedPerPass)));
        SwapData->RedrawBoard();
        ++PassesTotal;
        if (ui)
            ui->Progress_Step(1);
        if (ImprovedThisPass + AcceptedWorseThisPass == 0)
            ++FrozenPasses;
        else
            FrozenPasses = 0;
        FinishTiming();
        Temperature *= cCooling;
        if (FrozenPasses > 5 && !ImproveOnly) {
            ImproveOnly = true;
            FrozenPasses = 0;
        }
        if (Temperature < cImproveOnlyTemperature)
            ImproveOnly = true;
    } while (!(Temperature < cFrozenTemperature || FrozenPasses > 3 || Optimizer_Aborted()));
}

bool TSwapOptimizer_Iterative::Move() {
    ++MovesThisPass;
    ++Iterations;
    ++MovesTotal;
    TSwapSubNet* A = nullptr;
    TSwapSubNet* B = nullptr;
    CurrentGroup->GetRandomSubNetPair(A, B, MaxRange);
    if (!A || !B) {
        // Nothing was proposed, so nothing is kept.
        ++RejectedThisPass;
        return false;
    }
    if (ImproveOnly && Settings.SkipHopeless && SwapData->SwapSubNets_CannotLower(A, B)) {
        ++SkippedHopeless;
        ++RejectedThisPass;
        return true;
    }
    const double oldCost = SwapData->GetTotalCost();
    SwapData->SwapSubNets_Begin(A, B);
    const double newCost = SwapData->GetTotalCost();
    if (oldCost > newCost) {
        SwapData->SwapSubNets_Commit(A, B);
        RecordSwap(A, B);
        ++ImprovedThisPass;
        ++ImprovedTotal;
    } else if (!ImproveOnly && std::exp(-(newCost - oldCost) / (TemperatureFactor() * Temperature)) >
                                   SwapData->RandomGenerator.RandomFraction()) {
        SwapData->SwapSubNets_Commit(A, B);
        RecordSwap(A, B);
        ++AcceptedWorseThisPass;
        ++AcceptedWorseTotal;
    } else {
        SwapData->SwapSubNets_Rollback(A, B);
        if (SwapData->GetTotalCost() != oldCost) {
            ++RollbackFailures;
            MessageBox_Information("Internal Error: Failed to rollback cleanly", "Information");
        }
        ++RejectedThisPass;
    }
    return true;
}

} // namespace permutor::optimizers

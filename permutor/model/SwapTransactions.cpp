// Swap transactions: a tentative exchange of the nets of two sub-nets that keeps the running
// totals current cheaply, made permanent by commit (all crossing lists consistent again, drawn
// lines moved) or undone exactly by rollback.
#include "permutor/model/SwapDataSet.h"

#include "permutor/host/Services.h"

#include <chrono>
#include <utility>

namespace permutor::model {

using namespace permutor::host;

void TSwapDataSet::Randomize() {
    std::uint32_t seed = 0;
    auto client = Client_Get();
    if (!client || !client->RandomSeed(seed))
        seed = std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    RandomGenerator.SetSeed(seed);
}

// A pair that crosses is in both lists, so it is counted twice by the list counts.
void TSwapDataSet::Totals_Subtract(TSwapSubNet* A, TSwapSubNet* B) {
    FTotalSubNetCost -= A->SubNetCost();
    FTotalSubNetCost -= B->SubNetCost();
    FTotalIntersectionCount -= std::int32_t(A->FIntersectingSubNets.Count());
    FTotalIntersectionCount -= std::int32_t(B->FIntersectingSubNets.Count());
    if (A->Crosses(B))
        FTotalIntersectionCount += 1;
}

void TSwapDataSet::Totals_Add(TSwapSubNet* A, TSwapSubNet* B) {
    FTotalSubNetCost += A->SubNetCost();
    FTotalSubNetCost += B->SubNetCost();
    FTotalIntersectionCount += std::int32_t(A->FIntersectingSubNets.Count());
    FTotalIntersectionCount += std::int32_t(B->FIntersectingSubNets.Count());
    if (A->Crosses(B))
        FTotalIntersectionCount -= 1;
}

void TSwapDataSet::SwapSubNets_Begin(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB) {
    Totals_Subtract(SubNetA, SubNetB);
    for (TSwapSubNet* S : {SubNetA, SubNetB}) {
        S->FIntersectingSubNets_Pushed.Assign(S->FIntersectingSubNets);
        S->NetIndex_Old = S->NetIndex_Current;
    }
    std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
    NetIndex_Changed(SubNetA);
    NetIndex_Changed(SubNetB);
    // Only the two moved lines are re-tested; the other lists still hold the pair's old lines
    // until commit.
    SubNetA->BuildIntersectingSubNetList();
    SubNetB->BuildIntersectingSubNetList();
    Totals_Add(SubNetA, SubNetB);
}

void TSwapDataSet::SwapSubNets_Rollback(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB) {
    Totals_Subtract(SubNetA, SubNetB);
    for (TSwapSubNet* S : {SubNetA, SubNetB}) {
        S->FIntersectingSubNets.Assign(S->FIntersectingSubNets_Pushed);
        S->NetIndex_Current = S->NetIndex_Old;
    }
    NetIndex_Changed(SubNetA);
    NetIndex_Changed(SubNetB);
    Totals_Add(SubNetA, SubNetB);
}

void TSwapDataSet::SwapSubNets_Commit(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB) {
    TPackedList<TSwapSubNet> listA, listB;
    listA.Assign(SubNetA->FIntersectingSubNets);
    listB.Assign(SubNetB->FIntersectingSubNets);
    SwapSubNets_Rollback(SubNetA, SubNetB);

    Totals_Subtract(SubNetA, SubNetB);
    // The other sub-nets forget the pair's old lines ...
    for (TSwapSubNet* S : {SubNetA, SubNetB})
        for (TSwapSubNet* T : S->FIntersectingSubNets)
            T->FIntersectingSubNets.Remove(S);
    std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
    NetIndex_Changed(SubNetA);
    NetIndex_Changed(SubNetB);
    SubNetA->FIntersectingSubNets.Assign(listA);
    SubNetB->FIntersectingSubNets.Assign(listB);
    // ... and learn the new ones, each exactly once.
    for (TSwapSubNet* S : {SubNetA, SubNetB})
        for (TSwapSubNet* T : S->FIntersectingSubNets) {
            T->FIntersectingSubNets.Remove(S);
            T->FIntersectingSubNets.Add(S);
        }
    Totals_Add(SubNetA, SubNetB);

    SubNetA->ConnectionLine_UpdateDrawing();
    SubNetB->ConnectionLine_UpdateDrawing();
}

bool TSwapDataSet::SwapSubNets_CannotLower(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB) {
    // The crossings that stay whatever the pair's new lines cross, as Totals_Subtract leaves them.
    std::int64_t kept = FTotalIntersectionCount;
    kept -= std::int64_t(SubNetA->FIntersectingSubNets.Count());
    kept -= std::int64_t(SubNetB->FIntersectingSubNets.Count());
    if (SubNetA->Crosses(SubNetB))
        kept += 1;
    // The lengths after the exchange, summed as the transaction sums them (whole numbers: exact).
    double length = FTotalSubNetCost;
    length -= SubNetA->SubNetCost();
    length -= SubNetB->SubNetCost();
    std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
    length += SubNetA->SubNetCost();
    length += SubNetB->SubNetCost();
    const THotSpot* ends[4] = {SubNetA->Point1(), SubNetA->Point2(), SubNetB->Point1(), SubNetB->Point2()};
    std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
    if (GetTotalCost() > double(CrossingCost(kept)) + length)
        return false;
    // The floor holds only if the cost rises with every crossing the new lines may add.
    const bool indexed = FFastCrossings && FCrossingIndex.Valid();
    const std::int64_t most = indexed ? std::int64_t(FCrossingIndex.MostCrossing(ends[0], ends[1]) +
                                                     FCrossingIndex.MostCrossing(ends[2], ends[3]))
                                      : 2 * std::int64_t(MasterSubNetList_Swappable.Count());
    return CrossingCost_RisesOver(kept, kept + most);
}

std::int32_t TSwapDataSet::GetLockedCount() const {
    std::int32_t count = 0;
    for (TSwapSubNet* S : MasterSubNetList_Swappable)
        if (S->Locked)
            ++count;
    return count;
}

} // namespace permutor::model

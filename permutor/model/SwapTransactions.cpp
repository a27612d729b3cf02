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
    const double newA = SubNetA->SubNetCost(), newB = SubNetB->SubNetCost();
    length += newA;
    length += newB;
    std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
    const double cost = GetTotalCost();
    const std::int64_t lines = std::int64_t(MasterSubNetList_Swappable.Count());
    // At most how many crossings the exchange can leave: two lists of every other line, or, where
    // the cost wraps on the way there, what the index bounds the new lines by. The pair's own new
    // lines are not in the index yet, and each may meet the other's. Worked out on the present
    // assignment, before any floor below tries the exchange.
    auto most = [&] {
        const std::int64_t every = kept + 2 * lines;
        if (CrossingCost_RisesOver(kept - 1, every) || !FFastCrossings || !FCrossingIndex.Valid())
            return every;
        std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
        const std::size_t bound = FCrossingIndex.MostCrossing(SubNetA->Point1(), SubNetA->Point2()) +
                                  FCrossingIndex.MostCrossing(SubNetB->Point1(), SubNetB->Point2()) + 2;
        std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
        return kept + std::min(std::int64_t(bound), 2 * lines);
    };
    std::int64_t top = -1; // the bound, worked out once when first needed
    auto bound = [&] {
        if (top < 0)
            top = most();
        return top;
    };
    // A floor holds only if the cost rises with every crossing the new lines may add.
    auto rises = [&](std::int64_t floor) { return CrossingCost_RisesOver(floor, bound()); };
    if (cost <= double(CrossingCost(kept)) + length && rises(kept))
        return true;
    if (!FOneLineFloor)
        return false;

    // Then the new lines themselves, tested against the lines that stay. Each new line's list
    // holds its crossings with them, and the other member of the pair once for each of its places
    // in the list when the two new lines cross; the exchange takes that crossing back once.
    // The crossings of the longer line (it usually crosses more) raise the floor; with the
    // other's the count is the exchange's own.
    const bool indexed = FFastCrossings;
    if (indexed)
        CrossingIndex(); // built from the present lines, before the exchange is tried
    bound();             // and the bound too
    auto settles = [&](std::int64_t floor) {
        return cost <= double(CrossingCost(floor)) + length && rises(floor);
    };
    // How many crossings on top of `base` settle the proposal while the cost rises all the way to
    // the bound: inside the bound's run of 2^32, CrossingCost(f) is f * penalty less the run's
    // start. A count is only tested up to there; `settles` has the last word.
    auto enough = [&](std::int64_t base) {
        auto ceilDiv = [](std::int64_t a, std::int64_t b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); };
        const std::int64_t half = std::int64_t(1) << 31;
        const std::int64_t run = (top * cCrossingPenalty + half) >> 32;
        const std::int64_t first = ceilDiv(run * (half << 1) - half, cCrossingPenalty);
        const std::int64_t needed =
            ceilDiv(std::int64_t(cost) - std::int64_t(length) + run * (half << 1), cCrossingPenalty);
        const std::int64_t floor = std::max(first, needed);
        return floor > top ? std::size_t(-1) : std::size_t(std::max<std::int64_t>(0, floor - base));
    };
    auto crossings = [&](const TSwapSubNet* S, const TSwapSubNet* except, std::size_t limit) {
        if (indexed)
            return std::int64_t(FCrossingIndex.CrossingCount(S, except, limit));
        std::size_t count = 0;
        for (TSwapSubNet* other : MasterSubNetList_Swappable) {
            if (count >= limit)
                break;
            count += other != S && other != except && S->Crosses(other);
        }
        return std::int64_t(count);
    };
    // S's crossings with the lines that stay, and whether base plus them settles the proposal.
    // A count that stopped early and still does not settle it is taken again in full.
    auto count = [&](const TSwapSubNet* S, const TSwapSubNet* except, std::int64_t base, bool& settled) {
        const std::size_t limit = enough(base);
        std::int64_t n = crossings(S, except, limit);
        settled = settles(base + n);
        if (!settled && std::size_t(n) >= limit) {
            n = crossings(S, except, std::size_t(-1));
            settled = settles(base + n);
        }
        return n;
    };
    auto places = [&](const TSwapSubNet* S) {
        if (indexed)
            return std::int64_t(FCrossingIndex.SlotsOf(S));
        std::int64_t n = 0;
        for (TSwapSubNet* other : MasterSubNetList_Swappable)
            n += other == S;
        return n;
    };
    std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
    TSwapSubNet* first = newA >= newB ? SubNetA : SubNetB;
    TSwapSubNet* second = first == SubNetA ? SubNetB : SubNetA;
    // What the pair adds of itself: the other member in each list, less the one taken back.
    const std::int64_t base = kept + (first->Crosses(second) ? places(first) + places(second) - 1 : 0);
    ++FOneLineTried;
    bool settled = false;
    const std::int64_t firstCount = count(first, second, base, settled);
    if (settled) {
        ++FOneLineSettled;
    } else {
        // firstCount is whole here: only a count that settles stops early.
        const std::int64_t secondCount = count(second, first, base + firstCount, settled);
        settled = settled || cost <= double(CrossingCost(base + firstCount + secondCount)) + length;
    }
    std::swap(SubNetA->NetIndex_Current, SubNetB->NetIndex_Current);
    return settled;
}

std::int32_t TSwapDataSet::GetLockedCount() const {
    std::int32_t count = 0;
    for (TSwapSubNet* S : MasterSubNetList_Swappable)
        if (S->Locked)
            ++count;
    return count;
}

} // namespace permutor::model

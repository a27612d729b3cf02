// The searches that propose swap pairs within one pin group: a random pair of near neighbours,
// and the pair whose exchange brings a sub-net's far end closest to its new target.
#include "permutor/model/SwapCost.h"
#include "permutor/model/SwapDataSet.h"

#include <cmath>
#include <limits>

namespace permutor::model {

namespace {
constexpr std::int32_t cMaxDraws = 10000;
}

void TSwapGroup::GetRandomSubNetPair(TSwapSubNet*& SubNetA, TSwapSubNet*& SubNetB, double MaxRange) {
    SubNetA = nullptr;
    SubNetB = nullptr;
    if (SubNets.Empty())
        return;
    TRandomGenerator& random = SwapData->RandomGenerator;
    TSwapSubNet* A = nullptr;
    std::int32_t draws = 0;
    do {
        A = SubNets[std::size_t(random.Random(std::int32_t(SubNets.Count())))];
        ++draws;
    } while ((!A->SwapPin || A->Locked) && draws < cMaxDraws);
    // Reaching the last draw counts as failure even when that draw qualified.
    if (draws >= cMaxDraws || A->FNeighbourSubNets.Empty())
        return;

    // Rounds half to even, as the default floating-point rounding mode does.
    const double range = std::nearbyint(MaxRange);
    const std::int32_t neighbours = std::int32_t(A->FNeighbourSubNets.Count());
    const std::int32_t n = range < double(neighbours) ? std::int32_t(range) : neighbours;
    TSwapSubNet* B = nullptr;
    draws = 0;
    do {
        B = A->FNeighbourSubNets[std::size_t(random.Random(n))];
        ++draws;
    } while ((B == A || B->Locked) && draws < cMaxDraws);
    if (draws >= cMaxDraws)
        return;
    SubNetA = A;
    SubNetB = B;
}

bool TSwapGroup::FindBestAvailableSwapPair(TSwapSubNet*& FoundA, TSwapSubNet*& FoundB) {
    double best = std::numeric_limits<double>::max();
    bool found = false;
    for (TSwapSubNet* X : SubNets) {
        if (X->Locked || X->BestTargets.empty())
            continue;
        const THotSpot* P = X->BestHotSpot;
        for (TSwapSubNet* Y : SubNets) {
            if (Y->Locked || !Y->Point2() || std::size_t(Y->NetIndex_Current) >= X->BestTargets.size())
                continue;
            const THotSpot* T = X->BestTargets[std::size_t(Y->NetIndex_Current)];
            double d = HotSpots_ManhattanDistance(P, T);
            if (P && T && P->Layer != T->Layer)
                d += cLayerChangePenalty;
            if (best > d) {
                best = d;
                FoundA = X;
                FoundB = Y;
                found = true;
            }
        }
    }
    return found;
}

} // namespace permutor::model

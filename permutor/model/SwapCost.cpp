// Connection cost as the data set build needs it: hot-spot distances, each pin group's target
// nets, target hot spots and best targets, connection lines, the crossing test, the intersection
// lists (plain walk) and the total cost.
#include "permutor/model/SwapCost.h"

#include "permutor/model/SwapDataSet.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace permutor::model {

using namespace permutor::host;

double HotSpots_EuclideanDistance(const THotSpot* a, const THotSpot* b) {
    if (!a || !b)
        return 0.0;
    const double dx = double(a->X) - double(b->X);
    const double dy = double(a->Y) - double(b->Y);
    return std::sqrt(dx * dx + dy * dy);
}

double HotSpots_ManhattanDistance(const THotSpot* a, const THotSpot* b) {
    if (!a || !b)
        return 0.0;
    // Wraps like the 32-bit arithmetic it stands for instead of overflowing.
    const std::uint32_t dx = std::uint32_t(std::llabs(std::int64_t(a->X) - std::int64_t(b->X)));
    const std::uint32_t dy = std::uint32_t(std::llabs(std::int64_t(a->Y) - std::int64_t(b->Y)));
    return double(std::int32_t(dx + dy));
}

// ---------------------------------------------------------------- targets

void TSwapGroup::BuildTargetNetList() {
    FTargetNets.Clear();
    std::int32_t index = 0;
    for (TSwapSubNet* subNet : SubNets) {
        FTargetNets.Add(subNet->Net_Original);
        subNet->NetIndex_Original = index;
        subNet->NetIndex_Current = index;
        ++index;
    }
}

void TSwapNet::BuildTargetHotSpots(TSwapGroup* G) {
    FTargetHotSpots.Clear();
    for (TSwapSubNet* subNet : FSubNets_All)
        if (subNet->TargetGroup() != G)
            for (THotSpot* spot : subNet->HotspotList)
                FTargetHotSpots.Add(spot);
}

THotSpot* TSwapSubNet::FindBestTarget(TSwapNet* N) const {
    if (!BestHotSpot || !N)
        return nullptr;
    THotSpot* best = nullptr;
    double bestDistance = std::numeric_limits<double>::max();
    for (THotSpot* spot : N->FTargetHotSpots) {
        if (spot->SubNet == this)
            continue;
        double d = HotSpots_EuclideanDistance(BestHotSpot, spot);
        if (spot->Layer != BestHotSpot->Layer)
            d += cLayerChangePenalty;
        if (d < bestDistance) {
            bestDistance = d;
            best = spot;
        }
    }
    return best;
}

void TSwapGroup::FindBestTargetsForSubNets() {
    for (TSwapNet* net : FTargetNets)
        if (net)
            net->BuildTargetHotSpots(this);
    for (TSwapSubNet* subNet : SubNets) {
        subNet->BestTargets.clear();
        for (TSwapNet* net : FTargetNets)
            subNet->BestTargets.push_back(net && subNet->BestHotSpot ? subNet->FindBestTarget(net) : nullptr);
    }
}

// ---------------------------------------------------------------- connection and cost

THotSpot* TSwapSubNet::Point1() const {
    return BestHotSpot;
}

THotSpot* TSwapSubNet::Point2() const {
    if (NetIndex_Current < 0 || std::size_t(NetIndex_Current) >= BestTargets.size())
        return nullptr;
    return BestTargets[std::size_t(NetIndex_Current)];
}

bool TSwapSubNet::IsConnected() const {
    return Net_Current() && Point1() && Point2();
}

double TSwapSubNet::ConnectionLength() const {
    return IsConnected() ? HotSpots_EuclideanDistance(Point1(), Point2()) : 0.0;
}

double TSwapSubNet::SubNetCost() const {
    if (!IsConnected())
        return 0.0;
    const THotSpot* a = Point1();
    const THotSpot* b = Point2();
    return HotSpots_ManhattanDistance(a, b) + (a->Layer != b->Layer ? cLayerChangePenalty : 0.0);
}

void TSwapSubNet::ConnectionLine_SetEnds() {
    ConnectionLine->End1 = Point1();
    ConnectionLine->End2 = Point2();
}

// ---------------------------------------------------------------- crossings

bool Segments_Cross(const THotSpot* A1, const THotSpot* A2, const THotSpot* B1, const THotSpot* B2) {
    if (!A1 || !A2 || !B1 || !B2)
        return false;
    auto samePlace = [](const THotSpot* p, const THotSpot* q) { return p->X == q->X && p->Y == q->Y; };
    if (samePlace(A1, A2) || samePlace(B1, B2))
        return false;
    if ((samePlace(A1, B1) && samePlace(A2, B2)) || (samePlace(A1, B2) && samePlace(A2, B1)))
        return false;

    if (A1->Layer == A2->Layer && A1->Layer != eV6_MultiLayer) {
        if (B1->Layer != A1->Layer)
            return false;
    } else if (A1->Layer != B1->Layer && A1->Layer != B2->Layer && A2->Layer != B1->Layer &&
               A2->Layer != B2->Layer) {
        return false;
    }

    // Segment intersection with bounding-box rejection first.
    const double xa = A1->X, ya = A1->Y, xb = A2->X, yb = A2->Y;
    const double xc = B1->X, yc = B1->Y, xd = B2->X, yd = B2->Y;
    const double Ax = xb - xa, Bx = xc - xd, Ay = yb - ya, By = yc - yd;
    const double x1lo = Ax < 0 ? xb : xa, x1hi = Ax < 0 ? xa : xb;
    if (Bx > 0) {
        if (x1hi < xd || xc < x1lo)
            return false;
    } else if (x1hi < xc || xd < x1lo) {
        return false;
    }
    const double y1lo = Ay < 0 ? yb : ya, y1hi = Ay < 0 ? ya : yb;
    if (By > 0) {
        if (y1hi < yd || yc < y1lo)
            return false;
    } else if (y1hi < yc || yd < y1lo) {
        return false;
    }
    const double Cx = xa - xc, Cy = ya - yc;
    const double f = Ay * Bx - Ax * By;
    auto outside = [f](double v) { return f > 0 ? (v < 0 || v > f) : (v > 0 || v < f); };
    if (outside(By * Cx - Bx * Cy))
        return false;
    if (outside(Ax * Cy - Ay * Cx))
        return false;
    return true;
}

// The sub-net created first supplies the first segment, so the answer is the same either way.
bool TSwapSubNet::Crosses(const TSwapSubNet* T) const {
    const TSwapSubNet* first = CreationIndex <= T->CreationIndex ? this : T;
    const TSwapSubNet* second = first == this ? T : this;
    return Segments_Cross(first->Point1(), first->Point2(), second->Point1(), second->Point2());
}

void TSwapSubNet::BuildIntersectingSubNetList() {
    if (SwapData->FastCrossings())
        BuildIntersectingSubNetList_Fast();
    else
        BuildIntersectingSubNetList_Plain();
}

void TSwapSubNet::BuildIntersectingSubNetList_Plain() {
    FIntersectingSubNets.Clear();
    for (TSwapSubNet* other : SwapData->MasterSubNetList_Swappable)
        if (other != this && Crosses(other))
            FIntersectingSubNets.Add(other);
}

// Lines can only cross when their bounds meet, and the index hands out the candidates in the order
// of the swappable list, so the list equals the plain walk's.
void TSwapSubNet::BuildIntersectingSubNetList_Fast() {
    static thread_local std::vector<TSwapSubNet*> candidates;
    SwapData->CrossingIndex().Candidates(this, candidates);
    FIntersectingSubNets.Clear();
    for (TSwapSubNet* other : candidates)
        if (Crosses(other))
            FIntersectingSubNets.Add(other);
}

const TCrossingIndex& TSwapDataSet::CrossingIndex() {
    if (!FCrossingIndex.Valid())
        FCrossingIndex.Rebuild(MasterSubNetList_Swappable);
    return FCrossingIndex;
}

void TSwapDataSet::NetIndex_Changed(TSwapSubNet* S) {
    if (FCrossingIndex.Valid())
        FCrossingIndex.Update(S);
}

double TSwapDataSet::GetTotalCost() const {
    const std::int32_t crossings = std::int32_t(std::int64_t(FTotalIntersectionCount) * cCrossingPenalty);
    return double(crossings) + FTotalSubNetCost;
}

// ---------------------------------------------------------------- connection line

TConnectionLine* TConnectionLine::Create(TSwapDataSet& ASwapData) {
    return ASwapData.Own(std::make_unique<TConnectionLine>(ASwapData));
}

TConnectionLine::TConnectionLine(TSwapDataSet& ASwapData) : TSwapDataObject(ASwapData) {}

std::string TConnectionLine::GetState_Description() {
    auto end = [](const THotSpot* h) { return h ? h->GetState_Description() : std::string("NULL"); };
    return "Connection From:" + end(End1) + " To:" + end(End2);
}

} // namespace permutor::model

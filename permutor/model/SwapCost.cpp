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

double TSwapGroup::SubNetCost() const {
    double cost = 0;
    for (const TSwapSubNet* subNet : SubNets)
        cost += subNet->SubNetCost();
    return cost;
}

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
    auto end = [](const THotSpot* h) { return TLineEnd{h->X, h->Y, h->Layer}; };
    return Segments_Cross(end(A1), end(A2), end(B1), end(B2));
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

// The index runs the same crossing test on the lines whose bounds meet this one's and hands out
// the crossing sub-nets in the order of the swappable list, so the list equals the plain walk's.
void TSwapSubNet::BuildIntersectingSubNetList_Fast() {
    static thread_local std::vector<TSwapSubNet*> crossing;
    SwapData->CrossingIndex().Crossing(this, crossing);
    FIntersectingSubNets.Clear();
    for (TSwapSubNet* other : crossing)
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
    return double(CrossingCost(FTotalIntersectionCount)) + FTotalSubNetCost;
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

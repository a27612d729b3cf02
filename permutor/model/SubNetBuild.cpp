// Cutting nets into sub-nets, the sub-net of a pad without a net, hot spots, tying a sub-net to
// its one swap pin, its far end and its neighbours.
#include "permutor/model/SwapCost.h"
#include "permutor/model/SwapDataSet.h"
#include "permutor/schematic/ConnectedObjectFinder.h"

namespace permutor::model {

using namespace permutor::host;

namespace {

bool AcceptedInSubNet(IPCB_Primitive* primitive, bool pinsOnly) {
    switch (primitive->ObjectId()) {
    case ePadObject: {
        auto pad = QueryInterface<IPCB_Pad>(primitive);
        return pad && !pad->ExcludedFromSubNets();
    }
    case eArcObject:
    case eViaObject:
    case eTrackObject:
        return !pinsOnly;
    default:
        return false;
    }
}

bool HoldsPad(const TSwapSubNet* subNet) {
    for (const auto& primitive : subNet->Primitives)
        if (primitive->ObjectId() == ePadObject)
            return true;
    return false;
}

} // namespace

void TSwapNet::BuildSubNetList() {
    FSubNets_All.Clear();
    if (!FNet_PCB)
        return;
    const bool pinsOnly = SwapData->PinsOnly();
    const std::int32_t groups = FNet_PCB->SubNetGroupCount();
    for (std::int32_t g = 0; g < groups; ++g) {
        auto group = FNet_PCB->SubNetGroup(g);
        if (!group)
            continue;
        TSwapSubNet* subNet = SwapData->NewSubNet(this, std::uint16_t(g + 1));
        FSubNets_All.Add(subNet);
        auto iterator = group->Iterate();
        for (auto primitive = iterator ? iterator->First() : nullptr; primitive; primitive = iterator->Next())
            if (AcceptedInSubNet(primitive.get(), pinsOnly))
                subNet->Primitives.push_back(primitive);
        subNet->BuildHotSpots();
    }
    // Islands without a pad end at no pin; they stay in the master list only.
    FSubNets_All.Pack([](TSwapSubNet* s) { return !HoldsPad(s); });
    SwapData->PrimitiveIndex_Invalidate();
}

void TSwapSubNet::BuildPrimitivesFromPin(TSwapPin* APin) {
    Primitives.clear();
    SwapData->PrimitiveIndex_Invalidate();
    IPtr<IPCB_Primitive> pad(APin && APin->Pin_PCB() ? static_cast<IPCB_Primitive*>(APin->Pin_PCB().get())
                                                     : nullptr);
    if (pad) {
        if (!SwapData->PinsOnly()) {
            std::vector<IPtr<IPCB_Primitive>> found;
            {
                schematic::TConnectedObjectFinder finder(FPCB_Board.get(), pad.get(), found,
                                                         schematic::ConnectedObjectFinder_CopperKinds(),
                                                         nullptr);
                finder.Run();
            }
            for (auto& primitive : found) {
                primitive->SetSubNetNumber(cNoNetSubNetIndex);
                Primitives.push_back(primitive);
            }
        } else {
            pad->SetSubNetNumber(cNoNetSubNetIndex);
            Primitives.push_back(pad);
        }
    }
    BuildHotSpots();
}

void TSwapSubNet::BuildHotSpots() {
    HotspotList.Clear();
    auto add = [this](TCoord x, TCoord y, TV6_Layer layer) {
        if (!HotspotList.Contains(THotSpot(x, y, layer, this)))
            HotspotList.Add(THotSpot::Create(*SwapData, x, y, layer, this));
    };
    for (const auto& primitive : Primitives) {
        switch (primitive->ObjectId()) {
        case ePadObject:
            if (auto pad = QueryInterface<IPCB_Pad>(primitive); pad && pad->OwnerText().empty())
                add(pad->X(), pad->Y(), pad->Layer());
            break;
        case eViaObject:
            if (auto via = QueryInterface<IPCB_Via>(primitive)) {
                const TV6_Layer start = via->StartLayer(), stop = via->StopLayer();
                if (FPCB_Board && start == FPCB_Board->TopLayer() && stop == FPCB_Board->BottomLayer()) {
                    add(via->X(), via->Y(), eV6_MultiLayer);
                } else {
                    for (std::int32_t layer = start; layer <= stop; ++layer)
                        add(via->X(), via->Y(), TV6_Layer(layer));
                }
            }
            break;
        case eTrackObject:
            if (auto track = QueryInterface<IPCB_Track>(primitive)) {
                add(track->X1(), track->Y1(), track->Layer());
                add(track->X2(), track->Y2(), track->Layer());
            }
            break;
        default:
            break;
        }
    }
}

void TSwapSubNet::AssignSwapPin() {
    TSwapPin* first = nullptr;
    bool ambiguous = false;
    for (const auto& primitive : Primitives) {
        if (primitive->ObjectId() != ePadObject)
            continue;
        TSwapPin* pin = SwapData->FindSwapPinByPad(QueryInterface<IPCB_Pad>(primitive).get());
        if (!pin) {
            ambiguous = true;
            continue;
        }
        pin->SubNet = this;
        if (first)
            ambiguous = true;
        else
            first = pin;
    }
    // A pin whose copper already reaches another pad is not swapped.
    if (!first || ambiguous)
        return;
    SwapPin = first;
    FindBestHotSpot();
    if (SwapPin->PinSwapGroup)
        SwapPin->PinSwapGroup->SubNets.Add(this);
    if (SwapPin->PartSwapGroup)
        SwapPin->PartSwapGroup->SubNets.Add(this);
}

void TSwapSubNet::FindBestHotSpot() {
    if (!SwapPin)
        return;
    if (HotspotList.Empty()) {
        BestHotSpot = SwapPin->PadLocation;
        return;
    }
    double farthest = -1.0;
    for (THotSpot* spot : HotspotList) {
        const double d = HotSpots_EuclideanDistance(spot, SwapPin->PadLocation);
        if (d > farthest) {
            farthest = d;
            BestHotSpot = spot;
        }
    }
}

void TSwapSubNet::BuildNeighourList() {
    FNeighbourSubNets.Clear();
    TSwapGroup* group = PinSwapGroup();
    if (!group)
        return;
    for (TSwapSubNet* other : group->SubNets)
        if (other != this)
            FNeighbourSubNets.Add(other);
    FNeighbourSubNets.Sort([this](TSwapSubNet* a, TSwapSubNet* b) {
        if (a == b)
            return 0;
        const double da = HotSpots_EuclideanDistance(a->BestHotSpot, BestHotSpot);
        const double db = HotSpots_EuclideanDistance(b->BestHotSpot, BestHotSpot);
        return da < db ? -1 : (da > db ? 1 : 0);
    });
}

} // namespace permutor::model

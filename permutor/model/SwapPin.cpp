#include "permutor/model/SwapDataSet.h"
#include "permutor/schematic/SchematicPinAndPartSwap.h"

namespace permutor::model {

using namespace permutor::host;
using namespace permutor::schematic;

TSwapPin* TSwapPin::Create(TSwapDataSet& ASwapData, IPCB_Pad* APin_PCB, INetItem* APin_SCH,
                           IDevicePin* APin_DEV, TSwapComponent* AComponent) {
    return ASwapData.Own(std::make_unique<TSwapPin>(ASwapData, APin_PCB, APin_SCH, APin_DEV, AComponent));
}

TSwapPin::TSwapPin(TSwapDataSet& ASwapData, IPCB_Pad* APin_PCB, INetItem* APin_SCH, IDevicePin* APin_DEV,
                   TSwapComponent* AComponent)
    : TSwapDataObject(ASwapData), Pin_SCH(APin_SCH), Pin_DEV(APin_DEV),
      FSwapIDPin(NetItem_SwapIdPin(APin_SCH)), FSwapIDPart(NetItem_SwapIdPart(APin_SCH)), FPin_PCB(APin_PCB),
      FComponent(AComponent) {
    if (FPin_PCB)
        PadLocation = THotSpot::Create(ASwapData, FPin_PCB->X(), FPin_PCB->Y(), FPin_PCB->Layer(), nullptr);
}

std::string TSwapPin::GetState_Name() {
    return (FComponent ? FComponent->GetState_Description() : std::string()) + "-" +
           (FPin_PCB ? FPin_PCB->Name() : std::string());
}

std::string TSwapPin::GetState_Description() {
    auto net = PadNet_PCB();
    TSwapNet* current = SubNet ? SubNet->Net_Current() : nullptr;
    return GetState_Name() + " OldNet=" + (net ? net->Name() : std::string("NULL")) +
           " NewNet:" + (current ? current->NetName() : std::string("NULL"));
}

IPtr<IPCB_Net> TSwapPin::PadNet_PCB() {
    return FPin_PCB ? FPin_PCB->Net() : IPtr<IPCB_Net>();
}

bool TSwapPin::IsSwapCandidate() {
    switch (SwapData->SwapMode()) {
    case eSwap_All:
        return false;
    case eSwap_Parts:
        return !FSwapIDPart.empty();
    case eSwap_Pins:
        return !FSwapIDPin.empty();
    case eSwap_PinsKESTREL:
        return true;
    case eSwap_DifferentialPairs:
        return IsDifferentialPairPin();
    }
    return false;
}

bool TSwapPin::IsSwappable() {
    if (!Pin_SCH)
        return false;
    const auto& project = SwapData->Project();
    if (!project)
        return false;
    if (project->AllowPinSwapping())
        return true;
    if (project->AllowNetLabelSwapping())
        return NetItem_IsSwappableByNetLabel(Pin_SCH.get());
    return false;
}

IPtr<IPCB_DifferentialPair> TSwapPin::PCBDifferentialPair() {
    auto net = PadNet_PCB();
    if (!net)
        return {};
    auto pair = net->DifferentialPair();
    if (!pair || !net->InDifferentialPair())
        return {};
    return QueryInterface<IPCB_DifferentialPair>(pair);
}

bool TSwapPin::IsDifferentialPairPin() {
    if (PCBDifferentialPair())
        return true;
    auto net = PadNet_PCB();
    if (net && !net->Name().empty())
        return false;
    return !NetItem_SwapIdPair(Pin_SCH.get()).empty();
}

std::string TSwapPin::DifferentialPairName() {
    if (!IsDifferentialPairPin())
        return {};
    if (auto pair = PCBDifferentialPair())
        return pair->Name();
    if (Pin_DEV && !PadNet_PCB())
        return Pin_DEV->DifferentialPairName();
    return {};
}

std::string TSwapPin::DifferentialPairPolarity() {
    auto net = PadNet_PCB();
    if (auto pair = PCBDifferentialPair()) {
        if (pair->PositiveNet() == net)
            return "P";
        if (pair->NegativeNet() == net)
            return "N";
    }
    if (Pin_DEV) {
        if (net && !net->Name().empty())
            return "X";
        if (Pin_DEV->IsPositive())
            return "P";
        if (Pin_DEV->IsNegative())
            return "N";
    }
    return "X";
}

std::string TSwapPin::SubPartNumber() {
    return Pin_SCH ? std::to_string(Pin_SCH->PartNumber()) : std::string();
}

} // namespace permutor::model

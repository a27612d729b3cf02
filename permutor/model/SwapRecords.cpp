// Nets, sub-nets, sub-parts and groups: creation, links and descriptions.
#include "permutor/host/Services.h"
#include "permutor/model/SwapDataSet.h"

namespace permutor::model {

using namespace permutor::host;

// ---------------------------------------------------------------- net

TSwapNet* TSwapNet::Create(TSwapDataSet& ASwapData, IPCB_Net* ANet_PCB) {
    return ASwapData.Own(std::make_unique<TSwapNet>(ASwapData, ANet_PCB));
}

TSwapNet::TSwapNet(TSwapDataSet& ASwapData, IPCB_Net* ANet_PCB)
    : TSwapDataObject(ASwapData), FNet_PCB(ANet_PCB) {
    ConnectsWereVisible = FNet_PCB && FNet_PCB->ConnectionsVisible();
}

std::string TSwapNet::NetName() {
    return FNet_PCB ? FNet_PCB->Name() : std::string("NULL");
}

std::string TSwapNet::GetState_Description() {
    return "Net:" + NetName();
}

// ---------------------------------------------------------------- sub-net

TSwapSubNet* TSwapSubNet::Create(TSwapDataSet& ASwapData, TSwapNet* ANet, std::uint16_t ASubNetIndex) {
    return ASwapData.Own(std::make_unique<TSwapSubNet>(ASwapData, ANet, ASubNetIndex));
}

TSwapSubNet::TSwapSubNet(TSwapDataSet& ASwapData, TSwapNet* ANet, std::uint16_t ASubNetIndex)
    : TSwapDataObject(ASwapData), SubNetIndex(ASubNetIndex),
      ConnectionLine(TConnectionLine::Create(ASwapData)), Net_Previous(ANet), Net_Original(ANet) {}

TSwapGroup* TSwapSubNet::PinSwapGroup() const {
    return SwapPin ? SwapPin->PinSwapGroup : nullptr;
}

TSwapGroup* TSwapSubNet::PartSwapGroup() const {
    return SwapPin ? SwapPin->PartSwapGroup : nullptr;
}

TSwapSubPart* TSwapSubNet::SubPart() const {
    return SwapPin ? SwapPin->SubPart : nullptr;
}

TSwapGroup* TSwapSubNet::TargetGroup() const {
    if (!SwapPin)
        return nullptr;
    return SwapPin->PinSwapGroup ? SwapPin->PinSwapGroup : SwapPin->PartSwapGroup;
}

TSwapNet* TSwapSubNet::Net_Current() const {
    TSwapGroup* group = TargetGroup();
    if (NetIndex_Current < 0 || !group || std::size_t(NetIndex_Current) >= group->FTargetNets.Count())
        return nullptr;
    return group->FTargetNets[std::size_t(NetIndex_Current)];
}

IPtr<IPCB_Net> TSwapSubNet::Net_PCB_Current() {
    return Primitives.empty() ? IPtr<IPCB_Net>() : Primitives.front()->Net();
}

void TSwapSubNet::AddToPCBNet(IPCB_Net* Net) {
    if (!Net)
        return;
    for (auto& primitive : Primitives) {
        primitive->BeginModify();
        Net->AddPrimitive(primitive.get());
        primitive->EndModify();
    }
}

void TSwapSubNet::RemoveFromPCBNet(IPCB_Net* Net) {
    if (!Net)
        return;
    for (auto& primitive : Primitives) {
        primitive->BeginModify();
        Net->RemovePrimitive(primitive.get());
        primitive->SetNet(nullptr);
        primitive->EndModify();
    }
}

// A sub-net that has lost its current net (no target index) keeps its copper where it is: taking
// it off its previous net would leave it on none.
void TSwapSubNet::UpdatePCBNet() {
    try {
        TSwapNet* current = Net_Current();
        if (!current || current == Net_Previous)
            return;
        if (Net_Previous)
            RemoveFromPCBNet(Net_Previous->Net_PCB().get());
        AddToPCBNet(current->Net_PCB().get());
        Net_Previous = current;
    } catch (...) {
        MessageBox_Error("Failed to update PCB Document");
    }
}

std::string TSwapSubNet::GetState_Id() {
    TSwapNet* current = Net_Current();
    return (SwapPin && SwapPin->Pin_PCB() ? SwapPin->Pin_PCB()->Name() : std::string("NULL")) + "(" +
           (current ? current->NetName() : std::string("NULL")) + ")";
}

std::string TSwapSubNet::GetState_Description() {
    std::string text =
        "SubNet Index:" + std::to_string(SubNetIndex) + " Prims:" + std::to_string(Primitives.size());
    if (BestHotSpot)
        text += " HotSpot:" + BestHotSpot->GetState_Description();
    else if (SwapPin && SwapPin->PadLocation)
        text += " PinSpot:" + SwapPin->PadLocation->GetState_Description();
    TSwapNet* named = Net_Current() ? Net_Current() : Net_Original;
    text += " Net Name:" + (named ? named->NetName() : std::string("NULL"));
    text += " Id:" + GetState_Id();
    if (SwapPin)
        text +=
            " Comp:" + (SwapPin->Component() ? SwapPin->Component()->GetState_Description() : std::string());
    return text;
}

// ---------------------------------------------------------------- sub-part

TSwapSubPart* TSwapSubPart::Create(TSwapDataSet& ASwapData, TSwapGroup* ASwapGroup, const std::string& AId) {
    return ASwapData.Own(std::make_unique<TSwapSubPart>(ASwapData, ASwapGroup, AId));
}

TSwapSubPart::TSwapSubPart(TSwapDataSet& ASwapData, TSwapGroup* ASwapGroup, const std::string& AId)
    : TSwapDataObject(ASwapData), SwapGroup(ASwapGroup), Id(AId) {}

TSwapComponent* TSwapSubPart::Component() const {
    return SwapGroup ? SwapGroup->Component : nullptr;
}

std::string TSwapSubPart::PartId() const {
    if (SubNets.Empty())
        return {};
    TSwapSubNet* first = SubNets.Object(0);
    if (!first || !first->SwapPin || !first->SwapPin->Pin_SCH)
        return {};
    return std::to_string(first->SwapPin->Pin_SCH->PartNumber());
}

std::string TSwapSubPart::GetState_Description() {
    TSwapComponent* component = Component();
    std::string name =
        component && component->Component_PCB() ? component->Component_PCB()->NameText() : "NULL";
    return "SwapPart Component:" + name + " SwapGroupID:" + (SwapGroup ? SwapGroup->ID : std::string()) +
           " SubPartId:" + Id + " SubNets:" + std::to_string(SubNets.Count());
}

// ---------------------------------------------------------------- group

TSwapGroup* TSwapGroup::Create(TSwapDataSet& ASwapData, const std::string& AId, TSwapComponent* AComponent) {
    return ASwapData.Own(std::make_unique<TSwapGroup>(ASwapData, AId, AComponent));
}

TSwapGroup::TSwapGroup(TSwapDataSet& ASwapData, const std::string& AId, TSwapComponent* AComponent)
    : TSwapDataObject(ASwapData), ID(AId), Component(AComponent) {}

std::string TSwapGroup::GetState_Description() {
    std::string name =
        Component && Component->Component_PCB() ? Component->Component_PCB()->NameText() : "NULL";
    return "SwapGroup For Component:" + name + " ID:" + ID;
}

} // namespace permutor::model

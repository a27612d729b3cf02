#include "permutor/host/Services.h"
#include "permutor/model/FpgaData.h"
#include "permutor/model/SwapDataSet.h"
#include "permutor/schematic/SchematicPinAndPartSwap.h"

#include <fmt/format.h>

namespace permutor::model {

using namespace permutor::host;
using namespace permutor::schematic;

TSwapDataObject::TSwapDataObject(TSwapDataSet& ASwapData)
    : SwapData(&ASwapData), FPCB_Board(ASwapData.PCBBoard()) {}

std::string TSwapDataObject::GetState_Description() {
    return std::string("Abstract TSwapDataObject:") + ClassName();
}

TSwapComponent* TSwapComponent::Create(TSwapDataSet& ASwapData, IComponent* ADM_Component_PCB,
                                       IComponent* ADM_Component_SCH, IPCB_Component* AComponent_PCB) {
    return ASwapData.Own(
        std::make_unique<TSwapComponent>(ASwapData, ADM_Component_PCB, ADM_Component_SCH, AComponent_PCB));
}

TSwapComponent::TSwapComponent(TSwapDataSet& ASwapData, IComponent* ADM_Component_PCB,
                               IComponent* ADM_Component_SCH, IPCB_Component* AComponent_PCB)
    : TSwapDataObject(ASwapData), FDM_Component_SCH(ADM_Component_SCH), FDM_Component_PCB(ADM_Component_PCB),
      FComponent_PCB(AComponent_PCB) {
    if (FComponent_PCB) {
        FPinSwapEnabled = FComponent_PCB->PinSwappingEnabled();
        FPartSwapEnabled = FComponent_PCB->PartSwappingEnabled();
    }
}

TSwapComponent::~TSwapComponent() = default;

void TSwapComponent::TryToLoadFpgaData() {
    if (FpgaDataHolder)
        return;
    IPtr<IComponentInfo> information = FpgaData_FindComponentInfo(FDM_Component_SCH.get());
    FpgaDataHolder = TFpgaDataHolder::Create(information.get());
}

std::string TSwapComponent::GetState_Description() {
    return FDM_Component_SCH ? FDM_Component_SCH->Designator() : std::string();
}

void TSwapComponent::BuildPinAndSwapGroupLists() {
    if (!FComponent_PCB)
        return;
    TSwapDataSet& set = *SwapData;

    // Pads find their schematic and device pins by name through sorted tables.
    TSortedStringList<IPtr<INetItem>> schematicPins;
    if (FDM_Component_SCH) {
        const std::int32_t n = FDM_Component_SCH->PinCount();
        for (std::int32_t i = 0; i < n; ++i)
            if (auto pin = FDM_Component_SCH->Pin(i))
                schematicPins.Add(pin->Designator(), pin);
    }
    TSortedStringList<IPtr<IDevicePin>> devicePins;
    if (auto manager = DeviceManager_Get(); manager && FDM_Component_SCH)
        if (auto device = manager->FindDevice(FDM_Component_SCH->DeviceKey())) {
            const std::int32_t n = device->PinCount();
            for (std::int32_t i = 0; i < n; ++i)
                if (auto pin = device->Pin(i))
                    devicePins.Add(pin->Name(), pin);
        }

    auto iterator = FComponent_PCB->IteratePrimitives(TObjectSet{ePadObject});
    for (auto primitive = iterator ? iterator->First() : nullptr; primitive; primitive = iterator->Next()) {
        auto pad = QueryInterface<IPCB_Pad>(primitive);
        if (!pad)
            continue;
        const std::string name = pad->Name();
        IPtr<INetItem> schematicPin = schematicPins.Lookup(name);
        if (!schematicPin) {
            set.ReportUnmatchedPad(pad.get(), FComponent_PCB.get());
            ++set.ErrorCount_MissingPins;
            continue;
        }
        IPtr<IDevicePin> devicePin = devicePins.Lookup(name);
        TSwapPin* pin = TSwapPin::Create(set, pad.get(), schematicPin.get(), devicePin.get(), this);
        if (!pin->IsSwapCandidate())
            continue;
        if (!pin->IsSwappable()) {
            set.ReportUnswappablePin(schematicPin.get());
            ++set.ErrorCount_BadPins;
            continue;
        }
        FPins.Add(pin);

        std::string key;
        bool partGroup = false;
        switch (set.SwapMode()) {
        case eSwap_Parts:
            key = pin->SwapIDPart();
            partGroup = true;
            break;
        case eSwap_Pins:
            key = pin->SwapIDPin();
            break;
        case eSwap_PinsKESTREL:
            key = "KESTREL";
            break;
        case eSwap_DifferentialPairs:
            key = NetItem_SwapIdPair(schematicPin.get());
            partGroup = true;
            break;
        case eSwap_All:
            continue; // no pin is a candidate in this mode
        }
        auto& map = partGroup ? ComponentPartSwapGroups : ComponentPinSwapGroups;
        TSwapGroup* group = map.Lookup(key);
        if (!group) {
            group = TSwapGroup::Create(set, key, this);
            map.Add(key, group);
            (partGroup ? set.PartSwapGroups : set.PinSwapGroups).Add(group);
        }
        group->SwapPins.Add(pin);
        (partGroup ? pin->PartSwapGroup : pin->PinSwapGroup) = group;
    }
    set.PinIndex_Invalidate();
}

IPtr<ISch_Component> TSwapComponent::SchematicComponent() {
    auto project = SwapData->Project();
    if (!project || !FDM_Component_SCH)
        return {};
    auto lookup = project->UniqueIdLookup();
    if (!lookup)
        return {};
    lookup->Begin();
    auto found = lookup->FindByUniqueId(FDM_Component_SCH->UniqueId(), ISch_Component::IID);
    lookup->End();
    return QueryInterface<ISch_Component>(found);
}

std::string TSwapComponent::ImportFromSchematic_PinSwapData() {
    auto component = SchematicComponent();
    return component ? SchematicComponent_GetPinSwapData(component.get()) : std::string();
}

std::string TSwapComponent::ImportFromSchematic_PartSwapData() {
    auto component = SchematicComponent();
    return component ? SchematicComponent_GetPartSwapData(component.get()) : std::string();
}

std::string TSwapComponent::ImportFromSchematic_PairSwapData() {
    auto component = SchematicComponent();
    return component ? SchematicComponent_GetPairSwapData(component.get()) : std::string();
}

namespace {

void UpdateSwapData(const std::string& data, const std::string& original, std::string& now, bool& existNow,
                    bool& changed) {
    now = data;
    existNow = !data.empty();
    changed = now != original;
}

} // namespace

void TSwapComponent::UpdatePinSwapData(const std::string& ASwapData) {
    UpdateSwapData(ASwapData, PinSwapData_Original, PinSwapData_New, PinSwapData_ExistNow,
                   PinSwapData_Changed);
}

void TSwapComponent::UpdatePartSwapData(const std::string& ASwapData) {
    UpdateSwapData(ASwapData, PartSwapData_Original, PartSwapData_New, PartSwapData_ExistNow,
                   PartSwapData_Changed);
}

void TSwapComponent::UpdatePairSwapData(const std::string& ASwapData) {
    UpdateSwapData(ASwapData, PairSwapData_Original, PairSwapData_New, PairSwapData_ExistNow,
                   PairSwapData_Changed);
}

std::string TSwapComponent::PinSwapData_StatusString() {
    if (PinSwapData_ExistNow)
        return fmt::format("({}/{})", PinSwapData_EntryCount(PinSwapData_New),
                           FDM_Component_SCH ? FDM_Component_SCH->PinCount() : 0);
    return PinSwapData_ExistAtStart ? "Removed" : "";
}

std::string TSwapComponent::PartSwapData_StatusString() {
    if (PartSwapData_ExistNow)
        return fmt::format("({}/{})", PartSwapData_EntryCount(PartSwapData_New),
                           FDM_Component_SCH ? FDM_Component_SCH->PinCount() : 0);
    return PartSwapData_ExistAtStart ? "Removed" : "";
}

std::int32_t TSwapComponent::TotalSubPartCount() {
    auto component = SchematicComponent();
    return component ? component->PartCount() : 0;
}

std::int32_t TSwapComponent::PlacedSubPartCount() {
    return FDM_Component_SCH ? FDM_Component_SCH->PlacedSubPartCount() : 0;
}

} // namespace permutor::model

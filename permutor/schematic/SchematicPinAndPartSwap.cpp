#include "permutor/schematic/SchematicPinAndPartSwap.h"

#include "permutor/schematic/Param.h"

namespace permutor::schematic {

using namespace permutor::host;

namespace {

// Calls `visit(pin)` for each pin of the component in the host's order; other objects are skipped.
template <class F> void ForEachPin(ISch_Component* component, F&& visit) {
    if (!component)
        return;
    const std::int32_t n = component->ChildCount();
    for (std::int32_t i = 0; i < n; ++i)
        if (auto pin = QueryInterface<ISch_Pin>(component->Child(i)))
            visit(pin.get());
}

std::string Lookup(const TParameterList& list, const std::string& name) {
    std::string value;
    list.GetState_ParameterAsString(name, value);
    return value;
}

int CountPrefix(const TParameterList& list, std::string_view prefix) {
    int n = 0;
    for (const auto& item : list.Items())
        if (Text_StartsWithNoCase(item.Name, prefix))
            ++n;
    return n;
}

bool SwapData_IsValidFor(IComponent* component, const std::string& swapData, std::string_view prefix) {
    if (swapData.empty())
        return true;
    TParameterList list;
    list.SetState_FromString(swapData, true);
    const std::int32_t pinCount = component ? component->PinCount() : 0;
    for (const auto& item : list.Items()) {
        if (!Text_StartsWithNoCase(item.Name, prefix))
            continue;
        const std::string_view designator = std::string_view(item.Name).substr(prefix.size());
        bool found = false;
        for (std::int32_t i = 0; i < pinCount && !found; ++i) {
            auto pin = component->Pin(i);
            found = pin && Text_EqualNoCase(pin->Designator(), designator);
        }
        if (!found)
            return false;
    }
    return true;
}

} // namespace

std::string SwapId_Normalise(TSwapIdKind kind, const std::string& id) {
    const std::string_view trimmed = Text_Trim(id);
    if (kind != eSwapId_Pin && trimmed == "0")
        return {};
    return std::string(trimmed);
}

void SwapData_AddEntry(std::string& text, const std::string& entry) {
    if (entry.empty())
        return;
    if (!text.empty())
        text += '|';
    text += entry;
}

std::string SwapData_MakePinEntry(const std::string& designator, const std::string& pinSwapId) {
    return pinSwapId.empty() ? std::string() : cSwapPrefix_Pin + designator + "=" + pinSwapId;
}

std::string SwapData_MakePairEntry(const std::string& designator, const std::string& pairSwapId) {
    return pairSwapId.empty() ? std::string() : cSwapPrefix_Pair + designator + "=" + pairSwapId;
}

std::string SwapData_MakePartEntries(const std::string& designator, const std::string& partSwapId,
                                     const std::string& partPinSwapId) {
    std::string text;
    if (!partSwapId.empty())
        SwapData_AddEntry(text, cSwapPrefix_Part + designator + "=" + partSwapId);
    if (!partPinSwapId.empty())
        SwapData_AddEntry(text, cSwapPrefix_PartPin + designator + "=" + partPinSwapId);
    return text;
}

TComponentSwapData SchematicComponent_GetSwapData(ISch_Component* component) {
    TComponentSwapData data;
    ForEachPin(component, [&](ISch_Pin* pin) {
        const std::string designator = pin->Designator();
        const std::string pinId = SwapId_Normalise(eSwapId_Pin, pin->SwapId(eSwapId_Pin));
        const std::string partId = SwapId_Normalise(eSwapId_Part, pin->SwapId(eSwapId_Part));
        const std::string partPinId = SwapId_Normalise(eSwapId_PartPin, pin->SwapId(eSwapId_PartPin));
        const std::string pairId = SwapId_Normalise(eSwapId_Pair, pin->SwapId(eSwapId_Pair));
        SwapData_AddEntry(data.Pin, SwapData_MakePinEntry(designator, pinId));
        SwapData_AddEntry(data.Part, SwapData_MakePartEntries(designator, partId, partPinId));
        SwapData_AddEntry(data.Pair, SwapData_MakePairEntry(designator, pairId));
    });
    return data;
}

std::string SchematicComponent_GetPinSwapData(ISch_Component* component) {
    return SchematicComponent_GetSwapData(component).Pin;
}
std::string SchematicComponent_GetPartSwapData(ISch_Component* component) {
    return SchematicComponent_GetSwapData(component).Part;
}
std::string SchematicComponent_GetPairSwapData(ISch_Component* component) {
    return SchematicComponent_GetSwapData(component).Pair;
}

void SchematicComponent_SetPinSwapData(ISch_Component* component, const std::string& swapData) {
    TParameterList list;
    list.SetState_FromString(swapData, true);
    ForEachPin(component, [&](ISch_Pin* pin) {
        pin->SetSwapId(eSwapId_Pin, Lookup(list, cSwapPrefix_Pin + pin->Designator()));
    });
}

void SchematicComponent_SetPartSwapData(ISch_Component* component, const std::string& swapData) {
    TParameterList list;
    list.SetState_FromString(swapData, true);
    ForEachPin(component, [&](ISch_Pin* pin) {
        const std::string designator = pin->Designator();
        pin->SetSwapId(eSwapId_Part, Lookup(list, cSwapPrefix_Part + designator));
        pin->SetSwapId(eSwapId_PartPin, Lookup(list, cSwapPrefix_PartPin + designator));
    });
}

void SchematicComponent_SetPairSwapData(ISch_Component* component, const std::string& swapData) {
    TParameterList list;
    list.SetState_FromString(swapData, true);
    ForEachPin(component, [&](ISch_Pin* pin) {
        pin->SetSwapId(eSwapId_Pair, Lookup(list, cSwapPrefix_Pair + pin->Designator()));
    });
}

bool PinSwapData_IsValidFor(IComponent* component, const std::string& swapData) {
    return SwapData_IsValidFor(component, swapData, cSwapPrefix_Pin);
}

bool PartSwapData_IsValidFor(IComponent* component, const std::string& swapData) {
    return SwapData_IsValidFor(component, swapData, cSwapPrefix_Part);
}

int PinSwapData_EntryCount(const std::string& swapData) {
    TParameterList list;
    list.SetState_FromString(swapData, true);
    return CountPrefix(list, cSwapPrefix_Pin);
}

int PartSwapData_EntryCount(const std::string& swapData) {
    TParameterList list;
    list.SetState_FromString(swapData, true);
    const int parts = CountPrefix(list, cSwapPrefix_Part);
    const int partPins = CountPrefix(list, cSwapPrefix_PartPin);
    return parts > partPins ? parts : partPins;
}

std::string NetItem_SwapIdPin(INetItem* pin) {
    return pin ? SwapId_Normalise(eSwapId_Pin, pin->SwapId(eSwapId_Pin)) : std::string();
}
std::string NetItem_SwapIdPart(INetItem* pin) {
    return pin ? SwapId_Normalise(eSwapId_Part, pin->SwapId(eSwapId_Part)) : std::string();
}
std::string NetItem_SwapIdPartPin(INetItem* pin) {
    return pin ? SwapId_Normalise(eSwapId_PartPin, pin->SwapId(eSwapId_PartPin)) : std::string();
}
std::string NetItem_SwapIdPair(INetItem* pin) {
    return pin ? SwapId_Normalise(eSwapId_Pair, pin->SwapId(eSwapId_Pair)) : std::string();
}

bool NetItem_IsSwappableByNetLabel(INetItem* pin) {
    if (!pin)
        return false;
    auto net = pin->OwningNet();
    if (!net)
        return false;
    const std::int32_t key = pin->LocationKey();
    std::int32_t counts[3] = {0, 0, 0};
    for (std::int32_t list = 1; list <= 3; ++list) {
        const std::int32_t n = net->MemberCount(list);
        for (std::int32_t i = 0; i < n; ++i) {
            auto member = net->Member(list, i);
            if (member && member->LocationKey() == key)
                ++counts[list - 1];
        }
    }
    const auto [a, b, c] = counts;
    return c == 1 && b <= 1 && b + c == a;
}

} // namespace permutor::schematic

// A component's swap identifiers in text form ("swap data"): reading them from and writing them
// to schematic pins, validating, counting, and reading the identifiers of design-model pins.
#pragma once

#include "permutor/host/Host.h"

#include <string>

namespace permutor::schematic {

inline constexpr const char* cSwapPrefix_Pin = "Pin_";
inline constexpr const char* cSwapPrefix_Part = "Part_";
inline constexpr const char* cSwapPrefix_PartPin = "PartPin_";
inline constexpr const char* cSwapPrefix_Pair = "Pair_";

// Identifier normalisation: trimmed; for part, part-pin and pair ids "0" means none.
std::string SwapId_Normalise(host::TSwapIdKind kind, const std::string& id);

// Building entries. The builders do not normalise; callers pass normalised identifiers.
void SwapData_AddEntry(std::string& text, const std::string& entry);
std::string SwapData_MakePinEntry(const std::string& designator, const std::string& pinSwapId);
std::string SwapData_MakePairEntry(const std::string& designator, const std::string& pairSwapId);
std::string SwapData_MakePartEntries(const std::string& designator, const std::string& partSwapId,
                                     const std::string& partPinSwapId);

// The three swap data values of one schematic component, built in one pass over its pins.
struct TComponentSwapData {
    std::string Pin;
    std::string Part;
    std::string Pair;
};
TComponentSwapData SchematicComponent_GetSwapData(host::ISch_Component* component);
std::string SchematicComponent_GetPinSwapData(host::ISch_Component* component);
std::string SchematicComponent_GetPartSwapData(host::ISch_Component* component);
std::string SchematicComponent_GetPairSwapData(host::ISch_Component* component);

// Writes every pin of the component: a pin without an entry loses its identifier of that kind.
void SchematicComponent_SetPinSwapData(host::ISch_Component* component, const std::string& swapData);
void SchematicComponent_SetPartSwapData(host::ISch_Component* component, const std::string& swapData);
void SchematicComponent_SetPairSwapData(host::ISch_Component* component, const std::string& swapData);

// Whether every "Pin_"/"Part_" entry names a pin of `component`. Empty text is valid.
bool PinSwapData_IsValidFor(host::IComponent* component, const std::string& swapData);
bool PartSwapData_IsValidFor(host::IComponent* component, const std::string& swapData);

int PinSwapData_EntryCount(const std::string& swapData);
// The larger of the "Part_" and "PartPin_" entry counts.
int PartSwapData_EntryCount(const std::string& swapData);

// Normalised identifiers of a design-model pin.
std::string NetItem_SwapIdPin(host::INetItem* pin);
std::string NetItem_SwapIdPart(host::INetItem* pin);
std::string NetItem_SwapIdPartPin(host::INetItem* pin);
std::string NetItem_SwapIdPair(host::INetItem* pin);

// Whether the pin may be swapped when the project allows swapping through net labels only: the
// pin's net has exactly one port-list member at the pin's place, at most one label there, and
// those account for every pin-list member there.
bool NetItem_IsSwappableByNetLabel(host::INetItem* pin);

} // namespace permutor::schematic

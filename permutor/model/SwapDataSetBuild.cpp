// Building the swap model of a board: components, pins and groups from the swap identifiers,
// nets and sub-nets from the copper, the group filters, the reports and the preparation the
// automatic optimisation needs.
#include "permutor/host/Services.h"
#include "permutor/host/Text.h"
#include "permutor/model/SwapDataSet.h"
#include "permutor/schematic/SchematicPinAndPartSwap.h"

#include <fmt/format.h>

#include <unordered_set>

namespace permutor::model {

using namespace permutor::host;
using namespace permutor::schematic;

namespace {

constexpr const char* cTwoBreaks = "\r\r";

// A unique id reduced to what follows its last backslash.
std::string UniqueId_LastSegment(const std::string& uniqueId) {
    const std::size_t cut = uniqueId.rfind('\\');
    return cut == std::string::npos ? uniqueId : uniqueId.substr(cut + 1);
}

template <class TRead> bool AnyPinHas(IComponent* component, TRead read) {
    if (!component)
        return false;
    const std::int32_t n = component->PinCount();
    for (std::int32_t i = 0; i < n; ++i)
        if (auto pin = component->Pin(i); pin && !read(pin.get()).empty())
            return true;
    return false;
}

} // namespace

std::int32_t TSwapDataSet::Build_Components(const std::string& UniqueId, bool IncludeAll) {
    if (!ComponentMappings) {
        ReportWarning("No PCB components are linked to schematic components.");
        return 0;
    }
    if (ComponentMappings->UnmatchedBoardCount() > 0)
        ReportWarning("Not all PCB components are linked to schematic components.");
    const std::string filter = UniqueId_LastSegment(UniqueId);
    auto lookup = FProject ? FProject->UniqueIdLookup() : nullptr;

    const std::int32_t matched = ComponentMappings->MatchedCount();
    for (std::int32_t i = 0; i < matched; ++i) {
        auto schematicSide = ComponentMappings->MatchedSchematicComponent(i);
        auto boardSide = ComponentMappings->MatchedBoardComponent(i);
        IPtr<IPCB_Component> component;
        if (lookup && boardSide) {
            lookup->Begin();
            component = QueryInterface<IPCB_Component>(
                lookup->FindByUniqueId(boardSide->BoardObjectKey(), IPCB_Component::IID));
            lookup->End();
        }
        if (!component)
            continue;
        if (!filter.empty() && !Text_EqualNoCase(filter, UniqueId_LastSegment(component->SourceUniqueId())))
            continue;

        const bool hasPinIds =
            FSwapMode == eSwap_PinsKESTREL ||
            AnyPinHas(schematicSide.get(), [](INetItem* p) { return NetItem_SwapIdPin(p); });
        const bool hasPartIds =
            AnyPinHas(schematicSide.get(), [](INetItem* p) { return NetItem_SwapIdPart(p); });
        const bool hasPairIds =
            AnyPinHas(schematicSide.get(), [](INetItem* p) { return NetItem_SwapIdPair(p); });
        const bool pinSwapping = component->PinSwappingEnabled();
        const bool partSwapping = component->PartSwappingEnabled();
        if (IncludeAll || (hasPinIds && pinSwapping) || (hasPartIds && partSwapping) ||
            (hasPairIds && (pinSwapping || partSwapping)))
            Components.Add(
                TSwapComponent::Create(*this, boardSide.get(), schematicSide.get(), component.get()));
    }
    return std::int32_t(Components.Count());
}

bool TSwapDataSet::Build_ComponentsOnly(const std::string& UniqueId) {
    auto ui = HostUI_Get();
    if (ui)
        ui->Cursor_SetWait();
    ErrorCount_BadPins = 0;
    ErrorCount_MissingPins = 0;
    if (FPCBBoard) {
        Build_Components(UniqueId, true);
    } else if (FDM_Document) {
        const std::string filter = UniqueId_LastSegment(UniqueId);
        std::unordered_set<const IComponent*> taken;
        const std::int32_t n = FDM_Document->ComponentCount();
        for (std::int32_t i = 0; i < n; ++i) {
            auto component = FDM_Document->Component(i);
            if (!component || taken.count(component.get()))
                continue;
            if (!filter.empty()) {
                bool match = false;
                const std::int32_t parts = component->SubPartCount();
                for (std::int32_t p = 0; p < parts && !match; ++p)
                    if (auto part = component->SubPart(p))
                        match = Text_EqualNoCase(UniqueId_LastSegment(part->UniqueId()), filter);
                if (!match)
                    continue;
            }
            taken.insert(component.get());
            Components.Add(TSwapComponent::Create(*this, nullptr, component.get(), nullptr));
        }
    }
    if (ui)
        ui->Cursor_Restore();
    return true;
}

void TSwapDataSet::Build_RemoveGroups_NotEnoughSwappablePins() {
    auto tooSmall = [](TSwapGroup* g) { return g->SwapPins.Count() < 2; };
    PinSwapGroups.Pack(tooSmall);
    PartSwapGroups.Pack(tooSmall);
    PinIndex_Invalidate();
}

void TSwapDataSet::Build_SortSwapGroupsBySize() {
    PinSwapGroups.Sort([](TSwapGroup* a, TSwapGroup* b) {
        const std::size_t na = a->SwapPins.Count(), nb = b->SwapPins.Count();
        return na > nb ? -1 : (na < nb ? 1 : 0);
    });
    PinIndex_Invalidate();
}

void TSwapDataSet::Build_RemoveInvalidSwapGroups() {
    PinSwapGroups.Pack([](TSwapGroup* g) {
        bool onNet = false;
        for (TSwapSubNet* s : g->SubNets)
            if (s->SwapPin && s->SwapPin->PadNet_PCB()) {
                onNet = true;
                break;
            }
        const bool valid = g->SwapPins.Count() >= 2 && g->SubNets.Count() >= 2 && onNet;
        if (!valid)
            for (TSwapSubNet* s : g->SubNets)
                s->SwapPin = nullptr;
        return !valid;
    });
    PinIndex_Invalidate();
}

void TSwapDataSet::Build_Nets() {
    for (const auto* groups : {&PinSwapGroups, &PartSwapGroups})
        for (TSwapGroup* group : *groups)
            for (TSwapPin* pin : group->SwapPins) {
                auto net = pin->PadNet_PCB();
                if (!Nets.HasPCB(net.get()))
                    Nets.AddPCBObject(net.get(), TSwapNet::Create(*this, net.get()), false);
            }
}

void TSwapDataSet::Build_SubNets() {
    for (std::size_t i = Nets.Count(); i-- > 0;) {
        TSwapNet* net = Nets.Object(i);
        net->BuildSubNetList();
        // This also drops the record made for pads without a net.
        if (net->FSubNets_All.Empty())
            Nets.Delete(i);
    }
    for (const auto* groups : {&PinSwapGroups, &PartSwapGroups})
        for (TSwapGroup* group : *groups)
            for (TSwapPin* pin : group->SwapPins)
                if (!pin->PadNet_PCB())
                    NewSubNet(nullptr, TSwapSubNet::cNoNetSubNetIndex)->BuildPrimitivesFromPin(pin);
}

void TSwapDataSet::Build_SubParts() {
    const bool parts = FSwapMode == eSwap_Parts;
    for (TSwapGroup* group : PartSwapGroups) {
        for (TSwapSubNet* subNet : group->SubNets) {
            TSwapPin* pin = subNet->SwapPin;
            if (!pin)
                continue;
            const std::string id = parts ? pin->SubPartNumber() : pin->DifferentialPairName();
            if (parts && id == "0")
                continue; // pins common to every gate belong to none
            TSwapSubPart* subPart = group->SubParts.Lookup(id);
            if (!subPart) {
                subPart = TSwapSubPart::Create(*this, group, id);
                group->SubParts.Add(id, subPart);
            }
            const std::string key =
                parts ? NetItem_SwapIdPartPin(pin->Pin_SCH.get()) : pin->DifferentialPairPolarity();
            subPart->SubNets.Add(key, subNet);
            pin->SubPart = subPart;
        }
        if (!parts)
            for (std::size_t i = group->SubParts.Count(); i-- > 0;)
                if (group->SubParts.Object(i)->SubNets.Count() != 2)
                    group->SubParts.Delete(i);
    }
}

bool TSwapDataSet::Build(const std::string& UniqueId, bool InteractiveMode) {
    // Without a project there are no settings to read; the component mappings report that.
    if (FProject && !FProject->AllowPinSwapping() && !FProject->AllowNetLabelSwapping())
        ReportError(std::string("No Swapping is allowed under current Project Settings.") + cTwoBreaks +
                    "Swapping can be enabled in the Project Options Form.");

    auto ui = HostUI_Get();
    if (ui) {
        ui->Cursor_SetWait();
        ui->Status_Begin();
    }
    ErrorCount_BadPins = 0;
    ErrorCount_MissingPins = 0;
    auto status = [&](const char* text) {
        if (ui)
            ui->Status_Text(text);
    };
    auto finish = [&] {
        if (ui) {
            ui->Status_End();
            ui->Cursor_Restore();
        }
    };
    status("Building Swap Map...");

    if (Build_Components(UniqueId, false) == 0) {
        ReportError(std::string("No Components have been enabled for Swapping in PCB Document") + cTwoBreaks +
                    DocumentFileName());
        finish();
        return false;
    }
    for (TSwapComponent* component : Components)
        component->BuildPinAndSwapGroupLists();
    Build_RemoveGroups_NotEnoughSwappablePins();
    Build_SortSwapGroupsBySize();

    status("Analyzing Nets...");
    Build_Nets();
    Build_SubNets();
    for (TSwapSubNet* subNet : MasterSubNetList_All)
        subNet->AssignSwapPin();
    if (FSwapMode == eSwap_Parts || FSwapMode == eSwap_DifferentialPairs)
        Build_SubParts();
    Build_RemoveInvalidSwapGroups();

    MasterSubNetList_Swappable.Clear();
    for (TSwapSubNet* subNet : MasterSubNetList_All)
        if (subNet->SwapPin)
            MasterSubNetList_Swappable.Add(subNet);
    for (TSwapGroup* group : PinSwapGroups)
        group->BuildTargetNetList();

    bool result = true;
    if (ErrorCount_BadPins > 0 || ErrorCount_MissingPins > 0) {
        if (FSuppressDialogs) {
            if (ErrorCount_MissingPins > 0)
                ReportWarning(
                    fmt::format("{} Pins could not be matched to Schematic Pins", ErrorCount_MissingPins));
            if (ErrorCount_BadPins > 0)
                ReportWarning(fmt::format("{} Pins can not be swapped based on current Project Settings",
                                          ErrorCount_BadPins));
        } else {
            std::string question = std::string("There are ") + cTwoBreaks;
            if (ErrorCount_MissingPins > 0)
                question += fmt::format("{} Pins that could not be matched to Schematic Pins{}",
                                        ErrorCount_MissingPins, cTwoBreaks);
            if (ErrorCount_BadPins > 0)
                question += fmt::format("{} Pins that cannot be swapped based on current Project Settings{}",
                                        ErrorCount_BadPins, cTwoBreaks);
            question += "Confirm Continue?";
            result = MessageBox_Confirm(question, "Net/Pin Optimizer", true);
        }
    }

    if (result) {
        status("Finding Closest Sub-Net Neighbors...");
        if (!InteractiveMode) {
            // The automatic gate and pair passes weigh exchanges with the same cost as the pin
            // passes, so their groups take target nets as pin groups do.
            if (FSwapMode == eSwap_Parts || FSwapMode == eSwap_DifferentialPairs)
                for (TSwapGroup* group : PartSwapGroups)
                    group->BuildTargetNetList();
            for (const auto& entry : Nets)
                entry.Object->BuildTargetHotSpots(nullptr);
            // Each group finds its sub-nets' targets among the copper of its nets that does not
            // move with the group.
            for (TSwapGroup* group : PinSwapGroups)
                group->FindBestTargetsForSubNets();
            if (FSwapMode == eSwap_Parts || FSwapMode == eSwap_DifferentialPairs)
                for (TSwapGroup* group : PartSwapGroups)
                    group->FindBestTargetsForSubNets();
            for (TSwapSubNet* subNet : MasterSubNetList_Swappable)
                if (subNet->NetIndex_Current >= 0)
                    subNet->BuildNeighourList();
            Totals_Recount();
        }
    }
    finish();
    return result;
}

void TSwapDataSet::Totals_Recount() {
    for (TSwapSubNet* subNet : MasterSubNetList_Swappable)
        if (subNet->NetIndex_Current >= 0)
            subNet->ConnectionLine_SetEnds();
    std::size_t listed = 0;
    CrossingIndex_Invalidate();
    for (TSwapSubNet* subNet : MasterSubNetList_Swappable)
        if (subNet->NetIndex_Current >= 0) {
            subNet->BuildIntersectingSubNetList();
            listed += subNet->FIntersectingSubNets.Count();
        } else {
            subNet->FIntersectingSubNets.Clear();
        }
    // The crossing test answers alike for both orders, so every crossing pair is listed twice;
    // sub-nets without a current net cross nothing.
    FTotalIntersectionCount = std::int32_t(listed / 2);
    FTotalSubNetCost = 0;
    for (TSwapSubNet* subNet : MasterSubNetList_Swappable)
        FTotalSubNetCost += subNet->SubNetCost();
}

void TSwapDataSet::Totals_RecountGroup(const TSwapGroup& G, double groupCostBefore) {
    std::unordered_set<const TSwapSubNet*> inGroup(G.SubNets.begin(), G.SubNets.end());
    // Every crossing pair is listed twice.
    std::int64_t listed = 2 * std::int64_t(FTotalIntersectionCount);
    for (TSwapSubNet* S : G.SubNets) {
        listed -= std::int64_t(S->FIntersectingSubNets.Count());
        for (TSwapSubNet* T : S->FIntersectingSubNets)
            if (!inGroup.count(T)) {
                T->FIntersectingSubNets.Remove(S);
                --listed;
            }
    }
    for (TSwapSubNet* S : G.SubNets) {
        NetIndex_Changed(S);
        if (S->NetIndex_Current >= 0)
            S->ConnectionLine_SetEnds();
    }
    for (TSwapSubNet* S : G.SubNets) {
        if (S->NetIndex_Current >= 0)
            S->BuildIntersectingSubNetList();
        else
            S->FIntersectingSubNets.Clear();
        listed += std::int64_t(S->FIntersectingSubNets.Count());
    }
    for (TSwapSubNet* S : G.SubNets)
        for (TSwapSubNet* T : S->FIntersectingSubNets)
            if (!inGroup.count(T)) {
                T->FIntersectingSubNets.Add(S);
                ++listed;
            }
    FTotalIntersectionCount = std::int32_t(listed / 2);
    FTotalSubNetCost += G.SubNetCost() - groupCostBefore;
}

} // namespace permutor::model

// The component editor's popup menus and the group commands behind them, and its saved layout.
#include "permutor/dialogs/ConfigureAllPinSwap.h"
#include "permutor/dialogs/ConfigureComponentPinSwap.h"
#include "permutor/host/Services.h"
#include "permutor/host/Text.h"

#include <algorithm>
#include <charconv>

namespace permutor::dialogs {

namespace {

// Menu ids: a command kind times cKindBase plus a position (0 for "&New" or no position).
constexpr std::int32_t cKindBase = 10000;
enum TMenuKind : std::int32_t {
    eMenu_AddPin = 1,
    eMenu_RemovePin,
    eMenu_AddPair,
    eMenu_RemovePair,
    eMenu_AddPart,
    eMenu_RemovePart,
    eMenu_AddSequence,
    eMenu_RemoveSequence,
    eMenu_AssignBy,     // position 0: pin properties; c + 1: pin grid column c
    eMenu_ToggleColumn, // position: column
    eMenu_Hidden,       // the entries that are never shown
};

TMenuItem Separator() {
    TMenuItem item;
    item.Separator = true;
    return item;
}

TMenuItem Item(const std::string& caption, std::int32_t id) {
    TMenuItem item;
    item.Caption = caption;
    item.Id = id;
    return item;
}

TMenuItem SubMenu(const std::string& caption, std::vector<TMenuItem> items) {
    TMenuItem item;
    item.Caption = caption;
    item.Items = std::move(items);
    return item;
}

// Whether the text is a positive whole number written plainly in decimal.
bool IsPlainNumber(const std::string& s, long long& value) {
    if (s.empty() || s[0] == '0' || s.size() > 15)
        return false;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size();
}

} // namespace

std::vector<std::string> TConfigureComponentPinSwap::IdsInUse(TSwapList list) const {
    std::vector<std::string> ids;
    auto add = [&](const std::string& id) {
        if (!id.empty())
            ids.push_back(id);
    };
    if (list == TSwapList::eSwapList_Pins) {
        for (const TPinRecord& r : FPins)
            add(r.Values[ePin_Group]);
    } else {
        for (const auto& [designator, id] : FSwapIDs)
            add(list == TSwapList::eSwapList_Pairs      ? id.PairID
                : list == TSwapList::eSwapList_SubParts ? id.PartID
                                                        : id.PartPinID);
    }
    TNoCaseLess less;
    std::sort(ids.begin(), ids.end(), less);
    ids.erase(
        std::unique(ids.begin(), ids.end(),
                    [](const std::string& a, const std::string& b) { return host::Text_EqualNoCase(a, b); }),
        ids.end());
    return ids;
}

std::string TConfigureComponentPinSwap::NewId(TSwapList list) const {
    std::vector<long long> taken;
    for (const std::string& id : IdsInUse(list))
        if (long long n = 0; IsPlainNumber(id, n))
            taken.push_back(n);
    std::sort(taken.begin(), taken.end());
    long long next = 1;
    for (long long n : taken)
        if (n == next)
            ++next;
        else if (n > next)
            break;
    return std::to_string(next);
}

void TConfigureComponentPinSwap::AssignToSelection(TSwapList list, const std::string& id) {
    for (std::int32_t record : FSelection[std::size_t(list)]) {
        switch (list) {
        case TSwapList::eSwapList_Pins:
            SetCellText(list, record, ePin_Group, id);
            break;
        case TSwapList::eSwapList_Pairs:
            SetCellText(list, record, ePair_Group, id);
            break;
        case TSwapList::eSwapList_SubParts:
            SetCellText(list, record, eSub_Group, id);
            break;
        case TSwapList::eSwapList_PartPins:
            SetCellText(list, record, ePartPin_Sequence, id);
            break;
        }
    }
}

namespace {

std::string IdAt(const std::vector<std::string>& ids, std::int32_t position) {
    return position >= 0 && std::size_t(position) < ids.size() ? ids[std::size_t(position)] : std::string();
}

} // namespace

#define PERMUTOR_ADD_TO_GROUP(Name, List)                                                                    \
    void TConfigureComponentPinSwap::Name(std::int32_t position) {                                           \
        if (position < 0) {                                                                                  \
            AssignToSelection(List, NewId(List));                                                            \
            return;                                                                                          \
        }                                                                                                    \
        const std::string id = IdAt(IdsInUse(List), position);                                               \
        if (!id.empty())                                                                                     \
            AssignToSelection(List, id);                                                                     \
    }
PERMUTOR_ADD_TO_GROUP(AddToPinSwapGroup, TSwapList::eSwapList_Pins)
PERMUTOR_ADD_TO_GROUP(AddToPairSwapGroup, TSwapList::eSwapList_Pairs)
PERMUTOR_ADD_TO_GROUP(AddToPartSwapGroup, TSwapList::eSwapList_SubParts)
PERMUTOR_ADD_TO_GROUP(AddToPartPinSwapGroup, TSwapList::eSwapList_PartPins)
#undef PERMUTOR_ADD_TO_GROUP

void TConfigureComponentPinSwap::RemoveFromPinSwapGroup() {
    AssignToSelection(TSwapList::eSwapList_Pins, "");
}
void TConfigureComponentPinSwap::RemoveFromPairSwapGroup() {
    AssignToSelection(TSwapList::eSwapList_Pairs, "");
}
void TConfigureComponentPinSwap::RemoveFromPartSwapGroup() {
    AssignToSelection(TSwapList::eSwapList_SubParts, "");
}
void TConfigureComponentPinSwap::RemoveFromPartSequenceGroup() {
    AssignToSelection(TSwapList::eSwapList_PartPins, "");
}

void TConfigureComponentPinSwap::AssignPinSwapGroupBy(std::int32_t column) {
    if (column >= ePin_Count || (column >= 0 && FColumns[0][std::size_t(column)].Band == 1))
        return;
    for (std::int32_t record : FSelection[std::size_t(TSwapList::eSwapList_Pins)]) {
        TPinRecord& r = FPins[std::size_t(record)];
        // An FPGA's groups are made of its user I/O pins only.
        if (FIsFPGA && r.Values[ePin_IOPin] != "True")
            continue;
        if (column >= 0) {
            r.Values[ePin_Group] = r.Values[std::size_t(column)];
            continue;
        }
        std::string group = r.Values[ePin_IOStandard];
        if (r.HasFpgaData) {
            if (r.Values[ePin_CLKPin] == "True")
                group = "IO_CLK";
            else if (r.Values[ePin_VREFPin] == "True")
                group = "IO_VREF";
            else if (r.Values[ePin_ConfigPin] == "True")
                group = "IO_CONFIG";
            else if (r.Values[ePin_IOPin] == "True")
                group = "IO";
        }
        r.Values[ePin_Group] = group;
    }
}

TMenuItem TConfigureComponentPinSwap::GroupMenu(TSwapList list, const std::string& caption,
                                                std::int32_t kind) const {
    std::vector<TMenuItem> items{Item("&New", kind * cKindBase)};
    const std::vector<std::string> ids = IdsInUse(list);
    for (std::size_t i = 0; i < ids.size(); ++i)
        items.push_back(Item(ids[i], kind * cKindBase + std::int32_t(i) + 1));
    return SubMenu(caption, std::move(items));
}

std::vector<TMenuItem> TConfigureComponentPinSwap::ColumnToggleMenu(TSwapList list) {
    const std::vector<TDialogBand> bands = Bands(list);
    const std::vector<TDialogColumn> columns = Columns(list);
    std::vector<TMenuItem> items;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        if (!bands[b].Visible)
            continue;
        bool first = true;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].Band != std::int32_t(b))
                continue;
            if (first && !items.empty())
                items.push_back(Separator());
            first = false;
            TMenuItem item = Item(columns[c].Caption, eMenu_ToggleColumn * cKindBase + std::int32_t(c));
            item.Checkable = true;
            item.Checked = columns[c].Visible;
            items.push_back(item);
        }
    }
    return items;
}

std::vector<TMenuItem> TConfigureComponentPinSwap::PopupMenu(TSwapList list) {
    std::vector<TMenuItem> menu;
    switch (list) {
    case TSwapList::eSwapList_Pins: {
        menu.push_back(SubMenu("Show/Hide Columns...", ColumnToggleMenu(list)));
        menu.push_back(Separator());
        // One item per pin-status column, then per visible FPGA column; the swap data band and
        // hidden bands are left out.
        std::vector<TMenuItem> by{Item("&Pin Properties", eMenu_AssignBy * cKindBase)};
        const auto bands = Bands(list);
        const auto columns = Columns(list);
        std::int32_t lastBand = -1;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::int32_t band = columns[c].Band;
            if (band == 1 || !bands[std::size_t(band)].Visible || (band == 2 && !columns[c].Visible))
                continue;
            if (band != lastBand)
                by.push_back(Separator());
            lastBand = band;
            by.push_back(Item(columns[c].Caption, eMenu_AssignBy * cKindBase + std::int32_t(c) + 1));
        }
        menu.push_back(SubMenu("Assign Pin-Swap Groups By", std::move(by)));
        menu.push_back(Separator());
        menu.push_back(GroupMenu(list, "Add To Pin-Swap Group", eMenu_AddPin));
        menu.push_back(Item("Remove From Pin-Swap Group", eMenu_RemovePin * cKindBase));
        for (const char* hidden : {"Assign Part-Swap Groups By", "Assign Part-Sequence By"}) {
            TMenuItem item = Item(hidden, eMenu_Hidden * cKindBase);
            item.Visible = false;
            menu.push_back(item);
        }
        break;
    }
    case TSwapList::eSwapList_Pairs:
        menu.push_back(SubMenu("Show/Hide Columns...", ColumnToggleMenu(list)));
        menu.push_back(Separator());
        menu.push_back(GroupMenu(list, "Add To Pair-Swap Group", eMenu_AddPair));
        menu.push_back(Item("Remove From Pair-Swap Group", eMenu_RemovePair * cKindBase));
        break;
    case TSwapList::eSwapList_SubParts:
        menu.push_back(GroupMenu(list, "Add To Part-Swap Group", eMenu_AddPart));
        menu.push_back(Separator());
        menu.push_back(Item("Remove From Part-Swap Group", eMenu_RemovePart * cKindBase));
        break;
    case TSwapList::eSwapList_PartPins:
        menu.push_back(SubMenu("Show/Hide Columns...", ColumnToggleMenu(list)));
        menu.push_back(Separator());
        menu.push_back(GroupMenu(list, "Assign Part Sequence Number", eMenu_AddSequence));
        menu.push_back(Item("Remove Part Sequence Number", eMenu_RemoveSequence * cKindBase));
        break;
    }
    return menu;
}

void TConfigureComponentPinSwap::RunMenuItem(TSwapList list, std::int32_t id) {
    const std::int32_t kind = id / cKindBase, position = id % cKindBase;
    switch (kind) {
    case eMenu_AddPin:
        AddToPinSwapGroup(position - 1);
        break;
    case eMenu_RemovePin:
        RemoveFromPinSwapGroup();
        break;
    case eMenu_AddPair:
        AddToPairSwapGroup(position - 1);
        break;
    case eMenu_RemovePair:
        RemoveFromPairSwapGroup();
        break;
    case eMenu_AddPart:
        AddToPartSwapGroup(position - 1);
        break;
    case eMenu_RemovePart:
        RemoveFromPartSwapGroup();
        break;
    case eMenu_AddSequence:
        AddToPartPinSwapGroup(position - 1);
        break;
    case eMenu_RemoveSequence:
        RemoveFromPartSequenceGroup();
        break;
    case eMenu_AssignBy:
        AssignPinSwapGroupBy(position - 1);
        break;
    case eMenu_ToggleColumn: {
        auto& columns = ColumnsOf(list);
        if (std::size_t(position) < columns.size())
            columns[std::size_t(position)].Visible = !columns[std::size_t(position)].Visible;
        break;
    }
    default:
        break;
    }
}

std::string TConfigureComponentPinSwap::LayoutValue(const std::string& name) {
    auto it = FLayout.find(name);
    return it == FLayout.end() ? std::string() : it->second;
}

void TConfigureComponentPinSwap::SetLayoutValue(const std::string& name, const std::string& value) {
    FLayout[name] = value;
}

namespace {

constexpr const char* cLayoutNames = "Layout.Names";
constexpr const char* cLayoutPrefix = "Layout.";

} // namespace

void TConfigureComponentPinSwap::Layout_Restore() {
    auto client = host::Client_Get();
    auto storage = client ? client->OpenOptionsStorage(cOptionsModuleName) : nullptr;
    if (!storage)
        return;
    const std::string section = OptionsSection();
    for (auto list : {TSwapList::eSwapList_Pins, TSwapList::eSwapList_Pairs, TSwapList::eSwapList_SubParts,
                      TSwapList::eSwapList_PartPins})
        for (TDialogColumn& c : ColumnsOf(list)) {
            const std::string name = std::string(SwapList_Name(list)) + "." + c.Name + ".Visible";
            if (storage->ValueExists(section, name))
                c.Visible = storage->ReadBoolean(section, name, c.Visible);
        }
    const std::string names = storage->ReadString(section, cLayoutNames, "");
    std::size_t start = 0;
    while (start < names.size()) {
        std::size_t end = names.find('\n', start);
        if (end == std::string::npos)
            end = names.size();
        if (end > start) {
            const std::string name = names.substr(start, end - start);
            FLayout[name] = storage->ReadString(section, cLayoutPrefix + name, "");
        }
        start = end + 1;
    }
}

void TConfigureComponentPinSwap::Layout_Save() {
    auto client = host::Client_Get();
    auto storage = client ? client->OpenOptionsStorage(cOptionsModuleName) : nullptr;
    if (!storage)
        return;
    const std::string section = OptionsSection();
    for (auto list : {TSwapList::eSwapList_Pins, TSwapList::eSwapList_Pairs, TSwapList::eSwapList_SubParts,
                      TSwapList::eSwapList_PartPins})
        for (const TDialogColumn& c : ColumnsOf(list))
            storage->WriteBoolean(section, std::string(SwapList_Name(list)) + "." + c.Name + ".Visible",
                                  c.Visible);
    std::string names;
    for (const auto& [name, value] : FLayout) {
        storage->WriteString(section, cLayoutPrefix + name, value);
        names += name + "\n";
    }
    storage->WriteString(section, cLayoutNames, names);
    storage->Flush();
}

} // namespace permutor::dialogs

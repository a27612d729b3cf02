#include "permutor/dialogs/ConfigureAllPinSwap.h"

#include "permutor/dialogs/ConfigureComponentPinSwap.h"
#include "permutor/dialogs/WriteBack.h"
#include "permutor/host/Services.h"
#include "permutor/host/Text.h"
#include "permutor/schematic/SchematicPinAndPartSwap.h"

#include <fmt/format.h>

#include <algorithm>

namespace permutor::dialogs {

using model::TSwapComponent;

namespace {

constexpr const char* cShowSwappableOnly = "ShowSwappableOnly";
// Layout values of the view are kept under this prefix, beside our own values.
constexpr const char* cLayoutPrefix = "Grid_Main.";

struct TCommandInfo {
    TListCommand Command;
    const char* Caption;
    bool SeparatorBefore;
};

// The popup menu, in its order.
constexpr TCommandInfo cMenu[] = {
    {TListCommand::eList_CopyPinSwapData, "Copy Pin-Swap Information", false},
    {TListCommand::eList_CopyPartSwapData, "Copy Part-Swap Information", false},
    {TListCommand::eList_PastePinSwapData, "Paste Pin-Swap Information", true},
    {TListCommand::eList_PastePartSwapData, "Paste Part-Swap Information", false},
    {TListCommand::eList_EnableAll_PinSwap, "Enable Pin-Swapping for All Components", true},
    {TListCommand::eList_DisableAll_PinSwap, "Disable Pin-Swapping for All Components", false},
    {TListCommand::eList_EnableAll_PartSwap, "Enable Part-Swapping for All Components", true},
    {TListCommand::eList_DisableAll_PartSwap, "Disable Part-Swapping for All Components", false},
    {TListCommand::eList_EnableSelected_PinSwap, "Enable Pin-Swapping for Selected Components", true},
    {TListCommand::eList_DisableSelected_PinSwap, "Disable Pin-Swapping for Selected Components", false},
    {TListCommand::eList_EnableSelected_PartSwap, "Enable Part-Swapping for Selected Components", true},
    {TListCommand::eList_DisableSelected_PartSwap, "Disable Part-Swapping for Selected Components", false},
    {TListCommand::eList_ConfigureComponent, "Configure Component...", true},
};

TSwapStatusIcon StatusIcon(bool existNow, bool changed, bool existAtStart) {
    if (existNow && changed)
        return existAtStart ? TSwapStatusIcon::eIcon_Modified : TSwapStatusIcon::eIcon_Added;
    if (!existNow && existAtStart)
        return TSwapStatusIcon::eIcon_Removed;
    return TSwapStatusIcon::eIcon_None;
}

std::string ModifiedText(std::int32_t count) {
    return fmt::format("{} {} been modified.\r\r", count, count == 1 ? "Component has" : "Components have");
}

} // namespace

TConfigureAllPinSwap::TConfigureAllPinSwap(model::TSwapDataSet& ASwapData, IDialogViews* AViews)
    : FSwapData(ASwapData), FViews(AViews) {
    FTicks.resize(FSwapData.Components.Count());
    for (std::size_t i = 0; i < FSwapData.Components.Count(); ++i) {
        FTicks[i].Pin = FSwapData.Components[i]->PinSwapEnabled();
        FTicks[i].Part = FSwapData.Components[i]->PartSwapEnabled();
    }
}

TConfigureAllPinSwap::~TConfigureAllPinSwap() {
    for (TSwapComponent* component : FSwapData.Components)
        component->Node = nullptr;
}

TSwapComponent* TConfigureAllPinSwap::Component(std::int32_t record) const {
    if (record < 0 || std::size_t(record) >= FSwapData.Components.Count())
        return nullptr;
    return FSwapData.Components[std::size_t(record)];
}

void TConfigureAllPinSwap::SetState_Controls() {
    // Pair first, then pin and part, as the records are read everywhere else.
    for (TSwapComponent* c : FSwapData.Components) {
        c->PairSwapData_Original = c->ImportFromSchematic_PairSwapData();
        c->UpdatePairSwapData(c->PairSwapData_Original);
        c->PairSwapData_ExistAtStart = !c->PairSwapData_Original.empty();
        c->PinSwapData_Original = c->ImportFromSchematic_PinSwapData();
        c->UpdatePinSwapData(c->PinSwapData_Original);
        c->PinSwapData_ExistAtStart = !c->PinSwapData_Original.empty();
        c->PartSwapData_Original = c->ImportFromSchematic_PartSwapData();
        c->UpdatePartSwapData(c->PartSwapData_Original);
        c->PartSwapData_ExistAtStart = !c->PartSwapData_Original.empty();
    }
    FillRows();
    FocusFirstRow();
    Options_Restore();
}

void TConfigureAllPinSwap::FillRows() {
    FListed.clear();
    FListed.reserve(FSwapData.Components.Count());
    for (std::size_t i = 0; i < FSwapData.Components.Count(); ++i) {
        TSwapComponent* c = FSwapData.Components[i];
        c->Node = nullptr;
        if (FSwappableOnly && !c->PinSwapData_ExistNow && !c->PartSwapData_ExistNow)
            continue;
        FListed.push_back(std::int32_t(i));
        c->Node = &FListed.back();
    }
    // A selection of rows that are gone means nothing any more.
    std::erase_if(FSelection, [&](std::int32_t r) { return !IsListed(Component(r)); });
    if (!IsListed(Component(FFocused)))
        FFocused = -1;
}

void TConfigureAllPinSwap::FocusFirstRow() {
    if (FListed.empty()) {
        FSelection.clear();
        FFocused = -1;
        return;
    }
    FFocused = FListed.front();
    FSelection = {FFocused};
}

bool TConfigureAllPinSwap::IsListed(const TSwapComponent* component) const {
    return component && component->Node != nullptr;
}

std::int32_t TConfigureAllPinSwap::FindRecord(const std::string& designator) const {
    for (std::size_t i = 0; i < FSwapData.Components.Count(); ++i) {
        const auto& sch = FSwapData.Components[i]->DM_Component_SCH();
        if (sch && host::Text_EqualNoCase(sch->Designator(), designator))
            return std::int32_t(i);
    }
    return -1;
}

std::string TConfigureAllPinSwap::Caption() {
    return "Configure Swapping Information In Components";
}

std::string TConfigureAllPinSwap::OKCaption() {
    return FOKCaption.empty() ? "OK" : FOKCaption;
}

bool TConfigureAllPinSwap::HasBoard() {
    return bool(FSwapData.PCBBoard());
}

std::vector<TDialogBand> TConfigureAllPinSwap::Bands() {
    return {{"Component Information", true}, {"Configure in Schematic", true}, {"Enable in PCB", HasBoard()}};
}

std::vector<TDialogColumn> TConfigureAllPinSwap::Columns() {
    const bool board = HasBoard();
    using K = TColumnKind;
    // Component columns in a 92% shade, part columns in 97%, pin columns in the base colour.
    return {
        {"Designator", "Designator", 0, K::eColumn_Text, false, true, 92, {}},
        {"Comment", "Comment", 0, K::eColumn_Text, false, true, 92, {}},
        {"Footprint", "Footprint", 0, K::eColumn_Text, false, true, 92, {}},
        {"LibraryReference", "Library Reference", 0, K::eColumn_Text, false, true, 92, {}},
        {"Pins", "Pins", 0, K::eColumn_Number, false, true, 92, {}},
        {"Parts", "Parts", 0, K::eColumn_Text, false, true, 92, {}},
        {"PinSwapData", "Pin Swap Data", 1, K::eColumn_Text, false, true, 100, {}},
        {"PartSwapData", "Part Swap Data", 1, K::eColumn_Text, false, true, 97, {}},
        {"PinSwap", "Pin Swap", 2, K::eColumn_Check, true, board, 100, {}},
        {"PartSwap", "Part Swap", 2, K::eColumn_Check, true, board, 97, {}},
    };
}

TDialogRow TConfigureAllPinSwap::MakeRow(std::int32_t record) const {
    TSwapComponent* c = Component(record);
    TDialogRow row;
    row.Record = record;
    row.Cells.resize(eCol_Count);
    if (const auto& sch = c->DM_Component_SCH()) {
        row.Cells[eCol_Designator].Text = sch->Designator();
        row.Cells[eCol_Comment].Text = sch->Comment();
        row.Cells[eCol_Footprint].Text = sch->Footprint();
        row.Cells[eCol_LibraryReference].Text = sch->LibraryReference();
        row.Cells[eCol_Pins].Text = std::to_string(sch->PinCount());
    }
    row.Cells[eCol_Parts].Text = FSwapData.IsSchematicLibrary()
                                     ? std::to_string(c->TotalSubPartCount())
                                     : fmt::format("{}/{}", c->PlacedSubPartCount(), c->TotalSubPartCount());
    row.Cells[eCol_PinSwapData] = {
        c->PinSwapData_StatusString(),
        StatusIcon(c->PinSwapData_ExistNow, c->PinSwapData_Changed, c->PinSwapData_ExistAtStart)};
    row.Cells[eCol_PartSwapData] = {
        c->PartSwapData_StatusString(),
        StatusIcon(c->PartSwapData_ExistNow, c->PartSwapData_Changed, c->PartSwapData_ExistAtStart)};
    const TTicks& t = FTicks[std::size_t(record)];
    // Without information of its kind a switch cell is empty and cannot be edited.
    if (c->PinSwapData_ExistNow)
        row.Cells[eCol_PinSwap] = {"", TSwapStatusIcon::eIcon_None,
                                   t.Pin ? TCheckState::eCheck_Checked : TCheckState::eCheck_Unchecked, true};
    if (c->PartSwapData_ExistNow)
        row.Cells[eCol_PartSwap] = {"", TSwapStatusIcon::eIcon_None,
                                    t.Part ? TCheckState::eCheck_Checked : TCheckState::eCheck_Unchecked,
                                    true};
    return row;
}

std::vector<TDialogRow> TConfigureAllPinSwap::Rows() {
    std::vector<TDialogRow> rows;
    rows.reserve(FListed.size());
    for (std::int32_t record : FListed)
        rows.push_back(MakeRow(record));
    return rows;
}

void TConfigureAllPinSwap::SetSelection(const std::vector<std::int32_t>& records, std::int32_t focused) {
    FSelection.clear();
    for (std::int32_t r : records)
        if (IsListed(Component(r)) && std::find(FSelection.begin(), FSelection.end(), r) == FSelection.end())
            FSelection.push_back(r);
    FFocused = IsListed(Component(focused)) ? focused : -1;
}

std::vector<std::int32_t> TConfigureAllPinSwap::SelectedInListOrder() const {
    std::vector<std::int32_t> result;
    for (std::int32_t r : FListed)
        if (std::find(FSelection.begin(), FSelection.end(), r) != FSelection.end())
            result.push_back(r);
    return result;
}

bool TConfigureAllPinSwap::SetCheck(std::int32_t record, std::int32_t column, bool checked) {
    TSwapComponent* c = Component(record);
    if (!IsListed(c) || !HasBoard())
        return false;
    if (column == eCol_PinSwap && c->PinSwapData_ExistNow) {
        FTicks[std::size_t(record)].Pin = checked;
        return true;
    }
    if (column == eCol_PartSwap && c->PartSwapData_ExistNow) {
        FTicks[std::size_t(record)].Part = checked;
        return true;
    }
    return false;
}

std::string TConfigureAllPinSwap::SwappableOnlyCaption() {
    return "Only Show Components with Swap Information";
}

void TConfigureAllPinSwap::SetSwappableOnly(bool on) {
    FSwappableOnly = on;
    FillRows();
    FocusFirstRow();
}

std::string TConfigureAllPinSwap::CommandCaption(TListCommand command) {
    for (const TCommandInfo& info : cMenu)
        if (info.Command == command)
            return info.Caption;
    return {};
}

bool TConfigureAllPinSwap::CommandEnabled(TListCommand command) {
    switch (command) {
    case TListCommand::eList_ConfigureComponent:
        return FSelection.size() == 1;
    case TListCommand::eList_CopyPinSwapData:
    case TListCommand::eList_CopyPartSwapData:
        return FSelection.size() == 1 && Component(FFocused) != nullptr;
    case TListCommand::eList_PastePinSwapData:
    case TListCommand::eList_PastePartSwapData:
        return !FSelection.empty();
    default:
        return true;
    }
}

std::vector<TMenuItem> TConfigureAllPinSwap::PopupMenu() {
    std::vector<TMenuItem> items;
    for (const TCommandInfo& info : cMenu) {
        if (info.SeparatorBefore) {
            TMenuItem separator;
            separator.Separator = true;
            items.push_back(separator);
        }
        TMenuItem item;
        item.Caption = info.Caption;
        item.Id = std::int32_t(info.Command);
        item.Enabled = CommandEnabled(info.Command);
        items.push_back(item);
    }
    return items;
}

void TConfigureAllPinSwap::RunCommand(TListCommand command) {
    if (!CommandEnabled(command))
        return;
    switch (command) {
    case TListCommand::eList_ConfigureComponent:
        EditComponentSwapInfo();
        break;
    case TListCommand::eList_CopyPinSwapData:
        FCopiedSwapData_Pin = Component(FFocused)->PinSwapData_New;
        break;
    case TListCommand::eList_CopyPartSwapData:
        FCopiedSwapData_Part = Component(FFocused)->PartSwapData_New;
        break;
    case TListCommand::eList_PastePinSwapData:
        Paste(true);
        break;
    case TListCommand::eList_PastePartSwapData:
        Paste(false);
        break;
    case TListCommand::eList_EnableAll_PinSwap:
        SetTicks(true, true, false);
        break;
    case TListCommand::eList_DisableAll_PinSwap:
        SetTicks(true, false, false);
        break;
    case TListCommand::eList_EnableAll_PartSwap:
        SetTicks(false, true, false);
        break;
    case TListCommand::eList_DisableAll_PartSwap:
        SetTicks(false, false, false);
        break;
    case TListCommand::eList_EnableSelected_PinSwap:
        SetTicks(true, true, true);
        break;
    case TListCommand::eList_DisableSelected_PinSwap:
        SetTicks(true, false, true);
        break;
    case TListCommand::eList_EnableSelected_PartSwap:
        SetTicks(false, true, true);
        break;
    case TListCommand::eList_DisableSelected_PartSwap:
        SetTicks(false, false, true);
        break;
    }
}

void TConfigureAllPinSwap::SetTicks(bool pin, bool on, bool selectedOnly) {
    for (std::int32_t record : selectedOnly ? SelectedInListOrder() : FListed) {
        TSwapComponent* c = Component(record);
        TTicks& t = FTicks[std::size_t(record)];
        // Enabling needs information of the kind now; disabling clears the tick anyway.
        if (pin && (!on || c->PinSwapData_ExistNow))
            t.Pin = on;
        if (!pin && (!on || c->PartSwapData_ExistNow))
            t.Part = on;
    }
}

void TConfigureAllPinSwap::Paste(bool pin) {
    const std::string& copied = pin ? FCopiedSwapData_Pin : FCopiedSwapData_Part;
    const std::vector<std::int32_t> selected = SelectedInListOrder();
    std::vector<std::int32_t> fits;
    std::int32_t misfits = 0;
    for (std::int32_t record : selected) {
        TSwapComponent* c = Component(record);
        host::IComponent* sch = c->DM_Component_SCH().get();
        const bool valid = pin ? schematic::PinSwapData_IsValidFor(sch, copied)
                               : schematic::PartSwapData_IsValidFor(sch, copied);
        if (valid)
            fits.push_back(record);
        else
            ++misfits;
    }
    const std::int32_t f = std::int32_t(fits.size());
    if (misfits > 0) {
        if (f == 0) {
            host::MessageBox_Error(fmt::format("None of the {} Selected Components can be updated", misfits));
            return;
        }
        const std::string text =
            fmt::format("There are {} Components (From {} Selected) that cannot be updated.\r\rConfirm Paste "
                        "{} information into {} Components",
                        misfits, misfits + f, pin ? "Pin-Swap" : "Part-Swap", f);
        if (!host::MessageBox_Confirm(text, "Confirm Partial Paste"))
            return;
    }
    for (std::int32_t record : fits) {
        if (pin)
            Component(record)->UpdatePinSwapData(copied);
        else
            Component(record)->UpdatePartSwapData(copied);
    }
}

void TConfigureAllPinSwap::EditComponentSwapInfo() {
    TSwapComponent* c = Component(FFocused);
    if (!c)
        return;
    const auto& sch = c->DM_Component_SCH();
    if (sch && sch->UniqueId().find('@') != std::string::npos) {
        host::MessageBox_Information("Component cannot be configured - it is a variant component.");
        return;
    }
    if (!ConfigureComponentPinSwap_Open(FSwapData, *c, FViews))
        return;
    c->PinSwapData_Changed = c->PinSwapData_New != c->PinSwapData_Original;
    c->PartSwapData_Changed = c->PartSwapData_New != c->PartSwapData_Original;
    c->PairSwapData_Changed = c->PairSwapData_New != c->PairSwapData_Original;
    c->PinSwapData_ExistNow = !c->PinSwapData_New.empty();
    c->PartSwapData_ExistNow = !c->PartSwapData_New.empty();
    c->PairSwapData_ExistNow = !c->PairSwapData_New.empty();
}

std::int32_t TConfigureAllPinSwap::CountChangedData(std::int32_t* subPartSum) const {
    std::int32_t count = 0, parts = 0;
    for (TSwapComponent* c : FSwapData.Components)
        if (c->PinSwapData_Changed || c->PartSwapData_Changed) {
            ++count;
            parts += c->PlacedSubPartCount();
        }
    if (subPartSum)
        *subPartSum = parts;
    return count;
}

bool TConfigureAllPinSwap::OK() {
    std::int32_t parts = 0;
    const std::int32_t count = CountChangedData(&parts);
    // Pair data or switches alone are written without asking.
    if (count == 0)
        return true;
    if (FSwapData.IsSchematicLibrary())
        return host::MessageBox_OKCancel(ModifiedText(count) + "Confirm update in Schematic Library",
                                         "Confirm Update Schmatic Library?");
    return host::MessageBox_OKCancel(
        ModifiedText(count) + fmt::format("Confirm update {} Sub-Parts in Schematic Sheets", parts),
        "Confirm Update Schmatic Sheets?");
}

bool TConfigureAllPinSwap::Cancel() {
    std::int32_t count = 0;
    for (std::size_t i = 0; i < FSwapData.Components.Count(); ++i) {
        TSwapComponent* c = FSwapData.Components[i];
        const bool ticks =
            IsListed(c) && (FTicks[i].Pin != c->PinSwapEnabled() || FTicks[i].Part != c->PartSwapEnabled());
        if (c->PinSwapData_Changed || c->PartSwapData_Changed || ticks)
            ++count;
    }
    if (count == 0)
        return true;
    return host::MessageBox_Confirm(ModifiedText(count) + "Are you sure that you want to lose these changes?",
                                    "Confirm Abandon Changes?", false);
}

std::string TConfigureAllPinSwap::LayoutValue(const std::string& name) {
    auto it = FLayout.find(name);
    return it == FLayout.end() ? std::string() : it->second;
}

void TConfigureAllPinSwap::SetLayoutValue(const std::string& name, const std::string& value) {
    FLayout[name] = value;
}

void TConfigureAllPinSwap::Options_Restore() {
    auto client = host::Client_Get();
    auto storage = client ? client->OpenOptionsStorage(cOptionsModuleName) : nullptr;
    if (!storage)
        return;
    if (storage->ValueExists(cFormOptionsSection, cShowSwappableOnly)) {
        const bool on = storage->ReadBoolean(cFormOptionsSection, cShowSwappableOnly, FSwappableOnly);
        if (on != FSwappableOnly)
            SetSwappableOnly(on);
    }
    // The view's own values: read the names it saved last time (listed under one entry).
    const std::string names =
        storage->ReadString(cFormOptionsSection, std::string(cLayoutPrefix) + "Names", "");
    std::size_t start = 0;
    while (start < names.size()) {
        std::size_t end = names.find('\n', start);
        if (end == std::string::npos)
            end = names.size();
        const std::string name = names.substr(start, end - start);
        if (!name.empty())
            FLayout[name] = storage->ReadString(cFormOptionsSection, cLayoutPrefix + name, "");
        start = end + 1;
    }
}

void TConfigureAllPinSwap::Options_Save() {
    auto client = host::Client_Get();
    auto storage = client ? client->OpenOptionsStorage(cOptionsModuleName) : nullptr;
    if (!storage)
        return;
    storage->WriteBoolean(cFormOptionsSection, cShowSwappableOnly, FSwappableOnly);
    std::string names;
    for (const auto& [name, value] : FLayout) {
        storage->WriteString(cFormOptionsSection, cLayoutPrefix + name, value);
        names += name + "\n";
    }
    storage->WriteString(cFormOptionsSection, std::string(cLayoutPrefix) + "Names", names);
    storage->Flush();
}

void TConfigureAllPinSwap::GetState_Controls() {
    TWriteBackBoardSwitches switches;
    for (std::size_t i = 0; i < FSwapData.Components.Count(); ++i) {
        TSwapComponent* c = FSwapData.Components[i];
        if (IsListed(c))
            switches.push_back({c, FTicks[i].Pin, FTicks[i].Part});
    }
    WriteBack_ListDialog(FSwapData, switches);
    Options_Save();
}

} // namespace permutor::dialogs

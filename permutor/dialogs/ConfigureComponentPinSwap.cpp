#include "permutor/dialogs/ConfigureComponentPinSwap.h"

#include "permutor/dialogs/ConfigureAllPinSwap.h"
#include "permutor/host/Services.h"
#include "permutor/host/Text.h"
#include "permutor/model/FpgaData.h"
#include "permutor/schematic/Param.h"
#include "permutor/schematic/SchematicPinAndPartSwap.h"

#include <fmt/format.h>

#include <algorithm>
#include <unordered_map>

namespace permutor::dialogs {

using model::TSwapComponent;
using schematic::TParameterList;

bool TNoCaseLess::operator()(const std::string& a, const std::string& b) const {
    return host::Text_CompareNoCase(a, b) < 0;
}

namespace {

constexpr const char* cTrue = "True";
constexpr const char* cFalse = "False";

std::string Trimmed(const std::string& s) {
    return std::string(host::Text_Trim(s));
}

std::string ParameterValue(const TParameterList& list, const std::string& name) {
    std::string value;
    list.GetState_ParameterAsString(name, value);
    return value;
}

// Name -> value of a swap data text, names without regard to case: two texts that say the same
// in another order compare equal.
std::map<std::string, std::string, TNoCaseLess> Entries(const std::string& text) {
    TParameterList list;
    list.SetState_FromString(text, true);
    std::map<std::string, std::string, TNoCaseLess> entries;
    for (const auto& p : list.Items())
        entries.emplace(p.Name, p.Value);
    return entries;
}

// The sub-part letter KiCad and most tools show after a designator (1 -> A, 27 -> AA).
std::string SubPartLetter(std::int32_t part) {
    std::string letters;
    for (std::int32_t n = part; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), char('A' + (n - 1) % 26));
    return letters;
}

TDialogColumn Column(const char* name, const char* caption, std::int32_t band, std::int32_t shade,
                     TColumnKind kind = TColumnKind::eColumn_Text, bool editable = false) {
    TDialogColumn c;
    c.Name = name;
    c.Caption = caption;
    c.Band = band;
    c.Kind = kind;
    c.Editable = editable;
    c.ShadePercent = shade;
    return c;
}

} // namespace

TConfigureComponentPinSwap::TConfigureComponentPinSwap(model::TSwapDataSet& ASwapData,
                                                       TSwapComponent& AComponent,
                                                       const TConfiguration* AConfiguration)
    : FSwapData(ASwapData), FComponent(AComponent), FConfiguration(AConfiguration) {
    // FPGA when the component has pin data of its device.
    FIsFPGA = FComponent.FpgaDataHolder && FComponent.FpgaDataHolder->PinsData() != nullptr;
    if (!FIsFPGA)
        if (auto devices = host::DeviceManager_Get(); devices && FComponent.DM_Component_SCH())
            FIsFPGA = bool(devices->FindDevice(FComponent.DM_Component_SCH()->DeviceKey()));

    using K = TColumnKind;
    // Pin status columns in a 92% shade, FPGA columns in 97%, group columns in the base colour.
    auto& pins = FColumns[std::size_t(TSwapList::eSwapList_Pins)];
    pins = {Column("Designator", "Designator", 0, 92),
            Column("PinName", "Pin Name", 0, 92),
            Column("Net", "Net", 0, 92),
            Column("Bus", "Bus", 0, 92),
            Column("Type", "Type", 0, 92),
            Column("PartNo", "Part No.", 0, 92, K::eColumn_Number),
            Column("PartMode", "Part Mode", 0, 92),
            Column("PinGroup", "Pin Group", 1, 100, K::eColumn_Text, true),
            Column("IOBank", "IO Bank #", 2, 97),
            Column("IOStandard", "IO Standard", 2, 97, K::eColumn_PickList, true),
            Column("SlewRate", "Slew Rate", 2, 97, K::eColumn_PickList, true),
            Column("DriveStrength", "Drive Strength", 2, 97, K::eColumn_PickList, true),
            Column("IOPin", "IO Pin", 2, 97, K::eColumn_Check),
            Column("VREFPin", "VREF Pin", 2, 97, K::eColumn_Check),
            Column("CLKPin", "CLK Pin", 2, 97, K::eColumn_Check),
            Column("ConfigPin", "Config Pin", 2, 97, K::eColumn_Check),
            Column("SpecialPin", "Special Pin", 2, 97, K::eColumn_Check)};
    auto& pairs = FColumns[std::size_t(TSwapList::eSwapList_Pairs)];
    pairs = {Column("Designator0", "Designator 0", 0, 92),
             Column("Designator1", "Designator 1", 0, 92),
             Column("PinName0", "Pin Name 0", 0, 92),
             Column("PinName1", "Pin Name 1", 0, 92),
             Column("Net0", "Net 0", 0, 92),
             Column("Net1", "Net 1", 0, 92),
             Column("Type0", "Type 0", 0, 92),
             Column("Type1", "Type 1", 0, 92),
             Column("PairGroup", "Pair Group", 1, 100, K::eColumn_Text, true),
             Column("IOBank0", "IO Bank 0", 2, 97),
             Column("IOBank1", "IO Bank 1", 2, 97)};
    FColumns[std::size_t(TSwapList::eSwapList_SubParts)] = {
        Column("Name", "Name", 0, 92), Column("PartGroup", "Part Group", 1, 100, K::eColumn_Text, true)};
    FColumns[std::size_t(TSwapList::eSwapList_PartPins)] = {
        Column("Designator", "Designator", 0, 92),
        Column("PinName", "Pin Name", 0, 92),
        Column("Net", "Net", 0, 92),
        Column("Bus", "Bus", 0, 92),
        Column("PinType", "Pin Type", 0, 92),
        Column("Mode", "Mode", 0, 92),
        Column("SequenceID", "Sequence ID", 1, 100, K::eColumn_Text, true),
        Column("IOBank", "IO Bank", 2, 97)};
}

std::int32_t TConfigureComponentPinSwap::FindPin(const std::string& designator) const {
    for (std::size_t i = 0; i < FPins.size(); ++i)
        if (host::Text_EqualNoCase(FPins[i].Values[ePin_Designator], designator))
            return std::int32_t(i);
    return -1;
}

std::string TConfigureComponentPinSwap::OptionsSection() const {
    return FIsFPGA ? "Configure Swap For FPGA" : "Configure Swap For Non-FPGA";
}

void TConfigureComponentPinSwap::SetState_Controls() {
    FillPinData();
    FillSwapIDs();
    FillSubParts();
    FillPairData();

    const auto& sch = FComponent.DM_Component_SCH();
    std::string documentName;
    if (FSwapData.IsSchematicLibrary())
        documentName = FSwapData.DocumentFileName();
    else if (FSwapData.Project())
        documentName = FSwapData.Project()->FileName();
    FCaption = "Configure Pin Swapping For [" + (sch ? sch->Designator() : std::string()) + " in " +
               documentName + " / " + (FConfiguration ? FConfiguration->Name : "(No Configuration)") + "]";
    Layout_Restore();
}

void TConfigureComponentPinSwap::FillPinData() {
    FPins.clear();
    TParameterList pinData, partData;
    pinData.SetState_FromString(FComponent.PinSwapData_New, true);
    partData.SetState_FromString(FComponent.PartSwapData_New, true);
    const auto& sch = FComponent.DM_Component_SCH();
    if (!sch)
        return;
    model::TFpgaDataHolder* fpga = FComponent.FpgaDataHolder.get();
    const std::int32_t n = sch->PinCount();
    for (std::int32_t i = 0; i < n; ++i) {
        auto pin = sch->Pin(i);
        if (!pin)
            continue;
        TPinRecord r;
        auto& v = r.Values;
        v[ePin_Designator] = pin->Designator();
        v[ePin_Name] = pin->PinName();
        if (auto net = pin->OwningNet())
            v[ePin_Net] = net->Name();
        v[ePin_Type] = pin->ElectricalType();
        r.PartNumber = pin->PartNumber();
        v[ePin_PartNo] = std::to_string(r.PartNumber);
        v[ePin_PartMode] = "Normal";
        v[ePin_Group] = ParameterValue(pinData, schematic::cSwapPrefix_Pin + v[ePin_Designator]);
        for (std::int32_t b = ePin_IOPin; b <= ePin_SpecialPin; ++b)
            v[std::size_t(b)] = cFalse;
        if (fpga && fpga->FindPinInfo(v[ePin_Designator])) {
            r.HasFpgaData = true;
            struct {
                TPinColumn Column;
                host::TPinReportFileFieldKind Kind;
            } const fields[] = {
                {ePin_Bank, host::prff_IoBank},          {ePin_IOStandard, host::prff_IoStandard},
                {ePin_SlewRate, host::prff_SlewRate},    {ePin_DriveStrength, host::prff_DriveStrength},
                {ePin_IOPin, host::prff_IoPin},          {ePin_VREFPin, host::prff_VrefPin},
                {ePin_CLKPin, host::prff_ClkPin},        {ePin_ConfigPin, host::prff_ConfigPin},
                {ePin_SpecialPin, host::prff_SpecialPin}};
            for (const auto& f : fields) {
                std::string value;
                if (fpga->GetStringValue(v[ePin_Designator], f.Kind, value) && !value.empty())
                    v[std::size_t(f.Column)] = value;
            }
            std::string partner;
            if (fpga->GetStringValue(v[ePin_Designator], host::prff_DiffPair, partner))
                r.DiffPairName = partner;
            if (const auto* table = fpga->PinsData(); table && r.DiffPairName.empty()) {
                const std::int32_t column = table->FindColumn("FpgaData_DiffPair");
                if (column >= 0 && fpga->FindPinInfo(v[ePin_Designator]))
                    r.DiffPairName = table->Text(column);
            }
        }
        FPins.push_back(std::move(r));
    }
    (void)partData;
}

void TConfigureComponentPinSwap::FillSwapIDs() {
    FSwapIDs.clear();
    TParameterList pairData, partData;
    pairData.SetState_FromString(FComponent.PairSwapData_New, true);
    partData.SetState_FromString(FComponent.PartSwapData_New, true);
    for (const TPinRecord& r : FPins) {
        const std::string& d = r.Values[ePin_Designator];
        TSwapID id;
        id.PairID = ParameterValue(pairData, schematic::cSwapPrefix_Pair + d);
        id.PartID = ParameterValue(partData, schematic::cSwapPrefix_Part + d);
        id.PartPinID = ParameterValue(partData, schematic::cSwapPrefix_PartPin + d);
        FSwapIDs.emplace(d, id); // a repeated pin name keeps its first entry
    }
}

void TConfigureComponentPinSwap::FillSubParts() {
    std::int32_t count = FComponent.TotalSubPartCount();
    for (const TPinRecord& r : FPins)
        count = std::max(count, r.PartNumber);
    FSubParts.clear();
    for (std::int32_t p = 1; p <= count; ++p)
        FSubParts.push_back(p);
    FSelection[std::size_t(TSwapList::eSwapList_SubParts)].clear();
    FSelection[std::size_t(TSwapList::eSwapList_PartPins)].clear();
}

void TConfigureComponentPinSwap::FillPairData() {
    FPairs.clear();
    FSelection[std::size_t(TSwapList::eSwapList_Pairs)].clear();
    if (FPairsShowMode == eAllPins) {
        for (std::size_t i = 0; i < FPins.size(); ++i)
            FPairs.push_back({std::int32_t(i), -1});
        return;
    }
    if (FPairsShowMode == eFromFPGA) {
        std::vector<bool> taken(FPins.size(), false);
        for (std::size_t i = 0; i < FPins.size(); ++i) {
            if (taken[i] || FPins[i].DiffPairName.empty())
                continue;
            const std::int32_t partner = FindPin(FPins[i].DiffPairName);
            if (partner < 0 || std::size_t(partner) == i || taken[std::size_t(partner)])
                continue;
            taken[i] = taken[std::size_t(partner)] = true;
            FPairs.push_back({std::int32_t(i), partner});
        }
        return;
    }
    // From the design's differential pairs: both nets must reach pins of this component.
    std::unordered_map<std::string, std::int32_t> pinOfNet;
    for (std::size_t i = 0; i < FPins.size(); ++i)
        if (const std::string& net = FPins[i].Values[ePin_Net]; !net.empty())
            pinOfNet.emplace(net, std::int32_t(i));
    host::IPtr<host::IDocument> document;
    if (FSwapData.Project())
        document = FSwapData.Project()->CompiledDocument();
    if (!document)
        document = FSwapData.DM_Document();
    if (!document)
        return;
    const std::int32_t n = document->DifferentialPairCount();
    for (std::int32_t i = 0; i < n; ++i) {
        auto pair = document->DifferentialPair(i);
        if (!pair || pair->NetCount() != 2)
            continue;
        auto net0 = pair->Net(0), net1 = pair->Net(1);
        if (!net0 || !net1)
            continue;
        auto p0 = pinOfNet.find(net0->Name()), p1 = pinOfNet.find(net1->Name());
        if (p0 != pinOfNet.end() && p1 != pinOfNet.end())
            FPairs.push_back({p0->second, p1->second});
    }
}

TSwapID& TConfigureComponentPinSwap::SwapIDOf(std::int32_t pin) {
    return FSwapIDs[FPins.at(std::size_t(pin)).Values[ePin_Designator]];
}

const TSwapID* TConfigureComponentPinSwap::FindSwapID(std::int32_t pin) const {
    if (pin < 0 || std::size_t(pin) >= FPins.size())
        return nullptr;
    auto it = FSwapIDs.find(FPins[std::size_t(pin)].Values[ePin_Designator]);
    return it == FSwapIDs.end() ? nullptr : &it->second;
}

std::string TConfigureComponentPinSwap::PageCaption(TSwapPage page) {
    switch (page) {
    case TSwapPage::ePage_Pins:
        return "Pin Swapping";
    case TSwapPage::ePage_Pairs:
        return "Differential Pair Swapping";
    case TSwapPage::ePage_Parts:
        return "Part Swapping";
    }
    return {};
}

std::vector<std::string> TConfigureComponentPinSwap::FilterItems() {
    return {"Show All Pins", "Show I/O Pins Only", "Show Assigned I/O Pins Only"};
}

void TConfigureComponentPinSwap::SetFilter(std::int32_t index) {
    if (index < 0 || index > 2)
        return;
    FFilter = index;
    // Rows that the filter hides are no longer selected.
    for (auto list : {TSwapList::eSwapList_Pins, TSwapList::eSwapList_Pairs}) {
        auto& selection = FSelection[std::size_t(list)];
        std::erase_if(selection, [&](std::int32_t r) {
            return list == TSwapList::eSwapList_Pins ? !PinPassesFilter(r)
                                                     : !PinPassesFilter(FPairs[std::size_t(r)].Pin0);
        });
    }
}

bool TConfigureComponentPinSwap::PinPassesFilter(std::int32_t pin) const {
    if (pin < 0 || std::size_t(pin) >= FPins.size())
        return false;
    const TPinRecord& r = FPins[std::size_t(pin)];
    const bool io = r.Values[ePin_IOPin] == cTrue;
    switch (FFilter) {
    case 1:
        return io;
    case 2:
        // Assigned: a port of the FPGA design reaches it; without a configuration, a net does.
        if (FConfiguration)
            return io && FConfiguration->SwapIds.count(r.Values[ePin_Designator]) > 0;
        return io && !r.Values[ePin_Net].empty();
    default:
        return true;
    }
}

std::vector<std::string> TConfigureComponentPinSwap::PairModeItems() {
    return {"Show All Pins", "Show Pairs From Directives", "Show Pairs From FPGA"};
}

void TConfigureComponentPinSwap::SetPairMode(std::int32_t index) {
    if (index < 0 || index > 2)
        return;
    FPairsShowMode = TPairsShowMode(index);
    FillPairData();
}

void TConfigureComponentPinSwap::ImportFromFPGA() {
    if (!FConfiguration)
        return;
    for (TPinRecord& r : FPins) {
        auto it = FConfiguration->SwapIds.find(r.Values[ePin_Designator]);
        r.Values[ePin_Group] = it == FConfiguration->SwapIds.end() ? std::string() : it->second;
    }
}

std::vector<TDialogColumn>& TConfigureComponentPinSwap::ColumnsOf(TSwapList list) {
    return FColumns.at(std::size_t(list));
}

std::vector<TDialogBand> TConfigureComponentPinSwap::Bands(TSwapList list) {
    if (list == TSwapList::eSwapList_SubParts)
        return {{"Sub Part ", true}, {"Swap Data", true}, {"FPGA Attributes", false}};
    return {{"Pin Status", true}, {"Swap Data", true}, {"FPGA Attributes", FIsFPGA}};
}

std::vector<TDialogColumn> TConfigureComponentPinSwap::Columns(TSwapList list) {
    std::vector<TDialogColumn> columns = ColumnsOf(list);
    if (list == TSwapList::eSwapList_Pairs && FPairsShowMode == eAllPins) {
        // Single pins: the "1" columns are hidden and the others lose their digit.
        for (auto c : {ePair_Designator1, ePair_Name1, ePair_Net1, ePair_Type1, ePair_Bank1})
            columns[std::size_t(c)].Visible = false;
        columns[ePair_Designator0].Caption = "Designator";
        columns[ePair_Name0].Caption = "Pin Name";
        columns[ePair_Net0].Caption = "Net";
        columns[ePair_Type0].Caption = "Type";
        columns[ePair_Bank0].Caption = "Bank";
    } else if (list == TSwapList::eSwapList_Pairs) {
        columns[ePair_Bank0].Caption = "Bank 0";
    }
    if (list == TSwapList::eSwapList_Pins)
        for (std::int32_t c = ePin_IOStandard; c <= ePin_DriveStrength; ++c) {
            std::vector<std::string> choices;
            for (const TPinRecord& r : FPins)
                if (const std::string& v = r.Values[std::size_t(c)];
                    !v.empty() && std::find(choices.begin(), choices.end(), v) == choices.end())
                    choices.push_back(v);
            std::sort(choices.begin(), choices.end());
            columns[std::size_t(c)].Choices = std::move(choices);
        }
    return columns;
}

std::vector<std::int32_t> TConfigureComponentPinSwap::PinsOfSelectedSubParts() const {
    const auto& parts = FSelection[std::size_t(TSwapList::eSwapList_SubParts)];
    std::vector<std::int32_t> pins;
    for (std::size_t i = 0; i < FPins.size(); ++i)
        for (std::int32_t record : parts)
            if (FSubParts[std::size_t(record)] == FPins[i].PartNumber) {
                pins.push_back(std::int32_t(i));
                break;
            }
    return pins;
}

std::string TConfigureComponentPinSwap::SubPartGroup(std::int32_t part) const {
    for (std::size_t i = 0; i < FPins.size(); ++i)
        if (FPins[i].PartNumber == part)
            if (const TSwapID* id = FindSwapID(std::int32_t(i)); id && !id->PartID.empty())
                return id->PartID;
    return {};
}

std::vector<TDialogRow> TConfigureComponentPinSwap::Rows(TSwapList list) {
    std::vector<TDialogRow> rows;
    auto text = [](const std::string& s) {
        TDialogCell c;
        c.Text = s;
        return c;
    };
    switch (list) {
    case TSwapList::eSwapList_Pins:
        for (std::size_t i = 0; i < FPins.size(); ++i) {
            if (!PinPassesFilter(std::int32_t(i)))
                continue;
            TDialogRow row;
            row.Record = std::int32_t(i);
            for (std::int32_t c = 0; c < ePin_Count; ++c) {
                const std::string& v = FPins[i].Values[std::size_t(c)];
                TDialogCell cell;
                if (c >= ePin_IOPin)
                    cell.Check = v == cTrue ? TCheckState::eCheck_Checked : TCheckState::eCheck_Unchecked;
                else
                    cell.Text = v;
                cell.Editable = FColumns[0][std::size_t(c)].Editable;
                row.Cells.push_back(cell);
            }
            rows.push_back(std::move(row));
        }
        break;
    case TSwapList::eSwapList_Pairs:
        for (std::size_t i = 0; i < FPairs.size(); ++i) {
            const TPairRecord& p = FPairs[i];
            if (!PinPassesFilter(p.Pin0))
                continue;
            const TPinRecord& a = FPins[std::size_t(p.Pin0)];
            const TPinRecord* b = p.Pin1 >= 0 ? &FPins[std::size_t(p.Pin1)] : nullptr;
            auto of = [&](const TPinRecord* r, TPinColumn c) { return r ? r->Values[c] : std::string(); };
            const TSwapID* id = FindSwapID(p.Pin0);
            TDialogRow row;
            row.Record = std::int32_t(i);
            row.Cells = {
                text(a.Values[ePin_Designator]), text(of(b, ePin_Designator)), text(a.Values[ePin_Name]),
                text(of(b, ePin_Name)),          text(a.Values[ePin_Net]),     text(of(b, ePin_Net)),
                text(a.Values[ePin_Type]),       text(of(b, ePin_Type)),       text(id ? id->PairID : ""),
                text(a.Values[ePin_Bank]),       text(of(b, ePin_Bank))};
            row.Cells[ePair_Group].Editable = true;
            rows.push_back(std::move(row));
        }
        break;
    case TSwapList::eSwapList_SubParts: {
        const auto& sch = FComponent.DM_Component_SCH();
        const std::string designator = sch ? sch->Designator() : std::string();
        for (std::size_t i = 0; i < FSubParts.size(); ++i) {
            TDialogRow row;
            row.Record = std::int32_t(i);
            row.Cells = {text(designator + SubPartLetter(FSubParts[i])), text(SubPartGroup(FSubParts[i]))};
            row.Cells[eSub_Group].Editable = true;
            rows.push_back(std::move(row));
        }
        break;
    }
    case TSwapList::eSwapList_PartPins:
        for (std::int32_t pin : PinsOfSelectedSubParts()) {
            const TPinRecord& r = FPins[std::size_t(pin)];
            const TSwapID* id = FindSwapID(pin);
            TDialogRow row;
            row.Record = pin;
            row.Cells = {text(r.Values[ePin_Designator]), text(r.Values[ePin_Name]),
                         text(r.Values[ePin_Net]),        text(r.Values[ePin_Bus]),
                         text(r.Values[ePin_Type]),       text(r.Values[ePin_PartMode]),
                         text(id ? id->PartPinID : ""),   text(r.Values[ePin_Bank])};
            row.Cells[ePartPin_Sequence].Editable = true;
            rows.push_back(std::move(row));
        }
        break;
    }
    return rows;
}

void TConfigureComponentPinSwap::SetSelection(TSwapList list, const std::vector<std::int32_t>& records) {
    std::vector<std::int32_t> valid;
    std::vector<std::int32_t> shown;
    for (const TDialogRow& row : Rows(list))
        shown.push_back(row.Record);
    for (std::int32_t r : records)
        if (std::find(shown.begin(), shown.end(), r) != shown.end() &&
            std::find(valid.begin(), valid.end(), r) == valid.end())
            valid.push_back(r);
    FSelection.at(std::size_t(list)) = std::move(valid);
    // The part-pin list follows the chosen sub-parts.
    if (list == TSwapList::eSwapList_SubParts)
        FSelection[std::size_t(TSwapList::eSwapList_PartPins)].clear();
}

std::vector<std::int32_t> TConfigureComponentPinSwap::Selection(TSwapList list) {
    return FSelection.at(std::size_t(list));
}

bool TConfigureComponentPinSwap::SetCellText(TSwapList list, std::int32_t record, std::int32_t column,
                                             const std::string& text) {
    switch (list) {
    case TSwapList::eSwapList_Pins:
        if (record < 0 || std::size_t(record) >= FPins.size() || column < 0 || column >= ePin_Count ||
            !FColumns[0][std::size_t(column)].Editable)
            return false;
        FPins[std::size_t(record)].Values[std::size_t(column)] = text;
        return true;
    case TSwapList::eSwapList_Pairs: {
        if (record < 0 || std::size_t(record) >= FPairs.size() || column != ePair_Group)
            return false;
        const TPairRecord& p = FPairs[std::size_t(record)];
        SwapIDOf(p.Pin0).PairID = text;
        if (p.Pin1 >= 0)
            SwapIDOf(p.Pin1).PairID = text;
        return true;
    }
    case TSwapList::eSwapList_SubParts:
        if (record < 0 || std::size_t(record) >= FSubParts.size() || column != eSub_Group)
            return false;
        for (std::size_t i = 0; i < FPins.size(); ++i)
            if (FPins[i].PartNumber == FSubParts[std::size_t(record)])
                SwapIDOf(std::int32_t(i)).PartID = text;
        return true;
    case TSwapList::eSwapList_PartPins:
        if (record < 0 || std::size_t(record) >= FPins.size() || column != ePartPin_Sequence)
            return false;
        SwapIDOf(record).PartPinID = text;
        return true;
    }
    return false;
}

void TConfigureComponentPinSwap::SetColumnVisible(TSwapList list, std::int32_t column, bool visible) {
    auto& columns = ColumnsOf(list);
    if (column >= 0 && std::size_t(column) < columns.size())
        columns[std::size_t(column)].Visible = visible;
}

std::int32_t TConfigureComponentPinSwap::SortColumn(TSwapList list) {
    switch (list) {
    case TSwapList::eSwapList_Pins:
        return ePin_Bank;
    case TSwapList::eSwapList_PartPins:
        return ePartPin_Designator;
    default:
        return -1;
    }
}

void TConfigureComponentPinSwap::GetState_Controls() {
    std::string pinText, pairText, partText;
    for (const TPinRecord& r : FPins)
        schematic::SwapData_AddEntry(pinText, schematic::SwapData_MakePinEntry(
                                                  r.Values[ePin_Designator], Trimmed(r.Values[ePin_Group])));
    for (const auto& [designator, id] : FSwapIDs) {
        schematic::SwapData_AddEntry(pairText,
                                     schematic::SwapData_MakePairEntry(designator, Trimmed(id.PairID)));
        schematic::SwapData_AddEntry(partText, schematic::SwapData_MakePartEntries(
                                                   designator, Trimmed(id.PartID), Trimmed(id.PartPinID)));
    }
    // A text that says what the component holds already, in another order, leaves it as it is:
    // OK without edits changes nothing.
    auto store = [](std::string& target, const std::string& text) {
        if (Entries(text) != Entries(target))
            target = text;
    };
    store(FComponent.PinSwapData_New, pinText);
    store(FComponent.PartSwapData_New, partText);
    store(FComponent.PairSwapData_New, pairText);
    Layout_Save();
}

bool ConfigureComponentPinSwap_Open(model::TSwapDataSet& ASwapData, TSwapComponent& AComponent,
                                    IDialogViews* AViews) {
    AComponent.TryToLoadFpgaData();
    if (!AViews)
        return false;
    TConfigureComponentPinSwap dialog(ASwapData, AComponent);
    dialog.SetState_Controls();
    if (!AViews->ShowComponentSwap(dialog))
        return false;
    dialog.GetState_Controls();
    return true;
}

} // namespace permutor::dialogs

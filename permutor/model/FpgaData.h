// FPGA pin data of one component: the device's pin report, found through the component's
// "FpgaPinInfo" model, read into a small table with one row per device pin. It answers whether
// a pin exists and what a known field of it holds (its I/O bank, standard, roles...).
#pragma once

#include "permutor/host/Host.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace permutor::model {

using host::cPinReportFileFieldKindCount;
using host::IPtr;
using host::prff_ClkPin;
using host::prff_ConfigPin;
using host::prff_Designator;
using host::prff_DiffPair;
using host::prff_DriveStrength;
using host::prff_IoBank;
using host::prff_IoPin;
using host::prff_IoStandard;
using host::prff_NetName;
using host::prff_SlewRate;
using host::prff_SpecialPin;
using host::prff_VrefPin;
using host::TPinReportFileFieldKind;

// The Boolean roles among the known fields.
constexpr bool PinReportFileFieldKind_IsBoolean(TPinReportFileFieldKind AKind) {
    return AKind >= prff_IoPin && AKind <= prff_SpecialPin;
}

// Parses the common words for true and false ("True", "yes", "1", "F", "off"...), any letter
// case. False when the text is none of them.
bool Boolean_TryParse(std::string_view AText, bool& AValue);

// A minimal row store: named, tagged text and Boolean columns, rows appended in order, and a
// current row moved by locating a value.
class TFpgaTable {
public:
    struct TColumn {
        std::string Name;
        std::string DisplayLabel;
        std::int32_t Tag = -1;
        bool Boolean = false;
    };

    // Returns the new column's index.
    std::int32_t AddColumn(const std::string& AName, std::int32_t ATag, bool ABoolean,
                           const std::string& ADisplayLabel = "");
    const std::vector<TColumn>& Columns() const { return FColumns; }
    // The index of the column of this name, -1 when none.
    std::int32_t FindColumn(std::string_view AName) const;

    // Appends an empty row (texts empty, Booleans false) and makes it current.
    void Append();
    void SetText(std::int32_t AColumn, const std::string& AText);
    void SetBoolean(std::int32_t AColumn, bool AValue);

    std::int32_t RowCount() const { return std::int32_t(FRows.size()); }
    std::int32_t CurrentRow() const { return FCurrent; }
    void SetCurrentRow(std::int32_t ARow);
    // Makes the first row whose value in the column equals AValue exactly the current one.
    bool Locate(std::int32_t AColumn, std::string_view AValue);
    // The current row's value as text; a Boolean reads "True" or "False".
    std::string Text(std::int32_t AColumn) const;
    bool Boolean(std::int32_t AColumn) const;

private:
    std::vector<TColumn> FColumns;
    std::vector<std::vector<std::string>> FRows; // Booleans kept as "True"/"False"
    std::int32_t FCurrent = -1;
};

class TFpgaDataHolder {
public:
    // With a component that has a pin table, builds and fills the table; else it stays empty.
    explicit TFpgaDataHolder(host::IComponentInfo* AComponentInfo);
    static std::shared_ptr<TFpgaDataHolder> Create(host::IComponentInfo* AComponentInfo);

    // The table, or none when the component has no pin information.
    TFpgaTable* PinsData() const { return FPinsData.get(); }
    // The table column of a known kind, -1 when there is none.
    std::int32_t KnownField(TPinReportFileFieldKind AKind) const;

    // Moves the table's current row to the pin of exactly this name.
    bool FindPinInfo(const std::string& APinName);
    // The text of the pin's known field of the kind; false (and empty) for an unknown pin.
    bool GetStringValue(const std::string& APinName, TPinReportFileFieldKind AFieldKind, std::string& AValue);

private:
    std::unique_ptr<TFpgaTable> FPinsData;
    std::map<TPinReportFileFieldKind, std::int32_t> FKnownFields;
};

// Absolute on this platform: starts with "/" or "\", or has a drive letter's colon.
bool FpgaData_IsAbsoluteLocation(std::string_view ALocation);
// A link location as a full path: relative ones are taken from the document's folder.
std::string FpgaData_ResolveLocation(const std::string& ADocumentPath, const std::string& ALocation);
// The pin information of a schematic-side design component: the first component of the first
// pin report among its "FpgaPinInfo" models' "PinInfo" links that the host opens as a pin
// information document. None without one.
IPtr<host::IComponentInfo> FpgaData_FindComponentInfo(host::IComponent* AComponent);

} // namespace permutor::model

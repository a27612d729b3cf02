#include "permutor/model/FpgaData.h"

#include "permutor/host/Services.h"
#include "permutor/host/Text.h"

#include <filesystem>
#include <stdexcept>

namespace permutor::model {

using namespace permutor::host;

namespace {

constexpr const char* cFpgaPinInfoModelType = "FpgaPinInfo";
constexpr const char* cPinInfoLinkKind = "PinInfo";
constexpr const char* cPinNameColumn = "FpgaData_PinName";
constexpr const char* cDiffPairColumn = "FpgaData_DiffPair";

// A report column or, with index -1, a known kind, and the table column it feeds.
struct TFpgaFieldInfo {
    std::int32_t Index;
    std::int32_t Column;
};

bool IsIdentityKind(std::int32_t k) {
    return k == prff_Designator || k == prff_NetName || k == prff_DiffPair;
}

} // namespace

bool Boolean_TryParse(std::string_view AText, bool& AValue) {
    const std::string word = Text_Upper(Text_Trim(AText));
    for (const char* t : {"TRUE", "T", "YES", "Y", "1", "ON"})
        if (word == t) {
            AValue = true;
            return true;
        }
    for (const char* f : {"FALSE", "F", "NO", "N", "0", "OFF"})
        if (word == f) {
            AValue = false;
            return true;
        }
    return false;
}

// ---------------------------------------------------------------- table

std::int32_t TFpgaTable::AddColumn(const std::string& AName, std::int32_t ATag, bool ABoolean,
                                   const std::string& ADisplayLabel) {
    if (!FRows.empty())
        throw std::logic_error("columns are added before the first row");
    FColumns.push_back({AName, ADisplayLabel.empty() ? AName : ADisplayLabel, ATag, ABoolean});
    return std::int32_t(FColumns.size()) - 1;
}

std::int32_t TFpgaTable::FindColumn(std::string_view AName) const {
    for (std::size_t c = 0; c < FColumns.size(); ++c)
        if (FColumns[c].Name == AName)
            return std::int32_t(c);
    return -1;
}

void TFpgaTable::Append() {
    std::vector<std::string> row(FColumns.size());
    for (std::size_t c = 0; c < FColumns.size(); ++c)
        if (FColumns[c].Boolean)
            row[c] = "False";
    FRows.push_back(std::move(row));
    FCurrent = std::int32_t(FRows.size()) - 1;
}

void TFpgaTable::SetText(std::int32_t AColumn, const std::string& AText) {
    FRows.at(std::size_t(FCurrent)).at(std::size_t(AColumn)) = AText;
}

void TFpgaTable::SetBoolean(std::int32_t AColumn, bool AValue) {
    FRows.at(std::size_t(FCurrent)).at(std::size_t(AColumn)) = AValue ? "True" : "False";
}

void TFpgaTable::SetCurrentRow(std::int32_t ARow) {
    if (ARow < 0 || ARow >= RowCount())
        throw std::out_of_range("no such row");
    FCurrent = ARow;
}

bool TFpgaTable::Locate(std::int32_t AColumn, std::string_view AValue) {
    for (std::size_t r = 0; r < FRows.size(); ++r)
        if (FRows[r].at(std::size_t(AColumn)) == AValue) {
            FCurrent = std::int32_t(r);
            return true;
        }
    return false;
}

std::string TFpgaTable::Text(std::int32_t AColumn) const {
    return FRows.at(std::size_t(FCurrent)).at(std::size_t(AColumn));
}

bool TFpgaTable::Boolean(std::int32_t AColumn) const {
    return Text(AColumn) == "True";
}

// ---------------------------------------------------------------- holder

TFpgaDataHolder::TFpgaDataHolder(IComponentInfo* AComponentInfo) {
    IPtr<IPinTable> pins = AComponentInfo ? AComponentInfo->PinTable() : nullptr;
    if (!pins)
        return;
    FPinsData = std::make_unique<TFpgaTable>();
    TFpgaTable& table = *FPinsData;
    std::vector<TFpgaFieldInfo> fields;
    std::map<std::int32_t, TPinReportFileFieldKind> claimed; // report column -> kind

    for (std::int32_t k = 0; k < cPinReportFileFieldKindCount; ++k) {
        const auto kind = TPinReportFileFieldKind(k);
        if (auto descriptor = pins->FieldDescriptor(kind)) {
            claimed.emplace(descriptor->ColumnIndex(), kind);
            // The pin's own name, its net and its partner have columns of their own.
            if (IsIdentityKind(k))
                continue;
        }
        const std::int32_t column = table.AddColumn("FpgaData_KnownField_" + std::to_string(k), k,
                                                    PinReportFileFieldKind_IsBoolean(kind));
        FKnownFields[kind] = column;
        fields.push_back({-1, column});
    }
    const std::int32_t columns = pins->ColumnCount();
    for (std::int32_t c = 0; c < columns; ++c) {
        if (claimed.count(c))
            continue;
        auto descriptor = pins->ColumnDescriptor(c);
        fields.push_back({c, table.AddColumn("FpgaData_" + std::to_string(c), -1, false,
                                             descriptor ? descriptor->Title() : "")});
    }
    const std::int32_t pinName = table.AddColumn(cPinNameColumn, -1, false);
    const std::int32_t diffPair = table.AddColumn(cDiffPairColumn, -1, false);

    const std::int32_t count = pins->PinCount();
    for (std::int32_t i = 0; i < count; ++i) {
        auto pin = pins->Pin(i);
        if (!pin)
            continue;
        table.Append();
        table.SetText(pinName, pin->Name());
        if (auto partner = pin->DifferentialPartner())
            table.SetText(diffPair, partner->Name());
        for (const TFpgaFieldInfo& field : fields) {
            const TFpgaTable::TColumn& column = table.Columns()[std::size_t(field.Column)];
            if (field.Index >= 0) {
                table.SetText(field.Column, pin->ValueOfColumn(field.Index));
                continue;
            }
            const std::string value = pin->ValueOfKind(TPinReportFileFieldKind(column.Tag));
            if (!column.Boolean) {
                table.SetText(field.Column, value);
            } else {
                // Any other word than false counts as set.
                bool parsed = true;
                if (value.empty())
                    parsed = false;
                else if (!Boolean_TryParse(value, parsed))
                    parsed = true;
                table.SetBoolean(field.Column, parsed);
            }
        }
    }
}

std::shared_ptr<TFpgaDataHolder> TFpgaDataHolder::Create(IComponentInfo* AComponentInfo) {
    return std::make_shared<TFpgaDataHolder>(AComponentInfo);
}

std::int32_t TFpgaDataHolder::KnownField(TPinReportFileFieldKind AKind) const {
    auto it = FKnownFields.find(AKind);
    return it == FKnownFields.end() ? -1 : it->second;
}

bool TFpgaDataHolder::FindPinInfo(const std::string& APinName) {
    if (!FPinsData)
        return false;
    return FPinsData->Locate(FPinsData->FindColumn(cPinNameColumn), APinName);
}

bool TFpgaDataHolder::GetStringValue(const std::string& APinName, TPinReportFileFieldKind AFieldKind,
                                     std::string& AValue) {
    AValue.clear();
    if (!FindPinInfo(APinName))
        return false;
    if (const std::int32_t column = KnownField(AFieldKind); column >= 0)
        AValue = FPinsData->Text(column);
    return true;
}

// ---------------------------------------------------------------- finding the report

bool FpgaData_IsAbsoluteLocation(std::string_view ALocation) {
    return !ALocation.empty() &&
           (ALocation[0] == '/' || ALocation[0] == '\\' || (ALocation.size() >= 2 && ALocation[1] == ':'));
}

std::string FpgaData_ResolveLocation(const std::string& ADocumentPath, const std::string& ALocation) {
    if (FpgaData_IsAbsoluteLocation(ALocation))
        return ALocation;
    const std::size_t slash = ADocumentPath.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : ADocumentPath.substr(0, slash + 1);
    return std::filesystem::path(folder + ALocation).lexically_normal().string();
}

IPtr<IComponentInfo> FpgaData_FindComponentInfo(IComponent* AComponent) {
    IPtr<IClient> client = Client_Get();
    if (!AComponent || !client)
        return nullptr;
    const std::int32_t implementations = AComponent->ImplementationCount();
    for (std::int32_t i = 0; i < implementations; ++i) {
        auto implementation = AComponent->Implementation(i);
        if (!implementation || !Text_EqualNoCase(implementation->ModelType(), cFpgaPinInfoModelType))
            continue;
        const std::int32_t links = implementation->DataFileLinkCount();
        for (std::int32_t l = 0; l < links; ++l) {
            const std::string location = implementation->DataFileLinkLocation(l);
            if (!Text_EqualNoCase(implementation->DataFileLinkKind(l), cPinInfoLinkKind) || location.empty())
                continue;
            const std::string path = FpgaData_ResolveLocation(AComponent->OwnerDocumentPath(), location);
            IPtr<IServerDocument> document = client->ServerDocumentByPath(path);
            if (!document)
                document = client->OpenDocument(client->DocumentKindOfPath(path), path);
            auto information = QueryInterface<IPinInformationDocument>(document);
            auto file = information ? information->PinFile() : nullptr;
            if (file && file->ComponentCount() > 0)
                return file->Component(0);
        }
    }
    return nullptr;
}

} // namespace permutor::model

// The schematic side of the stand-in host: sheets and libraries, components (one object per
// placed unit), their pins with the four swap identifiers, fields, net labels and ports, and
// the schematic server.
//
// Swap identifiers live once per library pin of a component (TSchPin), shared by every placed
// unit: writing through one unit is seen at once by the others and by the compiled design.
#pragma once

#include "pcbhost/model/Design.h"
#include "permutor/host/Host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pcbhost {

using namespace permutor::host;

class TSchSymbol;
class TSchDocument;
class TSchComponent;

// A location key: equal for objects at the same point of the same sheet.
std::int32_t LocationKeyOf(std::string_view sheetPath, double x, double y);

class TSchPin : public TUnknownImpl<ISch_Pin> {
public:
    TSchPin(TSchSymbol* symbol, std::string designator, std::int32_t unit);
    // model
    std::int32_t Unit() const { return FUnit; }
    const std::string& DesignatorText() const { return FDesignator; }
    void SetPinName(std::string name) { FPinName = std::move(name); }
    const std::string& PinName() const { return FPinName; }
    // The electrical type as the library writes it ("input", "passive"...).
    void SetPinType(std::string type) { FPinType = std::move(type); }
    const std::string& PinType() const { return FPinType; }
    // The pin's net when there is no board to take nets from.
    void SetNetName(std::string name) { FNetName = std::move(name); }
    const std::string& NetName() const { return FNetName; }
    void SetPosition(double x, double y);
    bool HasPosition() const { return FHasPosition; }
    // The placed unit that shows the pin (its own unit, or the first placed one for common pins).
    TSchComponent* PlacedUnit() const;
    std::string SheetPath() const;
    std::int32_t LocationKey() const;
    const std::string& SwapIdText(TSwapIdKind kind) const { return FSwapIds[Index(kind)]; }
    // Sets an identifier as read from a file: not counted as a write, not a change.
    void LoadSwapId(TSwapIdKind kind, std::string id) { FSwapIds[Index(kind)] = std::move(id); }
    std::int32_t WriteCount() const { return FWriteCount; }
    TSchSymbol* Symbol() const { return FSymbol; }

    // ISch_Pin
    TSchObjectId ObjectId() override { return eSchPin; }
    std::string Designator() override { return FDesignator; }
    std::string SwapId(TSwapIdKind kind) override { return FSwapIds[Index(kind)]; }
    void SetSwapId(TSwapIdKind kind, const std::string& id) override;

private:
    friend class TSchSymbol;
    static std::size_t Index(TSwapIdKind kind) { return std::size_t(kind) & 3; }
    TSchSymbol* FSymbol;
    std::string FDesignator, FPinName, FPinType, FNetName;
    std::int32_t FUnit;
    bool FHasPosition = false;
    double FX = 0, FY = 0;
    std::string FSwapIds[4];
    std::int32_t FWriteCount = 0;
};

// A field of a placed component: a child object that is not a pin.
class TSchField : public TUnknownImpl<ISch_Object> {
public:
    TSchField(std::string name, std::string value) : FName(std::move(name)), FValue(std::move(value)) {}
    TSchObjectId ObjectId() override { return eSchParameter; }
    const std::string& Name() const { return FName; }
    const std::string& Value() const { return FValue; }

private:
    std::string FName, FValue;
};

// A net label or a port on a sheet; a member of the design net of its name.
class TSchNetLabel : public TUnknownImpl<ISch_Object> {
public:
    TSchNetLabel(TSchDocument* sheet, std::string net, bool port)
        : FSheet(sheet), FNet(std::move(net)), FPort(port) {}
    void SetPosition(double x, double y) { FX = x, FY = y, FAtPin = nullptr; }
    // Places the label at a pin's point: it shares the pin's location key.
    void SetAtPin(TSchPin* pin) { FAtPin = pin; }
    bool IsPort() const { return FPort; }
    const std::string& NetName() const { return FNet; }
    std::int32_t LocationKey() const;
    std::string SheetPath() const;
    TSchObjectId ObjectId() override { return FPort ? eSchPort : eSchNetLabel; }

private:
    TSchDocument* FSheet;
    std::string FNet;
    bool FPort;
    double FX = 0, FY = 0;
    IPtr<TSchPin> FAtPin;
};

struct TImplementationInfo {
    std::string ModelType, ModelName, FullPath;
    std::vector<TDataFileLink> DataFileLinks;
};

// One component (one reference): its library pins, fields and placed units.
class TSchSymbol {
public:
    TSchSymbol(std::string designator, std::int32_t unitCount);
    ~TSchSymbol();
    TSchSymbol(const TSchSymbol&) = delete;
    TSchSymbol& operator=(const TSchSymbol&) = delete;

    std::string Designator, Comment, Footprint, LibraryReference, DeviceKey;
    std::vector<TImplementationInfo> Implementations;
    // Files the symbol's fields name (full paths): the design component's child items.
    std::vector<std::string> ChildItemPaths;

    std::int32_t UnitCount() const { return FUnitCount; }
    void SetUnitCount(std::int32_t count) { FUnitCount = count; }
    TSchPin& AddPin(const std::string& designator, std::int32_t unit);
    TSchPin* FindPin(std::string_view designator) const;
    const std::vector<IPtr<TSchPin>>& Pins() const { return FPins; }
    TSchField& AddField(const std::string& name, const std::string& value);
    const std::vector<IPtr<TSchField>>& Fields() const { return FFields; }

    // Placed units, ordered by unit number.
    const std::vector<TSchComponent*>& PlacedUnits() const { return FUnits; }
    TSchComponent* Unit(std::int32_t unit) const;
    // Set when a swap identifier was written; the writer rewrites the swap fields of every unit.
    bool SwapIdsChanged() const { return FSwapIdsChanged; }
    void ClearSwapIdsChanged() { FSwapIdsChanged = false; }

private:
    friend class TSchPin;
    friend class TSchComponent;
    std::int32_t FUnitCount;
    std::vector<IPtr<TSchPin>> FPins;
    // Pins only ever get appended; FindPin's index catches up on the next lookup.
    mutable std::unordered_map<std::string, TSchPin*> FPinByDesignator;
    mutable std::size_t FPinsIndexed = 0;
    std::vector<IPtr<TSchField>> FFields;
    std::vector<TSchComponent*> FUnits;
    bool FSwapIdsChanged = false;
};

// One placed unit of a component on a sheet (or a symbol of a library).
class TSchComponent : public TUnknownImpl<ISch_Component> {
public:
    TSchComponent(std::shared_ptr<TSchSymbol> symbol, std::int32_t unit, std::string uniqueId);
    ~TSchComponent() override;
    // model
    TSchSymbol& Symbol() const { return *FSymbol; }
    const std::shared_ptr<TSchSymbol>& SymbolPtr() const { return FSymbol; }
    std::int32_t UnitNumber() const { return FUnit; }
    TSchDocument* Sheet() const { return FSheet; }
    void SetUniqueId(std::string id) {
        FUniqueId = std::move(id);
        Identity_Changed();
    }
    const std::string& UniqueIdText() const { return FUniqueId; }
    std::int32_t ModifyCount() const { return FModifyCount; }
    bool InModify() const { return FModifyDepth > 0; }

    // ISch_Component
    TSchObjectId ObjectId() override { return eSchComponent; }
    std::string UniqueId() override { return FUniqueId; }
    std::string Designator() override { return FSymbol->Designator; }
    std::int32_t PartCount() override { return FSymbol->UnitCount(); }
    std::int32_t ChildCount() override;
    IPtr<ISch_Object> Child(std::int32_t index) override;
    void BeginModify() override { ++FModifyDepth; }
    void EndModify() override;

private:
    friend class TSchDocument;
    std::shared_ptr<TSchSymbol> FSymbol;
    std::int32_t FUnit;
    std::string FUniqueId;
    TSchDocument* FSheet = nullptr;
    std::int32_t FModifyDepth = 0, FModifyCount = 0;
};

// A schematic sheet or a schematic library.
class TSchDocument : public TUnknownImpl<ISch_Sheet, ISch_Lib> {
public:
    TSchDocument(std::string path, bool library);
    ~TSchDocument() override;
    bool QueryInterface(const TGuid& iid, void** out) override;

    // model
    const std::string& Path() const { return FPath; }
    bool IsLibrary() const { return FLibrary; }
    // A new component owned by this document.
    std::shared_ptr<TSchSymbol> AddSymbol(const std::string& designator, std::int32_t unitCount);
    const std::vector<std::shared_ptr<TSchSymbol>>& Symbols() const { return FSymbols; }
    TSchSymbol* FindSymbol(std::string_view designator) const;
    // Places a unit of a component (of this or another document of the project) here.
    TSchComponent& PlaceUnit(const std::shared_ptr<TSchSymbol>& symbol, std::int32_t unit,
                             std::string uniqueId);
    // Takes a unit off this sheet; false when it was not here.
    bool RemoveUnit(TSchComponent* unit);
    const std::vector<IPtr<TSchComponent>>& Units() const { return FUnits; }
    TSchComponent* FindUnitByUniqueId(std::string_view uniqueId) const;
    TSchNetLabel& AddLabel(const std::string& net, bool port);
    const std::vector<IPtr<TSchNetLabel>>& Labels() const { return FLabels; }

    void Select(ISch_Object* object);
    void ClearSelection() { FSelection.clear(); }
    void SetCurrentComponentState(std::int32_t state) { FCurrentComponentState = state; }
    // A uuid-like id for the sheet, used to form instance paths.
    const std::string& SheetId() const { return FSheetId; }
    void SetSheetId(std::string id) { FSheetId = std::move(id); }

    // ISch_Sheet
    std::string FileName() override { return FPath; }
    std::int32_t SelectionCount() override { return std::int32_t(FSelection.size()); }
    IPtr<ISch_Object> SelectedObject(std::int32_t index) override;
    std::int32_t SelectedCountOfKinds(std::uint64_t kinds) override;
    // ISch_Lib
    std::int32_t CurrentComponentState() override { return FCurrentComponentState; }

private:
    std::string FPath;
    bool FLibrary;
    std::string FSheetId;
    std::vector<std::shared_ptr<TSchSymbol>> FSymbols;
    std::vector<IPtr<TSchComponent>> FUnits;
    std::vector<IPtr<TSchNetLabel>> FLabels;
    std::vector<IPtr<ISch_Object>> FSelection;
    std::int32_t FCurrentComponentState = 0;
};

class TSchServer : public TUnknownImpl<ISch_ServerInterface> {
public:
    void AddDocument(TSchDocument* document);
    void RemoveDocument(TSchDocument* document);
    TSchDocument* FindDocument(std::string_view path) const;
    const std::vector<IPtr<TSchDocument>>& Documents() const { return FDocuments; }
    void SetCurrent(TSchDocument* document) { FCurrent = document; }
    TSchDocument* Current() const { return FCurrent.get(); }

    IPtr<ISch_Sheet> CurrentSheet() override;
    IPtr<IUnknown> CurrentDocument() override;
    IPtr<ISch_Sheet> SheetByPath(const std::string& path) override;

private:
    std::vector<IPtr<TSchDocument>> FDocuments;
    IPtr<TSchDocument> FCurrent;
};

} // namespace pcbhost

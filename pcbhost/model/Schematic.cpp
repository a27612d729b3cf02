#include "pcbhost/model/Schematic.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

namespace pcbhost {

std::int32_t LocationKeyOf(std::string_view sheetPath, double x, double y) {
    // FNV-1a over "SHEET|X|Y", the point written to a thousandth: stable across runs. The text
    // is hashed piece by piece rather than formatted whole: a big design asks for hundreds of
    // thousands of keys.
    std::uint32_t h = 2166136261u;
    auto add = [&h](std::string_view text) {
        for (unsigned char c : text)
            h = (h ^ c) * 16777619u;
    };
    add(sheetPath);
    for (const double v : {x, y}) {
        add("|");
        char digits[64];
        const auto [end, error] =
            std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed, 3);
        if (error == std::errc())
            add(std::string_view(digits, std::size_t(end - digits)));
        else
            add(fmt::format("{:.3f}", v)); // beyond any board (1e60 and more)
    }
    return std::int32_t(h & 0x7FFFFFFF);
}

// ---------------------------------------------------------------- pin

TSchPin::TSchPin(TSchSymbol* symbol, std::string designator, std::int32_t unit)
    : FSymbol(symbol), FDesignator(std::move(designator)), FUnit(unit) {}

void TSchPin::SetPosition(double x, double y) {
    FX = x, FY = y;
    FHasPosition = true;
}

TSchComponent* TSchPin::PlacedUnit() const {
    if (!FSymbol)
        return nullptr;
    if (FUnit > 0)
        return FSymbol->Unit(FUnit);
    return FSymbol->PlacedUnits().empty() ? nullptr : FSymbol->PlacedUnits().front();
}

std::string TSchPin::SheetPath() const {
    TSchComponent* unit = PlacedUnit();
    return unit && unit->Sheet() ? unit->Sheet()->Path() : std::string();
}

std::int32_t TSchPin::LocationKey() const {
    if (FHasPosition)
        return LocationKeyOf(SheetPath(), FX, FY);
    // Without a position every pin has a point of its own.
    std::string self =
        fmt::format("{}|pin|{}|{}|{}", SheetPath(), FSymbol ? FSymbol->Designator : "", FDesignator, FUnit);
    return LocationKeyOf(self, 0, 0);
}

void TSchPin::SetSwapId(TSwapIdKind kind, const std::string& id) {
    ++FWriteCount;
    auto& slot = FSwapIds[Index(kind)];
    if (slot == id)
        return;
    slot = id;
    if (FSymbol)
        FSymbol->FSwapIdsChanged = true;
}

// ---------------------------------------------------------------- labels

std::string TSchNetLabel::SheetPath() const {
    return FSheet ? FSheet->Path() : std::string();
}

std::int32_t TSchNetLabel::LocationKey() const {
    return FAtPin ? FAtPin->LocationKey() : LocationKeyOf(SheetPath(), FX, FY);
}

// ---------------------------------------------------------------- symbol

TSchSymbol::TSchSymbol(std::string designator, std::int32_t unitCount)
    : Designator(std::move(designator)), FUnitCount(std::max(unitCount, 1)) {}

TSchSymbol::~TSchSymbol() {
    for (auto& pin : FPins)
        pin->FSymbol = nullptr;
}

TSchPin& TSchSymbol::AddPin(const std::string& designator, std::int32_t unit) {
    FPins.push_back(MakeObject<TSchPin>(this, designator, unit));
    return *FPins.back();
}

TSchPin* TSchSymbol::FindPin(std::string_view designator) const {
    for (; FPinsIndexed < FPins.size(); ++FPinsIndexed)
        FPinByDesignator.try_emplace(FPins[FPinsIndexed]->DesignatorText(), FPins[FPinsIndexed].get());
    auto it = FPinByDesignator.find(std::string(designator));
    return it == FPinByDesignator.end() ? nullptr : it->second;
}

TSchField& TSchSymbol::AddField(const std::string& name, const std::string& value) {
    FFields.push_back(MakeObject<TSchField>(name, value));
    return *FFields.back();
}

TSchComponent* TSchSymbol::Unit(std::int32_t unit) const {
    for (auto* u : FUnits)
        if (u->UnitNumber() == unit)
            return u;
    return nullptr;
}

// ---------------------------------------------------------------- placed unit

TSchComponent::TSchComponent(std::shared_ptr<TSchSymbol> symbol, std::int32_t unit, std::string uniqueId)
    : FSymbol(std::move(symbol)), FUnit(unit), FUniqueId(std::move(uniqueId)) {
    auto& units = FSymbol->FUnits;
    auto at = std::find_if(units.begin(), units.end(), [&](auto* u) { return u->FUnit > unit; });
    units.insert(at, this);
}

TSchComponent::~TSchComponent() {
    std::erase(FSymbol->FUnits, this);
}

std::int32_t TSchComponent::ChildCount() {
    return std::int32_t(FSymbol->Fields().size() + FSymbol->Pins().size());
}

// Children: the fields first, then every pin of the symbol (all units' pins, as the
// component's pin iteration must yield them).
IPtr<ISch_Object> TSchComponent::Child(std::int32_t index) {
    if (index < 0)
        return nullptr;
    std::size_t i = std::size_t(index);
    auto& fields = FSymbol->Fields();
    if (i < fields.size())
        return IPtr<ISch_Object>(fields[i].get());
    i -= fields.size();
    auto& pins = FSymbol->Pins();
    return i < pins.size() ? IPtr<ISch_Object>(pins[i].get()) : nullptr;
}

void TSchComponent::EndModify() {
    if (FModifyDepth > 0)
        --FModifyDepth;
    ++FModifyCount;
}

// ---------------------------------------------------------------- document

TSchDocument::TSchDocument(std::string path, bool library) : FPath(std::move(path)), FLibrary(library) {}

TSchDocument::~TSchDocument() {
    for (auto& u : FUnits)
        u->FSheet = nullptr;
}

bool TSchDocument::QueryInterface(const TGuid& iid, void** out) {
    // A sheet is not a library and a library is not a sheet.
    if ((iid == ISch_Lib::IID && !FLibrary) || (iid == ISch_Sheet::IID && FLibrary)) {
        *out = nullptr;
        return false;
    }
    return TUnknownImpl::QueryInterface(iid, out);
}

std::shared_ptr<TSchSymbol> TSchDocument::AddSymbol(const std::string& designator, std::int32_t unitCount) {
    FSymbols.push_back(std::make_shared<TSchSymbol>(designator, unitCount));
    return FSymbols.back();
}

TSchSymbol* TSchDocument::FindSymbol(std::string_view designator) const {
    for (auto& s : FSymbols)
        if (s->Designator == designator)
            return s.get();
    return nullptr;
}

TSchComponent& TSchDocument::PlaceUnit(const std::shared_ptr<TSchSymbol>& symbol, std::int32_t unit,
                                       std::string uniqueId) {
    auto placed = MakeObject<TSchComponent>(symbol, unit, std::move(uniqueId));
    placed->FSheet = this;
    FUnits.push_back(placed);
    Identity_Changed();
    return *placed;
}

bool TSchDocument::RemoveUnit(TSchComponent* unit) {
    auto it = std::find_if(FUnits.begin(), FUnits.end(), [&](auto& u) { return u.get() == unit; });
    if (it == FUnits.end())
        return false;
    std::erase_if(FSelection, [&](auto& o) { return o.get() == static_cast<ISch_Object*>(unit); });
    unit->FSheet = nullptr;
    FUnits.erase(it);
    Identity_Changed();
    return true;
}

TSchComponent* TSchDocument::FindUnitByUniqueId(std::string_view uniqueId) const {
    for (auto& u : FUnits)
        if (Text_EqualNoCase(u->UniqueIdText(), uniqueId))
            return u.get();
    return nullptr;
}

TSchNetLabel& TSchDocument::AddLabel(const std::string& net, bool port) {
    FLabels.push_back(MakeObject<TSchNetLabel>(this, net, port));
    return *FLabels.back();
}

void TSchDocument::Select(ISch_Object* object) {
    if (object)
        FSelection.emplace_back(object);
}

IPtr<ISch_Object> TSchDocument::SelectedObject(std::int32_t index) {
    return index >= 0 && std::size_t(index) < FSelection.size() ? FSelection[std::size_t(index)] : nullptr;
}

std::int32_t TSchDocument::SelectedCountOfKinds(std::uint64_t kinds) {
    std::int32_t n = 0;
    for (auto& o : FSelection) {
        auto kind = o->ObjectId();
        if (kind >= 0 && kind < 64 && (kinds >> kind) & 1u)
            ++n;
    }
    return n;
}

// ---------------------------------------------------------------- server

void TSchServer::AddDocument(TSchDocument* document) {
    if (document && !FindDocument(document->Path()))
        FDocuments.emplace_back(document);
}

void TSchServer::RemoveDocument(TSchDocument* document) {
    if (FCurrent.get() == document)
        FCurrent = nullptr;
    std::erase_if(FDocuments, [&](auto& d) { return d.get() == document; });
}

TSchDocument* TSchServer::FindDocument(std::string_view path) const {
    for (auto& d : FDocuments)
        if (d->Path() == path)
            return d.get();
    return nullptr;
}

IPtr<ISch_Sheet> TSchServer::CurrentSheet() {
    return FCurrent && !FCurrent->IsLibrary() ? IPtr<ISch_Sheet>(FCurrent.get()) : nullptr;
}

IPtr<IUnknown> TSchServer::CurrentDocument() {
    return FCurrent ? permutor::host::QueryInterface<IUnknown>(static_cast<ISch_Sheet*>(FCurrent.get()))
                    : nullptr;
}

IPtr<ISch_Sheet> TSchServer::SheetByPath(const std::string& path) {
    TSchDocument* d = FindDocument(path);
    return d && !d->IsLibrary() ? IPtr<ISch_Sheet>(d) : nullptr;
}

} // namespace pcbhost

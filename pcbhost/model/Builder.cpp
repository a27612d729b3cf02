#include "pcbhost/model/Builder.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/model/PinInfo.h"

#include <cmath>
#include <stdexcept>

namespace pcbhost {

TCoord MM(double millimetres) {
    return TCoord(std::lround(millimetres * cUnitsPerMM));
}

namespace {

TCoordPoint At(TPointMM p) {
    return {MM(p.X), MM(p.Y)};
}

void AssignNetByName(TBoard& board, TPrimitive& primitive, const std::string& net) {
    primitive.AssignNet(net.empty() ? nullptr : &board.EnsureNet(net));
}

std::string SheetOf(const TSchSymbol& symbol) {
    for (TSchComponent* unit : symbol.PlacedUnits())
        if (unit->Sheet())
            return unit->Sheet()->Path();
    return {};
}

} // namespace

// ---------------------------------------------------------------- schematic

TPinBuilder& TPinBuilder::PinSwap(const std::string& id) {
    FPin->LoadSwapId(eSwapId_Pin, id);
    return *this;
}

TPinBuilder& TPinBuilder::PartSwap(const std::string& id) {
    FPin->LoadSwapId(eSwapId_Part, id);
    return *this;
}

TPinBuilder& TPinBuilder::PartPinSwap(const std::string& id) {
    FPin->LoadSwapId(eSwapId_PartPin, id);
    return *this;
}

TPinBuilder& TPinBuilder::PairSwap(const std::string& id) {
    FPin->LoadSwapId(eSwapId_Pair, id);
    return *this;
}

TPinBuilder& TPinBuilder::Net(const std::string& name) {
    FPin->SetNetName(name);
    FHost->SchematicChanged(FPin->SheetPath());
    return *this;
}

TPinBuilder& TPinBuilder::At(double x, double y) {
    FPin->SetPosition(x, y);
    FHost->SchematicChanged(FPin->SheetPath());
    return *this;
}

TComponentBuilder& TComponentBuilder::Comment(const std::string& text) {
    FSymbol->Comment = text;
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *this;
}

TComponentBuilder& TComponentBuilder::Footprint(const std::string& name) {
    FSymbol->Footprint = name;
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *this;
}

TComponentBuilder& TComponentBuilder::LibraryReference(const std::string& name) {
    FSymbol->LibraryReference = name;
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *this;
}

TComponentBuilder& TComponentBuilder::DeviceKey(const std::string& key) {
    FSymbol->DeviceKey = key;
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *this;
}

TComponentBuilder& TComponentBuilder::Implementation(const std::string& modelType,
                                                     const std::string& modelName,
                                                     const std::string& fullPath) {
    FSymbol->Implementations.push_back({modelType, modelName, fullPath, {}});
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *this;
}

TComponentBuilder& TComponentBuilder::ChildItem(const std::string& fullPath) {
    FSymbol->ChildItemPaths.push_back(fullPath);
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *this;
}

TComponentBuilder& TComponentBuilder::DataFileLink(const std::string& kind, const std::string& location) {
    if (FSymbol->Implementations.empty())
        throw std::logic_error("a data-file link needs an implementation to belong to");
    FSymbol->Implementations.back().DataFileLinks.push_back({kind, location});
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *this;
}

TComponentBuilder& TComponentBuilder::PinInfo(const std::string& location, const std::string& package) {
    return Implementation(cFpgaPinInfoModelType, package).DataFileLink(cPinInfoLinkKind, location);
}

TComponentBuilder& TComponentBuilder::AddField(const std::string& name, const std::string& value) {
    FSymbol->AddField(name, value);
    return *this;
}

TPinBuilder& TComponentBuilder::AddPin(const std::string& designator, std::int32_t unit) {
    if (unit < 0 || unit > FSymbol->UnitCount())
        throw std::invalid_argument("pin " + designator + ": no unit " + std::to_string(unit));
    TSchPin& pin = FSymbol->AddPin(designator, unit);
    FPins.push_back(std::unique_ptr<TPinBuilder>(new TPinBuilder(*FHost, &pin)));
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *FPins.back();
}

TPinBuilder& TComponentBuilder::Pin(const std::string& designator) {
    for (auto& p : FPins)
        if (p->Model().DesignatorText() == designator)
            return *p;
    throw std::out_of_range(FSymbol->Designator + " has no pin " + designator);
}

TComponentBuilder& TComponentBuilder::Unplace(std::int32_t unit) {
    if (TSchComponent* u = FSymbol->Unit(unit)) {
        std::string sheet = u->Sheet() ? u->Sheet()->Path() : std::string();
        if (u->Sheet())
            u->Sheet()->RemoveUnit(u);
        FHost->SchematicChanged(sheet);
    }
    return *this;
}

TComponentBuilder& TComponentBuilder::MoveUnitTo(std::int32_t unit, TSchematicBuilder& sheet) {
    TSchComponent* u = FSymbol->Unit(unit);
    if (!u)
        throw std::invalid_argument(FSymbol->Designator + ": unit " + std::to_string(unit) +
                                    " is not placed");
    std::string id = u->UniqueIdText();
    std::string from = u->Sheet() ? u->Sheet()->Path() : std::string();
    if (u->Sheet())
        u->Sheet()->RemoveUnit(u);
    sheet.Model().PlaceUnit(FSymbolRef, unit, id);
    FHost->SchematicChanged(from);
    FHost->SchematicChanged(sheet.Path());
    return *this;
}

TComponentBuilder& TComponentBuilder::SetUniqueId(std::int32_t unit, const std::string& uniqueId) {
    TSchComponent* u = FSymbol->Unit(unit);
    if (!u)
        throw std::invalid_argument(FSymbol->Designator + ": unit " + std::to_string(unit) +
                                    " is not placed");
    u->SetUniqueId(uniqueId);
    FHost->SchematicChanged(SheetOf(*FSymbol));
    return *this;
}

std::string TComponentBuilder::UniqueId(std::int32_t unit) const {
    TSchComponent* u = FSymbol->Unit(unit);
    return u ? u->UniqueIdText() : std::string();
}

std::string TComponentBuilder::Designator() const {
    return FSymbol->Designator;
}
TSchComponent* TComponentBuilder::Unit(std::int32_t unit) const {
    return FSymbol->Unit(unit);
}

TComponentBuilder& TSchematicBuilder::AddComponent(const std::string& designator, std::int32_t units) {
    auto symbol = FSheet->AddSymbol(designator, units);
    for (std::int32_t u = 1; u <= symbol->UnitCount(); ++u)
        FSheet->PlaceUnit(symbol, u, "\\" + FSheet->SheetId() + "\\" + FHost->NewId());
    FComponents.push_back(std::unique_ptr<TComponentBuilder>(new TComponentBuilder(*FHost, symbol)));
    FHost->SchematicChanged(FSheet->Path());
    return *FComponents.back();
}

TComponentBuilder& TSchematicBuilder::Component(const std::string& designator) {
    for (auto& c : FComponents)
        if (c->Designator() == designator)
            return *c;
    throw std::out_of_range(FSheet->Path() + " has no component " + designator);
}

TSchematicBuilder& TSchematicBuilder::AddNetLabel(const std::string& net, const TPinBuilder& atPin) {
    FSheet->AddLabel(net, false).SetAtPin(&atPin.Model());
    FHost->SchematicChanged(FSheet->Path());
    return *this;
}

TSchematicBuilder& TSchematicBuilder::AddNetLabel(const std::string& net, double x, double y) {
    FSheet->AddLabel(net, false).SetPosition(x, y);
    FHost->SchematicChanged(FSheet->Path());
    return *this;
}

TSchematicBuilder& TSchematicBuilder::AddPort(const std::string& net, const TPinBuilder& atPin) {
    FSheet->AddLabel(net, true).SetAtPin(&atPin.Model());
    FHost->SchematicChanged(FSheet->Path());
    return *this;
}

TSchematicBuilder& TSchematicBuilder::AddPort(const std::string& net, double x, double y) {
    FSheet->AddLabel(net, true).SetPosition(x, y);
    FHost->SchematicChanged(FSheet->Path());
    return *this;
}

TSchematicBuilder& TSchematicBuilder::Select(const TComponentBuilder& component, std::int32_t unit) {
    TSchComponent* u = component.Unit(unit);
    if (!u)
        throw std::invalid_argument(component.Designator() + ": unit " + std::to_string(unit) +
                                    " is not placed");
    FSheet->Select(u);
    return *this;
}

TSchematicBuilder& TSchematicBuilder::ClearSelection() {
    FSheet->ClearSelection();
    return *this;
}

TSchematicBuilder& TSchematicBuilder::MakeCurrent() {
    FHost->SchServer().SetCurrent(FSheet);
    return *this;
}

TSchematicBuilder& TSchematicBuilder::CurrentComponentState(std::int32_t state) {
    FSheet->SetCurrentComponentState(state);
    return *this;
}

std::string TSchematicBuilder::Path() const {
    return FSheet->Path();
}
TDocument& TSchematicBuilder::Document() const {
    return *FHost->Workspace().FindDocument(FSheet->Path());
}

// ---------------------------------------------------------------- board

TPadBuilder& TPadBuilder::Smd(TV6_Layer layer) {
    FPad->SetLayerValue(layer);
    return *this;
}

TPadBuilder& TPadBuilder::ThroughHole(double drill) {
    FPad->SetLayerValue(eV6_MultiLayer);
    FPad->SetDrill(MM(drill));
    FPad->SetShape(ePad_Round);
    return *this;
}

TPadBuilder& TPadBuilder::Shape(TPadShape shape) {
    FPad->SetShape(TPadShapeKind(shape));
    return *this;
}

TPadBuilder& TPadBuilder::Size(double width, double height) {
    FPad->SetSize(MM(width), MM(height));
    return *this;
}

TPadBuilder& TPadBuilder::Rotation(double degrees) {
    FPad->SetRotation(degrees);
    return *this;
}

TPadBuilder& TPadBuilder::RoundRectRatio(double ratio) {
    FPad->SetRoundRectRatio(ratio);
    return *this;
}

TPadBuilder& TPadBuilder::Outline(const std::vector<TPointMM>& points) {
    std::vector<TCoordPoint> outline;
    for (auto& p : points)
        outline.push_back(At(p));
    FPad->SetOutline(std::move(outline));
    return *this;
}

TPadBuilder& TPadBuilder::Net(const std::string& name) {
    AssignNetByName(*FBoard, *FPad, name);
    return *this;
}

TPadBuilder& TPadBuilder::ExcludedFromSubNets(bool excluded) {
    FPad->SetExcludedFromSubNets(excluded);
    return *this;
}

TPadBuilder& TFootprintBuilder::AddPad(const std::string& name, double x, double y) {
    auto pad = MakeObject<TPad>();
    pad->SetName(name);
    pad->SetPosition(MM(x), MM(y));
    pad->SetSize(MM(1), MM(1));
    pad->SetLayerValue(FComponent->LayerValue() == eV6_BottomLayer ? eV6_BottomLayer : eV6_TopLayer);
    FComponent->AddPad(pad.get());
    FBoard->Place(pad.get());
    FPads.push_back(std::unique_ptr<TPadBuilder>(new TPadBuilder(*FHost, FBoard, pad.get())));
    return *FPads.back();
}

TPadBuilder& TFootprintBuilder::Pad(const std::string& name) {
    for (auto& p : FPads)
        if (p->Model().Name() == name)
            return *p;
    throw std::out_of_range(FComponent->NameText() + " has no pad " + name);
}

TFootprintBuilder& TFootprintBuilder::PinSwapEnabled(bool enabled) {
    FComponent->SetPinSwappingEnabled(enabled);
    return *this;
}

TFootprintBuilder& TFootprintBuilder::PartSwapEnabled(bool enabled) {
    FComponent->SetPartSwappingEnabled(enabled);
    return *this;
}

TFootprintBuilder& TFootprintBuilder::Kind(TComponentKind kind) {
    FComponent->SetComponentKind(kind);
    return *this;
}

TFootprintBuilder& TFootprintBuilder::SourceUniqueId(const std::string& uniqueId) {
    FComponent->SetSourceUniqueId(uniqueId);
    return *this;
}

TFootprintBuilder& TFootprintBuilder::Comment(const std::string& text) {
    FComponent->SetComment(text);
    return *this;
}

TFootprintBuilder& TFootprintBuilder::FootprintName(const std::string& name) {
    FComponent->SetFootprintName(name);
    return *this;
}

TFootprintBuilder& TFootprintBuilder::Bottom() {
    FComponent->SetLayerValue(eV6_BottomLayer);
    return *this;
}

TFootprintBuilder& TBoardBuilder::AddFootprint(const std::string& designator,
                                               const TComponentBuilder& linked) {
    const TSchSymbol& symbol = linked.Model();
    std::string id =
        symbol.PlacedUnits().empty() ? std::string() : symbol.PlacedUnits().front()->UniqueIdText();
    if (TSchComponent* first = symbol.Unit(1))
        id = first->UniqueIdText();
    auto& fp = AddFootprint(designator, id);
    fp.FootprintName(symbol.Footprint).Comment(symbol.Comment);
    return fp;
}

TFootprintBuilder& TBoardBuilder::AddFootprint(const std::string& designator,
                                               const std::string& sourceUniqueId) {
    auto component = MakeObject<TPcbComponent>();
    component->SetNameText(designator);
    component->SetSourceUniqueId(sourceUniqueId);
    component->SetKey(FHost->NewId());
    FBoard->Place(component.get());
    FFootprints.push_back(
        std::unique_ptr<TFootprintBuilder>(new TFootprintBuilder(*FHost, FBoard, component.get())));
    return *FFootprints.back();
}

TFootprintBuilder& TBoardBuilder::Footprint(const std::string& designator) {
    for (auto& f : FFootprints)
        if (f->Model().NameText() == designator)
            return *f;
    throw std::out_of_range(FBoard->Path() + " has no footprint " + designator);
}

TPadBuilder& TBoardBuilder::AddFreePad(const std::string& name, double x, double y) {
    auto pad = MakeObject<TPad>();
    pad->SetName(name);
    pad->SetPosition(MM(x), MM(y));
    pad->SetSize(MM(1), MM(1));
    FBoard->Place(pad.get());
    FFreePads.push_back(std::unique_ptr<TPadBuilder>(new TPadBuilder(*FHost, FBoard, pad.get())));
    return *FFreePads.back();
}

TTrack& TBoardBuilder::AddTrack(const std::string& net, TPointMM from, TPointMM to, double width,
                                TV6_Layer layer) {
    auto track = MakeObject<TTrack>();
    track->SetEnds(At(from), At(to));
    track->SetWidth(MM(width));
    track->SetLayerValue(layer);
    FBoard->Place(track.get());
    AssignNetByName(*FBoard, *track, net);
    return *track;
}

TArc& TBoardBuilder::AddArc(const std::string& net, TPointMM centre, double radius, double startDegrees,
                            double endDegrees, double width, TV6_Layer layer) {
    auto arc = MakeObject<TArc>();
    arc->SetArc(At(centre), MM(radius), startDegrees, endDegrees);
    arc->SetWidth(MM(width));
    arc->SetLayerValue(layer);
    FBoard->Place(arc.get());
    AssignNetByName(*FBoard, *arc, net);
    return *arc;
}

TVia& TBoardBuilder::AddVia(const std::string& net, TPointMM at, double size, double drill,
                            TV6_Layer startLayer, TV6_Layer stopLayer) {
    auto via = MakeObject<TVia>();
    via->SetPosition(MM(at.X), MM(at.Y));
    via->SetSize(MM(size), MM(drill));
    via->SetSpan(startLayer, stopLayer);
    FBoard->Place(via.get());
    AssignNetByName(*FBoard, *via, net);
    return *via;
}

TRegion& TBoardBuilder::AddZoneFill(const std::string& net, TV6_Layer layer,
                                    const std::vector<TPointMM>& outline) {
    auto region = MakeObject<TRegion>();
    std::vector<TCoordPoint> points;
    for (auto& p : outline)
        points.push_back(At(p));
    region->SetOutline(std::move(points));
    region->SetLayerValue(layer);
    FBoard->Place(region.get());
    AssignNetByName(*FBoard, *region, net);
    return *region;
}

TBoardBuilder& TBoardBuilder::CopperLayers(std::int32_t count) {
    FBoard->SetCopperLayerCount(count);
    return *this;
}

TBoardBuilder& TBoardBuilder::DisplayUnit(TUnit unit) {
    FBoard->SetDisplayUnit(unit);
    return *this;
}

std::string TBoardBuilder::Path() const {
    return FBoard->Path();
}
TDocument& TBoardBuilder::Document() const {
    return *FHost->Workspace().FindDocument(FBoard->Path());
}

// ---------------------------------------------------------------- project

TSchematicBuilder& TProjectBuilder::AddSchematic(const std::string& path) {
    return FHost->NewSchematic(*FProject, path, false, FSchematics);
}

TSchematicBuilder& TProjectBuilder::AddLibrary(const std::string& path) {
    return FHost->NewSchematic(*FProject, path, true, FSchematics);
}

TBoardBuilder& TProjectBuilder::AddBoard(const std::string& path) {
    return FHost->NewBoard(*FProject, path, FBoards);
}

TProjectBuilder& TProjectBuilder::AllowPinSwapping(bool allow) {
    FProject->SetAllowPinSwapping(allow);
    return *this;
}

TProjectBuilder& TProjectBuilder::AllowNetLabelSwapping(bool allow) {
    FProject->SetAllowNetLabelSwapping(allow);
    return *this;
}

TProjectBuilder& TProjectBuilder::Compile() {
    FProject->Compile();
    return *this;
}

std::string TProjectBuilder::Path() const {
    return FProject->Path();
}

} // namespace pcbhost

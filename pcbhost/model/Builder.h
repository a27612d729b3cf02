// Builders that fill the in-memory host with projects, schematics and boards in a few lines,
// for tests and examples. They are a convenience layer over the model classes (Design.h,
// Schematic.h, Board.h); a file loader fills the model directly and never needs them.
//
// Units: every builder coordinate and size is in millimetres (double) and becomes board units
// (10,000,000 per inch) rounded to the nearest unit; see MM(). Board y grows downwards, as in
// KiCad files.
#pragma once

#include "permutor/host/Host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pcbhost {

using namespace permutor::host;

class THost;
class TProject;
class TDocument;
class TSchDocument;
class TSchSymbol;
class TSchPin;
class TSchComponent;
class TBoard;
class TPad;
class TTrack;
class TArc;
class TVia;
class TRegion;
class TPcbComponent;

// Millimetres to board units, rounded to nearest.
TCoord MM(double millimetres);

struct TPointMM {
    double X = 0;
    double Y = 0;
};

enum TPadShape : std::int32_t {
    ePadShape_Round = 0,
    ePadShape_Rect = 1,
    ePadShape_Oval = 2,
    ePadShape_RoundRect = 3,
    ePadShape_Custom = 4, // outline given as a polygon
};

class TSchematicBuilder;

// One pin of a schematic component (one library pin, shared by all placed units).
class TPinBuilder {
public:
    TPinBuilder& PinSwap(const std::string& id);
    TPinBuilder& PartSwap(const std::string& id);
    TPinBuilder& PartPinSwap(const std::string& id);
    TPinBuilder& PairSwap(const std::string& id);
    // The pin's net when the project has no board (with a board, nets come from its pads).
    TPinBuilder& Net(const std::string& name);
    // The pin's end point on its sheet, relative to nothing in particular; pins at the same
    // point of the same sheet share a location key. Default: a point of its own.
    TPinBuilder& At(double x, double y);
    TSchPin& Model() const { return *FPin; }

private:
    friend class TComponentBuilder;
    TPinBuilder(THost& host, TSchPin* pin) : FHost(&host), FPin(pin) {}
    THost* FHost;
    TSchPin* FPin;
};

// A schematic component: one reference, one or more units, each unit placed as its own
// schematic component object.
class TComponentBuilder {
public:
    TComponentBuilder& Comment(const std::string& text);
    TComponentBuilder& Footprint(const std::string& name);
    TComponentBuilder& LibraryReference(const std::string& name);
    TComponentBuilder& DeviceKey(const std::string& key);
    // A model link (footprint, pin file...) of the design component.
    TComponentBuilder& Implementation(const std::string& modelType, const std::string& modelName,
                                      const std::string& fullPath = "");
    // A data-file link of the component's last implementation.
    TComponentBuilder& DataFileLink(const std::string& kind, const std::string& location);
    // An FPGA pin report (relative to the sheet's folder, or absolute), as the symbol field
    // "PinInfo" gives it: an implementation "FpgaPinInfo" with one "PinInfo" link. `package`
    // picks the ball column of a report that lists several packages.
    TComponentBuilder& PinInfo(const std::string& location, const std::string& package = "");
    // A non-pin child object (a field) of every placed unit, placed before the pins.
    TComponentBuilder& AddField(const std::string& name, const std::string& value);
    // A file attached to the component (a child item of its design component).
    TComponentBuilder& ChildItem(const std::string& fullPath);
    // Adds a library pin. `unit` is the unit number, 0 for pins common to every unit.
    TPinBuilder& AddPin(const std::string& designator, std::int32_t unit = 0);
    TPinBuilder& Pin(const std::string& designator);
    // Removes a unit from its sheet (the library symbol keeps it: sub-part count stays).
    TComponentBuilder& Unplace(std::int32_t unit);
    // Moves a placed unit to another sheet of the same project.
    TComponentBuilder& MoveUnitTo(std::int32_t unit, TSchematicBuilder& sheet);
    // Overrides the generated instance path ("\<sheet uuid>\<symbol uuid>") of a unit.
    TComponentBuilder& SetUniqueId(std::int32_t unit, const std::string& uniqueId);

    // The instance path of a placed unit (1-based; unit 1 by default).
    std::string UniqueId(std::int32_t unit = 1) const;
    std::string Designator() const;
    TSchSymbol& Model() const { return *FSymbol; }
    // The placed unit's schematic component object; null when not placed.
    TSchComponent* Unit(std::int32_t unit) const;

private:
    friend class TSchematicBuilder;
    TComponentBuilder(THost& host, std::shared_ptr<TSchSymbol> symbol)
        : FHost(&host), FSymbol(symbol.get()), FSymbolRef(std::move(symbol)) {}
    THost* FHost;
    TSchSymbol* FSymbol;
    std::shared_ptr<TSchSymbol> FSymbolRef;
    std::vector<std::unique_ptr<TPinBuilder>> FPins;
};

// A schematic sheet (or a schematic library, for AddFreeLibrary).
class TSchematicBuilder {
public:
    TComponentBuilder& AddComponent(const std::string& designator, std::int32_t units = 1);
    TComponentBuilder& Component(const std::string& designator);
    // Net labels (member list 2 of a design net) and ports (list 3), either at the place of a pin
    // (sharing its location key) or at a point of their own.
    TSchematicBuilder& AddNetLabel(const std::string& net, const TPinBuilder& atPin);
    TSchematicBuilder& AddNetLabel(const std::string& net, double x, double y);
    TSchematicBuilder& AddPort(const std::string& net, const TPinBuilder& atPin);
    TSchematicBuilder& AddPort(const std::string& net, double x, double y);
    // Appends a placed unit to the sheet's selection (selection order is kept).
    TSchematicBuilder& Select(const TComponentBuilder& component, std::int32_t unit = 1);
    TSchematicBuilder& ClearSelection();
    // Makes this the schematic server's current sheet (or current library document).
    TSchematicBuilder& MakeCurrent();
    // For libraries: the library's current-component state (0 = ready for editing).
    TSchematicBuilder& CurrentComponentState(std::int32_t state);

    std::string Path() const;
    TSchDocument& Model() const { return *FSheet; }
    TDocument& Document() const;

private:
    friend class THost;
    friend class TProjectBuilder;
    TSchematicBuilder(THost& host, TSchDocument* sheet) : FHost(&host), FSheet(sheet) {}
    THost* FHost;
    TSchDocument* FSheet;
    std::vector<std::unique_ptr<TComponentBuilder>> FComponents;
};

class TFootprintBuilder;

class TPadBuilder {
public:
    // A surface pad on one copper layer (default shape rectangle).
    TPadBuilder& Smd(TV6_Layer layer = eV6_TopLayer);
    // A through-hole pad (on eV6_MultiLayer, copper on every layer; default shape round).
    TPadBuilder& ThroughHole(double drill = 0.8);
    TPadBuilder& Shape(TPadShape shape);
    TPadBuilder& Size(double width, double height);
    TPadBuilder& Rotation(double degrees);
    // Corner radius as a ratio of the smaller side (round rectangles; default 0.25).
    TPadBuilder& RoundRectRatio(double ratio);
    // Outline relative to the pad centre (custom pads).
    TPadBuilder& Outline(const std::vector<TPointMM>& points);
    // The pad's net by name; the net is created on the board when missing. "" = no net.
    TPadBuilder& Net(const std::string& name);
    TPadBuilder& ExcludedFromSubNets(bool excluded = true);
    TPad& Model() const { return *FPad; }

private:
    friend class TFootprintBuilder;
    friend class TBoardBuilder;
    TPadBuilder(THost& host, TBoard* board, TPad* pad) : FHost(&host), FBoard(board), FPad(pad) {}
    THost* FHost;
    TBoard* FBoard;
    TPad* FPad;
};

class TFootprintBuilder {
public:
    // A pad at board coordinates (absolute, not relative to the footprint). SMD on the
    // footprint's side with a 1 x 1 mm rectangle until told otherwise.
    TPadBuilder& AddPad(const std::string& name, double x, double y);
    TPadBuilder& Pad(const std::string& name);
    TFootprintBuilder& PinSwapEnabled(bool enabled = true);
    TFootprintBuilder& PartSwapEnabled(bool enabled = true);
    TFootprintBuilder& Kind(TComponentKind kind);
    TFootprintBuilder& SourceUniqueId(const std::string& uniqueId);
    TFootprintBuilder& Comment(const std::string& text);
    TFootprintBuilder& FootprintName(const std::string& name);
    // Places the footprint on the bottom side: later SMD pads default to the bottom layer.
    TFootprintBuilder& Bottom();
    TPcbComponent& Model() const { return *FComponent; }

private:
    friend class TBoardBuilder;
    TFootprintBuilder(THost& host, TBoard* board, TPcbComponent* component)
        : FHost(&host), FBoard(board), FComponent(component) {}
    THost* FHost;
    TBoard* FBoard;
    TPcbComponent* FComponent;
    std::vector<std::unique_ptr<TPadBuilder>> FPads;
};

class TBoardBuilder {
public:
    // A footprint linked to a schematic component (its source unique id is unit 1's path), or
    // with a given source unique id ("" = board-only footprint).
    TFootprintBuilder& AddFootprint(const std::string& designator, const TComponentBuilder& linked);
    TFootprintBuilder& AddFootprint(const std::string& designator, const std::string& sourceUniqueId = "");
    TFootprintBuilder& Footprint(const std::string& designator);
    // A pad that belongs to no footprint (empty owner text).
    TPadBuilder& AddFreePad(const std::string& name, double x, double y);
    TTrack& AddTrack(const std::string& net, TPointMM from, TPointMM to, double width,
                     TV6_Layer layer = eV6_TopLayer);
    // An arc track through start (at startDegrees), counter-clockwise as displayed to endDegrees.
    TArc& AddArc(const std::string& net, TPointMM centre, double radius, double startDegrees,
                 double endDegrees, double width, TV6_Layer layer = eV6_TopLayer);
    TVia& AddVia(const std::string& net, TPointMM at, double size = 0.6, double drill = 0.3,
                 TV6_Layer startLayer = eV6_TopLayer, TV6_Layer stopLayer = eV6_BottomLayer);
    TRegion& AddZoneFill(const std::string& net, TV6_Layer layer, const std::vector<TPointMM>& outline);
    // Copper layer count (2 by default): top, count - 2 inner layers, bottom.
    TBoardBuilder& CopperLayers(std::int32_t count);
    TBoardBuilder& DisplayUnit(TUnit unit);

    std::string Path() const;
    TBoard& Model() const { return *FBoard; }
    TDocument& Document() const;

private:
    friend class THost;
    friend class TProjectBuilder;
    TBoardBuilder(THost& host, TBoard* board) : FHost(&host), FBoard(board) {}
    THost* FHost;
    TBoard* FBoard;
    std::vector<std::unique_ptr<TFootprintBuilder>> FFootprints;
    std::vector<std::unique_ptr<TPadBuilder>> FFreePads;
};

class TProjectBuilder {
public:
    TSchematicBuilder& AddSchematic(const std::string& path);
    TSchematicBuilder& AddLibrary(const std::string& path);
    TBoardBuilder& AddBoard(const std::string& path);
    TProjectBuilder& AllowPinSwapping(bool allow);
    TProjectBuilder& AllowNetLabelSwapping(bool allow);
    TProjectBuilder& Compile();
    TProject& Model() const { return *FProject; }
    std::string Path() const;

private:
    friend class THost;
    TProjectBuilder(THost& host, TProject* project) : FHost(&host), FProject(project) {}
    THost* FHost;
    TProject* FProject;
    std::vector<std::unique_ptr<TSchematicBuilder>> FSchematics;
    std::vector<std::unique_ptr<TBoardBuilder>> FBoards;
};

} // namespace pcbhost

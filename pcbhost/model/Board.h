// The board document of the stand-in host: primitives (pads, tracks, arcs, vias, regions,
// connections), components, nets with their copper islands and ratsnest, and the PCB server
// with its change brackets and undo history.
//
// The model classes are themselves the interface implementers: a file loader creates them
// with their constructors, sets their data through the model setters and places them with
// TBoard::Place; the builders (Builder.h) are only a shorthand for tests.
#pragma once

#include "pcbhost/model/Geometry.h"
#include "pcbhost/model/UniqueIdIndex.h"
#include "permutor/host/Host.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pcbhost {

using namespace permutor::host;

class TBoard;
class TPcbNet;
class TPcbComponent;
class TPcbServer;
class TConnection;
class TPcbDifferentialPair;

// Exclusion flag bits (IPCB_Primitive::ExclusionFlags): copper that searches must not follow
// (keep-out copper), and copper excluded from connectivity.
inline constexpr std::uint32_t cExclusion_KeepOut = 1;
inline constexpr std::uint32_t cExclusion_NoConnectivity = 2;

// A point where a ratsnest line may end: pad centres, track and arc ends, via centres.
struct TAnchor {
    TCoord X = 0;
    TCoord Y = 0;
    TV6_Layer Layer = eV6_NoLayer;
};

// What every board object is in the model, beside its interface. Names here avoid the
// interface's names so that both can be called on the implementing classes.
class TPrimitive {
public:
    virtual ~TPrimitive();
    virtual IPCB_Primitive* Interface() = 0;

    TObjectId Kind() const { return FKind; }
    TBoard* OwnerBoard() const { return FBoard; }
    TPcbNet* OwnerNet() const { return FNet; }
    TPcbComponent* OwnerComponent() const { return FComponent; }
    TV6_Layer LayerValue() const { return FLayer; }
    std::uint64_t HandleValue() const { return FHandle; }
    bool IsCopper() const;

    // Moves the object to another net (none = no net). On a board inside a change bracket the
    // change becomes part of the undo step.
    void AssignNet(TPcbNet* net);
    void SetLayerValue(TV6_Layer layer);
    void SetExclusionFlags(std::uint32_t flags) { FExclusion = flags; }

    // The object's identifier in its file (a KiCad uuid), kept for writing back.
    const std::string& SourceId() const { return FSourceId; }
    void SetSourceId(std::string id) { FSourceId = std::move(id); }
    // Set when the object changed after loading (net, switches, ends); the writer reads it.
    bool Modified() const { return FModified; }
    void ClearModified() { FModified = false; }
    // Number of BeginModify/EndModify brackets closed on the object.
    std::int32_t ModifyCount() const { return FModifyCount; }

    // Copper outline (a point for objects without copper), copper layers on its board (through-
    // hole pads and vias expand to the board's copper layers in their span) and bounds.
    virtual geo::TShape Shape() const;
    virtual TLayerSet CopperLayers() const;
    virtual TCoordRect Bounds() const;
    virtual void Anchors(std::vector<TAnchor>& out) const;
    virtual std::string Describe() const = 0;

protected:
    explicit TPrimitive(TObjectId kind);
    // Data or geometry changed: the object is modified and its net's islands are out of date.
    void Touched(bool geometry);

    // Shared bodies of the IPCB_Primitive operations.
    IPtr<IPCB_Net> NetInterface() const;
    void SetNetFromInterface(IPCB_Net* net);
    IPtr<IPCB_Component> ComponentInterface() const;
    IPtr<IPCB_Board> BoardInterface() const;
    void ModifyBegin() { ++FModifyDepth; }
    void ModifyEnd();

    TV6_Layer FLayer = eV6_TopLayer;
    std::int32_t FSubNet = 0;
    std::uint32_t FExclusion = 0;

private:
    friend class TBoard;
    friend class TPcbNet;
    friend class TPcbComponent;
    friend class TPcbServer;
    TObjectId FKind;
    TBoard* FBoard = nullptr;
    TPcbNet* FNet = nullptr;
    TPcbComponent* FComponent = nullptr;
    std::uint64_t FHandle;
    std::string FSourceId;
    bool FModified = false;
    std::int32_t FModifyDepth = 0;
    std::int32_t FModifyCount = 0;
    // Where the object is in its net's member list (TPcbNet::FMembers).
    std::uint32_t FNetSlot = 0;
};

// The model object behind an interface pointer of this host; null for foreign objects.
TPrimitive* ModelOf(IPCB_Primitive* primitive);
TPcbNet* ModelOf(IPCB_Net* net);

template <class I> class TPrimitiveImpl : public TUnknownImpl<I>, public TPrimitive {
public:
    IPCB_Primitive* Interface() override { return this; }

    TObjectId ObjectId() override { return Kind(); }
    IPtr<IPCB_Net> Net() override { return NetInterface(); }
    void SetNet(IPCB_Net* net) override { SetNetFromInterface(net); }
    std::int32_t SubNetNumber() override { return FSubNet; }
    void SetSubNetNumber(std::int32_t n) override { FSubNet = n; }
    void BeginModify() override { ModifyBegin(); }
    void EndModify() override { ModifyEnd(); }
    TCoordRect BoundingRectangle() override { return Bounds(); }
    TV6_Layer Layer() override { return FLayer; }
    std::uint32_t ExclusionFlags() override { return FExclusion; }
    bool InComponent() override { return OwnerComponent() != nullptr; }
    IPtr<IPCB_Component> Component() override { return ComponentInterface(); }
    std::uint64_t Handle() override { return HandleValue(); }
    IPtr<IPCB_Board> Board() override { return BoardInterface(); }
    std::string Descriptor() override { return Describe(); }

protected:
    explicit TPrimitiveImpl(TObjectId kind) : TPrimitive(kind) {}
};

enum TPadShapeKind : std::int32_t {
    ePad_Round = 0,
    ePad_Rect = 1,
    ePad_Oval = 2,
    ePad_RoundRect = 3,
    ePad_Custom = 4,
};

class TPad : public TPrimitiveImpl<IPCB_Pad> {
public:
    TPad();
    // model
    void SetName(std::string name);
    void SetPosition(TCoord x, TCoord y);
    void SetShape(TPadShapeKind shape) { FShape = shape, Touched(true); }
    void SetSize(TCoord width, TCoord height);
    void SetRotation(double degrees) { FRotation = degrees, Touched(true); }
    void SetRoundRectRatio(double ratio) { FRoundRectRatio = ratio, Touched(true); }
    void SetDrill(TCoord drill) { FDrill = drill; }
    // Outline of a custom pad relative to its centre, unrotated.
    void SetOutline(std::vector<TCoordPoint> outline) { FOutline = std::move(outline), Touched(true); }
    void SetExcludedFromSubNets(bool excluded) { FExcludedFromSubNets = excluded; }
    // Copper layers that differ from the pad's layer: a through-hole pad with copper on the
    // outer layers only, or a hole without copper (an empty set). Cleared by passing nothing.
    void SetCopperLayerOverride(std::optional<TLayerSet> layers) { FCopperOverride = layers, Touched(true); }
    TPadShapeKind PadShape() const { return FShape; }
    TCoord Width() const { return FWidth; }
    TCoord Height() const { return FHeight; }
    double Rotation() const { return FRotation; }
    TCoord Drill() const { return FDrill; }
    bool IsThroughHole() const { return FLayer == eV6_MultiLayer; }

    const std::string& NameString() const { return FName; }

    // IPCB_Pad
    std::string Name() override { return FName; }
    TCoord X() override { return FX; }
    TCoord Y() override { return FY; }
    bool ExcludedFromSubNets() override { return FExcludedFromSubNets; }
    // Only a plain hole (no connectivity) keeps its centre from ending a connection.
    std::string OwnerText() override;

    geo::TShape Shape() const override;
    TLayerSet CopperLayers() const override;
    void Anchors(std::vector<TAnchor>& out) const override;
    std::string Describe() const override;

private:
    std::optional<TLayerSet> FCopperOverride;
    std::string FName;
    TCoord FX = 0, FY = 0;
    TPadShapeKind FShape = ePad_Rect;
    TCoord FWidth = 0, FHeight = 0;
    double FRotation = 0;
    double FRoundRectRatio = 0.25;
    TCoord FDrill = 0;
    std::vector<TCoordPoint> FOutline;
    bool FExcludedFromSubNets = false;
};

class TTrack : public TPrimitiveImpl<IPCB_Track> {
public:
    TTrack();
    void SetEnds(TCoordPoint from, TCoordPoint to);
    void SetWidth(TCoord width);

    TCoord X1() override { return FFrom.X; }
    TCoord Y1() override { return FFrom.Y; }
    TCoord X2() override { return FTo.X; }
    TCoord Y2() override { return FTo.Y; }
    TCoord Width() override { return FWidth; }

    geo::TShape Shape() const override;
    void Anchors(std::vector<TAnchor>& out) const override;
    std::string Describe() const override;

private:
    TCoordPoint FFrom, FTo;
    TCoord FWidth = 0;
};

class TArc : public TPrimitiveImpl<IPCB_Arc> {
public:
    TArc();
    // Angles in degrees, counter-clockwise as displayed; the arc runs from start to end.
    void SetArc(TCoordPoint centre, TCoord radius, double startDegrees, double endDegrees);
    // The arc through three points (KiCad's start, mid, end); false when they are collinear.
    bool SetThroughPoints(TCoordPoint start, TCoordPoint mid, TCoordPoint end);
    void SetWidth(TCoord width);

    TCoord XCenter() override { return FCentre.X; }
    TCoord YCenter() override { return FCentre.Y; }
    TCoord Radius() override { return FRadius; }
    double StartAngle() override { return FStart; }
    double EndAngle() override { return FEnd; }
    TCoordPoint StartPoint() override;
    TCoordPoint EndPoint() override;
    TCoord Width() override { return FWidth; }

    geo::TShape Shape() const override;
    void Anchors(std::vector<TAnchor>& out) const override;
    std::string Describe() const override;

private:
    TCoordPoint PointAt(double degrees) const;
    TCoordPoint FCentre;
    TCoord FRadius = 0;
    double FStart = 0, FEnd = 90;
    TCoord FWidth = 0;
};

class TVia : public TPrimitiveImpl<IPCB_Via> {
public:
    TVia();
    void SetPosition(TCoord x, TCoord y);
    void SetSize(TCoord diameter, TCoord drill);
    void SetSpan(TV6_Layer start, TV6_Layer stop);
    TCoord Diameter() const { return FSize; }
    TCoord Drill() const { return FDrill; }

    TCoord X() override { return FX; }
    TCoord Y() override { return FY; }
    TV6_Layer StartLayer() override { return FStartLayer; }
    TV6_Layer StopLayer() override { return FStopLayer; }

    geo::TShape Shape() const override;
    TLayerSet CopperLayers() const override;
    void Anchors(std::vector<TAnchor>& out) const override;
    std::string Describe() const override;

private:
    TCoord FX = 0, FY = 0, FSize = 0, FDrill = 0;
    TV6_Layer FStartLayer = eV6_TopLayer, FStopLayer = eV6_BottomLayer;
};

// Filled copper: one polygon of a zone fill on one layer.
class TRegion : public TPrimitiveImpl<IPCB_Region> {
public:
    TRegion();
    void SetOutline(std::vector<TCoordPoint> outline);
    const std::vector<TCoordPoint>& Outline() const { return FOutline; }

    std::int32_t OutlinePointCount() override { return std::int32_t(FOutline.size()); }
    TCoordPoint OutlinePoint(std::int32_t index) override;

    geo::TShape Shape() const override;
    void Anchors(std::vector<TAnchor>& out) const override;
    std::string Describe() const override;

private:
    std::vector<TCoordPoint> FOutline;
};

// A connection line: either a ratsnest line the board computes for a net, or a line the
// module created (CreateObject) to draw something of its own.
class TConnection : public TPrimitiveImpl<IPCB_Connection> {
public:
    TConnection();
    bool IsRatsnest() const { return FRatsnest; }

    TCoord X1() override { return FX1; }
    TCoord Y1() override { return FY1; }
    TV6_Layer Layer1() override { return FLayer1; }
    TCoord X2() override { return FX2; }
    TCoord Y2() override { return FY2; }
    TV6_Layer Layer2() override { return FLayer2; }
    void SetEnds(TCoord x1, TCoord y1, TV6_Layer layer1, TCoord x2, TCoord y2, TV6_Layer layer2) override;

    geo::TShape Shape() const override;
    TLayerSet CopperLayers() const override { return {}; }
    std::string Describe() const override;

private:
    friend class TPcbNet;
    TCoord FX1 = 0, FY1 = 0, FX2 = 0, FY2 = 0;
    TV6_Layer FLayer1 = eV6_NoLayer, FLayer2 = eV6_NoLayer;
    bool FRatsnest = false;
};

class TPcbComponent : public TPrimitiveImpl<IPCB_Component> {
public:
    TPcbComponent();
    ~TPcbComponent() override;
    // model
    void SetNameText(std::string designator) { FNameText = std::move(designator); }
    void SetSourceUniqueId(std::string id) { FSourceUniqueId = std::move(id); }
    void SetComponentKind(TComponentKind kind) { FComponentKind = kind; }
    void SetFootprintName(std::string name) { FFootprintName = std::move(name); }
    void SetComment(std::string text) { FComment = std::move(text); }
    // The key the project's unique-id lookup finds the component by (the footprint's uuid).
    void SetKey(std::string key) {
        FKey = std::move(key);
        Identity_Changed();
    }
    const std::string& Key() const { return FKey; }
    const std::string& SourceUniqueIdText() const { return FSourceUniqueId; }
    const std::string& FootprintName() const { return FFootprintName; }
    const std::string& Comment() const { return FComment; }
    // Makes a pad part of the footprint (place the pad on the board as well).
    void AddPad(TPad* pad);
    const std::vector<TPad*>& Pads() const { return FPads; }
    TPad* FindPad(std::string_view name) const;

    // IPCB_Component
    bool PinSwappingEnabled() override { return FPinSwapping; }
    bool PartSwappingEnabled() override { return FPartSwapping; }
    void SetPinSwappingEnabled(bool enabled) override;
    void SetPartSwappingEnabled(bool enabled) override;
    IPtr<IPCB_Iterator> IteratePrimitives(const TObjectSet& kinds) override;
    std::string NameText() override { return FNameText; }
    std::string SourceUniqueId() override { return FSourceUniqueId; }
    TComponentKind ComponentKind() override { return FComponentKind; }

    TCoordRect Bounds() const override;
    std::string Describe() const override;

private:
    friend class TPcbServer;
    void SetSwitch(bool pin, bool value, bool record);
    std::string FNameText, FSourceUniqueId, FFootprintName, FComment, FKey;
    bool FPinSwapping = false, FPartSwapping = false;
    TComponentKind FComponentKind = eComponentKind_Standard;
    std::vector<TPad*> FPads;
};

class TPcbDifferentialPair : public TPrimitiveImpl<IPCB_DifferentialPair> {
public:
    TPcbDifferentialPair(std::string name, TPcbNet* positive, TPcbNet* negative);
    std::string Name() override { return FName; }
    IPtr<IPCB_Net> PositiveNet() override;
    IPtr<IPCB_Net> NegativeNet() override;
    std::string Describe() const override { return "Differential Pair " + FName; }
    TPcbNet* Positive() const { return FPositive; }
    TPcbNet* Negative() const { return FNegative; }

private:
    std::string FName;
    TPcbNet* FPositive;
    TPcbNet* FNegative;
};

// The name of the differential pair a net name belongs to ("USB_D" for "USB_D_P" and
// "USB_D+"), whether it is the positive member, and its partner's name; false when the
// name does not end in _P, _N, + or -.
bool DifferentialPair_Split(std::string_view netName, std::string& stem, bool& positive,
                            std::string& partner);

class TPcbNet : public TUnknownImpl<IPCB_Net> {
public:
    explicit TPcbNet(std::string name);
    ~TPcbNet() override;
    // Nets live in an arena whose addresses follow their creation (see OrderedArena.h).
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;
    // model
    TBoard* OwnerBoard() const { return FBoard; }
    void SetName(std::string name);
    const std::vector<TPrimitive*>& Members() const {
        Compact();
        return FMembers;
    }
    // The copper islands (pads, tracks, arcs, vias, regions that touch on a shared copper
    // layer), each in member order, islands ordered by their first member.
    const std::vector<std::vector<TPrimitive*>>& Islands();
    // The ratsnest: a minimum spanning tree between the islands.
    const std::vector<TConnection*>& Ratsnest();
    // Forgets islands and ratsnest; they are rebuilt when next asked for.
    void MarkDirty() { FDirty = true; }
    std::int32_t RebuildCount() const { return FRebuildCount; }

    // IPCB_Net
    std::string Name() override { return FName; }
    bool ConnectionsVisible() override { return FConnectionsVisible; }
    void HideConnections() override { FConnectionsVisible = false; }
    void ShowConnections() override { FConnectionsVisible = true; }
    void RebuildConnections() override;
    void AddPrimitive(IPCB_Primitive* primitive) override;
    void RemovePrimitive(IPCB_Primitive* primitive) override;
    std::int32_t SubNetGroupCount() override;
    IPtr<IPCB_SubNetGroup> SubNetGroup(std::int32_t index) override;
    IPtr<IPCB_Iterator> IteratePrimitives() override;
    bool InDifferentialPair() override;
    IPtr<IPCB_DifferentialPair> DifferentialPair() override;

private:
    friend class TPrimitive;
    friend class TBoard;
    void Attach(TPrimitive* p);
    void Detach(TPrimitive* p);
    void Rebuild();
    void DropRatsnest();
    // Closes the gaps detaching leaves in FMembers, keeping the order.
    void Compact() const;
    std::string FName;
    TBoard* FBoard = nullptr;
    // One reference each. Detaching leaves a gap (null), so that taking many members off a big
    // net one by one does not move the rest of the list each time.
    mutable std::vector<TPrimitive*> FMembers;
    mutable std::size_t FGaps = 0;
    bool FConnectionsVisible = true;
    bool FDirty = true;
    std::int32_t FRebuildCount = 0;
    std::vector<std::vector<TPrimitive*>> FIslands;
    std::vector<IPtr<IPCB_SubNetGroup>> FGroups;
    std::vector<TConnection*> FRatsnest; // one reference each
};

// One committed swap as the pin-swap log recorded it.
struct TSwapLogEntry {
    std::string PadA, PadB;             // "U1-3"
    std::string NetA, NetB;             // the pads' nets before the swap
    std::string ComponentA, ComponentB; // "U1" (empty for free pads)
    std::string PinA, PinB;             // the pad names, "3"
};

// Swap log entries, each name kept once: an optimiser's run logs hundreds of thousands of
// exchanges among a few thousand pins and nets. Entries read back as TSwapLogEntry values.
class TSwapLogEntries {
public:
    void push_back(const TSwapLogEntry& entry);
    std::size_t size() const { return FEntries.size(); }
    bool empty() const { return FEntries.empty(); }
    TSwapLogEntry operator[](std::size_t index) const;

    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = TSwapLogEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = TSwapLogEntry;
        iterator(const TSwapLogEntries* log, std::size_t index) : FLog(log), FIndex(index) {}
        TSwapLogEntry operator*() const { return (*FLog)[FIndex]; }
        iterator& operator++() { return ++FIndex, *this; }
        iterator operator++(int) { return iterator(FLog, FIndex++); }
        bool operator==(const iterator& other) const { return FIndex == other.FIndex; }

    private:
        const TSwapLogEntries* FLog;
        std::size_t FIndex;
    };
    iterator begin() const { return iterator(this, 0); }
    iterator end() const { return iterator(this, FEntries.size()); }

private:
    std::uint32_t Intern(const std::string& text);

    std::vector<std::array<std::uint32_t, 8>> FEntries;
    std::unordered_map<std::string, std::uint32_t> FNumbers;
    std::vector<const std::string*> FNames; // number -> the name, kept in FNumbers
};

// The pin-swap log of one board: every swap the module recorded.
class TPinSwapLog : public TUnknownImpl<IPCB_PinSwapLog> {
public:
    void RecordSwap(IPCB_Pad* padA, IPCB_Pad* padB, IPCB_Net* netA, IPCB_Net* netB) override;
    const TSwapLogEntries& Entries() const { return FEntries; }

private:
    TSwapLogEntries FEntries;
};

struct THighlightShow {
    std::vector<IPtr<IPCB_Primitive>> Objects;
    bool Zoom = false;
    bool Mask = false;
};

class TBoard : public TUnknownImpl<IPCB_Board> {
public:
    explicit TBoard(std::string path);
    ~TBoard() override;

    // ---- model ----
    const std::string& Path() const { return FPath; }
    void SetPath(std::string path) { FPath = std::move(path); }
    TPcbServer* Server() const { return FServer; }
    void SetServer(TPcbServer* server) { FServer = server; }
    void SetUI(IPtr<IHostUI> ui) { FUI = std::move(ui); }

    // Copper layers in stack order, top first (default: top and bottom).
    const std::vector<TV6_Layer>& CopperLayerList() const { return FCopperLayers; }
    void SetCopperLayers(std::vector<TV6_Layer> layers);
    void SetCopperLayerCount(std::int32_t count);
    // Layers a through-hole object occupies from `start` to `stop` in stack order.
    TLayerSet CopperSpan(TV6_Layer start, TV6_Layer stop) const;

    // Nets: found by name (exact), created on the board when missing.
    TPcbNet* FindNet(std::string_view name) const;
    TPcbNet& EnsureNet(const std::string& name);
    const std::vector<TPcbNet*>& NetList() const { return FNets; }
    void PlaceNet(TPcbNet* net);
    void UnplaceNet(TPcbNet* net);

    // Primitives in placement order; the board holds one reference to each.
    void Place(TPrimitive* primitive);
    void Unplace(TPrimitive* primitive);
    const std::vector<TPrimitive*>& PrimitiveList() const {
        if (FUnplaced)
            Compact();
        return FPrimitives;
    }
    // The placed components in placement order.
    const std::vector<TPcbComponent*>& ComponentList() const { return FComponents; }
    TPcbComponent* FindComponent(std::string_view designator) const;
    TPrimitive* FindByHandle(std::uint64_t handle) const;
    TPcbDifferentialPair* PairOf(const TPcbNet* net);
    std::vector<TPcbDifferentialPair*> PairList();

    // The current object, the context of context commands, display settings.
    void SetCurrentObject(TPrimitive* primitive) { FCurrentObject = primitive; }
    void SetContext(std::vector<TPrimitive*> objects) { FContext = std::move(objects); }
    void SetDisplayUnit(TUnit unit) { FDisplayUnit = unit; }
    void SetVisibleLayers(const TLayerSet& layers) { FVisibleLayers = layers, FVisibleLayersSet = true; }

    // What the module showed and logged.
    const std::vector<THighlightShow>& HighlightShows() const { return FHighlightShows; }
    const std::vector<IPtr<IPCB_Primitive>>& HighlightList() const { return FHighlightList; }
    const TSwapLogEntries& SwapLog() const;
    std::int32_t RedrawCount() const { return FRedrawCount; }
    // Whether anything of the board changed since loading (the front end saves then), and a
    // counter of changes that tells a compiled design whether it is still current.
    bool Modified() const { return FModified; }
    void SetModified(bool modified) { FModified = modified; }
    std::uint64_t ChangeSerial() const { return FChangeSerial; }
    // Clears the modified flags of the board and its objects (after loading or saving).
    void ClearModifiedFlags();
    // File identifiers of loaded objects that were taken off the board since loading.
    const std::vector<std::string>& RemovedSourceIds() const { return FRemovedSourceIds; }
    void NoteChange() {
        FModified = true;
        ++FChangeSerial;
    }

    // Called by primitives: geometry or membership changed.
    void GeometryChanged() { FSpatialDirty = true; }
    void NetsChanged() {
        FPairsDirty = true;
        FNetIndexValid = false;
    }

    // ---- IPCB_Board ----
    std::string FileName() override { return FPath; }
    IPtr<IPCB_BoardIterator> BoardIterator_Create() override;
    void BoardIterator_Destroy(IPCB_BoardIterator*) override {}
    IPtr<IPCB_BoardIterator> SpatialIterator_Create() override;
    void SpatialIterator_Destroy(IPCB_BoardIterator*) override {}
    bool ChooseLocation(TCoord& x, TCoord& y, const std::string& prompt) override;
    IPtr<IPCB_Primitive> ObjectAtLocation(TCoord x, TCoord y, const TObjectSet& kinds,
                                          const TLayerSet& layers) override;
    IPtr<IPCB_Primitive> CurrentObject(std::int32_t a, std::int32_t b) override;
    IPtr<IPCB_Primitive> ComponentInContext(const TObjectSet& kinds, std::int32_t mode) override;
    std::int32_t CountInContext(std::int32_t mode) override;
    double PrimPrimDistance(IPCB_Primitive* a, IPCB_Primitive* b) override;
    void AddNet(IPCB_Net* net) override;
    void RemoveNet(IPCB_Net* net) override;
    void AddPrimitive(IPCB_Primitive* primitive) override;
    void RemoveObject(IPCB_Primitive* primitive) override;
    void RedrawView() override { ++FRedrawCount; }
    void ViewUpdate(std::int32_t) override { ++FRedrawCount; }
    void HighlightView_On() override {}
    TUnit DisplayUnit() override { return FDisplayUnit; }
    void HighlightList_Clear() override { FHighlightList.clear(); }
    void HighlightList_Begin() override {}
    void HighlightList_Add(IPCB_Primitive* primitive) override;
    void HighlightList_Show(bool zoom, bool mask) override;
    void HighlightList_End() override {}
    IPtr<IPCB_PinSwapLog> PinSwapLog() override;
    TV6_Layer TopLayer() override { return FCopperLayers.front(); }
    TV6_Layer BottomLayer() override { return FCopperLayers.back(); }
    void LayerSet_IncludeMultiLayer(TLayerSet& set) override;
    TLayerSet VisibleLayers() override;

    // Primitives whose bounds meet `area` (all when null), in placement order.
    std::vector<TPrimitive*> Query(const TCoordRect* area);
    // Whether a primitive passes a layer filter: one of its copper layers, or its own layer.
    bool OnLayers(TPrimitive* primitive, const TLayerSet& layers) const;

private:
    struct TSpatialIndex;
    void RebuildPairs();
    std::string FPath;
    TPcbServer* FServer = nullptr;
    IPtr<IHostUI> FUI;
    std::vector<TV6_Layer> FCopperLayers{eV6_TopLayer, eV6_BottomLayer};
    // Closes the gaps unplacing leaves in FPrimitives, keeping the order.
    void Compact() const;
    // One reference each. Unplacing leaves a null in the primitive's place, to be closed up when
    // the list is next read: removing thousands of connection lines one by one would otherwise
    // move the rest of the list each time.
    mutable std::vector<TPrimitive*> FPrimitives;
    mutable std::size_t FUnplaced = 0;
    // Where each placed primitive is in FPrimitives.
    mutable std::unordered_map<const TPrimitive*, std::size_t> FPosition;
    // The placed components in placement order (their order in FPrimitives): look-ups by a
    // component's key go through them instead of every primitive.
    std::vector<TPcbComponent*> FComponents;
    // Placed primitives by handle: the module turns handles back into objects on every swap.
    std::unordered_map<std::uint64_t, TPrimitive*> FByHandle;
    std::vector<TPcbNet*> FNets; // one reference each
    // The first net of each name in FNets, for FindNet; rebuilt after a net leaves or is renamed.
    mutable std::unordered_map<std::string, TPcbNet*> FNetByName;
    mutable bool FNetIndexValid = false;
    std::vector<IPtr<IPCB_DifferentialPair>> FPairs;
    bool FPairsDirty = true;
    std::unique_ptr<TSpatialIndex> FSpatial;
    bool FSpatialDirty = true;
    TPrimitive* FCurrentObject = nullptr;
    std::vector<TPrimitive*> FContext;
    TUnit FDisplayUnit = eMetric;
    TLayerSet FVisibleLayers;
    bool FVisibleLayersSet = false;
    std::vector<IPtr<IPCB_Primitive>> FHighlightList;
    std::vector<THighlightShow> FHighlightShows;
    IPtr<TPinSwapLog> FSwapLog;
    std::int32_t FRedrawCount = 0;
    bool FModified = false;
    std::uint64_t FChangeSerial = 0;
    std::vector<std::string> FRemovedSourceIds;
};

// One change of a board, as an undo step records it.
struct TBoardChange {
    enum TKind { eNet, ePlace, eUnplace, eNetPlace, eNetUnplace, ePinSwitch, ePartSwitch, eEnds } Kind = eNet;
    IPtr<IPCB_Board> Board;
    IPtr<IPCB_Primitive> Primitive;
    IPtr<IPCB_Net> OldNet, NewNet;
    bool OldValue = false;
    TCoord Ends[4] = {0, 0, 0, 0};
    TV6_Layer EndLayers[2] = {eV6_NoLayer, eV6_NoLayer};
};

class TPcbServer : public TUnknownImpl<IPCB_ServerInterface> {
public:
    TPcbServer();
    ~TPcbServer() override;

    // ---- model ----
    void AddBoard(TBoard* board);
    void RemoveBoard(TBoard* board);
    TBoard* FindBoard(std::string_view path) const;
    const std::vector<IPtr<TBoard>>& Boards() const { return FBoards; }
    void SetUI(IPtr<IHostUI> ui);

    bool Recording() const { return FDepth > 0 && !FUndoing; }
    void Record(TBoardChange change);
    // Undoes the last bracketed change; false when the history is empty.
    bool Undo();
    // Makes the last undone change again; false when nothing was undone since the last change.
    bool Redo();
    std::size_t UndoStepCount() const { return FHistory.size(); }
    std::size_t RedoStepCount() const { return FRedo.size(); }
    const std::vector<TBoardChange>& UndoStep(std::size_t index) const { return FHistory[index]; }
    // Number of closed pre-process/post-process brackets, empty ones included.
    std::int32_t BracketCount() const { return FBracketCount; }
    bool InBracket() const { return FDepth > 0; }

    // ---- IPCB_ServerInterface ----
    IPtr<IPCB_Board> BoardByDocumentPath(const std::string& path) override;
    void PreProcess() override;
    void PostProcess() override;
    IPtr<IUnknown> CreateObject(TObjectId kind) override;
    IPtr<IPCB_Primitive> ObjectFromHandle(std::uint64_t handle) override;
    void DestroyObject(IUnknown* object) override;

private:
    // Takes back the changes of one step, last first; returns the step that puts them back.
    std::vector<TBoardChange> Revert(const std::vector<TBoardChange>& step);
    std::vector<IPtr<TBoard>> FBoards;
    IPtr<IHostUI> FUI;
    std::int32_t FDepth = 0;
    std::int32_t FBracketCount = 0;
    bool FUndoing = false;
    std::vector<TBoardChange> FOpenStep;
    std::vector<std::vector<TBoardChange>> FHistory;
    // Steps undone, the last undone at the back; a new change clears them.
    std::vector<std::vector<TBoardChange>> FRedo;
    // Objects made by CreateObject until destroyed, by handle, so their handles resolve.
    std::unordered_map<std::uint64_t, IPtr<IPCB_Primitive>> FFloating;
};

} // namespace pcbhost

// The PCB editor: boards and their primitives (pads, tracks, arcs, vias, regions, connections),
// nets, components, iterators, layers and the change bracket.
#pragma once

#include "permutor/host/Unknown.h"

#include <bitset>
#include <cstdint>
#include <string>

namespace permutor::host {

// Board coordinates: 10,000,000 units per inch.
using TCoord = std::int32_t;
inline constexpr double cUnitsPerInch = 10'000'000.0;
inline constexpr double cUnitsPerMM = cUnitsPerInch / 25.4;

struct TCoordPoint {
    TCoord X = 0;
    TCoord Y = 0;
    friend constexpr bool operator==(const TCoordPoint&, const TCoordPoint&) = default;
};

struct TCoordRect {
    TCoord Left = 0;
    TCoord Bottom = 0;
    TCoord Right = 0;
    TCoord Top = 0;
    friend constexpr bool operator==(const TCoordRect&, const TCoordRect&) = default;
};

// The host's layer enumeration. Copper: top 1, inner n is n+1, bottom 32.
enum TV6_Layer : std::int32_t {
    eV6_NoLayer = 0,
    eV6_TopLayer = 1,
    eV6_MidLayer1 = 2,
    eV6_MidLayer30 = 31,
    eV6_BottomLayer = 32,
    eV6_TopOverlay = 33,
    eV6_BottomOverlay = 34,
    eV6_TopPaste = 35,
    eV6_BottomPaste = 36,
    eV6_TopSolder = 37,
    eV6_BottomSolder = 38,
    eV6_Mechanical1 = 57,
    eV6_KeepOutLayer = 56,
    eV6_MultiLayer = 74,
    eV6_ConnectLayer = 75,
    eV6_LayerCount = 76,
};

inline constexpr bool Layer_IsCopper(std::int32_t l) {
    return l >= eV6_TopLayer && l <= eV6_BottomLayer;
}

// A set of layers.
class TLayerSet {
public:
    TLayerSet& Include(std::int32_t layer) {
        if (layer >= 0 && layer < eV6_LayerCount)
            FBits.set(std::size_t(layer));
        return *this;
    }
    TLayerSet& Exclude(std::int32_t layer) {
        if (layer >= 0 && layer < eV6_LayerCount)
            FBits.reset(std::size_t(layer));
        return *this;
    }
    bool Contains(std::int32_t layer) const {
        return layer >= 0 && layer < eV6_LayerCount && FBits.test(std::size_t(layer));
    }
    bool Empty() const { return FBits.none(); }
    bool Intersects(const TLayerSet& o) const { return (FBits & o.FBits).any(); }
    static TLayerSet All() {
        TLayerSet s;
        s.FBits.set();
        return s;
    }
    friend bool operator==(const TLayerSet&, const TLayerSet&) = default;

private:
    std::bitset<eV6_LayerCount> FBits;
};

// Kinds of board objects.
enum TObjectId : std::int32_t {
    eNoObject = 0,
    eArcObject = 1,
    ePadObject = 2,
    eViaObject = 3,
    eTrackObject = 4,
    eTextObject = 5,
    eFillObject = 6,
    eConnectionObject = 7,
    eNetObject = 8,
    eComponentObject = 9,
    ePolyObject = 10,
    eRegionObject = 11,
    eComponentBodyObject = 12,
    eDimensionObject = 13,
    eDifferentialPairObject = 14,
    eObjectKindCount = 15,
};

class TObjectSet {
public:
    TObjectSet() = default;
    TObjectSet(std::initializer_list<TObjectId> kinds) {
        for (auto k : kinds)
            Include(k);
    }
    TObjectSet& Include(TObjectId kind) {
        FBits |= std::uint32_t(1) << kind;
        return *this;
    }
    bool Contains(std::int32_t kind) const {
        return kind >= 0 && kind < 32 && (FBits & (std::uint32_t(1) << kind)) != 0;
    }
    static TObjectSet All() {
        TObjectSet s;
        s.FBits = ~std::uint32_t(0);
        return s;
    }

private:
    std::uint32_t FBits = 0;
};

// Component kinds; net ties join nets on purpose and stop the copper search.
enum TComponentKind : std::int32_t {
    eComponentKind_Standard = 0,
    eComponentKind_Mechanical = 1,
    eComponentKind_Graphical = 2,
    eComponentKind_NetTie_BOM = 3,
    eComponentKind_NetTie_NoBOM = 4,
};

// Board display units.
enum TUnit : std::int32_t { eMetric = 0, eImperial = 1 };

class IPCB_Net;
class IPCB_Component;
class IPCB_Board;

// Bits of IPCB_Primitive::ExclusionFlags: copper that searches for connected copper must not
// follow (keep-out copper), and copper the host leaves out of connectivity (a plain hole).
inline constexpr std::uint32_t cPrimitiveExclusion_KeepOut = 1;
inline constexpr std::uint32_t cPrimitiveExclusion_NoConnectivity = 2;

class IPCB_Primitive : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3001}");
    virtual TObjectId ObjectId() = 0;
    virtual IPtr<IPCB_Net> Net() = 0;
    virtual void SetNet(IPCB_Net* net) = 0;
    virtual std::int32_t SubNetNumber() = 0;
    virtual void SetSubNetNumber(std::int32_t n) = 0;
    virtual void BeginModify() = 0;
    virtual void EndModify() = 0;
    virtual TCoordRect BoundingRectangle() = 0;
    virtual TV6_Layer Layer() = 0;
    // Host-specific exclusion flags (cPrimitiveExclusion_...).
    virtual std::uint32_t ExclusionFlags() = 0;
    virtual bool InComponent() = 0;
    virtual IPtr<IPCB_Component> Component() = 0;
    // A value that ObjectFromHandle turns back into this primitive.
    virtual std::uint64_t Handle() = 0;
    virtual IPtr<IPCB_Board> Board() = 0;
    // A short description for lists and messages ("Pad U1-12", "Track 12.3mm on F.Cu").
    virtual std::string Descriptor() = 0;
};

class IPCB_Pad : public IPCB_Primitive {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3002}");
    using TBase = IPCB_Primitive;
    virtual std::string Name() = 0;
    virtual TCoord X() = 0;
    virtual TCoord Y() = 0;
    // Set on pads the host keeps out of the net's sub-nets (e.g. mechanical pads).
    virtual bool ExcludedFromSubNets() = 0;
    // The owner that keeps the pad's centre from ending a connection: empty for pads whose copper
    // can take a connection, the owner's name for pads that cannot (a plain hole).
    virtual std::string OwnerText() = 0;
};

class IPCB_Via : public IPCB_Primitive {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3003}");
    using TBase = IPCB_Primitive;
    virtual TCoord X() = 0;
    virtual TCoord Y() = 0;
    virtual TV6_Layer StartLayer() = 0;
    virtual TV6_Layer StopLayer() = 0;
};

class IPCB_Track : public IPCB_Primitive {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3004}");
    using TBase = IPCB_Primitive;
    virtual TCoord X1() = 0;
    virtual TCoord Y1() = 0;
    virtual TCoord X2() = 0;
    virtual TCoord Y2() = 0;
    virtual TCoord Width() = 0;
};

class IPCB_Arc : public IPCB_Primitive {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3005}");
    using TBase = IPCB_Primitive;
    virtual TCoord XCenter() = 0;
    virtual TCoord YCenter() = 0;
    virtual TCoord Radius() = 0;
    virtual double StartAngle() = 0;
    virtual double EndAngle() = 0;
    virtual TCoordPoint StartPoint() = 0;
    virtual TCoordPoint EndPoint() = 0;
    virtual TCoord Width() = 0;
};

// Offered by board objects that lie on copper layers without being connectable copper; the
// search for touching copper passes them by.
class IPCB_NonConnectingObject : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{342ED991-2EB6-479E-83AF-706CD4F2A261}");
};

// Filled copper (zone fills, regions).
class IPCB_Region : public IPCB_Primitive {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3006}");
    using TBase = IPCB_Primitive;
    virtual std::int32_t OutlinePointCount() = 0;
    virtual TCoordPoint OutlinePoint(std::int32_t index) = 0;
};

// An unrouted connection (a ratsnest line) between two points of one net.
class IPCB_Connection : public IPCB_Primitive {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3007}");
    using TBase = IPCB_Primitive;
    virtual TCoord X1() = 0;
    virtual TCoord Y1() = 0;
    virtual TV6_Layer Layer1() = 0;
    virtual TCoord X2() = 0;
    virtual TCoord Y2() = 0;
    virtual TV6_Layer Layer2() = 0;
    virtual void SetEnds(TCoord x1, TCoord y1, TV6_Layer layer1, TCoord x2, TCoord y2, TV6_Layer layer2) = 0;
};

class IPCB_DifferentialPair : public IPCB_Primitive {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3008}");
    using TBase = IPCB_Primitive;
    virtual std::string Name() = 0;
    virtual IPtr<IPCB_Net> PositiveNet() = 0;
    virtual IPtr<IPCB_Net> NegativeNet() = 0;
};

// Visits primitives one by one; First restarts.
class IPCB_Iterator : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F3009}");
    virtual IPtr<IPCB_Primitive> First() = 0;
    virtual IPtr<IPCB_Primitive> Next() = 0;
};

// A board iterator with filters; the area filter keeps objects whose bounds meet the rectangle.
class IPCB_BoardIterator : public IPCB_Iterator {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F300A}");
    using TBase = IPCB_Iterator;
    virtual void SetFilter_ObjectSet(const TObjectSet& kinds) = 0;
    virtual void SetFilter_LayerSet(const TLayerSet& layers) = 0;
    virtual void SetFilter_Area(const TCoordRect& area) = 0;
};

// One copper island of a net.
class IPCB_SubNetGroup : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F300B}");
    virtual IPtr<IPCB_Iterator> Iterate() = 0;
    virtual std::int32_t PrimitiveCount() = 0;
};

class IPCB_Net : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F300C}");
    virtual std::string Name() = 0;
    virtual bool ConnectionsVisible() = 0;
    virtual void HideConnections() = 0;
    virtual void ShowConnections() = 0;
    // Recomputes the net's islands and its connection objects from its copper.
    virtual void RebuildConnections() = 0;
    virtual void AddPrimitive(IPCB_Primitive* primitive) = 0;
    virtual void RemovePrimitive(IPCB_Primitive* primitive) = 0;
    virtual std::int32_t SubNetGroupCount() = 0;
    virtual IPtr<IPCB_SubNetGroup> SubNetGroup(std::int32_t index) = 0;
    virtual IPtr<IPCB_Iterator> IteratePrimitives() = 0;
    virtual bool InDifferentialPair() = 0;
    virtual IPtr<IPCB_DifferentialPair> DifferentialPair() = 0;
};

class IPCB_Component : public IPCB_Primitive {
public:
    PERMUTOR_INTERFACE_ID("{1974B49C-ED73-484A-B498-EC9A94833087}");
    using TBase = IPCB_Primitive;
    virtual bool PinSwappingEnabled() = 0;
    virtual bool PartSwappingEnabled() = 0;
    virtual void SetPinSwappingEnabled(bool enabled) = 0;
    virtual void SetPartSwappingEnabled(bool enabled) = 0;
    // The pads (and other primitives) of the component, filtered by kind.
    virtual IPtr<IPCB_Iterator> IteratePrimitives(const TObjectSet& kinds) = 0;
    virtual std::string NameText() = 0;
    virtual std::string SourceUniqueId() = 0;
    virtual TComponentKind ComponentKind() = 0;
};

// The host's record of committed pin swaps, used for back-annotation.
class IPCB_PinSwapLog : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F300D}");
    virtual void RecordSwap(IPCB_Pad* padA, IPCB_Pad* padB, IPCB_Net* netA, IPCB_Net* netB) = 0;
};

class IPCB_Board : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F300E}");
    virtual std::string FileName() = 0;

    virtual IPtr<IPCB_BoardIterator> BoardIterator_Create() = 0;
    virtual void BoardIterator_Destroy(IPCB_BoardIterator* iterator) = 0;
    virtual IPtr<IPCB_BoardIterator> SpatialIterator_Create() = 0;
    virtual void SpatialIterator_Destroy(IPCB_BoardIterator* iterator) = 0;

    // Asks the user for a point. False on cancel.
    virtual bool ChooseLocation(TCoord& x, TCoord& y, const std::string& prompt) = 0;
    // The object at a point among the kinds and layers given; asks the user when several qualify.
    virtual IPtr<IPCB_Primitive> ObjectAtLocation(TCoord x, TCoord y, const TObjectSet& kinds,
                                                  const TLayerSet& layers) = 0;
    // The object under the cursor or the current selection.
    virtual IPtr<IPCB_Primitive> CurrentObject(std::int32_t a, std::int32_t b) = 0;
    virtual IPtr<IPCB_Primitive> ComponentInContext(const TObjectSet& kinds, std::int32_t mode) = 0;
    virtual std::int32_t CountInContext(std::int32_t mode) = 0;
    // Least distance between two primitives' copper; below 1 means they touch.
    virtual double PrimPrimDistance(IPCB_Primitive* a, IPCB_Primitive* b) = 0;

    virtual void AddNet(IPCB_Net* net) = 0;
    // Takes a net off the board; its primitives are left without a net.
    virtual void RemoveNet(IPCB_Net* net) = 0;
    virtual void AddPrimitive(IPCB_Primitive* primitive) = 0;
    virtual void RemoveObject(IPCB_Primitive* primitive) = 0;
    virtual void RedrawView() = 0;
    virtual void ViewUpdate(std::int32_t what) = 0;
    virtual void HighlightView_On() = 0;
    virtual TUnit DisplayUnit() = 0;

    virtual void HighlightList_Clear() = 0;
    virtual void HighlightList_Begin() = 0;
    virtual void HighlightList_Add(IPCB_Primitive* primitive) = 0;
    virtual void HighlightList_Show(bool zoom, bool mask) = 0;
    virtual void HighlightList_End() = 0;

    // None when the host keeps no log.
    virtual IPtr<IPCB_PinSwapLog> PinSwapLog() = 0;

    virtual TV6_Layer TopLayer() = 0;
    virtual TV6_Layer BottomLayer() = 0;
    // The copper layers a multi-layer (through-hole) object occupies on this board.
    virtual void LayerSet_IncludeMultiLayer(TLayerSet& set) = 0;
    // The board's copper layers that are shown.
    virtual TLayerSet VisibleLayers() = 0;
};

class IPCB_ServerInterface : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{A3F0C7E2-1B5D-4C69-8A24-6E3B9D0F300F}");
    virtual IPtr<IPCB_Board> BoardByDocumentPath(const std::string& path) = 0;
    // Brackets one undoable change.
    virtual void PreProcess() = 0;
    virtual void PostProcess() = 0;
    // A new object (not yet on a board) of that kind, e.g. a connection or a net.
    virtual IPtr<IUnknown> CreateObject(TObjectId kind) = 0;
    virtual IPtr<IPCB_Primitive> ObjectFromHandle(std::uint64_t handle) = 0;
    virtual void DestroyObject(IUnknown* object) = 0;
};

} // namespace permutor::host

// The board's primitives: what every object shares, and pads, tracks, arcs, vias, regions, connections.
#include "pcbhost/model/Board.h"
#include "pcbhost/model/BoardInternal.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

namespace pcbhost {

using namespace board_detail;

namespace {

// Handles are unique in the process, so ObjectFromHandle never confuses two boards' objects.
std::atomic<std::uint64_t> gNextHandle{1};

TCoord Round(double v) {
    return TCoord(std::lround(v));
}

std::string MM(TCoord v) {
    return fmt::format("{:.3f}mm", v / cUnitsPerMM);
}

std::string LayerName(TV6_Layer layer) {
    if (layer == eV6_TopLayer)
        return "Top";
    if (layer == eV6_BottomLayer)
        return "Bottom";
    if (layer > eV6_TopLayer && layer < eV6_BottomLayer)
        return fmt::format("Mid{}", int(layer) - 1);
    if (layer == eV6_MultiLayer)
        return "MultiLayer";
    if (layer == eV6_ConnectLayer)
        return "Connect";
    return fmt::format("Layer{}", int(layer));
}

} // namespace

// ---------------------------------------------------------------- primitives

TPrimitive::TPrimitive(TObjectId kind) : FKind(kind), FHandle(gNextHandle++) {}
TPrimitive::~TPrimitive() = default;

bool TPrimitive::IsCopper() const {
    switch (FKind) {
    case ePadObject:
    case eTrackObject:
    case eArcObject:
    case eViaObject:
    case eRegionObject:
        return true;
    default:
        return false;
    }
}

void TPrimitive::Touched(bool geometry) {
    FModified = true;
    if (FBoard) {
        FBoard->NoteChange();
        if (geometry)
            FBoard->GeometryChanged();
    }
    if (geometry && FNet && IsCopper())
        FNet->MarkDirty();
}

void TPrimitive::AssignNet(TPcbNet* net) {
    if (net == FNet)
        return;
    IPtr<IPCB_Primitive> keep(Interface());
    TPcbNet* old = FNet;
    if (FBoard && FBoard->Server() && FBoard->Server()->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::eNet;
        c.Board = FBoard;
        c.Primitive = keep;
        c.OldNet = old;
        c.NewNet = net;
        FBoard->Server()->Record(std::move(c));
    }
    if (old)
        old->Detach(this);
    if (net)
        net->Attach(this);
    Touched(false);
}

void TPrimitive::SetLayerValue(TV6_Layer layer) {
    FLayer = layer;
    Touched(true);
}

geo::TShape TPrimitive::Shape() const {
    return geo::Circle({0, 0}, 0);
}

TLayerSet TPrimitive::CopperLayers() const {
    TLayerSet s;
    if (!IsCopper())
        return s;
    if (FLayer == eV6_MultiLayer) {
        if (FBoard)
            return FBoard->CopperSpan(eV6_TopLayer, eV6_BottomLayer);
        return s.Include(eV6_TopLayer).Include(eV6_BottomLayer);
    }
    return s.Include(FLayer);
}

TCoordRect TPrimitive::Bounds() const {
    return RectOf(Shape().Bounds());
}

void TPrimitive::Anchors(std::vector<TAnchor>&) const {}

IPtr<IPCB_Net> TPrimitive::NetInterface() const {
    return IPtr<IPCB_Net>(FNet);
}

void TPrimitive::SetNetFromInterface(IPCB_Net* net) {
    TPcbNet* model = net ? ModelOf(net) : nullptr;
    if (net && !model)
        throw std::invalid_argument("SetNet: the net is not an object of this host");
    AssignNet(model);
}

IPtr<IPCB_Component> TPrimitive::ComponentInterface() const {
    return IPtr<IPCB_Component>(FComponent);
}
IPtr<IPCB_Board> TPrimitive::BoardInterface() const {
    return IPtr<IPCB_Board>(FBoard);
}

void TPrimitive::ModifyEnd() {
    if (FModifyDepth > 0)
        --FModifyDepth;
    ++FModifyCount;
}

TPrimitive* ModelOf(IPCB_Primitive* primitive) {
    return dynamic_cast<TPrimitive*>(primitive);
}
TPcbNet* ModelOf(IPCB_Net* net) {
    return dynamic_cast<TPcbNet*>(net);
}

// ---------------------------------------------------------------- pad

TPad::TPad() : TPrimitiveImpl(ePadObject) {}

void TPad::SetName(std::string name) {
    FName = std::move(name);
    Touched(false);
}

void TPad::SetPosition(TCoord x, TCoord y) {
    FX = x, FY = y;
    Touched(true);
}

void TPad::SetSize(TCoord width, TCoord height) {
    FWidth = width, FHeight = height;
    Touched(true);
}

geo::TShape TPad::Shape() const {
    const double w = FWidth, h = FHeight;
    auto place = [&](double x, double y) {
        geo::TPoint p = geo::Rotate(geo::TPoint(x, y), FRotation);
        return geo::TPoint(p.x() + FX, p.y() + FY);
    };
    auto rect = [&](double hw, double hh) {
        return std::vector<geo::TPoint>{place(-hw, -hh), place(hw, -hh), place(hw, hh), place(-hw, hh)};
    };
    switch (FShape) {
    case ePad_Round:
        return geo::Circle(Pt(FX, FY), std::max(w, h) / 2);
    case ePad_Oval: {
        if (w == h)
            return geo::Circle(Pt(FX, FY), w / 2);
        double r = std::min(w, h) / 2, half = std::max(w, h) / 2 - r;
        return w > h ? geo::Capsule(place(-half, 0), place(half, 0), r)
                     : geo::Capsule(place(0, -half), place(0, half), r);
    }
    case ePad_RoundRect: {
        double r = std::clamp(FRoundRectRatio, 0.0, 0.5) * std::min(w, h);
        double hw = w / 2 - r, hh = h / 2 - r;
        if (hw <= 0 && hh <= 0)
            return geo::Circle(Pt(FX, FY), r);
        if (hw <= 0)
            return geo::Capsule(place(0, -hh), place(0, hh), r);
        if (hh <= 0)
            return geo::Capsule(place(-hw, 0), place(hw, 0), r);
        return geo::PolygonShape(rect(hw, hh), r);
    }
    case ePad_Custom:
        if (FOutline.size() >= 3) {
            std::vector<geo::TPoint> pts;
            for (auto& p : FOutline)
                pts.push_back(place(p.X, p.Y));
            return geo::PolygonShape(pts, 0);
        }
        [[fallthrough]];
    case ePad_Rect:
        break;
    }
    return geo::PolygonShape(rect(w / 2, h / 2), 0);
}

TLayerSet TPad::CopperLayers() const {
    return FCopperOverride ? *FCopperOverride : TPrimitive::CopperLayers();
}

void TPad::Anchors(std::vector<TAnchor>& out) const {
    out.push_back({FX, FY, FLayer});
}

std::string TPad::OwnerText() {
    if (!(FExclusion & cExclusion_NoConnectivity))
        return {};
    return OwnerComponent() ? OwnerComponent()->NameText() : std::string("Board");
}

std::string TPad::Describe() const {
    std::string owner = OwnerComponent() ? OwnerComponent()->NameText() + "-" : std::string();
    return fmt::format("Pad {}{} ({}, {}) on {}", owner, FName, MM(FX), MM(FY), LayerName(FLayer));
}

// ---------------------------------------------------------------- track, arc, via, region, connection

TTrack::TTrack() : TPrimitiveImpl(eTrackObject) {}

void TTrack::SetEnds(TCoordPoint from, TCoordPoint to) {
    FFrom = from, FTo = to;
    Touched(true);
}

void TTrack::SetWidth(TCoord width) {
    FWidth = width;
    Touched(true);
}

geo::TShape TTrack::Shape() const {
    return geo::Capsule(Pt(FFrom.X, FFrom.Y), Pt(FTo.X, FTo.Y), FWidth / 2.0);
}

void TTrack::Anchors(std::vector<TAnchor>& out) const {
    out.push_back({FFrom.X, FFrom.Y, FLayer});
    out.push_back({FTo.X, FTo.Y, FLayer});
}

std::string TTrack::Describe() const {
    return fmt::format("Track ({}, {})-({}, {}) on {}", MM(FFrom.X), MM(FFrom.Y), MM(FTo.X), MM(FTo.Y),
                       LayerName(FLayer));
}

TArc::TArc() : TPrimitiveImpl(eArcObject) {}

void TArc::SetArc(TCoordPoint centre, TCoord radius, double startDegrees, double endDegrees) {
    FCentre = centre, FRadius = radius, FStart = startDegrees, FEnd = endDegrees;
    Touched(true);
}

bool TArc::SetThroughPoints(TCoordPoint start, TCoordPoint mid, TCoordPoint end) {
    geo::TPoint c;
    double r;
    if (!geo::CircleThrough(Pt(start.X, start.Y), Pt(mid.X, mid.Y), Pt(end.X, end.Y), c, r))
        return false;
    double a0 = geo::AngleOf(c, Pt(start.X, start.Y)), am = geo::AngleOf(c, Pt(mid.X, mid.Y)),
           a1 = geo::AngleOf(c, Pt(end.X, end.Y));
    auto sweep = [](double from, double to) { return std::fmod(to - from + 720.0, 360.0); };
    // Angles run counter-clockwise; an arc drawn the other way is the same copper reversed.
    if (sweep(a0, am) <= sweep(a0, a1))
        SetArc({Round(c.x()), Round(c.y())}, Round(r), a0, a1);
    else
        SetArc({Round(c.x()), Round(c.y())}, Round(r), a1, a0);
    return true;
}

void TArc::SetWidth(TCoord width) {
    FWidth = width;
    Touched(true);
}

TCoordPoint TArc::PointAt(double degrees) const {
    double a = degrees * std::acos(-1.0) / 180;
    return {Round(FCentre.X + FRadius * std::cos(a)), Round(FCentre.Y - FRadius * std::sin(a))};
}

TCoordPoint TArc::StartPoint() {
    return PointAt(FStart);
}
TCoordPoint TArc::EndPoint() {
    return PointAt(FEnd);
}

geo::TShape TArc::Shape() const {
    return geo::Polyline(geo::ArcPoints(Pt(FCentre.X, FCentre.Y), FRadius, FStart, FEnd), FWidth / 2.0);
}

void TArc::Anchors(std::vector<TAnchor>& out) const {
    auto a = PointAt(FStart), b = PointAt(FEnd);
    out.push_back({a.X, a.Y, FLayer});
    out.push_back({b.X, b.Y, FLayer});
}

std::string TArc::Describe() const {
    return fmt::format("Arc ({}, {}) radius {} on {}", MM(FCentre.X), MM(FCentre.Y), MM(FRadius),
                       LayerName(FLayer));
}

TVia::TVia() : TPrimitiveImpl(eViaObject) {
    FLayer = eV6_MultiLayer;
}

void TVia::SetPosition(TCoord x, TCoord y) {
    FX = x, FY = y;
    Touched(true);
}

void TVia::SetSize(TCoord diameter, TCoord drill) {
    FSize = diameter, FDrill = drill;
    Touched(true);
}

void TVia::SetSpan(TV6_Layer start, TV6_Layer stop) {
    FStartLayer = start, FStopLayer = stop;
    Touched(true);
}

geo::TShape TVia::Shape() const {
    return geo::Circle(Pt(FX, FY), FSize / 2.0);
}

TLayerSet TVia::CopperLayers() const {
    if (OwnerBoard())
        return OwnerBoard()->CopperSpan(FStartLayer, FStopLayer);
    TLayerSet s;
    for (int l = std::min(FStartLayer, FStopLayer); l <= std::max(FStartLayer, FStopLayer); ++l)
        if (l == eV6_TopLayer || l == eV6_BottomLayer)
            s.Include(l);
    return s.Include(FStartLayer).Include(FStopLayer);
}

void TVia::Anchors(std::vector<TAnchor>& out) const {
    bool through = !OwnerBoard() || (FStartLayer == OwnerBoard()->CopperLayerList().front() &&
                                     FStopLayer == OwnerBoard()->CopperLayerList().back());
    out.push_back({FX, FY, through ? eV6_MultiLayer : FStartLayer});
}

std::string TVia::Describe() const {
    return fmt::format("Via ({}, {}) {}-{}", MM(FX), MM(FY), LayerName(FStartLayer), LayerName(FStopLayer));
}

TRegion::TRegion() : TPrimitiveImpl(eRegionObject) {}

void TRegion::SetOutline(std::vector<TCoordPoint> outline) {
    FOutline = std::move(outline);
    Touched(true);
}

TCoordPoint TRegion::OutlinePoint(std::int32_t index) {
    return index >= 0 && std::size_t(index) < FOutline.size() ? FOutline[std::size_t(index)] : TCoordPoint{};
}

geo::TShape TRegion::Shape() const {
    std::vector<geo::TPoint> pts;
    for (auto& p : FOutline)
        pts.push_back(Pt(p.X, p.Y));
    return geo::PolygonShape(pts, 0);
}

// A fill has no natural end points; an island of fill alone falls back to its corners
// (TPcbNet::Rebuild) so that it still gets a ratsnest line.
void TRegion::Anchors(std::vector<TAnchor>&) const {}

std::string TRegion::Describe() const {
    return fmt::format("Region of {} points on {}", FOutline.size(), LayerName(FLayer));
}

TConnection::TConnection() : TPrimitiveImpl(eConnectionObject) {
    FLayer = eV6_ConnectLayer;
}

void TConnection::SetEnds(TCoord x1, TCoord y1, TV6_Layer layer1, TCoord x2, TCoord y2, TV6_Layer layer2) {
    if (OwnerBoard() && OwnerBoard()->Server() && OwnerBoard()->Server()->Recording() && !FRatsnest) {
        TBoardChange c;
        c.Kind = TBoardChange::eEnds;
        c.Board = OwnerBoard();
        c.Primitive = this;
        c.Ends[0] = FX1, c.Ends[1] = FY1, c.Ends[2] = FX2, c.Ends[3] = FY2;
        c.EndLayers[0] = FLayer1, c.EndLayers[1] = FLayer2;
        OwnerBoard()->Server()->Record(std::move(c));
    }
    FX1 = x1, FY1 = y1, FLayer1 = layer1, FX2 = x2, FY2 = y2, FLayer2 = layer2;
    Touched(true);
}

geo::TShape TConnection::Shape() const {
    return geo::Capsule(Pt(FX1, FY1), Pt(FX2, FY2), 0);
}

std::string TConnection::Describe() const {
    return fmt::format("Connection ({}, {})-({}, {})", MM(FX1), MM(FY1), MM(FX2), MM(FY2));
}

} // namespace pcbhost

#include "pcbhost/model/Board.h"

#include <boost/geometry/index/rtree.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace pcbhost {

namespace bgi = boost::geometry::index;

namespace {

// Handles are unique in the process, so ObjectFromHandle never confuses two boards' objects.
std::atomic<std::uint64_t> gNextHandle{1};

void Retain(TPrimitive* p) {
    p->Interface()->AddRef();
}
void Drop(TPrimitive* p) {
    p->Interface()->Release();
}

geo::TPoint Pt(TCoord x, TCoord y) {
    return {double(x), double(y)};
}

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

TCoordRect RectOf(const geo::TBox& b) {
    return {TCoord(std::floor(b.min_corner().x())), TCoord(std::floor(b.min_corner().y())),
            TCoord(std::ceil(b.max_corner().x())), TCoord(std::ceil(b.max_corner().y()))};
}

geo::TBox BoxOf(const TCoordRect& r) {
    return geo::TBox(Pt(std::min(r.Left, r.Right), std::min(r.Bottom, r.Top)),
                     Pt(std::max(r.Left, r.Right), std::max(r.Bottom, r.Top)));
}

geo::TBox Grown(geo::TBox b, double by) {
    b.min_corner().x(b.min_corner().x() - by);
    b.min_corner().y(b.min_corner().y() - by);
    b.max_corner().x(b.max_corner().x() + by);
    b.max_corner().y(b.max_corner().y() + by);
    return b;
}

// A snapshot list of primitives, walked with First/Next.
class TListIterator : public TUnknownImpl<IPCB_Iterator> {
public:
    explicit TListIterator(std::vector<IPtr<IPCB_Primitive>> items) : FItems(std::move(items)) {}
    IPtr<IPCB_Primitive> First() override {
        FNext = 0;
        return Next();
    }
    IPtr<IPCB_Primitive> Next() override { return FNext < FItems.size() ? FItems[FNext++] : nullptr; }

private:
    std::vector<IPtr<IPCB_Primitive>> FItems;
    std::size_t FNext = 0;
};

std::vector<IPtr<IPCB_Primitive>> Refs(const std::vector<TPrimitive*>& list) {
    std::vector<IPtr<IPCB_Primitive>> r;
    r.reserve(list.size());
    for (auto* p : list)
        r.emplace_back(p->Interface());
    return r;
}

class TSubNetGroup : public TUnknownImpl<IPCB_SubNetGroup> {
public:
    explicit TSubNetGroup(const std::vector<TPrimitive*>& members) : FItems(Refs(members)) {}
    IPtr<IPCB_Iterator> Iterate() override { return MakeObject<TListIterator>(FItems); }
    std::int32_t PrimitiveCount() override { return std::int32_t(FItems.size()); }

private:
    std::vector<IPtr<IPCB_Primitive>> FItems;
};

class TBoardIterator : public TUnknownImpl<IPCB_BoardIterator> {
public:
    explicit TBoardIterator(TBoard* board) : FBoard(board), FKeep(board) {}
    IPtr<IPCB_Primitive> First() override {
        Collect();
        FNext = 0;
        return Next();
    }
    IPtr<IPCB_Primitive> Next() override { return FNext < FItems.size() ? FItems[FNext++] : nullptr; }
    void SetFilter_ObjectSet(const TObjectSet& kinds) override { FKinds = kinds; }
    void SetFilter_LayerSet(const TLayerSet& layers) override { FLayers = layers; }
    void SetFilter_Area(const TCoordRect& area) override {
        FArea = area;
        FHasArea = true;
    }

private:
    void Collect() {
        FItems.clear();
        const TCoordRect* area = FHasArea ? &FArea : nullptr;
        for (TPrimitive* p : FBoard->Query(area))
            if (FKinds.Contains(p->Kind()) && FBoard->OnLayers(p, FLayers))
                FItems.emplace_back(p->Interface());
        if (!FKinds.Contains(eConnectionObject))
            return;
        // The ratsnest is the board's own: computed for every net when asked for.
        geo::TBox box = area ? BoxOf(*area) : geo::TBox();
        for (TPcbNet* net : FBoard->NetList())
            for (TConnection* c : net->Ratsnest()) {
                if (area && !geo::bg::intersects(box, BoxOf({c->X1(), c->Y1(), c->X2(), c->Y2()})))
                    continue;
                if (FBoard->OnLayers(c, FLayers))
                    FItems.emplace_back(c->Interface());
            }
    }
    TBoard* FBoard;
    IPtr<IPCB_Board> FKeep;
    TObjectSet FKinds = TObjectSet::All();
    TLayerSet FLayers = TLayerSet::All();
    TCoordRect FArea;
    bool FHasArea = false;
    std::vector<IPtr<IPCB_Primitive>> FItems;
    std::size_t FNext = 0;
};

struct TUnionFind {
    std::vector<std::size_t> Parent;
    explicit TUnionFind(std::size_t n) : Parent(n) { std::iota(Parent.begin(), Parent.end(), 0); }
    std::size_t Find(std::size_t i) {
        while (Parent[i] != i)
            i = Parent[i] = Parent[Parent[i]];
        return i;
    }
    void Unite(std::size_t a, std::size_t b) {
        a = Find(a), b = Find(b);
        if (a != b)
            Parent[std::max(a, b)] = std::min(a, b);
    }
};

double BoxGap(const geo::TBox& a, const geo::TBox& b) {
    double dx =
        std::max({0.0, a.min_corner().x() - b.max_corner().x(), b.min_corner().x() - a.max_corner().x()});
    double dy =
        std::max({0.0, a.min_corner().y() - b.max_corner().y(), b.min_corner().y() - a.max_corner().y()});
    return std::hypot(dx, dy);
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

// ---------------------------------------------------------------- component

TPcbComponent::TPcbComponent() : TPrimitiveImpl(eComponentObject) {}

TPcbComponent::~TPcbComponent() {
    for (TPad* pad : FPads) {
        if (pad->FComponent == this)
            pad->FComponent = nullptr;
        Drop(pad);
    }
}

void TPcbComponent::AddPad(TPad* pad) {
    Retain(pad);
    pad->FComponent = this;
    FPads.push_back(pad);
    Touched(true);
}

TPad* TPcbComponent::FindPad(std::string_view name) const {
    for (TPad* pad : FPads)
        if (pad->Name() == name)
            return pad;
    return nullptr;
}

void TPcbComponent::SetSwitch(bool pin, bool value, bool record) {
    bool& field = pin ? FPinSwapping : FPartSwapping;
    if (field == value)
        return;
    TBoard* board = OwnerBoard();
    if (record && board && board->Server() && board->Server()->Recording()) {
        TBoardChange c;
        c.Kind = pin ? TBoardChange::ePinSwitch : TBoardChange::ePartSwitch;
        c.Board = board;
        c.Primitive = this;
        c.OldValue = field;
        board->Server()->Record(std::move(c));
    }
    field = value;
    Touched(false);
}

void TPcbComponent::SetPinSwappingEnabled(bool enabled) {
    SetSwitch(true, enabled, true);
}
void TPcbComponent::SetPartSwappingEnabled(bool enabled) {
    SetSwitch(false, enabled, true);
}

IPtr<IPCB_Iterator> TPcbComponent::IteratePrimitives(const TObjectSet& kinds) {
    std::vector<IPtr<IPCB_Primitive>> items;
    for (TPad* pad : FPads)
        if (kinds.Contains(pad->Kind()))
            items.emplace_back(pad);
    return MakeObject<TListIterator>(std::move(items));
}

TCoordRect TPcbComponent::Bounds() const {
    if (FPads.empty())
        return {};
    geo::TBox box = FPads.front()->Shape().Bounds();
    for (TPad* pad : FPads)
        geo::bg::expand(box, pad->Shape().Bounds());
    return RectOf(box);
}

std::string TPcbComponent::Describe() const {
    return "Component " + FNameText;
}

// ---------------------------------------------------------------- differential pairs

TPcbDifferentialPair::TPcbDifferentialPair(std::string name, TPcbNet* positive, TPcbNet* negative)
    : TPrimitiveImpl(eDifferentialPairObject), FName(std::move(name)), FPositive(positive),
      FNegative(negative) {}

IPtr<IPCB_Net> TPcbDifferentialPair::PositiveNet() {
    return IPtr<IPCB_Net>(FPositive);
}
IPtr<IPCB_Net> TPcbDifferentialPair::NegativeNet() {
    return IPtr<IPCB_Net>(FNegative);
}

bool DifferentialPair_Split(std::string_view name, std::string& stem, bool& positive, std::string& partner) {
    std::size_t cut;
    std::string_view other;
    if (name.size() > 2 && (name.ends_with("_P") || name.ends_with("_N"))) {
        positive = name.back() == 'P';
        cut = 2;
        other = positive ? "_N" : "_P";
    } else if (name.size() > 1 && (name.back() == '+' || name.back() == '-')) {
        positive = name.back() == '+';
        cut = 1;
        other = positive ? "-" : "+";
    } else {
        return false;
    }
    stem = std::string(name.substr(0, name.size() - cut));
    partner = stem + std::string(other);
    return true;
}

// ---------------------------------------------------------------- net

TPcbNet::TPcbNet(std::string name) : FName(std::move(name)) {}

TPcbNet::~TPcbNet() {
    DropRatsnest();
    for (TPrimitive* p : FMembers) {
        if (p->FNet == this)
            p->FNet = nullptr;
        Drop(p);
    }
}

void TPcbNet::SetName(std::string name) {
    FName = std::move(name);
    if (FBoard)
        FBoard->NetsChanged();
}

void TPcbNet::Attach(TPrimitive* p) {
    Retain(p);
    p->FNet = this;
    FMembers.push_back(p);
    FDirty = true;
}

void TPcbNet::Detach(TPrimitive* p) {
    auto it = std::find(FMembers.begin(), FMembers.end(), p);
    if (it == FMembers.end())
        return;
    FMembers.erase(it);
    p->FNet = nullptr;
    FDirty = true;
    Drop(p);
}

void TPcbNet::DropRatsnest() {
    for (TConnection* c : FRatsnest) {
        c->FNet = nullptr;
        c->FBoard = nullptr;
        Drop(c);
    }
    FRatsnest.clear();
}

const std::vector<std::vector<TPrimitive*>>& TPcbNet::Islands() {
    if (FDirty)
        Rebuild();
    return FIslands;
}

const std::vector<TConnection*>& TPcbNet::Ratsnest() {
    if (FDirty)
        Rebuild();
    return FRatsnest;
}

void TPcbNet::RebuildConnections() {
    FDirty = true;
    Rebuild();
}

void TPcbNet::Rebuild() {
    FDirty = false;
    ++FRebuildCount;
    FIslands.clear();
    FGroups.clear();
    DropRatsnest();

    std::vector<TPrimitive*> copper;
    for (TPrimitive* p : FMembers)
        if (p->IsCopper())
            copper.push_back(p);
    const std::size_t n = copper.size();
    std::vector<geo::TShape> shapes(n);
    std::vector<TLayerSet> layers(n);
    using TValue = std::pair<geo::TBox, std::size_t>;
    std::vector<TValue> boxes(n);
    for (std::size_t i = 0; i < n; ++i) {
        shapes[i] = copper[i]->Shape();
        layers[i] = copper[i]->CopperLayers();
        boxes[i] = {shapes[i].Bounds(), i};
    }

    // Copper touches when it shares a layer and the outlines come within one unit.
    TUnionFind uf(n);
    bgi::rtree<TValue, bgi::quadratic<16>> tree(boxes.begin(), boxes.end());
    std::vector<TValue> hits;
    for (std::size_t i = 0; i < n; ++i) {
        hits.clear();
        tree.query(bgi::intersects(Grown(boxes[i].first, 1.0)), std::back_inserter(hits));
        for (auto& [box, j] : hits)
            if (j > i && uf.Find(i) != uf.Find(j) && layers[i].Intersects(layers[j]) &&
                geo::Distance(shapes[i], shapes[j]) < 1.0)
                uf.Unite(i, j);
    }
    std::vector<std::size_t> islandOf(n, SIZE_MAX);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t root = uf.Find(i);
        if (islandOf[root] == SIZE_MAX) {
            islandOf[root] = FIslands.size();
            FIslands.emplace_back();
        }
        FIslands[islandOf[root]].push_back(copper[i]);
    }
    for (auto& island : FIslands)
        FGroups.push_back(MakeObject<TSubNetGroup>(island));

    // Ratsnest: Prim's algorithm over the islands; the distance of two islands is the least
    // distance between their anchor points.
    const std::size_t k = FIslands.size();
    if (k < 2)
        return;
    using TAnchorValue = std::pair<geo::TPoint, std::size_t>;
    struct TIslandAnchors {
        std::vector<TAnchor> Points;
        bgi::rtree<TAnchorValue, bgi::quadratic<16>> Tree;
        geo::TBox Box;
    };
    std::vector<TIslandAnchors> anchors(k);
    for (std::size_t i = 0; i < k; ++i) {
        auto& a = anchors[i];
        for (TPrimitive* p : FIslands[i])
            p->Anchors(a.Points);
        if (a.Points.empty())
            for (TPrimitive* p : FIslands[i])
                if (auto* region = dynamic_cast<TRegion*>(p))
                    for (auto& q : region->Outline())
                        a.Points.push_back({q.X, q.Y, region->LayerValue()});
        if (a.Points.empty()) {
            auto r = FIslands[i].front()->Bounds();
            a.Points.push_back(
                {(r.Left + r.Right) / 2, (r.Bottom + r.Top) / 2, FIslands[i].front()->LayerValue()});
        }
        std::vector<TAnchorValue> values;
        for (std::size_t j = 0; j < a.Points.size(); ++j)
            values.emplace_back(Pt(a.Points[j].X, a.Points[j].Y), j);
        a.Tree = bgi::rtree<TAnchorValue, bgi::quadratic<16>>(values.begin(), values.end());
        a.Box = geo::bg::return_envelope<geo::TBox>(a.Tree.bounds());
    }
    struct TEdge {
        double Length = std::numeric_limits<double>::infinity();
        std::size_t From = 0, A = 0, B = 0; // island From's anchor A, this island's anchor B
    };
    auto between = [&](std::size_t from, std::size_t to) {
        TEdge e;
        e.From = from;
        bool swap = anchors[from].Points.size() > anchors[to].Points.size();
        auto& few = anchors[swap ? to : from];
        auto& many = anchors[swap ? from : to];
        std::vector<TAnchorValue> nearest;
        for (std::size_t i = 0; i < few.Points.size(); ++i) {
            geo::TPoint p = Pt(few.Points[i].X, few.Points[i].Y);
            nearest.clear();
            many.Tree.query(bgi::nearest(p, 1), std::back_inserter(nearest));
            double d = geo::bg::distance(p, nearest.front().first);
            if (d < e.Length) {
                e.Length = d;
                e.A = swap ? nearest.front().second : i;
                e.B = swap ? i : nearest.front().second;
            }
        }
        return e;
    };
    std::vector<bool> inTree(k, false);
    std::vector<TEdge> best(k);
    inTree[0] = true;
    for (std::size_t j = 1; j < k; ++j)
        best[j] = between(0, j);
    for (std::size_t added = 1; added < k; ++added) {
        std::size_t next = SIZE_MAX;
        for (std::size_t j = 0; j < k; ++j)
            if (!inTree[j] && (next == SIZE_MAX || best[j].Length < best[next].Length))
                next = j;
        inTree[next] = true;
        const TEdge& e = best[next];
        const TAnchor& a = anchors[e.From].Points[e.A];
        const TAnchor& b = anchors[next].Points[e.B];
        auto* c = new TConnection();
        c->FRatsnest = true;
        c->FX1 = a.X, c->FY1 = a.Y, c->FLayer1 = a.Layer;
        c->FX2 = b.X, c->FY2 = b.Y, c->FLayer2 = b.Layer;
        Retain(c);
        c->FNet = this;
        c->FBoard = FBoard;
        FRatsnest.push_back(c);
        for (std::size_t j = 0; j < k; ++j)
            if (!inTree[j] && BoxGap(anchors[next].Box, anchors[j].Box) < best[j].Length) {
                TEdge candidate = between(next, j);
                if (candidate.Length < best[j].Length)
                    best[j] = candidate;
            }
    }
}

void TPcbNet::AddPrimitive(IPCB_Primitive* primitive) {
    TPrimitive* p = ModelOf(primitive);
    if (!p)
        throw std::invalid_argument("AddPrimitive: the primitive is not an object of this host");
    IPtr<IPCB_Primitive> keep(primitive);
    p->AssignNet(this);
    if (FBoard && !p->OwnerBoard())
        FBoard->Place(p);
}

void TPcbNet::RemovePrimitive(IPCB_Primitive* primitive) {
    TPrimitive* p = ModelOf(primitive);
    if (p && p->OwnerNet() == this)
        p->AssignNet(nullptr);
}

std::int32_t TPcbNet::SubNetGroupCount() {
    Islands();
    return std::int32_t(FGroups.size());
}

IPtr<IPCB_SubNetGroup> TPcbNet::SubNetGroup(std::int32_t index) {
    Islands();
    return index >= 0 && std::size_t(index) < FGroups.size() ? FGroups[std::size_t(index)] : nullptr;
}

IPtr<IPCB_Iterator> TPcbNet::IteratePrimitives() {
    return MakeObject<TListIterator>(Refs(FMembers));
}

bool TPcbNet::InDifferentialPair() {
    return FBoard && FBoard->PairOf(this);
}

IPtr<IPCB_DifferentialPair> TPcbNet::DifferentialPair() {
    return IPtr<IPCB_DifferentialPair>(FBoard ? FBoard->PairOf(this) : nullptr);
}

// ---------------------------------------------------------------- swap log

void TPinSwapLog::RecordSwap(IPCB_Pad* padA, IPCB_Pad* padB, IPCB_Net* netA, IPCB_Net* netB) {
    auto padName = [](IPCB_Pad* pad) {
        if (!pad)
            return std::string();
        auto component = pad->Component();
        return component ? component->NameText() + "-" + pad->Name() : pad->Name();
    };
    auto netName = [](IPCB_Net* net) { return net ? net->Name() : std::string(); };
    auto componentName = [](IPCB_Pad* pad) {
        auto component = pad ? pad->Component() : nullptr;
        return component ? component->NameText() : std::string();
    };
    FEntries.push_back({padName(padA), padName(padB), netName(netA), netName(netB), componentName(padA),
                        componentName(padB), padA ? padA->Name() : std::string(),
                        padB ? padB->Name() : std::string()});
}

// ---------------------------------------------------------------- board

struct TBoard::TSpatialIndex {
    using TValue = std::pair<geo::TBox, std::size_t>;
    bgi::rtree<TValue, bgi::quadratic<16>> Tree;
};

TBoard::TBoard(std::string path) : FPath(std::move(path)), FSwapLog(MakeObject<TPinSwapLog>()) {}

TBoard::~TBoard() {
    FPairs.clear();
    for (TPcbNet* net : FNets) {
        net->DropRatsnest();
        net->FBoard = nullptr;
    }
    for (TPrimitive* p : FPrimitives)
        p->FBoard = nullptr;
    auto primitives = std::move(FPrimitives);
    for (TPrimitive* p : primitives)
        Drop(p);
    auto nets = std::move(FNets);
    for (TPcbNet* net : nets)
        net->Release();
}

void TBoard::SetCopperLayers(std::vector<TV6_Layer> layers) {
    std::sort(layers.begin(), layers.end());
    layers.erase(std::unique(layers.begin(), layers.end()), layers.end());
    if (layers.empty())
        layers = {eV6_TopLayer, eV6_BottomLayer};
    FCopperLayers = std::move(layers);
    for (TPcbNet* net : FNets)
        net->MarkDirty();
    FSpatialDirty = true;
}

void TBoard::SetCopperLayerCount(std::int32_t count) {
    std::vector<TV6_Layer> layers{eV6_TopLayer};
    for (std::int32_t i = 1; i + 1 < count && i <= 30; ++i)
        layers.push_back(TV6_Layer(eV6_TopLayer + i));
    layers.push_back(eV6_BottomLayer);
    SetCopperLayers(std::move(layers));
}

TLayerSet TBoard::CopperSpan(TV6_Layer start, TV6_Layer stop) const {
    if (start > stop)
        std::swap(start, stop);
    TLayerSet s;
    for (TV6_Layer l : FCopperLayers)
        if (l >= start && l <= stop)
            s.Include(l);
    return s;
}

TPcbNet* TBoard::FindNet(std::string_view name) const {
    for (TPcbNet* net : FNets)
        if (net->FName == name)
            return net;
    return nullptr;
}

TPcbNet& TBoard::EnsureNet(const std::string& name) {
    if (TPcbNet* net = FindNet(name))
        return *net;
    auto net = MakeObject<TPcbNet>(name);
    PlaceNet(net.get());
    return *net;
}

void TBoard::PlaceNet(TPcbNet* net) {
    if (!net || net->FBoard == this)
        return;
    if (net->FBoard)
        net->FBoard->UnplaceNet(net);
    if (FServer && FServer->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::eNetPlace;
        c.Board = this;
        c.NewNet = net;
        FServer->Record(std::move(c));
    }
    net->AddRef();
    net->FBoard = this;
    net->FDirty = true;
    FNets.push_back(net);
    FPairsDirty = true;
    NoteChange();
}

void TBoard::UnplaceNet(TPcbNet* net) {
    auto it = std::find(FNets.begin(), FNets.end(), net);
    if (it == FNets.end())
        return;
    IPtr<IPCB_Net> keep(net);
    if (FServer && FServer->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::eNetUnplace;
        c.Board = this;
        c.NewNet = net;
        FServer->Record(std::move(c));
    }
    auto members = net->FMembers;
    for (TPrimitive* p : members)
        p->AssignNet(nullptr);
    net->DropRatsnest();
    net->FBoard = nullptr;
    FNets.erase(std::find(FNets.begin(), FNets.end(), net));
    FPairsDirty = true;
    NoteChange();
    net->Release();
}

void TBoard::Place(TPrimitive* p) {
    if (!p || p->FBoard == this)
        return;
    IPtr<IPCB_Primitive> keep(p->Interface());
    if (p->FBoard)
        p->FBoard->Unplace(p);
    if (FServer && FServer->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::ePlace;
        c.Board = this;
        c.Primitive = keep;
        FServer->Record(std::move(c));
    }
    Retain(p);
    p->FBoard = this;
    FPrimitives.push_back(p);
    FByHandle[p->HandleValue()] = p;
    if (!p->SourceId().empty())
        std::erase(FRemovedSourceIds, p->SourceId());
    FSpatialDirty = true;
    NoteChange();
    if (p->FNet)
        p->FNet->MarkDirty();
    if (auto* component = dynamic_cast<TPcbComponent*>(p))
        for (TPad* pad : component->Pads())
            Place(pad);
}

void TBoard::Unplace(TPrimitive* p) {
    auto it = std::find(FPrimitives.begin(), FPrimitives.end(), p);
    if (it == FPrimitives.end())
        return;
    IPtr<IPCB_Primitive> keep(p->Interface());
    if (auto* component = dynamic_cast<TPcbComponent*>(p))
        for (TPad* pad : component->Pads())
            Unplace(pad);
    if (FServer && FServer->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::eUnplace;
        c.Board = this;
        c.Primitive = keep;
        c.OldNet = p->FNet;
        FServer->Record(std::move(c));
    }
    if (p->FNet)
        p->FNet->Detach(p);
    if (!p->SourceId().empty())
        FRemovedSourceIds.push_back(p->SourceId());
    p->FBoard = nullptr;
    FPrimitives.erase(std::find(FPrimitives.begin(), FPrimitives.end(), p));
    FByHandle.erase(p->HandleValue());
    if (FCurrentObject == p)
        FCurrentObject = nullptr;
    std::erase(FContext, p);
    FSpatialDirty = true;
    NoteChange();
    Drop(p);
}

void TBoard::ClearModifiedFlags() {
    FModified = false;
    for (TPrimitive* p : FPrimitives)
        p->ClearModified();
}

std::vector<TPcbComponent*> TBoard::ComponentList() const {
    std::vector<TPcbComponent*> r;
    for (TPrimitive* p : FPrimitives)
        if (auto* c = dynamic_cast<TPcbComponent*>(p))
            r.push_back(c);
    return r;
}

TPcbComponent* TBoard::FindComponent(std::string_view designator) const {
    for (TPrimitive* p : FPrimitives)
        if (auto* c = dynamic_cast<TPcbComponent*>(p); c && c->NameText() == designator)
            return c;
    return nullptr;
}

TPrimitive* TBoard::FindByHandle(std::uint64_t handle) const {
    if (auto it = FByHandle.find(handle); it != FByHandle.end())
        return it->second;
    for (TPcbNet* net : FNets)
        for (TConnection* c : net->FRatsnest)
            if (c->HandleValue() == handle)
                return c;
    return nullptr;
}

void TBoard::RebuildPairs() {
    FPairsDirty = false;
    std::vector<IPtr<IPCB_DifferentialPair>> pairs;
    for (TPcbNet* net : FNets) {
        std::string stem, partnerName;
        bool positive;
        if (!DifferentialPair_Split(net->FName, stem, positive, partnerName) || !positive)
            continue;
        TPcbNet* partner = FindNet(partnerName);
        if (!partner)
            continue;
        // Keep the object of a pair that still exists: the module compares pairs by identity.
        IPtr<IPCB_DifferentialPair> pair;
        for (auto& old : FPairs) {
            auto* o = static_cast<TPcbDifferentialPair*>(old.get());
            if (o->Positive() == net && o->Negative() == partner && o->Name() == stem)
                pair = old;
        }
        if (!pair)
            pair = MakeObject<TPcbDifferentialPair>(stem, net, partner);
        pairs.push_back(pair);
    }
    FPairs = std::move(pairs);
}

TPcbDifferentialPair* TBoard::PairOf(const TPcbNet* net) {
    if (FPairsDirty)
        RebuildPairs();
    for (auto& p : FPairs) {
        auto* pair = static_cast<TPcbDifferentialPair*>(p.get());
        if (pair->Positive() == net || pair->Negative() == net)
            return pair;
    }
    return nullptr;
}

std::vector<TPcbDifferentialPair*> TBoard::PairList() {
    if (FPairsDirty)
        RebuildPairs();
    std::vector<TPcbDifferentialPair*> r;
    for (auto& p : FPairs)
        r.push_back(static_cast<TPcbDifferentialPair*>(p.get()));
    return r;
}

const std::vector<TSwapLogEntry>& TBoard::SwapLog() const {
    return FSwapLog->Entries();
}

std::vector<TPrimitive*> TBoard::Query(const TCoordRect* area) {
    if (!area)
        return FPrimitives;
    if (FSpatialDirty || !FSpatial) {
        std::vector<TSpatialIndex::TValue> values;
        values.reserve(FPrimitives.size());
        for (std::size_t i = 0; i < FPrimitives.size(); ++i)
            values.emplace_back(BoxOf(FPrimitives[i]->Bounds()), i);
        FSpatial = std::make_unique<TSpatialIndex>();
        FSpatial->Tree = decltype(FSpatial->Tree)(values.begin(), values.end());
        FSpatialDirty = false;
    }
    std::vector<TSpatialIndex::TValue> hits;
    FSpatial->Tree.query(bgi::intersects(BoxOf(*area)), std::back_inserter(hits));
    std::sort(hits.begin(), hits.end(), [](auto& a, auto& b) { return a.second < b.second; });
    std::vector<TPrimitive*> r;
    r.reserve(hits.size());
    for (auto& h : hits)
        r.push_back(FPrimitives[h.second]);
    return r;
}

bool TBoard::OnLayers(TPrimitive* p, const TLayerSet& layers) const {
    return layers.Contains(p->LayerValue()) || p->CopperLayers().Intersects(layers);
}

// Both iterators filter the same way; the spatial one is meant to get an area filter, which
// the R-tree answers.
IPtr<IPCB_BoardIterator> TBoard::BoardIterator_Create() {
    return MakeObject<TBoardIterator>(this);
}
IPtr<IPCB_BoardIterator> TBoard::SpatialIterator_Create() {
    return MakeObject<TBoardIterator>(this);
}

bool TBoard::ChooseLocation(TCoord& x, TCoord& y, const std::string& prompt) {
    return FUI && FUI->ChooseLocation(prompt, x, y);
}

IPtr<IPCB_Primitive> TBoard::ObjectAtLocation(TCoord x, TCoord y, const TObjectSet& kinds,
                                              const TLayerSet& layers) {
    TCoordRect probe{x, y, x, y};
    std::vector<TPrimitive*> hits;
    for (TPrimitive* p : Query(&probe)) {
        if (!kinds.Contains(p->Kind()) || !OnLayers(p, layers))
            continue;
        if (p->Kind() == eComponentObject || geo::Distance(p->Shape(), Pt(x, y)) < 1.0)
            hits.push_back(p);
    }
    if (hits.empty())
        return nullptr;
    if (hits.size() == 1)
        return IPtr<IPCB_Primitive>(hits.front()->Interface());
    if (!FUI)
        return nullptr;
    std::vector<std::string> names;
    for (TPrimitive* p : hits)
        names.push_back(p->Describe());
    std::int32_t chosen = FUI->ChooseAmong("Choose an object", names);
    if (chosen < 0 || std::size_t(chosen) >= hits.size())
        return nullptr;
    return IPtr<IPCB_Primitive>(hits[std::size_t(chosen)]->Interface());
}

IPtr<IPCB_Primitive> TBoard::CurrentObject(std::int32_t, std::int32_t) {
    return FCurrentObject ? IPtr<IPCB_Primitive>(FCurrentObject->Interface()) : nullptr;
}

IPtr<IPCB_Primitive> TBoard::ComponentInContext(const TObjectSet& kinds, std::int32_t) {
    for (TPrimitive* p : FContext)
        if (kinds.Contains(p->Kind()))
            return IPtr<IPCB_Primitive>(p->Interface());
    return nullptr;
}

std::int32_t TBoard::CountInContext(std::int32_t) {
    return std::int32_t(FContext.size());
}

double TBoard::PrimPrimDistance(IPCB_Primitive* a, IPCB_Primitive* b) {
    TPrimitive* pa = a ? ModelOf(a) : nullptr;
    TPrimitive* pb = b ? ModelOf(b) : nullptr;
    if (!pa || !pb)
        return std::numeric_limits<double>::max();
    double d = geo::Distance(pa->Shape(), pb->Shape());
    // Copper on different layers never touches, however close it lies in the plane.
    if (pa->IsCopper() && pb->IsCopper() && !pa->CopperLayers().Intersects(pb->CopperLayers()))
        return std::max(d, 1.0);
    return d;
}

void TBoard::AddNet(IPCB_Net* net) {
    TPcbNet* model = net ? ModelOf(net) : nullptr;
    if (net && !model)
        throw std::invalid_argument("AddNet: the net is not an object of this host");
    PlaceNet(model);
}

void TBoard::RemoveNet(IPCB_Net* net) {
    if (TPcbNet* model = net ? ModelOf(net) : nullptr)
        UnplaceNet(model);
}

void TBoard::AddPrimitive(IPCB_Primitive* primitive) {
    TPrimitive* p = primitive ? ModelOf(primitive) : nullptr;
    if (primitive && !p)
        throw std::invalid_argument("AddPrimitive: the primitive is not an object of this host");
    Place(p);
}

void TBoard::RemoveObject(IPCB_Primitive* primitive) {
    if (TPrimitive* p = primitive ? ModelOf(primitive) : nullptr)
        Unplace(p);
}

void TBoard::HighlightList_Add(IPCB_Primitive* primitive) {
    if (primitive)
        FHighlightList.emplace_back(primitive);
}

void TBoard::HighlightList_Show(bool zoom, bool mask) {
    FHighlightShows.push_back({FHighlightList, zoom, mask});
    if (!FUI)
        return;
    std::vector<std::uintptr_t> ids;
    for (auto& p : FHighlightList)
        ids.push_back(ObjectIdentity(p.get()));
    FUI->Highlight_Show(ids);
}

IPtr<IPCB_PinSwapLog> TBoard::PinSwapLog() {
    return FSwapLog;
}

void TBoard::LayerSet_IncludeMultiLayer(TLayerSet& set) {
    for (TV6_Layer l : FCopperLayers)
        set.Include(l);
}

TLayerSet TBoard::VisibleLayers() {
    if (FVisibleLayersSet)
        return FVisibleLayers;
    TLayerSet s;
    LayerSet_IncludeMultiLayer(s);
    return s.Include(eV6_MultiLayer).Include(eV6_ConnectLayer);
}

// ---------------------------------------------------------------- server

TPcbServer::TPcbServer() = default;
TPcbServer::~TPcbServer() {
    for (auto& b : FBoards)
        b->SetServer(nullptr);
}

void TPcbServer::AddBoard(TBoard* board) {
    if (!board || FindBoard(board->Path()) == board)
        return;
    board->SetServer(this);
    board->SetUI(FUI);
    FBoards.emplace_back(board);
}

void TPcbServer::RemoveBoard(TBoard* board) {
    std::erase_if(FBoards, [&](auto& b) { return b.get() == board; });
    if (board)
        board->SetServer(nullptr);
}

TBoard* TPcbServer::FindBoard(std::string_view path) const {
    for (auto& b : FBoards)
        if (b->Path() == path)
            return b.get();
    return nullptr;
}

void TPcbServer::SetUI(IPtr<IHostUI> ui) {
    FUI = std::move(ui);
    for (auto& b : FBoards)
        b->SetUI(FUI);
}

void TPcbServer::Record(TBoardChange change) {
    if (Recording())
        FOpenStep.push_back(std::move(change));
}

void TPcbServer::PreProcess() {
    ++FDepth;
}

void TPcbServer::PostProcess() {
    if (FDepth == 0)
        return;
    if (--FDepth > 0)
        return;
    ++FBracketCount;
    if (!FOpenStep.empty())
        FHistory.push_back(std::move(FOpenStep));
    FOpenStep.clear();
}

bool TPcbServer::Undo() {
    if (FHistory.empty() || FDepth > 0)
        return false;
    auto step = std::move(FHistory.back());
    FHistory.pop_back();
    FUndoing = true;
    for (auto it = step.rbegin(); it != step.rend(); ++it) {
        auto* board = dynamic_cast<TBoard*>(it->Board.get());
        TPrimitive* p = it->Primitive ? ModelOf(it->Primitive.get()) : nullptr;
        TPcbNet* oldNet = it->OldNet ? ModelOf(it->OldNet.get()) : nullptr;
        TPcbNet* newNet = it->NewNet ? ModelOf(it->NewNet.get()) : nullptr;
        switch (it->Kind) {
        case TBoardChange::eNet:
            p->AssignNet(oldNet);
            break;
        case TBoardChange::ePlace:
            board->Unplace(p);
            break;
        case TBoardChange::eUnplace:
            board->Place(p);
            p->AssignNet(oldNet);
            break;
        case TBoardChange::eNetPlace:
            board->UnplaceNet(newNet);
            break;
        case TBoardChange::eNetUnplace:
            board->PlaceNet(newNet);
            break;
        case TBoardChange::ePinSwitch:
        case TBoardChange::ePartSwitch:
            static_cast<TPcbComponent*>(p)->SetSwitch(it->Kind == TBoardChange::ePinSwitch, it->OldValue,
                                                      false);
            break;
        case TBoardChange::eEnds:
            static_cast<TConnection*>(p)->SetEnds(it->Ends[0], it->Ends[1], it->EndLayers[0], it->Ends[2],
                                                  it->Ends[3], it->EndLayers[1]);
            break;
        }
    }
    FUndoing = false;
    return true;
}

IPtr<IPCB_Board> TPcbServer::BoardByDocumentPath(const std::string& path) {
    return IPtr<IPCB_Board>(FindBoard(path));
}

IPtr<IUnknown> TPcbServer::CreateObject(TObjectId kind) {
    IPtr<IPCB_Primitive> p;
    switch (kind) {
    case eConnectionObject:
        p = MakeObject<TConnection>();
        break;
    case eTrackObject:
        p = MakeObject<TTrack>();
        break;
    case eArcObject:
        p = MakeObject<TArc>();
        break;
    case eViaObject:
        p = MakeObject<TVia>();
        break;
    case ePadObject:
        p = MakeObject<TPad>();
        break;
    case eRegionObject:
        p = MakeObject<TRegion>();
        break;
    case eNetObject:
        return permutor::host::QueryInterface<IUnknown>(MakeObject<TPcbNet>(""));
    default:
        return nullptr;
    }
    FFloating.push_back(p);
    return permutor::host::QueryInterface<IUnknown>(p);
}

IPtr<IPCB_Primitive> TPcbServer::ObjectFromHandle(std::uint64_t handle) {
    for (auto& b : FBoards)
        if (TPrimitive* p = b->FindByHandle(handle))
            return IPtr<IPCB_Primitive>(p->Interface());
    for (auto& p : FFloating)
        if (p->Handle() == handle)
            return p;
    return nullptr;
}

void TPcbServer::DestroyObject(IUnknown* object) {
    if (auto primitive = permutor::host::QueryInterface<IPCB_Primitive>(object)) {
        if (TPrimitive* p = ModelOf(primitive.get())) {
            if (p->OwnerBoard())
                p->OwnerBoard()->Unplace(p);
            p->AssignNet(nullptr);
        }
        std::erase(FFloating, primitive);
    } else if (auto net = permutor::host::QueryInterface<IPCB_Net>(object)) {
        if (TPcbNet* n = ModelOf(net.get()); n && n->OwnerBoard())
            n->OwnerBoard()->UnplaceNet(n);
    }
}

} // namespace pcbhost

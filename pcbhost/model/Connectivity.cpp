// A net's connectivity: its copper islands (sub-net groups) and the ratsnest that joins them.
#include "pcbhost/model/Board.h"
#include "pcbhost/model/BoardInternal.h"
#include "pcbhost/model/RatsnestSpan.h"

#include <boost/geometry/index/rtree.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace pcbhost {

using namespace board_detail;

namespace bgi = boost::geometry::index;

namespace {

geo::TBox Grown(geo::TBox b, double by) {
    b.min_corner().x(b.min_corner().x() - by);
    b.min_corner().y(b.min_corner().y() - by);
    b.max_corner().x(b.max_corner().x() + by);
    b.max_corner().y(b.max_corner().y() + by);
    return b;
}

class TSubNetGroup : public TUnknownImpl<IPCB_SubNetGroup> {
public:
    explicit TSubNetGroup(const std::vector<TPrimitive*>& members) : FItems(Refs(members)) {}
    IPtr<IPCB_Iterator> Iterate() override { return MakeObject<TListIterator>(FItems); }
    std::int32_t PrimitiveCount() override { return std::int32_t(FItems.size()); }

private:
    std::vector<IPtr<IPCB_Primitive>> FItems;
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

} // namespace

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
    Compact();
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
    // distance between their anchor points. An island of zone fill alone (a fill piece cut off
    // from every pad, or one whose vias were removed) is no connection to make: KiCad draws no
    // ratsnest line to it either, and a line to an arbitrary point of a fill would mislead.
    std::vector<std::size_t> joined;
    for (std::size_t i = 0; i < FIslands.size(); ++i)
        if (std::any_of(FIslands[i].begin(), FIslands[i].end(),
                        [](TPrimitive* p) { return p->Kind() != eRegionObject; }))
            joined.push_back(i);
    const std::size_t k = joined.size();
    if (k < 2)
        return;
    std::vector<TIslandAnchors> anchors(k);
    for (std::size_t i = 0; i < k; ++i) {
        const auto& island = FIslands[joined[i]];
        std::vector<TAnchor> points;
        for (TPrimitive* p : island)
            p->Anchors(points);
        if (points.empty()) {
            auto r = island.front()->Bounds();
            points.push_back({(r.Left + r.Right) / 2, (r.Bottom + r.Top) / 2, island.front()->LayerValue()});
        }
        anchors[i] = IslandAnchors_Of(std::move(points));
    }
    for (const TSpanEdge& e : Islands_Span(anchors, TSpanMethod::Fused)) {
        const TAnchor& a = anchors[e.From].Points[e.A];
        const TAnchor& b = anchors[e.To].Points[e.B];
        auto* c = new TConnection();
        c->FRatsnest = true;
        c->FX1 = a.X, c->FY1 = a.Y, c->FLayer1 = a.Layer;
        c->FX2 = b.X, c->FY2 = b.Y, c->FLayer2 = b.Layer;
        Retain(c);
        c->FNet = this;
        c->FBoard = FBoard;
        FRatsnest.push_back(c);
    }
}

std::int32_t TPcbNet::SubNetGroupCount() {
    Islands();
    return std::int32_t(FGroups.size());
}

IPtr<IPCB_SubNetGroup> TPcbNet::SubNetGroup(std::int32_t index) {
    Islands();
    return index >= 0 && std::size_t(index) < FGroups.size() ? FGroups[std::size_t(index)] : nullptr;
}

} // namespace pcbhost

// A net's connectivity: its copper islands (sub-net groups) and the ratsnest that joins them.
#include "pcbhost/model/Board.h"
#include "pcbhost/model/BoardInternal.h"

#include <boost/geometry/index/rtree.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
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

// Whether the gap between two boxes is below `limit`. The gap is at least its larger side, which
// rules most boxes out without a root.
bool BoxGapBelow(const geo::TBox& a, const geo::TBox& b, double limit) {
    double dx =
        std::max({0.0, a.min_corner().x() - b.max_corner().x(), b.min_corner().x() - a.max_corner().x()});
    double dy =
        std::max({0.0, a.min_corner().y() - b.max_corner().y(), b.min_corner().y() - a.max_corner().y()});
    if (dx >= limit || dy >= limit)
        return false;
    return std::hypot(dx, dy) < limit;
}

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
    using TAnchorValue = std::pair<geo::TPoint, std::size_t>;
    struct TIslandAnchors {
        std::vector<TAnchor> Points;
        bgi::rtree<TAnchorValue, bgi::quadratic<16>> Tree;
        geo::TBox Box;
    };
    std::vector<TIslandAnchors> anchors(k);
    for (std::size_t i = 0; i < k; ++i) {
        auto& a = anchors[i];
        const auto& island = FIslands[joined[i]];
        for (TPrimitive* p : island)
            p->Anchors(a.Points);
        if (a.Points.empty()) {
            auto r = island.front()->Bounds();
            a.Points.push_back(
                {(r.Left + r.Right) / 2, (r.Bottom + r.Top) / 2, island.front()->LayerValue()});
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
            if (!inTree[j] && BoxGapBelow(anchors[next].Box, anchors[j].Box, best[j].Length)) {
                TEdge candidate = between(next, j);
                if (candidate.Length < best[j].Length)
                    best[j] = candidate;
            }
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

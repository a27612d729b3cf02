// Finding objects on a board: the spatial index, the board iterators, picking by location and context.
#include "pcbhost/model/Board.h"
#include "pcbhost/model/BoardInternal.h"

#include <boost/geometry/index/rtree.hpp>

#include <algorithm>
#include <limits>

namespace pcbhost {

using namespace board_detail;

namespace bgi = boost::geometry::index;

namespace {

geo::TBox BoxOf(const TCoordRect& r) {
    return geo::TBox(Pt(std::min(r.Left, r.Right), std::min(r.Bottom, r.Top)),
                     Pt(std::max(r.Left, r.Right), std::max(r.Bottom, r.Top)));
}

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

} // namespace

std::vector<TPrimitive*> TBoard::Query(const TCoordRect* area) {
    Compact();
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

} // namespace pcbhost

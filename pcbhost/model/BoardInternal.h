// Helpers shared by the files that implement the board model (Board.h); not for other callers.
#pragma once

#include "pcbhost/model/Board.h"

#include <boost/geometry/index/rtree.hpp>

#include <cmath>
#include <utility>
#include <vector>

namespace pcbhost {

namespace board_detail {

inline void Retain(TPrimitive* p) {
    p->Interface()->AddRef();
}
inline void Drop(TPrimitive* p) {
    p->Interface()->Release();
}

inline geo::TPoint Pt(TCoord x, TCoord y) {
    return {double(x), double(y)};
}

inline TCoordRect RectOf(const geo::TBox& b) {
    return {TCoord(std::floor(b.min_corner().x())), TCoord(std::floor(b.min_corner().y())),
            TCoord(std::ceil(b.max_corner().x())), TCoord(std::ceil(b.max_corner().y()))};
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

inline std::vector<IPtr<IPCB_Primitive>> Refs(const std::vector<TPrimitive*>& list) {
    std::vector<IPtr<IPCB_Primitive>> r;
    r.reserve(list.size());
    for (auto* p : list)
        r.emplace_back(p->Interface());
    return r;
}

} // namespace board_detail

struct TBoard::TSpatialIndex {
    using TValue = std::pair<geo::TBox, std::size_t>;
    boost::geometry::index::rtree<TValue, boost::geometry::index::quadratic<16>> Tree;
};

} // namespace pcbhost

// The ratsnest's shape: a minimum spanning tree over a net's copper islands, where two islands are
// as far apart as their nearest anchor points.
#pragma once

#include "pcbhost/model/Board.h"
#include "pcbhost/model/Geometry.h"

#include <boost/geometry/index/rtree.hpp>

#include <cstddef>
#include <vector>

namespace pcbhost::board_detail {

// One island's anchor points, indexed for nearest-point queries.
struct TIslandAnchors {
    using TValue = std::pair<geo::TPoint, std::size_t>;
    std::vector<TAnchor> Points;
    boost::geometry::index::rtree<TValue, boost::geometry::index::quadratic<16>> Tree;
    geo::TBox Box;
};

// Indexes `points` (at least one).
TIslandAnchors IslandAnchors_Of(std::vector<TAnchor> points);

// One line of the tree: island From's anchor A to island To's anchor B.
struct TSpanEdge {
    std::size_t From = 0, To = 0, A = 0, B = 0;
    double Length = 0;
    bool operator==(const TSpanEdge&) const = default;
};

// Plain: Prim's algorithm as written, which looks at every island outside the tree twice per
// step. Fused: the same steps in one pass per step over flat arrays, for nets of thousands of
// islands. Both give the same lines in the same order, ties included (the lower island first).
enum class TSpanMethod { Plain, Fused };

// The k - 1 lines joining k islands, in the order Prim's algorithm adds them from island 0.
std::vector<TSpanEdge> Islands_Span(const std::vector<TIslandAnchors>& islands, TSpanMethod method);

} // namespace pcbhost::board_detail

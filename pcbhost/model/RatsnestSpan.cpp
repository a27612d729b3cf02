#include "pcbhost/model/RatsnestSpan.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace pcbhost::board_detail {

namespace bgi = boost::geometry::index;

namespace {

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

// The shortest line from island `from` to island `to`; of equally short ones, the first found
// from the island with fewer anchors.
TSpanEdge Between(const std::vector<TIslandAnchors>& islands, std::size_t from, std::size_t to) {
    TSpanEdge e;
    e.From = from;
    e.To = to;
    e.Length = std::numeric_limits<double>::infinity();
    const bool swap = islands[from].Points.size() > islands[to].Points.size();
    const auto& few = islands[swap ? to : from];
    const auto& many = islands[swap ? from : to];
    std::vector<TIslandAnchors::TValue> nearest;
    for (std::size_t i = 0; i < few.Points.size(); ++i) {
        const geo::TPoint p(double(few.Points[i].X), double(few.Points[i].Y));
        nearest.clear();
        many.Tree.query(bgi::nearest(p, 1), std::back_inserter(nearest));
        const double d = geo::bg::distance(p, nearest.front().first);
        if (d < e.Length) {
            e.Length = d;
            e.A = swap ? nearest.front().second : i;
            e.B = swap ? i : nearest.front().second;
        }
    }
    return e;
}

std::vector<TSpanEdge> SpanPlain(const std::vector<TIslandAnchors>& islands) {
    const std::size_t k = islands.size();
    std::vector<TSpanEdge> edges;
    std::vector<bool> inTree(k, false);
    std::vector<TSpanEdge> best(k);
    inTree[0] = true;
    for (std::size_t j = 1; j < k; ++j)
        best[j] = Between(islands, 0, j);
    for (std::size_t added = 1; added < k; ++added) {
        std::size_t next = SIZE_MAX;
        for (std::size_t j = 0; j < k; ++j)
            if (!inTree[j] && (next == SIZE_MAX || best[j].Length < best[next].Length))
                next = j;
        inTree[next] = true;
        edges.push_back(best[next]);
        for (std::size_t j = 0; j < k; ++j)
            if (!inTree[j] && BoxGapBelow(islands[next].Box, islands[j].Box, best[j].Length)) {
                TSpanEdge candidate = Between(islands, next, j);
                if (candidate.Length < best[j].Length)
                    best[j] = candidate;
            }
    }
    return edges;
}

// The same steps with the search for the next island folded into the pass that brings the others
// closer, over flat arrays of the islands still outside the tree (kept in island order, so that
// the lower of two equally near islands still comes first), and islands of one anchor each
// measured directly.
std::vector<TSpanEdge> SpanFused(const std::vector<TIslandAnchors>& islands) {
    const std::size_t k = islands.size();
    std::vector<TSpanEdge> edges;
    edges.reserve(k - 1);
    std::vector<TSpanEdge> best(k);
    // Outside the tree: island index, box and distance to the tree, side by side.
    std::vector<std::size_t> out;
    std::vector<double> minX, minY, maxX, maxY, length;
    out.reserve(k - 1);
    for (auto* v : {&minX, &minY, &maxX, &maxY, &length})
        v->reserve(k - 1);
    for (std::size_t j = 1; j < k; ++j) {
        best[j] = Between(islands, 0, j);
        out.push_back(j);
        const geo::TBox& b = islands[j].Box;
        minX.push_back(b.min_corner().x());
        minY.push_back(b.min_corner().y());
        maxX.push_back(b.max_corner().x());
        maxY.push_back(b.max_corner().y());
        length.push_back(best[j].Length);
    }
    auto nearestOut = [&] {
        std::size_t at = 0;
        for (std::size_t i = 1; i < out.size(); ++i)
            if (length[i] < length[at])
                at = i;
        return at;
    };
    std::size_t at = nearestOut();
    while (!out.empty()) {
        const std::size_t next = out[at];
        edges.push_back(best[next]);
        for (auto* v : {&minX, &minY, &maxX, &maxY, &length})
            v->erase(v->begin() + std::ptrdiff_t(at));
        out.erase(out.begin() + std::ptrdiff_t(at));

        const geo::TBox& nb = islands[next].Box;
        const double nMinX = nb.min_corner().x(), nMinY = nb.min_corner().y();
        const double nMaxX = nb.max_corner().x(), nMaxY = nb.max_corner().y();
        const bool nextSingle = islands[next].Points.size() == 1;
        at = 0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double limit = length[i];
            const double dx = std::max({0.0, nMinX - maxX[i], minX[i] - nMaxX});
            const double dy = std::max({0.0, nMinY - maxY[i], minY[i] - nMaxY});
            if (dx < limit && dy < limit && std::hypot(dx, dy) < limit) {
                const std::size_t j = out[i];
                TSpanEdge candidate;
                if (nextSingle && islands[j].Points.size() == 1) {
                    // What Between finds for two single points, without the tree.
                    const TAnchor& p = islands[next].Points.front();
                    const TAnchor& q = islands[j].Points.front();
                    candidate.From = next;
                    candidate.To = j;
                    candidate.Length = geo::bg::distance(geo::TPoint(double(p.X), double(p.Y)),
                                                         geo::TPoint(double(q.X), double(q.Y)));
                } else {
                    candidate = Between(islands, next, j);
                }
                if (candidate.Length < limit) {
                    best[j] = candidate;
                    length[i] = candidate.Length;
                }
            }
            if (length[i] < length[at])
                at = i;
        }
    }
    return edges;
}

} // namespace

TIslandAnchors IslandAnchors_Of(std::vector<TAnchor> points) {
    TIslandAnchors a;
    a.Points = std::move(points);
    std::vector<TIslandAnchors::TValue> values;
    values.reserve(a.Points.size());
    for (std::size_t j = 0; j < a.Points.size(); ++j)
        values.emplace_back(geo::TPoint(double(a.Points[j].X), double(a.Points[j].Y)), j);
    a.Tree = decltype(a.Tree)(values.begin(), values.end());
    a.Box = geo::bg::return_envelope<geo::TBox>(a.Tree.bounds());
    return a;
}

std::vector<TSpanEdge> Islands_Span(const std::vector<TIslandAnchors>& islands, TSpanMethod method) {
    if (islands.size() < 2)
        return {};
    return method == TSpanMethod::Fused ? SpanFused(islands) : SpanPlain(islands);
}

} // namespace pcbhost::board_detail

#include "pcbhost/cli/CrossOvers.h"

#include <algorithm>
#include <cmath>

namespace pcbhost::cli {

namespace {

// Sign of the turn a -> b -> c: 1 left, -1 right, 0 collinear. 128-bit products keep it exact.
int Orientation(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by, std::int64_t cx,
                std::int64_t cy) {
    const __int128 v = __int128(bx - ax) * (cy - ay) - __int128(by - ay) * (cx - ax);
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

struct TBounds {
    std::int64_t X0, Y0, X1, Y1;
};

TBounds BoundsOf(const TSegment& s) {
    return {std::min(s.X1, s.X2), std::min(s.Y1, s.Y2), std::max(s.X1, s.X2), std::max(s.Y1, s.Y2)};
}

} // namespace

bool Segments_CrossProperly(const TSegment& a, const TSegment& b) {
    const int o1 = Orientation(a.X1, a.Y1, a.X2, a.Y2, b.X1, b.Y1);
    const int o2 = Orientation(a.X1, a.Y1, a.X2, a.Y2, b.X2, b.Y2);
    if (o1 * o2 >= 0)
        return false;
    const int o3 = Orientation(b.X1, b.Y1, b.X2, b.Y2, a.X1, a.Y1);
    const int o4 = Orientation(b.X1, b.Y1, b.X2, b.Y2, a.X2, a.Y2);
    return o3 * o4 < 0;
}

std::int64_t CrossOvers_Count(const std::vector<TSegment>& segments) {
    const std::size_t n = segments.size();
    if (n < 2)
        return 0;
    std::vector<TBounds> bounds(n);
    TBounds all{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
    double sizeSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        bounds[i] = BoundsOf(segments[i]);
        all.X0 = std::min(all.X0, bounds[i].X0);
        all.Y0 = std::min(all.Y0, bounds[i].Y0);
        all.X1 = std::max(all.X1, bounds[i].X1);
        all.Y1 = std::max(all.Y1, bounds[i].Y1);
        sizeSum += double(std::max(bounds[i].X1 - bounds[i].X0, bounds[i].Y1 - bounds[i].Y0));
    }

    // Cells about as large as a typical line, and no more than about 4n of them: a short line
    // then lands in a few cells and meets only its neighbours.
    const double width = double(all.X1 - all.X0) + 1, height = double(all.Y1 - all.Y0) + 1;
    const double typical = std::max(1.0, sizeSum / double(n));
    const double limit = 2 * std::ceil(std::sqrt(double(n)));
    const auto cols = std::int64_t(std::clamp(std::ceil(width / typical), 1.0, limit));
    const auto rows = std::int64_t(std::clamp(std::ceil(height / typical), 1.0, limit));
    const std::int64_t cellW = (all.X1 - all.X0) / cols + 1, cellH = (all.Y1 - all.Y0) / rows + 1;
    auto column = [&](std::int64_t x) { return (x - all.X0) / cellW; };
    auto row = [&](std::int64_t y) { return (y - all.Y0) / cellH; };

    // Bucket every line into the cells its bounds cover (counting pass, then filling pass).
    std::vector<std::size_t> start(std::size_t(cols * rows) + 1, 0);
    for (const auto& b : bounds)
        for (std::int64_t r = row(b.Y0); r <= row(b.Y1); ++r)
            for (std::int64_t c = column(b.X0); c <= column(b.X1); ++c)
                ++start[std::size_t(r * cols + c) + 1];
    for (std::size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    std::vector<std::uint32_t> members(start.back());
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < n; ++i)
        for (std::int64_t r = row(bounds[i].Y0); r <= row(bounds[i].Y1); ++r)
            for (std::int64_t c = column(bounds[i].X0); c <= column(bounds[i].X1); ++c)
                members[fill[std::size_t(r * cols + c)]++] = std::uint32_t(i);

    // A pair whose bounds overlap shares every cell of the overlap; it is tested only in the
    // cell holding the overlap's lowest corner, so each pair is counted once without a set.
    std::int64_t count = 0;
    for (std::int64_t r = 0; r < rows; ++r)
        for (std::int64_t c = 0; c < cols; ++c) {
            const std::size_t cell = std::size_t(r * cols + c);
            for (std::size_t p = start[cell]; p < start[cell + 1]; ++p) {
                const TBounds& a = bounds[members[p]];
                for (std::size_t q = p + 1; q < start[cell + 1]; ++q) {
                    const TBounds& b = bounds[members[q]];
                    if (a.X0 > b.X1 || b.X0 > a.X1 || a.Y0 > b.Y1 || b.Y0 > a.Y1)
                        continue;
                    if (column(std::max(a.X0, b.X0)) != c || row(std::max(a.Y0, b.Y0)) != r)
                        continue;
                    if (Segments_CrossProperly(segments[members[p]], segments[members[q]]))
                        ++count;
                }
            }
        }
    return count;
}

} // namespace pcbhost::cli

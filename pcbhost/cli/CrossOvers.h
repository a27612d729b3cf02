// Cross-overs of ratsnest lines: how many unordered pairs of straight connection lines properly
// cross. Fewer cross-overs mean a board that routes more easily, so this is one of the figures
// `permutor info` reports before and after swapping.
#pragma once

#include <cstdint>
#include <vector>

namespace pcbhost::cli {

struct TSegment {
    std::int64_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

// True when the two segments meet in exactly one point that is inside both of them: lines that
// only touch (an end on the other line, a shared end) or overlap along a line do not cross.
// Exact for coordinates up to 2^61 in magnitude.
bool Segments_CrossProperly(const TSegment& a, const TSegment& b);

// The number of unordered pairs that cross properly. A uniform grid over the segments' extent
// keeps this near-linear for ratsnests (many short lines), so tens of thousands of lines stay fast.
std::int64_t CrossOvers_Count(const std::vector<TSegment>& segments);

} // namespace pcbhost::cli

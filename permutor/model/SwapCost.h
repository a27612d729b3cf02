// The measures of the swap model: distances between hot spots and the weights of the cost.
#pragma once

#include "permutor/model/HotSpot.h"

namespace permutor::model {

// Added to a distance when its two points lie on different layers (0.03 inch).
inline constexpr double cLayerChangePenalty = 300000.0;
// The cost of one crossing of two connections, in units of connection length (0.005 inch).
inline constexpr std::int32_t cCrossingPenalty = 50000;

// Straight-line distance; 0 when a point is missing.
double HotSpots_EuclideanDistance(const THotSpot* a, const THotSpot* b);
// |dx| + |dy| in 32-bit arithmetic; 0 when a point is missing.
double HotSpots_ManhattanDistance(const THotSpot* a, const THotSpot* b);

} // namespace permutor::model

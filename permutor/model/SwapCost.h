// The measures of the swap model: distances between hot spots and the weights of the cost.
#pragma once

#include "permutor/model/HotSpot.h"

namespace permutor::model {

// Added to a distance when its two points lie on different layers (0.03 inch).
inline constexpr double cLayerChangePenalty = 300000.0;
// The cost of one crossing of two connections, in units of connection length (0.005 inch).
inline constexpr std::int32_t cCrossingPenalty = 50000;

// The crossings' share of the total cost: the count times the penalty, kept to 32 bits as the
// cost has always been (it wraps past 42,949 crossings).
inline std::int32_t CrossingCost(std::int64_t crossings) {
    return std::int32_t(crossings * cCrossingPenalty);
}
// Whether CrossingCost grows with the count over the whole range [low, high], that is, no wrap
// lies between the two.
inline bool CrossingCost_RisesOver(std::int64_t low, std::int64_t high) {
    // Which run of 2^32 the product falls in (the shift rounds down, negative values too).
    auto window = [](std::int64_t crossings) {
        return (crossings * cCrossingPenalty + (std::int64_t(1) << 31)) >> 32;
    };
    return low <= high && window(low) == window(high);
}

// Straight-line distance; 0 when a point is missing.
double HotSpots_EuclideanDistance(const THotSpot* a, const THotSpot* b);
// |dx| + |dy| in 32-bit arithmetic; 0 when a point is missing.
double HotSpots_ManhattanDistance(const THotSpot* a, const THotSpot* b);

} // namespace permutor::model

namespace permutor::model {

// The runtime's shared pseudo-random generator: a 32-bit linear congruential generator. Its
// sequence is fixed by the seed, so a host that fixes the seed gets repeatable runs.
class TRandomGenerator {
public:
    void SetSeed(std::uint32_t seed) { FSeed = seed; }
    std::uint32_t Seed() const { return FSeed; }
    // A draw in [0, n); 0 when n is not positive. Every call advances the sequence.
    std::int32_t Random(std::int32_t n) {
        FSeed = FSeed * 134775813u + 1u;
        if (n <= 0)
            return 0;
        return std::int32_t((std::uint64_t(FSeed) * std::uint64_t(n)) >> 32);
    }
    // A draw in [0, 1): the next seed times 2^-32.
    double RandomFraction() {
        FSeed = FSeed * 134775813u + 1u;
        return double(FSeed) * (1.0 / 4294967296.0);
    }

private:
    std::uint32_t FSeed = 0;
};

} // namespace permutor::model

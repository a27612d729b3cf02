// Cross-over counting of ratsnest lines: the crossing test on hand-made cases, and the grid
// count against an independent all-pairs count on random segments with many degenerate
// configurations (shared ends, touching, collinear overlaps, zero length).
#include "pcbhost/cli/CrossOvers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace pcbhost::cli;

namespace {

// An independent reading of "properly cross": solve for the intersection parameters with
// exact integer arithmetic and require both strictly inside (0, 1).
bool CrossByParameters(const TSegment& a, const TSegment& b) {
    const long double rx = a.X2 - a.X1, ry = a.Y2 - a.Y1, sx = b.X2 - b.X1, sy = b.Y2 - b.Y1;
    const long double den = rx * sy - ry * sx;
    if (den == 0)
        return false; // parallel or collinear: never a single crossing point
    const long double qx = b.X1 - a.X1, qy = b.Y1 - a.Y1;
    const long double tNum = qx * sy - qy * sx, uNum = qx * ry - qy * rx;
    auto inside = [den](long double num) {
        return den > 0 ? (num > 0 && num < den) : (num < 0 && num > den);
    };
    return inside(tNum) && inside(uNum);
}

std::int64_t CountAllPairs(const std::vector<TSegment>& s) {
    std::int64_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        for (std::size_t j = i + 1; j < s.size(); ++j)
            n += CrossByParameters(s[i], s[j]) ? 1 : 0;
    return n;
}

std::vector<TSegment> Random(std::mt19937_64& rng, std::size_t n, std::int64_t range,
                             std::int64_t maxLength) {
    std::uniform_int_distribution<std::int64_t> pos(0, range), len(-maxLength, maxLength);
    std::vector<TSegment> s;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t x = pos(rng), y = pos(rng);
        s.push_back({x, y, x + len(rng), y + len(rng)});
    }
    return s;
}

} // namespace

TEST(SegmentCrossing, AnXCrossesAndTouchingDoesNot) {
    EXPECT_TRUE(Segments_CrossProperly({0, 0, 10, 10}, {0, 10, 10, 0}));
    EXPECT_FALSE(Segments_CrossProperly({0, 0, 10, 10}, {10, 10, 20, 0})); // shared end
    EXPECT_FALSE(Segments_CrossProperly({0, 0, 10, 0}, {5, 0, 5, 10}));    // T: end on the other line
    EXPECT_FALSE(Segments_CrossProperly({0, 0, 10, 0}, {5, 0, 15, 0}));    // collinear overlap
    EXPECT_FALSE(Segments_CrossProperly({0, 0, 10, 0}, {0, 1, 10, 1}));    // parallel
    EXPECT_FALSE(Segments_CrossProperly({5, 5, 5, 5}, {0, 0, 10, 10}));    // a point on a line
    EXPECT_FALSE(Segments_CrossProperly({0, 0, 4, 4}, {6, 0, 5, 1}));      // would cross if extended
}

TEST(SegmentCrossing, IsExactForBoardSizedCoordinates) {
    // One unit off the crossing point decides it; doubles of these products would round.
    const std::int64_t big = 3'000'000'000LL;
    EXPECT_TRUE(Segments_CrossProperly({0, 0, big, big + 1}, {0, big, big, 0}));
    EXPECT_FALSE(Segments_CrossProperly({0, 0, big, big}, {big, big, 2 * big, 0}));
}

TEST(CrossOverCount, MatchesAllPairsOnDenseDegenerateSegments) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 20; ++round) {
        // A tiny coordinate range makes shared ends, touches and collinear lines common.
        auto s = Random(rng, 300, 12, 6);
        EXPECT_EQ(CrossOvers_Count(s), CountAllPairs(s)) << "round " << round;
    }
}

TEST(CrossOverCount, MatchesAllPairsOnMixedLengths) {
    std::mt19937_64 rng(11);
    for (int round = 0; round < 5; ++round) {
        auto s = Random(rng, 1500, 1'000'000, 20'000);
        auto longer = Random(rng, 40, 1'000'000, 900'000);
        s.insert(s.end(), longer.begin(), longer.end());
        const auto expected = CountAllPairs(s);
        EXPECT_GT(expected, 0);
        EXPECT_EQ(CrossOvers_Count(s), expected) << "round " << round;
    }
}

TEST(CrossOverCount, CountsEachPairOnceWhenLinesSpanManyCells) {
    // n horizontal and n vertical lines across the whole extent: n*n crossings, every pair
    // sharing many grid cells.
    std::vector<TSegment> s;
    const int n = 40;
    for (int i = 1; i <= n; ++i) {
        s.push_back({0, i * 100, (n + 1) * 100, i * 100});
        s.push_back({i * 100, 0, i * 100, (n + 1) * 100});
    }
    // Short lines make the grid fine.
    for (int i = 0; i < 2000; ++i)
        s.push_back({i * 2, 5000 + i, i * 2 + 1, 5000 + i});
    EXPECT_EQ(CrossOvers_Count(s), CountAllPairs(s));
    EXPECT_EQ(CountAllPairs(s), std::int64_t(n) * n);
}

TEST(CrossOverCount, HandlesFewAndIdenticalSegments) {
    EXPECT_EQ(CrossOvers_Count({}), 0);
    EXPECT_EQ(CrossOvers_Count({{0, 0, 1, 1}}), 0);
    std::vector<TSegment> same(50, TSegment{0, 0, 10, 10});
    same.push_back({0, 10, 10, 0});
    EXPECT_EQ(CrossOvers_Count(same), 50);
}

TEST(CrossOverCount, ThreeThousandRatsnestLikeLinesAgreeWithAllPairs) {
    std::mt19937_64 rng(3);
    auto s = Random(rng, 3'000, 100'000'000, 4'000'000);
    EXPECT_EQ(CrossOvers_Count(s), CountAllPairs(s));
}

TEST(CrossOverCount, TenThousandLinesOfSeparateCrosses) {
    // 5000 small crosses of random size on a lattice, far enough apart that only the two lines
    // of each cross meet: one crossing per cross.
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<std::int64_t> arm(1, 400);
    std::vector<TSegment> s;
    const std::int64_t crosses = 5000, pitch = 1000;
    for (std::int64_t i = 0; i < crosses; ++i) {
        const std::int64_t cx = (i % 100) * pitch, cy = (i / 100) * pitch;
        s.push_back({cx - arm(rng), cy, cx + arm(rng), cy});
        s.push_back({cx, cy - arm(rng), cx, cy + arm(rng)});
    }
    std::shuffle(s.begin(), s.end(), rng);
    EXPECT_EQ(CrossOvers_Count(s), crosses);
}

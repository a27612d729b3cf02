// The ratsnest's spanning tree over copper islands: the one-pass form against Prim's algorithm as
// written, and both against a minimum spanning tree found by brute force.
#include "pcbhost/model/RatsnestSpan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

using namespace pcbhost;
using namespace pcbhost::board_detail;

namespace {

// `count` islands of 1 to `maxAnchors` anchors on a `grid` of `pitch`: a coarse grid gives many
// equal distances, where the order of the ties decides the tree.
std::vector<TIslandAnchors> RandomIslands(std::mt19937& random, std::size_t count, int maxAnchors, int grid,
                                          TCoord pitch) {
    std::uniform_int_distribution<int> cell(0, grid), anchors(1, maxAnchors), offset(-2, 2);
    std::vector<TIslandAnchors> islands;
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<TAnchor> points;
        const TCoord x = cell(random) * pitch, y = cell(random) * pitch;
        for (int n = anchors(random); n > 0; --n)
            points.push_back({x + offset(random) * pitch, y + offset(random) * pitch, eV6_TopLayer});
        islands.push_back(IslandAnchors_Of(std::move(points)));
    }
    return islands;
}

double Distance(const TIslandAnchors& a, const TIslandAnchors& b) {
    double d = INFINITY;
    for (const TAnchor& p : a.Points)
        for (const TAnchor& q : b.Points)
            d = std::min(d, std::hypot(double(p.X - q.X), double(p.Y - q.Y)));
    return d;
}

// Kruskal over every pair of islands.
double MinimumSpanLength(const std::vector<TIslandAnchors>& islands) {
    struct TPair {
        double Length;
        std::size_t A, B;
    };
    std::vector<TPair> pairs;
    for (std::size_t a = 0; a < islands.size(); ++a)
        for (std::size_t b = a + 1; b < islands.size(); ++b)
            pairs.push_back({Distance(islands[a], islands[b]), a, b});
    std::sort(pairs.begin(), pairs.end(), [](const TPair& x, const TPair& y) { return x.Length < y.Length; });
    std::vector<std::size_t> parent(islands.size());
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&](std::size_t i) {
        while (parent[i] != i)
            i = parent[i];
        return i;
    };
    double total = 0;
    for (const TPair& p : pairs)
        if (root(p.A) != root(p.B)) {
            parent[root(p.A)] = root(p.B);
            total += p.Length;
        }
    return total;
}

} // namespace

TEST(RatsnestSpan, TheOnePassFormGivesTheSameLinesAsPrimsAlgorithmTiesIncluded) {
    std::mt19937 random(11);
    struct TCase {
        std::size_t Count;
        int MaxAnchors, Grid;
    };
    // Single anchors (the measured-directly path), mixed islands, crowded grids (many ties and
    // islands on top of each other) and a sparse one.
    for (const TCase c : {TCase{2, 1, 3}, TCase{3, 2, 2}, TCase{60, 1, 6}, TCase{60, 3, 4}, TCase{300, 1, 12},
                          TCase{300, 4, 40}, TCase{800, 2, 1000}}) {
        for (int round = 0; round < 4; ++round) {
            const auto islands = RandomIslands(random, c.Count, c.MaxAnchors, c.Grid, 100000);
            const auto plain = Islands_Span(islands, TSpanMethod::Plain);
            const auto fused = Islands_Span(islands, TSpanMethod::Fused);
            ASSERT_EQ(plain.size(), c.Count - 1);
            ASSERT_EQ(fused, plain) << c.Count << " islands of up to " << c.MaxAnchors << " anchors on a "
                                    << c.Grid << " grid, round " << round;

            // A spanning tree: every island reached, each line as long as its islands are apart,
            // and the whole as short as the shortest.
            std::vector<bool> reached(c.Count, false);
            reached[0] = true;
            double total = 0;
            for (const TSpanEdge& e : fused) {
                ASSERT_TRUE(reached[e.From]);
                ASSERT_FALSE(reached[e.To]);
                reached[e.To] = true;
                const TAnchor& a = islands[e.From].Points[e.A];
                const TAnchor& b = islands[e.To].Points[e.B];
                EXPECT_DOUBLE_EQ(e.Length, std::hypot(double(a.X - b.X), double(a.Y - b.Y)));
                EXPECT_DOUBLE_EQ(e.Length, Distance(islands[e.From], islands[e.To]));
                total += e.Length;
            }
            if (c.Count <= 300) {
                EXPECT_NEAR(total, MinimumSpanLength(islands), 1e-9 * total);
            }
        }
    }
    EXPECT_TRUE(Islands_Span(RandomIslands(random, 1, 3, 5, 10), TSpanMethod::Fused).empty());
}

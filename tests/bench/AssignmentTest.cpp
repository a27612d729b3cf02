// The assignment solver the optimiser benchmarks measure against: its answer is a permutation
// and its cost equals the least over all permutations, on small matrices of the kinds the
// benchmarks feed it (board distances with ties and zeros, and arbitrary signed values).
#include "bench/Assignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

using permutor::bench::Assignment_Solve;

namespace {

double BruteForce(const std::vector<double>& cost, std::size_t n) {
    std::vector<std::size_t> perm(n);
    std::iota(perm.begin(), perm.end(), 0);
    double best = std::numeric_limits<double>::infinity();
    do {
        double sum = 0;
        for (std::size_t r = 0; r < n; ++r)
            sum += cost[r * n + perm[r]];
        best = std::min(best, sum);
    } while (std::next_permutation(perm.begin(), perm.end()));
    return best;
}

void ExpectOptimal(const std::vector<double>& cost, std::size_t n, const std::string& what) {
    const auto a = Assignment_Solve(cost, n);
    ASSERT_EQ(a.ColumnOfRow.size(), n) << what;
    std::vector<std::size_t> sorted = a.ColumnOfRow;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(sorted[i], i) << what << ": not a permutation";
    double sum = 0;
    for (std::size_t r = 0; r < n; ++r)
        sum += cost[r * n + a.ColumnOfRow[r]];
    EXPECT_DOUBLE_EQ(a.Cost, sum) << what;
    EXPECT_NEAR(a.Cost, BruteForce(cost, n), 1e-9 * (1 + std::abs(sum))) << what;
}

} // namespace

TEST(Assignment, MatchesBruteForceOnRandomMatrices) {
    std::mt19937 rng(7);
    for (std::size_t n = 1; n <= 8; ++n)
        for (int trial = 0; trial < (n <= 6 ? 60 : 8); ++trial) {
            std::vector<double> cost(n * n);
            // Board-like: Manhattan distances in board units, many ties, some zeros (missing
            // targets), a layer penalty on some entries.
            std::uniform_int_distribution<int> coarse(0, 4), pick(0, 9);
            for (double& c : cost)
                c = pick(rng) == 0 ? 0.0 : coarse(rng) * 2500000.0 + (pick(rng) < 2 ? 300000.0 : 0.0);
            ExpectOptimal(cost, n, "board-like n=" + std::to_string(n));
            std::uniform_real_distribution<double> any(-1000, 1000);
            for (double& c : cost)
                c = any(rng);
            ExpectOptimal(cost, n, "signed n=" + std::to_string(n));
        }
}

TEST(Assignment, FindsTheOptimumWhereGreedyChoicesFail) {
    // Taking the cheapest entry first (row 0 to column 0) forces a 100 in; the optimum (8) avoids it.
    const std::vector<double> cost = {1, 2, 100, 2, 100, 100, 100, 3, 4};
    const auto a = Assignment_Solve(cost, 3);
    EXPECT_EQ(a.Cost, 8.0);
    EXPECT_EQ(a.ColumnOfRow, (std::vector<std::size_t>{1, 0, 2}));
}

TEST(Assignment, EmptyAndIdentity) {
    EXPECT_EQ(Assignment_Solve({}, 0).Cost, 0.0);
    // An already untangled group: the diagonal is free, everything else costs.
    const std::size_t n = 40;
    std::vector<double> cost(n * n, 1e6);
    for (std::size_t i = 0; i < n; ++i)
        cost[i * n + i] = 0;
    const auto a = Assignment_Solve(cost, n);
    EXPECT_EQ(a.Cost, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        EXPECT_EQ(a.ColumnOfRow[i], i);
}

// Minimum-cost assignment of n rows to n columns (the Hungarian method with potentials, in the
// shortest-augmenting-path form of Jonker and Volgenant): O(n^3). The optimiser benchmarks use it
// for the best possible net assignment of a pin group, to measure the optimisers against.
#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

namespace permutor::bench {

struct TAssignment {
    double Cost = 0;
    // Column of each row.
    std::vector<std::size_t> ColumnOfRow;
};

// `cost` is n x n, row-major. Costs may be any finite values.
inline TAssignment Assignment_Solve(const std::vector<double>& cost, std::size_t n) {
    TAssignment result;
    result.ColumnOfRow.assign(n, 0);
    if (n == 0)
        return result;
    constexpr double cInf = std::numeric_limits<double>::infinity();
    // 1-based internally; row 0 / column 0 is the virtual start of each augmenting path.
    std::vector<double> u(n + 1, 0.0), v(n + 1, 0.0), minSlack(n + 1);
    std::vector<std::size_t> rowOfColumn(n + 1, 0), way(n + 1, 0);
    std::vector<char> used(n + 1);
    for (std::size_t row = 1; row <= n; ++row) {
        rowOfColumn[0] = row;
        std::size_t column = 0;
        std::fill(minSlack.begin(), minSlack.end(), cInf);
        std::fill(used.begin(), used.end(), 0);
        // Grow a tree of tight edges from `row` until it reaches a free column (Dijkstra on
        // reduced costs), then flip the path.
        do {
            used[column] = 1;
            const std::size_t r = rowOfColumn[column];
            double delta = cInf;
            std::size_t next = 0;
            for (std::size_t c = 1; c <= n; ++c) {
                if (used[c])
                    continue;
                const double slack = cost[(r - 1) * n + (c - 1)] - u[r] - v[c];
                if (slack < minSlack[c]) {
                    minSlack[c] = slack;
                    way[c] = column;
                }
                if (minSlack[c] < delta) {
                    delta = minSlack[c];
                    next = c;
                }
            }
            for (std::size_t c = 0; c <= n; ++c) {
                if (used[c]) {
                    u[rowOfColumn[c]] += delta;
                    v[c] -= delta;
                } else {
                    minSlack[c] -= delta;
                }
            }
            column = next;
        } while (rowOfColumn[column] != 0);
        do {
            const std::size_t previous = way[column];
            rowOfColumn[column] = rowOfColumn[previous];
            column = previous;
        } while (column != 0);
    }
    for (std::size_t c = 1; c <= n; ++c)
        result.ColumnOfRow[rowOfColumn[c] - 1] = c - 1;
    // Summed from the matrix rather than taken from the potentials, so rounding in the
    // potentials cannot leak into the figure.
    for (std::size_t r = 0; r < n; ++r)
        result.Cost += cost[r * n + result.ColumnOfRow[r]];
    return result;
}

} // namespace permutor::bench

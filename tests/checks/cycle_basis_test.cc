// The minimum cycle basis against the exhaustive one on small graphs, and on the shapes of
// networks that have no triangles or only dependent ones.

#include "checks/cycle_basis.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <set>

#include <gtest/gtest.h>

namespace velk {
namespace {

double totalWeight(const std::vector<BasisCycle>& cycles) {
  double total = 0;
  for (const BasisCycle& cycle : cycles) total += cycle.weight;
  return total;
}

int connectedParts(int n, const std::vector<WeightedEdge>& edges) {
  std::vector<int> parent(static_cast<std::size_t>(n));
  std::iota(parent.begin(), parent.end(), 0);
  const auto root = [&](int v) {
    while (parent[static_cast<std::size_t>(v)] != v) v = parent[static_cast<std::size_t>(v)];
    return v;
  };
  int parts = n;
  for (const WeightedEdge& e : edges)
    if (root(e.a) != root(e.b)) {
      parent[static_cast<std::size_t>(root(e.a))] = root(e.b);
      --parts;
    }
  return parts;
}

// Every simple cycle as an edge set (subsets of a few edges where every vertex has
// degree 0 or 2 and the edges are connected), then the greedy choice over GF(2).
double exhaustiveBasisWeight(int n, const std::vector<WeightedEdge>& edges) {
  const std::size_t m = edges.size();
  std::vector<std::pair<double, std::uint32_t>> cycles;
  for (std::uint32_t set = 1; set < (1u << m); ++set) {
    std::vector<int> degree(static_cast<std::size_t>(n), 0);
    std::vector<WeightedEdge> chosen;
    double weight = 0;
    for (std::size_t e = 0; e < m; ++e)
      if (set & (1u << e)) {
        ++degree[static_cast<std::size_t>(edges[e].a)];
        ++degree[static_cast<std::size_t>(edges[e].b)];
        chosen.push_back(edges[e]);
        weight += edges[e].weight;
      }
    if (std::any_of(degree.begin(), degree.end(), [](int d) { return d != 0 && d != 2; }))
      continue;
    const int used = static_cast<int>(std::count(degree.begin(), degree.end(), 2));
    if (connectedParts(n, chosen) != n - used + 1) continue;  // one cycle, not several
    cycles.emplace_back(weight, set);
  }
  std::sort(cycles.begin(), cycles.end());
  std::vector<std::uint32_t> rows;  // echelon form by highest bit
  double total = 0;
  for (const auto& [weight, set] : cycles) {
    std::uint32_t v = set;
    for (const std::uint32_t row : rows)
      if (v & (1u << (31 - std::countl_zero(row)))) v ^= row;
    if (v == 0) continue;
    rows.push_back(v);
    std::sort(rows.begin(), rows.end(), std::greater<>());
    total += weight;
  }
  return total;
}

// Checks that each cycle is a closed walk over its edges, in the standard orientation.
void expectWellFormed(const std::vector<BasisCycle>& cycles, const std::vector<WeightedEdge>& edges) {
  for (const BasisCycle& cycle : cycles) {
    ASSERT_EQ(cycle.vertices.size(), cycle.edges.size());
    ASSERT_GE(cycle.vertices.size(), 3u);
    EXPECT_EQ(*std::min_element(cycle.vertices.begin(), cycle.vertices.end()), cycle.vertices[0]);
    EXPECT_LT(cycle.vertices[1], cycle.vertices.back());
    EXPECT_EQ(std::set<int>(cycle.vertices.begin(), cycle.vertices.end()).size(),
              cycle.vertices.size());
    double weight = 0;
    for (std::size_t i = 0; i < cycle.edges.size(); ++i) {
      const WeightedEdge& e = edges[static_cast<std::size_t>(cycle.edges[i])];
      const int a = cycle.vertices[i];
      const int b = cycle.vertices[(i + 1) % cycle.vertices.size()];
      EXPECT_TRUE((e.a == a && e.b == b) || (e.a == b && e.b == a));
      weight += e.weight;
    }
    EXPECT_NEAR(weight, cycle.weight, 1e-9);
  }
}

TEST(MinimumCycleBasis, WeighsAsLittleAsTheExhaustiveBasisOnRandomGraphs) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 3 + static_cast<int>(random() % 6);
    // Whole-number weights from a few values make many ties; real ones make none.
    const bool ties = trial % 2 == 0;
    std::vector<WeightedEdge> edges;
    for (int a = 0; a < n; ++a)
      for (int b = a + 1; b < n && edges.size() < 14; ++b)
        if (random() % 100 < 55)
          edges.push_back({a, b, ties ? 1.0 + static_cast<double>(random() % 3)
                                      : 1.0 + static_cast<double>(random() % 1000) / 97.0});
    const std::vector<BasisCycle> basis = minimumCycleBasis(n, edges);
    ASSERT_EQ(static_cast<int>(basis.size()),
              static_cast<int>(edges.size()) - n + connectedParts(n, edges))
        << "trial " << trial;
    expectWellFormed(basis, edges);
    EXPECT_NEAR(totalWeight(basis), exhaustiveBasisWeight(n, edges), 1e-9) << "trial " << trial;
    for (std::size_t i = 1; i < basis.size(); ++i)
      EXPECT_LE(basis[i - 1].weight, basis[i].weight);
  }
}

TEST(MinimumCycleBasis, RingAndGridWithoutTrianglesAndFourStationsAllJoined) {
  // A ring of 9: its one loop, however long.
  std::vector<WeightedEdge> ring;
  for (int i = 0; i < 9; ++i) ring.push_back({i, (i + 1) % 9, 1000.0 + i});
  const std::vector<BasisCycle> one = minimumCycleBasis(9, ring);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].vertices, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));

  // A 4 × 5 grid: its 12 squares.
  std::vector<WeightedEdge> grid;
  const auto at = [](int row, int column) { return row * 5 + column; };
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) {
      if (c + 1 < 5) grid.push_back({at(r, c), at(r, c + 1), 1000.0 + r});
      if (r + 1 < 4) grid.push_back({at(r, c), at(r + 1, c), 1000.0 + c});
    }
  const std::vector<BasisCycle> squares = minimumCycleBasis(20, grid);
  ASSERT_EQ(squares.size(), 12u);
  for (const BasisCycle& square : squares) EXPECT_EQ(square.vertices.size(), 4u);

  // Four stations all measured to each other: three of the four triangles, the heaviest
  // one left out (it is the sum of the others).
  const std::vector<WeightedEdge> complete{{0, 1, 3}, {0, 2, 4}, {0, 3, 5},
                                           {1, 2, 5}, {1, 3, 4}, {2, 3, 3.5}};
  const std::vector<BasisCycle> triangles = minimumCycleBasis(4, complete);
  ASSERT_EQ(triangles.size(), 3u);
  EXPECT_EQ(triangles[0].vertices, (std::vector<int>{0, 1, 2}));  // 12
  EXPECT_EQ(triangles[1].vertices, (std::vector<int>{0, 1, 3}));  // 12, after 0 1 2
  EXPECT_EQ(triangles[2].vertices, (std::vector<int>{0, 2, 3}));  // 12.5; 1 2 3 is 12.5 too
}

TEST(MinimumCycleBasis, TreesAndSeparatePartsHaveTheirOwnLoops) {
  EXPECT_TRUE(minimumCycleBasis(4, std::vector<WeightedEdge>{{0, 1, 1}, {1, 2, 1}, {1, 3, 1}}).empty());
  const std::vector<WeightedEdge> two_triangles{{0, 1, 1}, {1, 2, 1}, {0, 2, 1},
                                                {3, 4, 2}, {4, 5, 2}, {3, 5, 2}};
  const std::vector<BasisCycle> basis = minimumCycleBasis(7, two_triangles);
  ASSERT_EQ(basis.size(), 2u);
  EXPECT_EQ(basis[1].vertices, (std::vector<int>{3, 4, 5}));
}

}  // namespace
}  // namespace velk

#pragma once

#include <span>
#include <vector>

namespace velk {

// An edge of a graph whose vertices are numbered 0 … n − 1; no two edges join the same two
// vertices and no edge joins a vertex to itself.
struct WeightedEdge {
  int a = 0, b = 0;
  double weight = 0;  // ≥ 0
};

// A cycle that goes round once: edges[i] joins vertices[i] and vertices[i + 1], the last
// edge closes it back to vertices[0]. It starts at its lowest-numbered vertex and goes
// towards the lower-numbered of that vertex's two neighbours on the cycle.
struct BasisCycle {
  std::vector<int> vertices;
  std::vector<int> edges;
  double weight = 0;  // the sum of its edges' weights
};

// A cycle basis of least total weight: as many independent cycles as the graph has
// (edges − vertices + connected parts), in increasing weight; among cycles of equal weight
// the one whose vertex numbers come first (as a sequence) is taken first, so numbering the
// vertices in the order of their names breaks ties by names.
//
// Candidates are the cycles that a shortest-path tree closes with one more edge, taken in
// increasing weight while they are independent of those taken (over GF(2), on the edges
// outside one spanning tree). Every cycle is sought only from its lowest-numbered vertex,
// with a tree over the higher-numbered vertices, and only within a radius that doubles
// until the basis is complete, so short loops are found without looking at long ones and
// all cycles are never listed.
std::vector<BasisCycle> minimumCycleBasis(int vertex_count, std::span<const WeightedEdge> edges);

}  // namespace velk

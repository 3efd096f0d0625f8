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
// The method is Horton's (J. D. Horton, "A polynomial-time algorithm to find the shortest
// cycle basis of a graph", SIAM Journal on Computing 16(2), 1987): the candidates are the
// cycles that a shortest-path tree closes with one more edge, taken greedily in increasing
// weight while they are independent of those taken (over GF(2), on the edges outside one
// spanning tree). Every cycle is sought only from its lowest-numbered vertex, with a tree
// over the higher-numbered vertices, and only within a radius that doubles until the basis
// is complete, so short loops are found without looking at long ones and all cycles are
// never listed.
//
// Ties between shortest paths: Horton's proof that the candidates hold a basis of least
// weight assumes one shortest path between two vertices, chosen consistently; the trees
// here break ties towards the lower-numbered vertex. Where ties still leave the candidates
// short of a basis, the rest is filled with the fundamental cycles of a spanning forest,
// lightest first. The result is then always a basis, and every cycle taken before the
// filling is as light as a least basis has it, but its total weight is no longer proven
// the least: in the networks of the campaigns (real lengths, rarely equal) this has not
// been seen to happen.
std::vector<BasisCycle> minimumCycleBasis(int vertex_count, std::span<const WeightedEdge> edges);

}  // namespace velk

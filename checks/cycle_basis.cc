#include "checks/cycle_basis.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <limits>
#include <tuple>
#include <utility>

#include "checks/gf2_basis.h"

namespace velk {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Neighbour {
  int vertex = 0;
  int edge = 0;
};

// A cycle that the tree of `root` closes with `edge`, from x (the lower-numbered end of
// the edge) to y.
struct Candidate {
  double weight = 0;
  int root = 0;
  int edge = 0;
  int x = 0, y = 0;
};

// Whether p comes before q: by weight, then by the sequence of vertices.
bool lighter(const BasisCycle& p, const BasisCycle& q) {
  return std::tie(p.weight, p.vertices) < std::tie(q.weight, q.vertices);
}

class CycleBasisFinder {
 public:
  CycleBasisFinder(int vertex_count, std::span<const WeightedEdge> edges);
  std::vector<BasisCycle> find();

 private:
  void buildAdjacency();
  void numberChords();
  std::vector<Neighbour> breadthFirst(int start, std::vector<char>& seen) const;
  void runPass(double lower, double upper);
  void growTree(int root, double radius);
  void collectCandidates(int root, double lower, double upper, std::vector<BasisCycle>& out);
  void clearTree();
  BasisCycle materialise(const Candidate& candidate) const;
  void offer(BasisCycle cycle);
  void completeWithFundamentalCycles();
  double firstWeightBound() const;
  bool complete() const { return basis_.rank() == chord_count_; }
  int other(int edge, int vertex) const {
    const WeightedEdge& e = edges_[static_cast<std::size_t>(edge)];
    return e.a == vertex ? e.b : e.a;
  }
  double weight(int edge) const { return edges_[static_cast<std::size_t>(edge)].weight; }

  int n_;
  std::span<const WeightedEdge> edges_;
  std::vector<std::vector<Neighbour>> adjacency_;
  // A spanning forest grown breadth-first, each part from a vertex at its far end.
  std::vector<int> forest_parent_edge_, forest_depth_;
  std::vector<int> chord_position_;  // per edge: its position over GF(2), -1 in the forest
  std::size_t chord_count_ = 0;
  Gf2Basis basis_{0};
  std::vector<BasisCycle> cycles_;

  // The tree being grown from one root.
  std::vector<double> distance_;
  std::vector<int> parent_edge_, branch_;
  std::vector<char> settled_;
  std::vector<int> reached_;  // in the order settled
  using QueueEntry = std::pair<double, int>;
  std::vector<QueueEntry> queue_;
};

CycleBasisFinder::CycleBasisFinder(int vertex_count, std::span<const WeightedEdge> edges)
    : n_(vertex_count),
      edges_(edges),
      adjacency_(static_cast<std::size_t>(vertex_count)),
      forest_parent_edge_(static_cast<std::size_t>(vertex_count), -1),
      forest_depth_(static_cast<std::size_t>(vertex_count), 0),
      chord_position_(edges.size(), -1),
      distance_(static_cast<std::size_t>(vertex_count), kInfinity),
      parent_edge_(static_cast<std::size_t>(vertex_count), -1),
      branch_(static_cast<std::size_t>(vertex_count), -1),
      settled_(static_cast<std::size_t>(vertex_count), 0) {}

void CycleBasisFinder::buildAdjacency() {
  for (std::size_t e = 0; e < edges_.size(); ++e) {
    const int edge = static_cast<int>(e);
    adjacency_[static_cast<std::size_t>(edges_[e].a)].push_back({edges_[e].b, edge});
    adjacency_[static_cast<std::size_t>(edges_[e].b)].push_back({edges_[e].a, edge});
  }
  for (auto& neighbours : adjacency_)
    std::sort(neighbours.begin(), neighbours.end(),
              [](const Neighbour& p, const Neighbour& q) { return p.vertex < q.vertex; });
}

// The vertices of start's part in breadth-first order, each with the edge it was reached by
// (-1 for start), marking them in `seen`.
std::vector<Neighbour> CycleBasisFinder::breadthFirst(int start, std::vector<char>& seen) const {
  std::vector<Neighbour> order{{start, -1}};
  seen[static_cast<std::size_t>(start)] = 1;
  for (std::size_t next = 0; next < order.size(); ++next) {
    for (const Neighbour& neighbour : adjacency_[static_cast<std::size_t>(order[next].vertex)]) {
      if (seen[static_cast<std::size_t>(neighbour.vertex)]) continue;
      seen[static_cast<std::size_t>(neighbour.vertex)] = 1;
      order.push_back(neighbour);
    }
  }
  return order;
}

// The edges outside a breadth-first spanning forest, numbered by the place of their ends in
// the search: edges near each other in the network get near positions, which keeps the
// rows of the elimination short.
void CycleBasisFinder::numberChords() {
  std::vector<int> visit_order(static_cast<std::size_t>(n_), -1);
  std::vector<char> in_forest(edges_.size(), 0);
  std::vector<char> seen(static_cast<std::size_t>(n_), 0), probed(static_cast<std::size_t>(n_), 0);
  int visited = 0;
  for (int start = 0; start < n_; ++start) {
    if (seen[static_cast<std::size_t>(start)]) continue;
    // Started from a vertex at the far end of its part, the search's layers are narrow.
    const int far_end = breadthFirst(start, probed).back().vertex;
    for (const Neighbour& reached : breadthFirst(far_end, seen)) {
      const auto v = static_cast<std::size_t>(reached.vertex);
      visit_order[v] = visited++;
      if (reached.edge < 0) continue;
      forest_parent_edge_[v] = reached.edge;
      forest_depth_[v] = forest_depth_[static_cast<std::size_t>(other(reached.edge, reached.vertex))] + 1;
      in_forest[static_cast<std::size_t>(reached.edge)] = 1;
    }
  }
  std::vector<std::tuple<int, int, int>> chords;  // (earlier end, later end, edge)
  for (std::size_t e = 0; e < edges_.size(); ++e) {
    if (in_forest[e]) continue;
    const int p = visit_order[static_cast<std::size_t>(edges_[e].a)];
    const int q = visit_order[static_cast<std::size_t>(edges_[e].b)];
    chords.emplace_back(std::min(p, q), std::max(p, q), static_cast<int>(e));
  }
  std::sort(chords.begin(), chords.end());
  for (std::size_t k = 0; k < chords.size(); ++k)
    chord_position_[static_cast<std::size_t>(std::get<2>(chords[k]))] = static_cast<int>(k);
  chord_count_ = chords.size();
  basis_ = Gf2Basis(chord_count_);
}

// Loops of a network are mostly a few pairs long: the first pass takes cycles up to a weight
// that lets in triangles and quadrilaterals of typical pairs.
double CycleBasisFinder::firstWeightBound() const {
  std::vector<double> weights;
  weights.reserve(edges_.size());
  for (const WeightedEdge& edge : edges_) weights.push_back(edge.weight);
  const auto middle = weights.begin() + static_cast<std::ptrdiff_t>(weights.size() / 2);
  std::nth_element(weights.begin(), middle, weights.end());
  return 4 * *middle;
}

std::vector<BasisCycle> CycleBasisFinder::find() {
  buildAdjacency();
  numberChords();
  if (complete()) return {};  // a forest: no loops
  double total = 0;
  for (const WeightedEdge& edge : edges_) total += edge.weight;
  double lower = -1;
  double upper = firstWeightBound();
  while (!complete()) {
    // No simple cycle weighs more than all edges together: the last pass takes everything.
    const bool last = !(upper > 0) || upper >= total;
    if (last) upper = kInfinity;
    runPass(lower, upper);
    if (last) break;
    lower = upper;
    upper *= 2;
  }
  // Only ties between shortest paths can leave gaps; the cycles of the forest fill them.
  if (!complete()) completeWithFundamentalCycles();
  return std::move(cycles_);
}

// Offers, in increasing weight, every candidate cycle with lower < weight ≤ upper.
void CycleBasisFinder::runPass(double lower, double upper) {
  std::vector<BasisCycle> candidates;
  // A cycle of weight W through the root has all its vertices within W / 2 of it; the
  // margin keeps rounding of the distances from losing one.
  const double radius = upper / 2 * (1 + 1e-12);
  for (int root = 0; root < n_; ++root) {
    growTree(root, radius);
    collectCandidates(root, lower, upper, candidates);
    clearTree();
  }
  std::sort(candidates.begin(), candidates.end(), lighter);
  for (BasisCycle& cycle : candidates) {
    if (complete()) break;
    offer(std::move(cycle));
  }
}

// Dijkstra from the root over the higher-numbered vertices, up to the radius; ties go to the
// lower-numbered vertex. branch_ records which child of the root each vertex hangs from.
void CycleBasisFinder::growTree(int root, double radius) {
  // The heap lives in a member, so that its storage is reused from root to root.
  std::vector<QueueEntry>& queue = queue_;
  const auto push = [&queue](double d, int v) {
    queue.emplace_back(d, v);
    std::push_heap(queue.begin(), queue.end(), std::greater<>());
  };
  distance_[static_cast<std::size_t>(root)] = 0;
  push(0.0, root);
  while (!queue.empty()) {
    std::pop_heap(queue.begin(), queue.end(), std::greater<>());
    const auto [d, u] = queue.back();
    queue.pop_back();
    const auto uu = static_cast<std::size_t>(u);
    if (settled_[uu] || d != distance_[uu]) continue;
    settled_[uu] = 1;
    reached_.push_back(u);
    branch_[uu] = u == root ? -1
                  : other(parent_edge_[uu], u) == root
                      ? u
                      : branch_[static_cast<std::size_t>(other(parent_edge_[uu], u))];
    for (const Neighbour& next : adjacency_[uu]) {
      const auto w = static_cast<std::size_t>(next.vertex);
      if (next.vertex <= root || settled_[w]) continue;
      const double through = d + weight(next.edge);
      if (through > radius || !(through < distance_[w])) continue;
      distance_[w] = through;
      parent_edge_[w] = next.edge;
      push(through, next.vertex);
    }
  }
}

// The edges between two vertices of the tree that are not tree edges and join two
// different branches (or the root and a branch): each closes one simple cycle.
void CycleBasisFinder::collectCandidates(int root, double lower, double upper,
                                         std::vector<BasisCycle>& out) {
  for (const int x : reached_) {
    const auto xx = static_cast<std::size_t>(x);
    for (const Neighbour& next : adjacency_[xx]) {
      const int y = next.vertex;
      const auto yy = static_cast<std::size_t>(y);
      if (y <= x || !settled_[yy] || branch_[xx] == branch_[yy]) continue;
      if (parent_edge_[xx] == next.edge || parent_edge_[yy] == next.edge) continue;
      const double cycle_weight = distance_[xx] + weight(next.edge) + distance_[yy];
      if (cycle_weight > lower && cycle_weight <= upper)
        out.push_back(materialise({cycle_weight, root, next.edge, x, y}));
    }
  }
}

void CycleBasisFinder::clearTree() {
  for (const int v : reached_) {
    const auto vv = static_cast<std::size_t>(v);
    distance_[vv] = kInfinity;
    parent_edge_[vv] = -1;
    branch_[vv] = -1;
    settled_[vv] = 0;
  }
  reached_.clear();
}

// Puts a cycle in its standard form: from its lowest vertex towards the lower of that
// vertex's two neighbours.
void orient(BasisCycle& cycle) {
  const auto lowest = std::min_element(cycle.vertices.begin(), cycle.vertices.end());
  const auto shift = lowest - cycle.vertices.begin();
  std::rotate(cycle.vertices.begin(), lowest, cycle.vertices.end());
  std::rotate(cycle.edges.begin(), cycle.edges.begin() + shift, cycle.edges.end());
  if (cycle.vertices[1] > cycle.vertices.back()) {
    std::reverse(cycle.vertices.begin() + 1, cycle.vertices.end());
    std::reverse(cycle.edges.begin(), cycle.edges.end());
  }
}

BasisCycle CycleBasisFinder::materialise(const Candidate& candidate) const {
  // Up the tree from x and from y to the root.
  const auto climb = [&](int from, std::vector<int>& vertices, std::vector<int>& edges) {
    for (int v = from; v != candidate.root;) {
      const int edge = parent_edge_[static_cast<std::size_t>(v)];
      vertices.push_back(v);
      edges.push_back(edge);
      v = other(edge, v);
    }
  };
  std::vector<int> x_vertices, x_edges, y_vertices, y_edges;
  climb(candidate.x, x_vertices, x_edges);
  climb(candidate.y, y_vertices, y_edges);
  BasisCycle cycle;
  cycle.weight = candidate.weight;
  cycle.vertices.push_back(candidate.root);
  cycle.vertices.insert(cycle.vertices.end(), x_vertices.rbegin(), x_vertices.rend());
  cycle.vertices.insert(cycle.vertices.end(), y_vertices.begin(), y_vertices.end());
  cycle.edges.assign(x_edges.rbegin(), x_edges.rend());
  cycle.edges.push_back(candidate.edge);
  cycle.edges.insert(cycle.edges.end(), y_edges.begin(), y_edges.end());
  orient(cycle);
  return cycle;
}

void CycleBasisFinder::offer(BasisCycle cycle) {
  std::vector<int> positions;
  for (const int edge : cycle.edges) {
    const int position = chord_position_[static_cast<std::size_t>(edge)];
    if (position >= 0) positions.push_back(position);
  }
  if (basis_.takeIfIndependent(positions)) cycles_.push_back(std::move(cycle));
}

// Each edge outside the spanning forest with the forest path between its ends.
void CycleBasisFinder::completeWithFundamentalCycles() {
  std::vector<BasisCycle> fundamentals;
  for (std::size_t e = 0; e < edges_.size(); ++e) {
    if (chord_position_[e] < 0) continue;
    std::vector<int> a_side{edges_[e].a}, b_side{edges_[e].b}, a_edges, b_edges;
    const auto step = [&](std::vector<int>& side, std::vector<int>& side_edges) {
      const int edge = forest_parent_edge_[static_cast<std::size_t>(side.back())];
      side_edges.push_back(edge);
      side.push_back(other(edge, side.back()));
    };
    const auto depth = [&](const std::vector<int>& side) {
      return forest_depth_[static_cast<std::size_t>(side.back())];
    };
    while (depth(a_side) > depth(b_side)) step(a_side, a_edges);
    while (depth(b_side) > depth(a_side)) step(b_side, b_edges);
    while (a_side.back() != b_side.back()) {
      step(a_side, a_edges);
      step(b_side, b_edges);
    }
    BasisCycle cycle;
    // a … meeting vertex … b, then the edge back to a.
    cycle.vertices = a_side;
    cycle.vertices.insert(cycle.vertices.end(), b_side.rbegin() + 1, b_side.rend());
    cycle.edges = a_edges;
    cycle.edges.insert(cycle.edges.end(), b_edges.rbegin(), b_edges.rend());
    cycle.edges.push_back(static_cast<int>(e));
    for (const int edge : cycle.edges) cycle.weight += weight(edge);
    orient(cycle);
    fundamentals.push_back(std::move(cycle));
  }
  std::sort(fundamentals.begin(), fundamentals.end(), lighter);
  for (BasisCycle& cycle : fundamentals) {
    if (complete()) break;
    offer(std::move(cycle));
  }
}

}  // namespace

std::vector<BasisCycle> minimumCycleBasis(int vertex_count, std::span<const WeightedEdge> edges) {
  return CycleBasisFinder(vertex_count, edges).find();
}

}  // namespace velk

#include "plot/label_placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace velk::plot {

namespace {

constexpr double kGap = 3;         // px between a point's marker and its own label
constexpr double kRingStep = 6;    // px from one ring of candidate places to the next
constexpr int kRingDirections = 24;
constexpr double kPi = 3.14159265358979323846;

// Items found by the cells of a square grid that their bounding boxes touch: a query
// looks only at the items of the cells its own box touches.
class CellGrid {
 public:
  explicit CellGrid(double cell) : cell_(cell) {}

  void add(const Box& bounds, std::size_t item) {
    forCells(bounds, [&](std::int64_t key) { cells_[key].push_back(item); });
  }

  // Whether `hit` holds for none of the items near `box`.
  template <typename Hit>
  bool noneNear(const Box& box, Hit hit) const {
    bool none = true;
    forCells(box, [&](std::int64_t key) {
      if (!none) return;
      const auto found = cells_.find(key);
      if (found == cells_.end()) return;
      for (const std::size_t item : found->second)
        if (hit(item)) none = false;
    });
    return none;
  }

 private:
  template <typename Visit>
  void forCells(const Box& box, Visit visit) const {
    const auto first_column = static_cast<std::int64_t>(std::floor(box.left / cell_));
    const auto last_column = static_cast<std::int64_t>(std::floor(box.right / cell_));
    const auto first_row = static_cast<std::int64_t>(std::floor(box.top / cell_));
    const auto last_row = static_cast<std::int64_t>(std::floor(box.bottom / cell_));
    for (std::int64_t column = first_column; column <= last_column; ++column)
      for (std::int64_t row = first_row; row <= last_row; ++row)
        visit(column * 0x100000000LL + row);
  }

  double cell_;
  std::unordered_map<std::int64_t, std::vector<std::size_t>> cells_;
};

// The boxes placed so far.
class BoxIndex {
 public:
  explicit BoxIndex(double cell) : grid_(cell) {}

  void add(const Box& box) {
    grid_.add(box, boxes_.size());
    boxes_.push_back(box);
  }

  bool isFree(const Box& box) const {
    return grid_.noneNear(box, [&](std::size_t i) { return boxes_[i].overlaps(box); });
  }

 private:
  CellGrid grid_;
  std::vector<Box> boxes_;
};

// The lines.
class SegmentIndex {
 public:
  SegmentIndex(std::span<const Segment> segments, double cell) : segments_(segments), grid_(cell) {
    for (std::size_t i = 0; i < segments.size(); ++i) grid_.add(boundsOf(segments[i]), i);
  }

  bool isClear(const Box& box) const {
    return grid_.noneNear(box, [&](std::size_t i) { return crosses(segments_[i], box); });
  }

 private:
  static Box boundsOf(const Segment& s) {
    return {std::min(s.from.x, s.to.x), std::min(s.from.y, s.to.y), std::max(s.from.x, s.to.x),
            std::max(s.from.y, s.to.y)};
  }

  std::span<const Segment> segments_;
  CellGrid grid_;
};

Box boxAt(Point centre, double width, double height) {
  return {centre.x - width / 2, centre.y - height / 2, centre.x + width / 2,
          centre.y + height / 2};
}

// The box of a label in direction `angle` (0: right, pi/2: below) whose nearest side keeps
// `gap` px from the point.
Box boxInDirection(const LabelRequest& label, double angle, double gap) {
  const double dx = std::cos(angle), dy = std::sin(angle);
  // Scale the direction so that the box clears a square of `gap` around the point.
  const double reach_x = gap + label.width / 2, reach_y = gap + label.height / 2;
  const double scale = std::min(std::abs(dx) > 1e-12 ? reach_x / std::abs(dx) : 1e300,
                                std::abs(dy) > 1e-12 ? reach_y / std::abs(dy) : 1e300);
  return boxAt({label.anchor.x + dx * scale, label.anchor.y + dy * scale}, label.width,
               label.height);
}

Point nearestPoint(const Box& box, Point point) {
  return {std::clamp(point.x, box.left, box.right), std::clamp(point.y, box.top, box.bottom)};
}

// The places tried first, in order of preference: right, left, above, below, then the
// four corners (directions in radians, y downwards).
constexpr double kFirstDirections[] = {0, kPi, -kPi / 2, kPi / 2,
                                       -kPi / 4, -3 * kPi / 4, kPi / 4, 3 * kPi / 4};

}  // namespace

bool crosses(const Segment& segment, const Box& box) {
  const double dx = segment.to.x - segment.from.x, dy = segment.to.y - segment.from.y;
  // The segment is from + t (dx, dy), t in [0, 1]: narrow t to each slab of the box.
  double enter = 0, leave = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {segment.from.x - box.left, box.right - segment.from.x,
                       segment.from.y - box.top, box.bottom - segment.from.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;  // parallel to this side and outside it
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      enter = std::max(enter, t);
    } else {
      leave = std::min(leave, t);
    }
  }
  return enter <= leave;
}

std::vector<PlacedLabel> placeLabels(std::span<const LabelRequest> labels, double marker_radius,
                                     std::span<const Segment> lines) {
  double cell = 32;
  for (const LabelRequest& label : labels) cell = std::max({cell, label.width, label.height});
  BoxIndex taken(cell);
  for (const LabelRequest& label : labels)
    taken.add(boxAt(label.anchor, 2 * marker_radius, 2 * marker_radius));
  const SegmentIndex drawn(lines, cell);

  std::vector<PlacedLabel> placed;
  placed.reserve(labels.size());
  for (const LabelRequest& label : labels) {
    PlacedLabel result;
    bool found = false;
    for (const bool clear_of_lines : {true, false}) {
      for (const double angle : kFirstDirections) {
        const Box box = boxInDirection(label, angle, marker_radius + kGap);
        if (taken.isFree(box) && (!clear_of_lines || drawn.isClear(box))) {
          result.box = box;
          found = true;
          break;
        }
      }
      if (found) break;
    }
    // Rings further out: every obstacle is finitely far, so a ring beyond them all is free.
    for (int ring = 1; !found; ++ring) {
      const double gap = marker_radius + kGap + ring * kRingStep;
      for (int k = 0; k < kRingDirections && !found; ++k) {
        const Box box = boxInDirection(label, 2 * kPi * k / kRingDirections, gap);
        if (taken.isFree(box)) {
          result = {box, true, nearestPoint(box, label.anchor)};
          found = true;
        }
      }
    }
    taken.add(result.box);
    placed.push_back(result);
  }
  return placed;
}

}  // namespace velk::plot

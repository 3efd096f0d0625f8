#pragma once

#include <span>
#include <vector>

#include "plot/svg_writer.h"

namespace velk::plot {

// A label to place beside its point: the size of its text's box.
struct LabelRequest {
  Point anchor;
  double width = 0, height = 0;
};

// Where a label went: its box, and whether it stands off its point (then a leader line
// joins the point to the box's nearest point, `leader_end`).
struct PlacedLabel {
  Box box;
  bool leader = false;
  Point leader_end;
};

// A line of the picture that labels should keep clear of.
struct Segment {
  Point from, to;
};

// Places every label so that no two labels overlap and no label covers a point's marker
// (a square of `marker_radius` around each anchor). Each label takes the first of eight
// places beside its point that is free and crosses none of `lines`; else the first of them
// that is free; else the first free place on rings further and further out, where the
// rings always end in free space: the placement never fails. Labels are placed in order.
std::vector<PlacedLabel> placeLabels(std::span<const LabelRequest> labels, double marker_radius,
                                     std::span<const Segment> lines = {});

// Whether the segment crosses or touches the inside of the box (Liang and Barsky's
// clipping, 1984).
bool crosses(const Segment& segment, const Box& box);

}  // namespace velk::plot

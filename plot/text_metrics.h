#pragma once

#include <string_view>

namespace velk::plot {

// The font of every text of the pictures: the first of these that the viewer has. The
// advance widths below are, character by character, the larger of the two common metric
// families (the Helvetica/Arial/Liberation one and the wider DejaVu/Vera one), so that a
// text measured here is at least as wide as any of them draws it.
inline constexpr std::string_view kFontFamily =
    "Arial, Helvetica, 'Liberation Sans', 'DejaVu Sans', sans-serif";

// Height above the baseline of capitals and digits, and depth of descenders, in ems.
inline constexpr double kAscent = 0.76;
inline constexpr double kDescent = 0.24;

// The advance width of UTF-8 `text` at `font_size` (px), bold or not. A character outside
// ASCII counts as wide as the widest character of the face, so that no label is measured
// short.
double textWidth(std::string_view text, double font_size, bool bold = false);

}  // namespace velk::plot

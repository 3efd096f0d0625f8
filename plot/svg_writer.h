#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/xml_writer.h"

namespace velk::plot {

// A point of the picture in px, y downwards.
struct Point {
  double x = 0, y = 0;
};

// An axis-aligned rectangle in px, y downwards.
struct Box {
  double left = 0, top = 0, right = 0, bottom = 0;

  double width() const { return right - left; }
  double height() const { return bottom - top; }
  bool overlaps(const Box& other) const {
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
  void include(const Box& other);
  void include(Point point);
};

// How a shape is painted: colours as SVG colour texts ("#1f77b4", "none").
struct Paint {
  std::string_view fill = "none";
  std::string_view stroke = "none";
  double stroke_width = 1;
  std::string_view dash = {};  // stroke-dasharray, e.g. "6 3"; empty: solid
  double opacity = 1;          // fill-opacity
};

enum class Anchor { kStart, kMiddle, kEnd };

struct Font {
  double size = 12;  // px
  Anchor anchor = Anchor::kStart;
  bool bold = false;
  std::string_view fill = "#000000";
  // A white outline under the letters, so that a label stays readable over lines.
  bool halo = false;
  // Turned about (x, y) by this many degrees (clockwise): -90 for a vertical axis title.
  double rotation = 0;
};

// Writes one self-contained SVG document (no script, no style sheet, no external font or
// file): every shape carries its own presentation attributes, which every SVG viewer reads.
// The XML and its escaping are the XML writer's. Texts are UTF-8 (a text that is not is
// taken as code page 850, as station names are). Coordinates are written with two decimals
// (a hundredth of a px), so the same picture gives the same bytes.
class SvgWriter {
 public:
  // A picture of width x height px; `title` is its <title> (shown by viewers as its name).
  SvgWriter(double width, double height, std::string_view title);

  // <g id=...>: groups a picture's parts so that they can be found (tests, editors).
  void openGroup(std::string_view id);
  // <g> whose first child is <title>: a browser shows the title when the pointer rests on
  // any shape of the group.
  void openTitledGroup(std::string_view title);
  void closeGroup();

  void rect(double x, double y, double width, double height, const Paint& paint);
  void line(Point from, Point to, const Paint& paint);
  void polyline(std::span<const Point> points, const Paint& paint);
  void polygon(std::span<const Point> points, const Paint& paint);
  void circle(Point centre, double radius, const Paint& paint);
  void text(Point at, std::string_view utf8, const Font& font);

  // The document; every group must be closed (std::logic_error otherwise).
  std::string finish() &&;

 private:
  // The attributes of one element.
  class Attributes {
   public:
    void add(std::string_view name, std::string value);
    void add(std::string_view name, double value);
    void addPaint(const Paint& paint);
    void addPoints(std::span<const Point> points);
    XmlAttributeList list() const { return list_; }

   private:
    std::vector<XmlAttribute> list_;
  };

  XmlWriter xml_;
  int open_groups_ = 0;
};

// `text` for the XML writer: UTF-8 as it stands, anything else as code page 850.
XmlText svgText(std::string_view text);

// A coordinate as written: at most two decimals, no trailing zeros, never "-0".
std::string coordinateText(double value);

}  // namespace velk::plot

#include "plot/svg_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "format/text_encoding.h"
#include "plot/text_metrics.h"

namespace velk::plot {
namespace {

std::string_view anchorName(Anchor anchor) {
  switch (anchor) {
    case Anchor::kStart: return "start";
    case Anchor::kMiddle: return "middle";
    case Anchor::kEnd: return "end";
  }
  return "start";
}

}  // namespace

void Box::include(const Box& other) {
  left = std::min(left, other.left);
  top = std::min(top, other.top);
  right = std::max(right, other.right);
  bottom = std::max(bottom, other.bottom);
}

void Box::include(Point point) { include(Box{point.x, point.y, point.x, point.y}); }

XmlText svgText(std::string_view text) {
  return isValidUtf8(text) ? XmlText::utf8(std::string(text)) : XmlText(text);
}

std::string coordinateText(double value) {
  // Whole hundredths first, so that the text does not depend on how a library rounds.
  const double hundredths = std::round(value * 100);
  if (!std::isfinite(hundredths)) throw std::logic_error("SVG: a coordinate is not finite");
  if (hundredths == 0) return "0";
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, hundredths / 100, std::chars_format::fixed, 2);
  std::string text(buffer, result.ptr);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

void SvgWriter::Attributes::add(std::string_view name, std::string value) {
  list_.push_back({name, svgText(value)});
}

void SvgWriter::Attributes::add(std::string_view name, double value) {
  add(name, coordinateText(value));
}

void SvgWriter::Attributes::addPaint(const Paint& paint) {
  add("fill", std::string(paint.fill));
  if (paint.opacity != 1) add("fill-opacity", paint.opacity);
  if (paint.stroke == "none") return;
  add("stroke", std::string(paint.stroke));
  add("stroke-width", paint.stroke_width);
  if (!paint.dash.empty()) add("stroke-dasharray", std::string(paint.dash));
}

void SvgWriter::Attributes::addPoints(std::span<const Point> points) {
  std::string text;
  for (const Point& point : points) {
    if (!text.empty()) text += ' ';
    text += coordinateText(point.x) + "," + coordinateText(point.y);
  }
  add("points", std::move(text));
}

SvgWriter::SvgWriter(double width, double height, std::string_view title)
    : xml_("version=\"1.0\" encoding=\"UTF-8\"") {
  Attributes root;
  root.add("xmlns", "http://www.w3.org/2000/svg");
  root.add("version", "1.1");
  root.add("width", width);
  root.add("height", height);
  root.add("viewBox", "0 0 " + coordinateText(width) + " " + coordinateText(height));
  root.add("font-family", std::string(kFontFamily));
  xml_.open("svg", root.list());
  xml_.element("title", svgText(title));
  rect(0, 0, width, height, {.fill = "#ffffff"});
}

void SvgWriter::openGroup(std::string_view id) {
  Attributes group;
  group.add("id", std::string(id));
  xml_.open("g", group.list());
  ++open_groups_;
}

void SvgWriter::openTitledGroup(std::string_view title) {
  xml_.open("g");
  xml_.element("title", svgText(title));
  ++open_groups_;
}

void SvgWriter::closeGroup() {
  if (open_groups_ == 0) throw std::logic_error("SVG: closeGroup() without an open group");
  --open_groups_;
  xml_.close();
}

void SvgWriter::rect(double x, double y, double width, double height, const Paint& paint) {
  Attributes rect;
  rect.add("x", x);
  rect.add("y", y);
  rect.add("width", width);
  rect.add("height", height);
  rect.addPaint(paint);
  xml_.empty("rect", rect.list());
}

void SvgWriter::line(Point from, Point to, const Paint& paint) {
  Attributes line;
  line.add("x1", from.x);
  line.add("y1", from.y);
  line.add("x2", to.x);
  line.add("y2", to.y);
  line.addPaint(paint);
  xml_.empty("line", line.list());
}

void SvgWriter::polyline(std::span<const Point> points, const Paint& paint) {
  Attributes polyline;
  polyline.addPoints(points);
  polyline.addPaint(paint);
  xml_.empty("polyline", polyline.list());
}

void SvgWriter::polygon(std::span<const Point> points, const Paint& paint) {
  Attributes polygon;
  polygon.addPoints(points);
  polygon.addPaint(paint);
  xml_.empty("polygon", polygon.list());
}

void SvgWriter::circle(Point centre, double radius, const Paint& paint) {
  Attributes circle;
  circle.add("cx", centre.x);
  circle.add("cy", centre.y);
  circle.add("r", radius);
  circle.addPaint(paint);
  xml_.empty("circle", circle.list());
}

void SvgWriter::text(Point at, std::string_view utf8, const Font& font) {
  Attributes text;
  text.add("x", at.x);
  text.add("y", at.y);
  text.add("font-size", font.size);
  if (font.anchor != Anchor::kStart) text.add("text-anchor", std::string(anchorName(font.anchor)));
  if (font.bold) text.add("font-weight", "bold");
  text.add("fill", std::string(font.fill));
  if (font.halo) {
    // The outline is painted first, under the letters' fill.
    text.add("stroke", "#ffffff");
    text.add("stroke-width", font.size / 4);
    text.add("stroke-linejoin", "round");
    text.add("paint-order", "stroke");
  }
  if (font.rotation != 0) {
    text.add("transform", "rotate(" + coordinateText(font.rotation) + " " +
                              coordinateText(at.x) + " " + coordinateText(at.y) + ")");
  }
  xml_.element("text", svgText(utf8), text.list());
}

std::string SvgWriter::finish() && {
  if (open_groups_ != 0) throw std::logic_error("SVG: a group is left open");
  xml_.close();
  return std::move(xml_).finish();
}

}  // namespace velk::plot

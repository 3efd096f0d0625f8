#include "plot/svg_writer.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "plot/text_metrics.h"

namespace velk::plot {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t utf8SequenceLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  unsigned minimum = 0;
  unsigned value = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, value = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, value = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, value = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3Fu);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < minimum || value > 0x10FFFF || surrogate) return 0;
  // U+FFFE and U+FFFF are not XML characters either.
  return value == 0xFFFE || value == 0xFFFF ? 0 : length;
}

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

std::string escapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const char c = text.front();
    const std::size_t length = utf8SequenceLength(text);
    if (length == 0) {
      out += kReplacementCharacter;
      text.remove_prefix(1);
      continue;
    }
    if (length > 1) {
      out += text.substr(0, length);
    } else if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      out += kReplacementCharacter;
    } else {
      out += c;
    }
    text.remove_prefix(length);
  }
  return out;
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

SvgWriter::SvgWriter(double width, double height, std::string_view title) {
  document_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg";
  attribute("xmlns", "http://www.w3.org/2000/svg");
  attribute("version", "1.1");
  attribute("width", width);
  attribute("height", height);
  attribute("viewBox", "0 0 " + coordinateText(width) + " " + coordinateText(height));
  attribute("font-family", kFontFamily);
  document_ += ">\n<title>" + escapeXml(title) + "</title>\n";
  rect(0, 0, width, height, {.fill = "#ffffff"});
}

void SvgWriter::startElement(std::string_view name) {
  document_.append(static_cast<std::size_t>(2 * open_groups_ + 2), ' ');
  document_ += '<';
  document_ += name;
}

void SvgWriter::attribute(std::string_view name, std::string_view value) {
  document_ += ' ';
  document_ += name;
  document_ += "=\"";
  document_ += escapeXml(value);
  document_ += '"';
}

void SvgWriter::attribute(std::string_view name, double value) {
  attribute(name, coordinateText(value));
}

void SvgWriter::paintAttributes(const Paint& paint) {
  attribute("fill", paint.fill);
  if (paint.opacity != 1) attribute("fill-opacity", paint.opacity);
  if (paint.stroke == "none") return;
  attribute("stroke", paint.stroke);
  attribute("stroke-width", paint.stroke_width);
  if (!paint.dash.empty()) attribute("stroke-dasharray", paint.dash);
}

void SvgWriter::points(std::span<const Point> points) {
  std::string text;
  for (const Point& point : points) {
    if (!text.empty()) text += ' ';
    text += coordinateText(point.x) + "," + coordinateText(point.y);
  }
  attribute("points", text);
}

void SvgWriter::openGroup(std::string_view id) {
  startElement("g");
  attribute("id", id);
  document_ += ">\n";
  ++open_groups_;
}

void SvgWriter::closeGroup() {
  if (open_groups_ == 0) throw std::logic_error("SVG: closeGroup() without an open group");
  --open_groups_;
  document_.append(static_cast<std::size_t>(2 * open_groups_ + 2), ' ');
  document_ += "</g>\n";
}

void SvgWriter::rect(double x, double y, double width, double height, const Paint& paint) {
  startElement("rect");
  attribute("x", x);
  attribute("y", y);
  attribute("width", width);
  attribute("height", height);
  paintAttributes(paint);
  document_ += "/>\n";
}

void SvgWriter::line(Point from, Point to, const Paint& paint) {
  startElement("line");
  attribute("x1", from.x);
  attribute("y1", from.y);
  attribute("x2", to.x);
  attribute("y2", to.y);
  paintAttributes(paint);
  document_ += "/>\n";
}

void SvgWriter::polyline(std::span<const Point> points_, const Paint& paint) {
  startElement("polyline");
  points(points_);
  paintAttributes(paint);
  document_ += "/>\n";
}

void SvgWriter::polygon(std::span<const Point> points_, const Paint& paint) {
  startElement("polygon");
  points(points_);
  paintAttributes(paint);
  document_ += "/>\n";
}

void SvgWriter::circle(Point centre, double radius, const Paint& paint) {
  startElement("circle");
  attribute("cx", centre.x);
  attribute("cy", centre.y);
  attribute("r", radius);
  paintAttributes(paint);
  document_ += "/>\n";
}

void SvgWriter::text(Point at, std::string_view utf8, const Font& font) {
  startElement("text");
  attribute("x", at.x);
  attribute("y", at.y);
  attribute("font-size", font.size);
  if (font.anchor != Anchor::kStart) attribute("text-anchor", anchorName(font.anchor));
  if (font.bold) attribute("font-weight", "bold");
  attribute("fill", font.fill);
  if (font.halo) {
    // The outline is painted first, under the letters' fill.
    attribute("stroke", "#ffffff");
    attribute("stroke-width", font.size / 4);
    attribute("stroke-linejoin", "round");
    attribute("paint-order", "stroke");
  }
  if (font.rotation != 0) {
    attribute("transform", "rotate(" + coordinateText(font.rotation) + " " +
                               coordinateText(at.x) + " " + coordinateText(at.y) + ")");
  }
  document_ += ">" + escapeXml(utf8) + "</text>\n";
}

std::string SvgWriter::finish() && {
  if (open_groups_ != 0) throw std::logic_error("SVG: a group is left open");
  document_ += "</svg>\n";
  return std::move(document_);
}

}  // namespace velk::plot

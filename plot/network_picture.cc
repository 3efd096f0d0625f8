#include "plot/network_picture.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "plot/label_placement.h"
#include "plot/svg_writer.h"
#include "plot/text_metrics.h"
#include "plot/ticks.h"

namespace velk::plot {
namespace {

constexpr double kMargin = 20;
constexpr double kTitleSize = 16;
constexpr double kTextSize = 12;
constexpr double kLabelSize = 12;
constexpr double kMarkerRadius = 5;
constexpr double kLegendSample = 32;  // px of line shown for each style

// The colour and width of each status, from the most urgent, and its legend text.
struct StatusColour {
  PairStatus status;
  std::string_view colour;
  double width;
  std::string_view legend;
};
constexpr std::array<StatusColour, 3> kStatusColours{{
    {PairStatus::kSuspect, "#c0007a", 4, "suspect"},
    {PairStatus::kFlagged, "#d62728", 2.5, "flagged"},
    {PairStatus::kFine, "#1f4e8c", 1.5, "fine"},
}};

// The dashes of a float-only pair; a pair with a fixed report is solid.
constexpr std::string_view kFloatDash = "7 4";
constexpr std::string_view kLegendStyleColour = "#555555";

const StatusColour& colourOf(PairStatus status) {
  for (const StatusColour& colour : kStatusColours)
    if (colour.status == status) return colour;
  return kStatusColours.back();
}

Paint linePaint(const NetworkLine& line) {
  const StatusColour& colour = colourOf(line.status);
  return {.stroke = colour.colour,
          .stroke_width = colour.width,
          .dash = line.float_only ? kFloatDash : std::string_view()};
}

// The stations' positions in px, north up, the most westerly at x = 0 and the most
// northerly at y = 0, at a scale (px per metre) that gives the longer side of the network
// room for its labels.
struct MapFrame {
  double scale = 1;
  std::vector<Point> positions;
};

MapFrame mapFrame(const std::vector<NetworkStation>& stations) {
  double west = 0, east = 0, south = 0, north = 0;
  if (!stations.empty()) {
    west = east = stations.front().east;
    south = north = stations.front().north;
  }
  for (const NetworkStation& station : stations) {
    west = std::min(west, station.east);
    east = std::max(east, station.east);
    south = std::min(south, station.north);
    north = std::max(north, station.north);
  }
  const double count = static_cast<double>(stations.size());
  const double long_side = std::min(1600.0, 600 + 45 * std::sqrt(count));
  const double width_m = east - west, height_m = north - south;
  MapFrame frame;
  if (std::max(width_m, height_m) < 1e-6) {
    frame.scale = 100;  // all in one place: any scale will do, the scale bar says which
  } else {
    frame.scale = std::min(width_m > 0 ? long_side / width_m : 1e300,
                           height_m > 0 ? 0.8 * long_side / height_m : 1e300);
  }
  for (const NetworkStation& station : stations)
    frame.positions.push_back(
        {(station.east - west) * frame.scale, (north - station.north) * frame.scale});
  return frame;
}

// The station marker: a triangle, as control points are drawn on survey maps.
std::array<Point, 3> triangleAt(Point centre) {
  return {{{centre.x, centre.y - kMarkerRadius},
           {centre.x - kMarkerRadius, centre.y + 0.7 * kMarkerRadius},
           {centre.x + kMarkerRadius, centre.y + 0.7 * kMarkerRadius}}};
}

Point shifted(Point point, Point by) { return {point.x + by.x, point.y + by.y}; }

// An entry of the legend: the station marker, a colour or a line style.
struct LegendEntry {
  enum class Kind { kStation, kColour, kStyle } kind;
  Paint sample;
  std::string text;
};

std::vector<LegendEntry> legendEntries(const NetworkDrawing& drawing) {
  std::vector<LegendEntry> entries{{LegendEntry::Kind::kStation, {}, "station"}};
  for (const StatusColour& colour : kStatusColours) {
    const auto count =
        std::count_if(drawing.lines.begin(), drawing.lines.end(),
                      [&](const NetworkLine& line) { return line.status == colour.status; });
    entries.push_back({LegendEntry::Kind::kColour,
                       {.stroke = colour.colour, .stroke_width = colour.width},
                       std::string(colour.legend) + " (" + std::to_string(count) + ")"});
  }
  for (const bool float_only : {false, true}) {
    const auto count =
        std::count_if(drawing.lines.begin(), drawing.lines.end(),
                      [&](const NetworkLine& line) { return line.float_only == float_only; });
    entries.push_back(
        {LegendEntry::Kind::kStyle,
         {.stroke = kLegendStyleColour,
          .stroke_width = 1.5,
          .dash = float_only ? kFloatDash : std::string_view()},
         std::string(float_only ? "float only" : "fixed") + " (" + std::to_string(count) + ")"});
  }
  return entries;
}

constexpr double kLegendGap = 18;

double legendWidth(const std::vector<LegendEntry>& entries) {
  double width = 0;
  for (const LegendEntry& entry : entries)
    width += kLegendSample + 6 + textWidth(entry.text, kTextSize) + kLegendGap;
  return width - kLegendGap;
}

void drawLegend(SvgWriter& svg, const std::vector<LegendEntry>& entries, Point at) {
  svg.openGroup("legend");
  double x = at.x;
  const double middle = at.y - kTextSize * 0.3;
  for (const LegendEntry& entry : entries) {
    if (entry.kind == LegendEntry::Kind::kStation) {
      const auto triangle = triangleAt({x + kLegendSample / 2, middle});
      svg.polygon(triangle, {.fill = "#000000"});
    } else {
      svg.line({x, middle}, {x + kLegendSample, middle}, entry.sample);
    }
    x += kLegendSample + 6;
    svg.text({x, at.y}, entry.text, {.size = kTextSize});
    x += textWidth(entry.text, kTextSize) + kLegendGap;
  }
  svg.closeGroup();
}

constexpr double kScaleBarMaxPx = 180;

// A bar of a round length in two halves, its length written above its right end.
double drawScaleBar(SvgWriter& svg, double scale, Point at) {
  const double metres = roundLengthBelow(kScaleBarMaxPx / scale);
  const double length = metres * scale;
  svg.openGroup("scale-bar");
  svg.rect(at.x, at.y, length / 2, 6, {.fill = "#000000", .stroke = "#000000"});
  svg.rect(at.x + length / 2, at.y, length / 2, 6, {.fill = "#ffffff", .stroke = "#000000"});
  svg.text({at.x, at.y - 5}, "0", {.size = kTextSize, .anchor = Anchor::kMiddle});
  svg.text({at.x + length, at.y - 5}, lengthText(metres),
           {.size = kTextSize, .anchor = Anchor::kMiddle});
  svg.closeGroup();
  return length + textWidth(lengthText(metres), kTextSize) / 2;
}

void drawNorthArrow(SvgWriter& svg, Point tip) {
  svg.openGroup("north-arrow");
  const std::array<Point, 4> arrow{{{tip.x, tip.y},
                                    {tip.x + 7, tip.y + 22},
                                    {tip.x, tip.y + 16},
                                    {tip.x - 7, tip.y + 22}}};
  svg.polygon(arrow, {.fill = "#000000", .stroke = "#000000"});
  svg.text({tip.x + 12, tip.y + 12}, "N", {.size = 14, .bold = true});
  svg.closeGroup();
}

std::string titleText(const NetworkCounts& counts) {
  auto plural = [](int n, std::string_view word) {
    return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
  };
  return "Network: " + plural(counts.reports, "report") + ", " +
         plural(counts.stations, "station") + ", " + plural(counts.pairs, "pair") + ", " +
         plural(counts.loops, "loop") + " (" + std::to_string(counts.loops_flagged) +
         " flagged)";
}

}  // namespace

double roundLengthBelow(double metres) {
  const double power = std::pow(10.0, std::floor(std::log10(metres)));
  for (const double factor : {5.0, 2.0, 1.0})
    if (factor * power <= metres * (1 + 1e-9)) return factor * power;
  return power / 2;
}

std::string lengthText(double metres) {
  if (metres >= 1000) return tickText(metres / 1000, 0) + " km";  // round lengths: whole km
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(metres) + 1e-9)));
  return tickText(metres, decimals) + " m";
}

NetworkPicture drawNetwork(const NetworkDrawing& drawing) {
  const MapFrame frame = mapFrame(drawing.stations);

  std::vector<LabelRequest> requests;
  for (std::size_t i = 0; i < drawing.stations.size(); ++i)
    requests.push_back({frame.positions[i], textWidth(drawing.stations[i].name, kLabelSize),
                        kLabelSize * (kAscent + kDescent)});
  std::vector<Segment> segments;
  for (const NetworkLine& line : drawing.lines)
    segments.push_back({frame.positions[static_cast<std::size_t>(line.from)],
                        frame.positions[static_cast<std::size_t>(line.to)]});
  std::vector<PlacedLabel> labels = placeLabels(requests, kMarkerRadius, segments);

  Box map{0, 0, 0, 0};
  for (const Point& position : frame.positions)
    map.include({position.x - kMarkerRadius, position.y - kMarkerRadius,
                 position.x + kMarkerRadius, position.y + kMarkerRadius});
  for (const PlacedLabel& label : labels) map.include(label.box);

  const std::string title = titleText(drawing.counts);
  const std::vector<LegendEntry> legend = legendEntries(drawing);
  const double footer_width = std::max(legendWidth(legend), kScaleBarMaxPx + 120);
  const double inner_width = std::max({map.width(), textWidth(title, kTitleSize, true),
                                       textWidth(drawing.plane, kTextSize), footer_width});
  const double map_top = kMargin + 60;
  // Moves map coordinates onto the page: the map centred under the title.
  const Point offset{kMargin + (inner_width - map.width()) / 2 - map.left, map_top - map.top};
  const double footer_top = map_top + map.height() + 28;
  const double width = inner_width + 2 * kMargin;
  const double height = footer_top + 80 + kMargin;

  SvgWriter svg(width, height, title);
  svg.openGroup("title");
  svg.text({kMargin, kMargin + kTitleSize * kAscent}, title, {.size = kTitleSize, .bold = true});
  svg.text({kMargin, kMargin + kTitleSize * kAscent + 22}, drawing.plane, {.size = kTextSize});
  svg.closeGroup();

  svg.openGroup("pairs");
  // The most urgent drawn last, on top.
  for (auto colour = kStatusColours.rbegin(); colour != kStatusColours.rend(); ++colour)
    for (const NetworkLine& line : drawing.lines)
      if (line.status == colour->status)
        svg.line(shifted(frame.positions[static_cast<std::size_t>(line.from)], offset),
                 shifted(frame.positions[static_cast<std::size_t>(line.to)], offset),
                 linePaint(line));
  svg.closeGroup();

  svg.openGroup("stations");
  for (const Point& position : frame.positions)
    svg.polygon(triangleAt(shifted(position, offset)), {.fill = "#000000"});
  svg.closeGroup();

  svg.openGroup("labels");
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const PlacedLabel& label = labels[i];
    if (label.leader)
      svg.line(shifted(frame.positions[i], offset), shifted(label.leader_end, offset),
               {.stroke = "#777777", .stroke_width = 0.75});
    svg.text({label.box.left + offset.x, label.box.top + offset.y + kLabelSize * kAscent},
             drawing.stations[i].name,
             {.size = kLabelSize, .halo = true});
  }
  svg.closeGroup();

  drawLegend(svg, legend, {kMargin, footer_top + kTextSize});
  const double bar_width = drawScaleBar(svg, frame.scale, {kMargin + 6, footer_top + 50});
  drawNorthArrow(svg, {kMargin + bar_width + 60, footer_top + 32});

  return {std::move(svg).finish(), width, height};
}

}  // namespace velk::plot

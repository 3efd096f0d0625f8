#include "plot/series_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot/svg_writer.h"
#include "plot/text_metrics.h"
#include "plot/ticks.h"

namespace velk::plot {
namespace {

constexpr double kMargin = 20;
constexpr double kMinimumWidth = 960;
constexpr double kHeaderHeight = 96;
constexpr double kPanelHeight = 150;
constexpr double kPanelGap = 20;
constexpr double kFooterHeight = 62;
constexpr double kTitleSize = 15;
constexpr double kTextSize = 12;
constexpr double kTickSize = 11;

constexpr std::string_view kFixedColour = "#1f4e8c";
constexpr std::string_view kFloatColour = "#e36c0a";
constexpr std::string_view kErrorBarColour = "#9db3d3";
constexpr std::string_view kBandColour = "#2ca02c";
constexpr std::string_view kGridColour = "#e3e3e3";

std::string millimetres(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

std::string titleText(const SeriesDrawing& drawing) {
  std::string title = drawing.name + ": " + std::to_string(drawing.samples.size()) + " " +
                      drawing.unit + (drawing.samples.size() == 1 ? "" : "s") + "; weighted RMS";
  for (std::size_t i = 0; i < 4; ++i)
    title += (i == 0 ? " " : ", ") + drawing.components[i] + " " +
             millimetres(drawing.weighted_rms[i]);
  return title + " mm";
}

// Maps values of an interval onto px of another (the value axis runs upwards).
struct Scale {
  double from_low, from_high, to_low, to_high;
  double operator()(double value) const {
    return to_low + (value - from_low) / (from_high - from_low) * (to_high - to_low);
  }
};

ValueAxis panelAxis(const SeriesDrawing& drawing, std::size_t component) {
  const double band = 3 * drawing.weighted_rms[component];
  double low = -band, high = band;
  for (const SeriesSample& sample : drawing.samples) {
    low = std::min(low, sample.value[component]);
    high = std::max(high, sample.value[component]);
  }
  const double pad = 0.05 * (high - low);
  return valueAxis(low - pad, high + pad, 6);
}

std::string hourName(double day) {
  const double hours = (day - std::floor(day)) * 24;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02ld:00", std::lround(hours) % 24);
  return buffer;
}

bool startsDay(double tick) { return std::abs(tick - std::round(tick)) < 1e-6; }

void drawTimeLabels(SvgWriter& svg, const TimeAxis& axis, const Scale& x, double top,
                    DayCount days) {
  const Font font{.size = kTickSize, .anchor = Anchor::kMiddle};
  for (std::size_t i = 0; i < axis.ticks.size(); ++i) {
    const double tick = axis.ticks[i];
    if (!axis.hours) {
      svg.text({x(tick), top + 14}, dayName(std::lround(tick), days), font);
      continue;
    }
    svg.text({x(tick), top + 14}, hourName(tick), font);
    if (i == 0 || startsDay(tick))
      svg.text({x(tick), top + 28}, dayName(static_cast<long>(std::floor(tick + 1e-6)), days), font);
  }
}

// The widest tick label the time axis can have, to decide how many ticks fit.
double timeLabelWidth(DayCount days) {
  return textWidth(dayName(0, days) + " (+1 y)", kTickSize);
}

void drawMarker(SvgWriter& svg, Point at, bool fixed) {
  if (fixed) {
    svg.circle(at, 2.8, {.fill = kFixedColour});
  } else {
    svg.rect(at.x - 3, at.y - 3, 6, 6, {.fill = "#ffffff", .stroke = kFloatColour, .stroke_width = 1.4});
  }
}

void drawLegend(SvgWriter& svg, Point at) {
  svg.openGroup("legend");
  double x = at.x;
  const double middle = at.y - 4;
  auto label = [&](std::string_view text) {
    svg.text({x, at.y}, text, {.size = kTextSize});
    x += textWidth(text, kTextSize) + 18;
  };
  drawMarker(svg, {x + 4, middle}, true);
  x += 12;
  label("fixed solution");
  drawMarker(svg, {x + 4, middle}, false);
  x += 12;
  label("float solution");
  svg.line({x, middle - 6}, {x, middle + 6}, {.stroke = kErrorBarColour, .stroke_width = 1.5});
  x += 8;
  label("±1 sigma");
  svg.line({x, middle}, {x + 24, middle}, {.stroke = "#333333", .stroke_width = 1.2});
  x += 30;
  label("weighted mean");
  svg.rect(x, middle - 6, 24, 12, {.fill = kBandColour, .opacity = 0.15});
  x += 30;
  label("±3 × weighted RMS");
  svg.closeGroup();
}

// Room left of a panel: the axis title turned upright, then the widest tick label.
constexpr double kAxisTitleRoom = 24;
double tickLabelRoom(const std::array<ValueAxis, 4>& axes) {
  double widest = 0;
  for (const ValueAxis& axis : axes)
    for (const double tick : axis.ticks)
      widest = std::max(widest, textWidth(tickText(tick, axis.decimals), kTickSize));
  return widest + 10;
}

void drawPanel(SvgWriter& svg, const SeriesDrawing& drawing, std::size_t component,
               const ValueAxis& axis, const Box& area, const TimeAxis& time, const Scale& x) {
  const Scale y{axis.low, axis.high, area.bottom, area.top};
  auto clamped = [&](double value) { return std::clamp(y(value), area.top, area.bottom); };

  svg.openGroup("panel-" + std::to_string(component + 1));
  svg.rect(area.left, area.top, area.width(), area.height(), {.fill = "#ffffff", .stroke = "#999999"});
  for (const double tick : time.ticks)
    svg.line({x(tick), area.top}, {x(tick), area.bottom}, {.stroke = kGridColour});
  for (const double tick : axis.ticks) {
    svg.line({area.left, y(tick)}, {area.right, y(tick)}, {.stroke = kGridColour});
    svg.line({area.left - 4, y(tick)}, {area.left, y(tick)}, {.stroke = "#555555"});
    svg.text({area.left - 7, y(tick) + kTickSize * 0.35}, tickText(tick, axis.decimals),
             {.size = kTickSize, .anchor = Anchor::kEnd});
  }
  const double band = 3 * drawing.weighted_rms[component];
  svg.rect(area.left, y(band), area.width(), y(-band) - y(band), {.fill = kBandColour, .opacity = 0.15});
  svg.line({area.left, y(0)}, {area.right, y(0)}, {.stroke = "#333333", .stroke_width = 1.2});
  for (const SeriesSample& sample : drawing.samples) {
    const double value = sample.value[component], sigma = sample.sigma[component];
    svg.line({x(sample.time), clamped(value - sigma)}, {x(sample.time), clamped(value + sigma)},
             {.stroke = kErrorBarColour, .stroke_width = 1});
  }
  for (const SeriesSample& sample : drawing.samples)
    drawMarker(svg, {x(sample.time), y(sample.value[component])}, sample.fixed);
  svg.text({kMargin + kAxisTitleRoom - 8, (area.top + area.bottom) / 2},
           drawing.components[component] + " (mm)",
           {.size = kTextSize, .anchor = Anchor::kMiddle, .bold = true, .rotation = -90});
  svg.closeGroup();
}

}  // namespace

double weightedRms(std::span<const double> values, std::span<const double> sigmas) {
  double weighted_squares = 0, weights = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double weight = 1 / (sigmas[i] * sigmas[i]);
    weighted_squares += weight * values[i] * values[i];
    weights += weight;
  }
  return weights > 0 ? std::sqrt(weighted_squares / weights) : 0;
}

std::string dayName(long day, DayCount days) {
  char buffer[48];
  if (days == DayCount::kModifiedJulian) {
    const Date date = dateOfModifiedJulianDay(day);
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
    return buffer;
  }
  const long year = (day >= 0 ? day : day - 365) / 366;
  const long day_of_year = day - 366 * year + 1;
  if (year == 0) {
    std::snprintf(buffer, sizeof buffer, "day %ld", day_of_year);
  } else {
    std::snprintf(buffer, sizeof buffer, "day %ld (%+ld y)", day_of_year, year);
  }
  return buffer;
}

SeriesPicture drawSeries(const SeriesDrawing& drawing) {
  const std::string title = titleText(drawing);
  const double width =
      std::max({kMinimumWidth, textWidth(title, kTitleSize, true) + 2 * kMargin,
                textWidth(drawing.frame, kTextSize) + 2 * kMargin});
  const double height = kMargin + kHeaderHeight + 4 * kPanelHeight + 3 * kPanelGap +
                        kFooterHeight + kMargin;
  std::array<ValueAxis, 4> axes;
  for (std::size_t component = 0; component < 4; ++component)
    axes[component] = panelAxis(drawing, component);
  // Room on the right for half of the last time label.
  const double left = kMargin + kAxisTitleRoom + tickLabelRoom(axes),
               right = width - kMargin - timeLabelWidth(drawing.days) / 2;

  double first = drawing.samples.empty() ? 0 : drawing.samples.front().time, last = first;
  for (const SeriesSample& sample : drawing.samples) {
    first = std::min(first, sample.time);
    last = std::max(last, sample.time);
  }
  const int max_intervals =
      std::max(1, static_cast<int>((right - left) / (timeLabelWidth(drawing.days) + 16)));
  const TimeAxis time = timeAxis(first, last, max_intervals);
  const Scale x{time.low, time.high, left, right};

  SvgWriter svg(width, height, title);
  svg.openGroup("title");
  svg.text({kMargin, kMargin + kTitleSize * kAscent}, title, {.size = kTitleSize, .bold = true});
  svg.text({kMargin, kMargin + kTitleSize * kAscent + 21}, drawing.frame, {.size = kTextSize});
  svg.closeGroup();
  drawLegend(svg, {kMargin, kMargin + kTitleSize * kAscent + 45});

  double top = kMargin + kHeaderHeight;
  for (std::size_t component = 0; component < 4; ++component) {
    drawPanel(svg, drawing, component, axes[component], {left, top, right, top + kPanelHeight},
              time, x);
    top += kPanelHeight + kPanelGap;
  }
  const double axis_top = top - kPanelGap;
  svg.openGroup("time-axis");
  for (const double tick : time.ticks)
    svg.line({x(tick), axis_top}, {x(tick), axis_top + 4}, {.stroke = "#555555"});
  drawTimeLabels(svg, time, x, axis_top, drawing.days);
  svg.text({(left + right) / 2, axis_top + 50}, drawing.time_axis,
           {.size = kTextSize, .anchor = Anchor::kMiddle, .bold = true});
  svg.closeGroup();

  return {std::move(svg).finish(), width, height};
}

}  // namespace velk::plot

#include "plot/series_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

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
constexpr std::string_view kFlaggedColour = "#d62728";
constexpr std::string_view kErrorBarColour = "#9db3d3";
constexpr std::string_view kBandColour = "#2ca02c";
constexpr std::string_view kGridColour = "#e3e3e3";
constexpr std::string_view kModelColour = "#333333";
constexpr std::string_view kStepColour = "#7b3294";
constexpr std::string_view kWarningColour = "#e6a000";
constexpr std::string_view kAlarmColour = "#d62728";

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
  title += " mm";
  if (drawing.model && !drawing.model->velocity.empty()) title += "; " + drawing.model->velocity;
  return title;
}

// Maps values of an interval onto px of another (the value axis runs upwards).
struct Scale {
  double from_low, from_high, to_low, to_high;
  double operator()(double value) const {
    return to_low + (value - from_low) / (from_high - from_low) * (to_high - to_low);
  }
};

// Half the width of each panel's band: 3 robust sigmas.
std::array<double, 4> bandsOf(const SeriesDrawing& drawing) {
  std::array<double, 4> bands{};
  for (std::size_t c = 0; c < 4; ++c) {
    std::vector<double> values, sigmas;
    for (const SeriesSample& sample : drawing.samples) {
      values.push_back(sample.value[c]);
      sigmas.push_back(sample.sigma[c]);
    }
    bands[c] = 3 * robustSigma(values, sigmas);
  }
  return bands;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

ValueAxis panelAxis(const SeriesDrawing& drawing, std::size_t component, double band) {
  double low = -band, high = band;
  for (const SeriesSample& sample : drawing.samples) {
    low = std::min(low, sample.value[component]);
    high = std::max(high, sample.value[component]);
  }
  if (const std::optional<SeriesModel>& model = drawing.model) {
    for (const auto& value : model->values)
      if (value) {
        low = std::min(low, (*value)[component] - model->band[component]);
        high = std::max(high, (*value)[component] + model->band[component]);
      }
    for (const SeriesModel::Threshold& threshold : model->thresholds[component]) {
      low = std::min(low, threshold.value);
      high = std::max(high, threshold.value);
    }
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

// A circle (fixed) or a square (float); a diamond, filled when fixed, for a flagged report.
void drawMarker(SvgWriter& svg, Point at, bool fixed, bool flagged) {
  if (flagged) {
    const std::array<Point, 4> diamond{
        {{at.x, at.y - 4.5}, {at.x + 4.5, at.y}, {at.x, at.y + 4.5}, {at.x - 4.5, at.y}}};
    svg.polygon(diamond, {.fill = fixed ? kFlaggedColour : std::string_view("#ffffff"),
                          .stroke = kFlaggedColour,
                          .stroke_width = 1.4});
  } else if (fixed) {
    svg.circle(at, 2.8, {.fill = kFixedColour});
  } else {
    svg.rect(at.x - 3, at.y - 3, 6, 6, {.fill = "#ffffff", .stroke = kFloatColour, .stroke_width = 1.4});
  }
}

std::string signedMillimetres(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%+.1f", value);
  return buffer;
}

// What a pointer resting on a sample shows: where it comes from, when, and its values.
std::string sampleTitle(const SeriesDrawing& drawing, const SeriesSample& sample) {
  std::string title = sample.source + ", " + timeName(sample.time, drawing.days) + " (GPS time), " +
                      (sample.fixed ? "fixed" : "float") + ":";
  for (std::size_t c = 0; c < 4; ++c)
    title += (c == 0 ? " " : ", ") + drawing.components[c] + " " +
             signedMillimetres(sample.value[c]) + " \u00b1 " + millimetres(sample.sigma[c]);
  title += " mm";
  if (!sample.flags.empty()) title += "; flagged: " + sample.flags;
  return title;
}

// An outlier of the model's fit: its marker crossed out.
void drawOutlierCross(SvgWriter& svg, Point at) {
  const Paint cross{.stroke = kAlarmColour, .stroke_width = 1.6};
  svg.line({at.x - 5, at.y - 5}, {at.x + 5, at.y + 5}, cross);
  svg.line({at.x - 5, at.y + 5}, {at.x + 5, at.y - 5}, cross);
}

void drawLegend(SvgWriter& svg, Point at, bool with_model) {
  svg.openGroup("legend");
  double x = at.x;
  const double middle = at.y - 4;
  auto label = [&](std::string_view text) {
    svg.text({x, at.y}, text, {.size = kTextSize});
    x += textWidth(text, kTextSize) + 18;
  };
  drawMarker(svg, {x + 4, middle}, true, false);
  x += 12;
  label("fixed solution");
  drawMarker(svg, {x + 4, middle}, false, false);
  x += 12;
  label("float solution");
  drawMarker(svg, {x + 4, middle}, true, true);
  x += 12;
  label("flagged report");
  svg.line({x, middle - 6}, {x, middle + 6}, {.stroke = kErrorBarColour, .stroke_width = 1.5});
  x += 8;
  label("±1 sigma");
  svg.line({x, middle}, {x + 24, middle}, {.stroke = "#333333", .stroke_width = 1.2});
  x += 30;
  label(with_model ? "model" : "weighted mean");
  svg.rect(x, middle - 6, 24, 12, {.fill = kBandColour, .opacity = 0.15});
  x += 30;
  label("±3 robust sigmas");
  if (with_model) {
    drawOutlierCross(svg, {x + 5, middle});
    x += 14;
    label("outlier");
    svg.line({x, middle - 6}, {x, middle + 6}, {.stroke = kStepColour, .dash = "3 3"});
    x += 8;
    label("step");
    svg.line({x, middle}, {x + 24, middle}, {.stroke = kWarningColour, .dash = "6 3"});
    x += 30;
    label("warning");
    svg.line({x, middle}, {x + 24, middle}, {.stroke = kAlarmColour, .dash = "6 3"});
    x += 30;
    label("alarm");
  }
  svg.closeGroup();
}

// The pair's status in a box at the top right of the picture.
void drawStatusBox(SvgWriter& svg, const std::string& status, double width) {
  const double box_width = textWidth(status, kTextSize) + 16;
  const double left = width - kMargin - box_width, top = kMargin;
  svg.openGroup("status");
  svg.rect(left, top, box_width, 22, {.fill = "#ffffff", .stroke = "#333333"});
  svg.text({left + 8, top + 15}, status, {.size = kTextSize, .bold = true});
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

// An error bar from `low` to `high` (px, y downwards); an end beyond the panel is cut at its
// edge and ends in an arrow pointing on.
void drawErrorBar(SvgWriter& svg, double x, double low, double high, const Box& area) {
  const Paint bar{.stroke = kErrorBarColour, .stroke_width = 1};
  svg.line({x, std::clamp(low, area.top, area.bottom)},
           {x, std::clamp(high, area.top, area.bottom)}, bar);
  const Paint head{.fill = kErrorBarColour};
  if (high < area.top) {
    const std::array<Point, 3> arrow{{{x, area.top}, {x - 3, area.top + 6}, {x + 3, area.top + 6}}};
    svg.polygon(arrow, head);
  }
  if (low > area.bottom) {
    const std::array<Point, 3> arrow{
        {{x, area.bottom}, {x - 3, area.bottom - 6}, {x + 3, area.bottom - 6}}};
    svg.polygon(arrow, head);
  }
}

// The model of a panel: its band, its line through the samples it takes (in time order),
// the steps as vertical lines (labelled in the first panel) and the thresholds as dashed
// lines.
void drawModel(SvgWriter& svg, const SeriesDrawing& drawing, std::size_t component,
               const Box& area, const Scale& x, const Scale& y) {
  const SeriesModel& model = *drawing.model;
  std::vector<std::pair<double, double>> line;  // (time, model value)
  for (std::size_t i = 0; i < drawing.samples.size(); ++i)
    if (model.values[i]) line.emplace_back(drawing.samples[i].time, (*model.values[i])[component]);
  std::stable_sort(line.begin(), line.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const double band = model.band[component];
  if (!line.empty()) {
    std::vector<Point> outline, middle;
    for (const auto& [time, value] : line) {
      outline.push_back({x(time), std::clamp(y(value + band), area.top, area.bottom)});
      middle.push_back({x(time), y(value)});
    }
    for (auto it = line.rbegin(); it != line.rend(); ++it)
      outline.push_back({x(it->first), std::clamp(y(it->second - band), area.top, area.bottom)});
    svg.polygon(outline, {.fill = kBandColour, .opacity = 0.15});
    svg.polyline(middle, {.stroke = kModelColour, .stroke_width = 1.4});
  }
  for (const SeriesModel::Threshold& threshold : model.thresholds[component])
    svg.line({area.left, y(threshold.value)}, {area.right, y(threshold.value)},
             {.stroke = threshold.alarm ? kAlarmColour : kWarningColour, .stroke_width = 1.2,
              .dash = "6 3"});
  for (const SeriesModel::StepLine& step : model.steps) {
    svg.line({x(step.time), area.top}, {x(step.time), area.bottom},
             {.stroke = kStepColour, .stroke_width = 1.2, .dash = "3 3"});
    if (component == 0)
      svg.text({x(step.time) + 3, area.top + kTickSize}, step.label,
               {.size = kTickSize, .fill = kStepColour});
  }
}

void drawPanel(SvgWriter& svg, const SeriesDrawing& drawing, std::size_t component,
               const ValueAxis& axis, double band, const Box& area, const TimeAxis& time,
               const Scale& x, const std::vector<std::string>& titles) {
  const Scale y{axis.low, axis.high, area.bottom, area.top};

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
  if (drawing.model) {
    drawModel(svg, drawing, component, area, x, y);
  } else {
    svg.rect(area.left, y(band), area.width(), y(-band) - y(band),
             {.fill = kBandColour, .opacity = 0.15});
    svg.line({area.left, y(0)}, {area.right, y(0)}, {.stroke = "#333333", .stroke_width = 1.2});
  }
  for (const SeriesSample& sample : drawing.samples) {
    const double value = sample.value[component], sigma = sample.sigma[component];
    drawErrorBar(svg, x(sample.time), y(value - sigma), y(value + sigma), area);
  }
  // Flagged reports last, on top.
  for (const bool flagged : {false, true})
    for (std::size_t i = 0; i < drawing.samples.size(); ++i) {
      const SeriesSample& sample = drawing.samples[i];
      if (sample.flags.empty() == flagged) continue;
      svg.openTitledGroup(titles[i]);
      const Point at{x(sample.time), y(sample.value[component])};
      drawMarker(svg, at, sample.fixed, flagged);
      if (drawing.model && drawing.model->outlier[i]) drawOutlierCross(svg, at);
      svg.closeGroup();
    }
  svg.text({kMargin + kAxisTitleRoom - 8, (area.top + area.bottom) / 2},
           drawing.components[component] + " (mm)",
           {.size = kTextSize, .anchor = Anchor::kMiddle, .bold = true, .rotation = -90});
  svg.closeGroup();
}

}  // namespace

double robustSigma(std::span<const double> deviations, std::span<const double> sigmas) {
  std::vector<double> absolute;
  for (const double deviation : deviations) absolute.push_back(std::abs(deviation));
  return std::max(1.4826 * median(absolute), median({sigmas.begin(), sigmas.end()}));
}

std::string timeName(double time, DayCount days) {
  const double day = std::floor(time);
  long minutes = std::lround((time - day) * 24 * 60);
  long whole_day = static_cast<long>(day);
  if (minutes == 24 * 60) {
    minutes = 0;
    ++whole_day;
  }
  char clock[48];
  std::snprintf(clock, sizeof clock, " %02ld:%02ld", minutes / 60, minutes % 60);
  return dayName(whole_day, days) + clock;
}

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
  // The status box sits at the right of the title.
  const double status_room =
      drawing.model && !drawing.model->status.empty()
          ? textWidth(drawing.model->status, kTextSize) + 16 + kMargin
          : 0;
  const double width =
      std::max({kMinimumWidth, textWidth(title, kTitleSize, true) + 2 * kMargin + status_room,
                textWidth(drawing.frame, kTextSize) + 2 * kMargin});
  const double height = kMargin + kHeaderHeight + 4 * kPanelHeight + 3 * kPanelGap +
                        kFooterHeight + kMargin;
  const std::array<double, 4> bands = bandsOf(drawing);
  std::array<ValueAxis, 4> axes;
  for (std::size_t component = 0; component < 4; ++component)
    axes[component] = panelAxis(drawing, component, bands[component]);
  std::vector<std::string> titles;
  for (const SeriesSample& sample : drawing.samples) titles.push_back(sampleTitle(drawing, sample));
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
  drawLegend(svg, {kMargin, kMargin + kTitleSize * kAscent + 45}, drawing.model.has_value());
  if (drawing.model && !drawing.model->status.empty()) drawStatusBox(svg, drawing.model->status, width);

  double top = kMargin + kHeaderHeight;
  for (std::size_t component = 0; component < 4; ++component) {
    drawPanel(svg, drawing, component, axes[component], bands[component],
              {left, top, right, top + kPanelHeight}, time, x, titles);
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

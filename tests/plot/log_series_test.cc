// LOG files of both editions read back into series: layouts told apart by their columns,
// notices passed over, unreadable records named, years, stations and weights.

#include "plot/log_series.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "format/run_error.h"
#include "plot/file_names.h"
#include "plot/log_groups.h"
#include "reading/line_reader.h"

namespace velk::plot {
namespace {

std::string golden(const std::string& name) {
  std::ifstream in(std::string(VELK_SOURCE_DIR) + "/tests/run/golden/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

LogFile read(const std::string& text, const std::string& path = "TEST.LOG") {
  std::istringstream in(text);
  LineReader lines(in, path);
  return readLogFile(lines, path);
}

std::string errorOf(const std::string& text) {
  try {
    read(text);
  } catch (const RunError& error) {
    return error.what();
  }
  return "no error";
}

TEST(LogFile, ReadsTheRecordsOfEveryLogTypeOfBothEditions) {
  for (const char* name : {"novrale-4.txt", "novrale-5.txt", "novrale-6.txt", "quelmar-5.txt",
                           "quelmar-6.txt"}) {
    SCOPED_TRACE(name);
    const LogFile file = read(golden(name));
    ASSERT_EQ(file.records.size(), 5u);  // novrale-5's two notices passed over
    EXPECT_EQ(file.layout, name[0] == 'n' ? LogLayout::kNovrale : LogLayout::kQuelmar);
    const LogRecord& fourth = file.records[3];
    EXPECT_DOUBLE_EQ(fourth.epoch, 82.454);
    EXPECT_DOUBLE_EQ(fourth.length, 5801.566);
    EXPECT_DOUBLE_EQ(fourth.sigma3d, 0.024);
    EXPECT_FALSE(fourth.fixed);
    EXPECT_TRUE(file.records[0].fixed);
    EXPECT_EQ(fourth.year.has_value(), name[0] == 'n');
  }
  const LogFile geocentric = read(golden("novrale-6.txt"));
  EXPECT_EQ(componentsOfTag(geocentric.records[0].tag), LogSeriesFrame::kGeocentric);
  EXPECT_DOUBLE_EQ(geocentric.records[3].components[0], 4001.803);
  EXPECT_DOUBLE_EQ(geocentric.records[3].sigmas[0], 0.015);
  EXPECT_EQ(*geocentric.records[0].year, 2017);
  EXPECT_EQ(read(golden("novrale-5.txt")).records[4].line, 7);
}

TEST(LogFile, NamesTheFileAndLineOfARecordThatDoesNotRead) {
  std::string text = golden("quelmar-5.txt");
  std::string damaged = text;
  damaged.replace(damaged.find(" -1010.265"), 10, "**********");
  EXPECT_EQ(errorOf(damaged).rfind("TEST.LOG line 1: second component", 0), 0u) << errorOf(damaged);
  const std::string novrale = golden("novrale-4.txt");
  EXPECT_NE(errorOf(text + novrale).find("line 6: a record of the other edition's layout"),
            std::string::npos);
  EXPECT_NE(errorOf("2017 garbage\n").find("line 1: a record of neither LOG layout"),
            std::string::npos);
  std::string bad_kind = novrale;
  bad_kind.replace(bad_kind.find(" Fx "), 4, " Fq ");
  EXPECT_NE(errorOf(bad_kind).find("line 1: solution kind 'Fq'"), std::string::npos);
}

// The first record of the golden file again a day later 0.4 m off (same baseline), 1.6 m off
// (another), and from another fixed station (quelmar: unchanged, as it names no station).
std::string withRepeats(const std::string& text) {
  const std::string first = text.substr(0, text.find('\n') + 1);
  auto changed = [&](const std::string& from, const std::string& to) {
    std::string line = first;
    if (line.find(from) != std::string::npos) line.replace(line.find(from), from.size(), to);
    return line.replace(line.find(" 82.339"), 7, " 83.339");
  };
  return text + changed("  2889.447", "  2889.847") + changed("  2889.447", "  2891.047") +
         changed(" CAST ", " SAUL ");
}

TEST(LogSeries, GroupsTheRecordsIntoBaselinesNamedByStationAndLength) {
  const LogFile novrale = read(withRepeats(golden("novrale-4.txt")));
  const std::vector<LogGroup> groups = groupLogRecords(novrale, kSameBaselineMetres, "x");
  ASSERT_EQ(groups.size(), 7u);
  EXPECT_EQ(groups[0].records, (std::vector<std::size_t>{0, 5}));
  EXPECT_EQ(logGroupName(groups[0]), "CAST, 3068.2 m");  // the median of 3068.215 and 3068.215
  EXPECT_EQ(groups[6].station, "SAUL");
  // A looser tolerance joins the record 1.6 m off; quelmar names no station, so the
  // record of SAUL joins too.
  EXPECT_EQ(groupLogRecords(novrale, 2, "x")[0].records.size(), 3u);
  const LogFile quelmar = read(withRepeats(golden("quelmar-5.txt")));
  EXPECT_EQ(groupLogRecords(quelmar, kSameBaselineMetres, "x")[0].records,
            (std::vector<std::size_t>{0, 5, 7}));

  const std::vector<NamedSeries> series =
      logSeries(novrale, "DEMO.LOG", "x/DEMO.LOG", LogSeriesFrame::kLocal, kSameBaselineMetres);
  ASSERT_EQ(series.size(), 7u);
  EXPECT_EQ(series[0].name, "DEMO.LOG-CAST-3068.2m");
  EXPECT_EQ(series[0].drawing.name, "DEMO.LOG, CAST, 3068.2 m");
  EXPECT_EQ(series[0].drawing.samples.size(), 2u);
  EXPECT_EQ(series[0].drawing.samples[1].source, "DEMO.LOG line 6");
  EXPECT_NEAR(series[0].drawing.samples[1].value[0] - series[0].drawing.samples[0].value[0], 400,
              1e-6);
  // Calendar days: 2017, day 82.339 is 23 March, 08:08 (modified Julian date 57835.339).
  EXPECT_NEAR(series[0].drawing.samples[0].time, 57835.339, 1e-9);
  EXPECT_EQ(timeName(57835.339, DayCount::kModifiedJulian), "2017-03-23 08:08");
  EXPECT_EQ(logSeries(read(golden("quelmar-6.txt")), "A", "A", LogSeriesFrame::kGeocentric,
                      kSameBaselineMetres)[0]
                .drawing.components[2],
            "dZ");
}

TEST(LogSeries, StartsTheNextYearWhereAQuelmarDayNumberFallsBack) {
  // Days 364, 365.5, then 2 and 2.25 of the next year.
  std::string text;
  for (const char* epoch : {"364.000", "365.500", "  2.000", "  2.250"})
    text += std::string(epoch) +
            "      10.000 .001     20.000 .001     30.000 .001     37.417 .002   Fx.  10.16% GH\n";
  const auto series =
      logSeries(read(text), "Q.LOG", "Q.LOG", LogSeriesFrame::kLocal, kSameBaselineMetres);
  ASSERT_EQ(series.size(), 1u);
  const auto& samples = series[0].drawing.samples;
  EXPECT_DOUBLE_EQ(samples[1].time - samples[0].time, 1.5);
  EXPECT_DOUBLE_EQ(samples[2].time, 366 + 1);
  EXPECT_DOUBLE_EQ(samples[3].time - samples[2].time, 0.25);
  EXPECT_EQ(dayName(367, DayCount::kYearUnknown), "day 2 (+1 y)");
  // Equal values: every difference from the mean is zero.
  for (const SeriesSample& sample : samples) EXPECT_NEAR(sample.value[1], 0, 1e-9);
}

TEST(LogSeries, WeighsAPrintedZeroSigmaAsHalfAMillimetre) {
  const std::vector<double> values{10.0, 10.004}, sigmas{0.0, 0.001};
  // Weights 1/0.0005² and 1/0.001²: 4 to 1.
  EXPECT_NEAR(flooredWeightedMean(values, sigmas, kLeastLogSigma), 10.0008, 1e-12);
}

TEST(FileNamer, MakesSafeNamesThatNeverCollide) {
  FileNamer namer;
  EXPECT_EQ(namer.name("CAST-SAUL", ".svg"), "CAST-SAUL.svg");
  EXPECT_EQ(namer.name("cast-saul", ".svg"), "cast-saul-2.svg");  // case-blind file systems
  EXPECT_EQ(namer.name("CAST-SAUL", ".svg"), "CAST-SAUL-3.svg");
  EXPECT_EQ(namer.name("A/B:C*\x82", ".svg"), "A_B_C__.svg");
  EXPECT_EQ(namer.name("A_B_C__", ".svg"), "A_B_C__-2.svg");
  EXPECT_EQ(namer.name("..", ".svg"), "_...svg");
  EXPECT_EQ(namer.name("", ".svg"), "_.svg");
}

}  // namespace
}  // namespace velk::plot

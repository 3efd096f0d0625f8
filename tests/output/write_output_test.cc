// The choice and order of the sections by edition and output type.

#include "run/write_output.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/output/writer_test_support.h"

namespace velk {
namespace {

using testing::addBaseline;
using testing::CapturingSink;

struct Written {
  std::vector<std::string> file, console;
};

Written run(const Edition& edition, std::int32_t output_type, const BaselineTable& table) {
  RunSettings settings;
  settings.output_type = output_type;
  settings.file_name_code = "GH";
  CapturingSink file, console;
  writeOutput(settings, table, edition, file, console);
  return {file.lines, console.lines};
}

BaselineTable threeBaselines(const Edition& edition) {
  BaselineTable table;
  const std::string_view kind = edition.reading.fixed_kind;
  addBaseline(table, kind, "AB123450.001");
  addBaseline(table, kind, "AB123460.001").unknown_station = "ST03";
  addBaseline(table, kind, "AB123470.001").unknown_station = "ST04";
  return table;
}

// The record code in columns 1-2, or the first two columns of a line without one.
std::vector<std::string> lineStarts(const std::vector<std::string>& lines) {
  std::vector<std::string> starts;
  for (const std::string& line : lines) starts.push_back(line.substr(0, 2));
  return starts;
}

TEST(WriteOutput, EmptyTableWritesOnlyTheRattDataHeaderAndRule) {
  for (const Edition* edition : {&quelmarEdition(), &novraleEdition()}) {
    for (const std::int32_t type : {-3, 0, 1, 2, 3, 4, 5, 6, 9}) {
      const bool ratt_data = type < 1 || type > 6;
      EXPECT_EQ(run(*edition, type, BaselineTable{}).file.size(), ratt_data ? 2u : 0u)
          << edition->program_name << " type " << type;
    }
  }
}

TEST(WriteOutput, EveryTypeOutsideOneToSixWritesRattData) {
  for (const Edition* edition : {&quelmarEdition(), &novraleEdition()}) {
    const BaselineTable table = threeBaselines(*edition);
    const Written zero = run(*edition, 0, table);
    ASSERT_EQ(zero.file.size(), 5u);
    EXPECT_EQ(zero.file[4].substr(1, 10), "ST01  ST04");
    EXPECT_EQ(run(*edition, 9, table).file, zero.file);
    EXPECT_EQ(run(*edition, -3, table).file, zero.file);
    EXPECT_EQ(run(*edition, 2147483647, table).file, zero.file);
  }
}

TEST(WriteOutput, QuelmarTypeFourWritesFourSectionsInOrder) {
  const Edition& edition = quelmarEdition();
  const BaselineTable table = threeBaselines(edition);
  const Written all = run(edition, 4, table);
  ASSERT_EQ(all.file.size(), 6u + 9u + 6u + 3u);
  const std::vector<std::string> starts = lineStarts(all.file);
  const std::vector<std::string> expected{"1 ", "1 ", "1 ", "1 ", "1 ", "1 ",  // station
                                          "12", "13", "14", "12", "13", "14",
                                          "12", "13", "14",                    // vector
                                          "11", "  ", "11", "  ", "11", "  ",  // vector-covariance
                                          "12", "12", "12"};  // LOG: mid-epoch 123.526
  EXPECT_EQ(starts, expected);
  // Each section is what its own output type writes; the LOG section is type 5's.
  std::vector<std::string> sections;
  for (const std::int32_t type : {1, 2, 3, 5}) {
    const Written one = run(edition, type, table);
    sections.insert(sections.end(), one.file.begin(), one.file.end());
  }
  EXPECT_EQ(all.file, sections);
  EXPECT_EQ(all.file.back().substr(87), "GH");
}

TEST(WriteOutput, NovraleTypesWriteOnlyTheirOwnBlock) {
  const Edition& edition = novraleEdition();
  const BaselineTable table = threeBaselines(edition);
  EXPECT_EQ(lineStarts(run(edition, 1, table).file),
            (std::vector<std::string>{"1 ", "1 ", "1 ", "1 ", "1 ", "1 "}));
  EXPECT_EQ(lineStarts(run(edition, 2, table).file),
            (std::vector<std::string>{"12", "13", "14", "12", "13", "14", "12", "13", "14"}));
  EXPECT_EQ(lineStarts(run(edition, 3, table).file),
            (std::vector<std::string>{"11", "  ", "11", "  ", "11", "  "}));
  for (const std::int32_t type : {4, 5, 6}) {
    const Written log = run(edition, type, table);
    ASSERT_EQ(log.file.size(), 3u) << type;
    for (const std::string& line : log.file) EXPECT_EQ(line.substr(0, 5), "2023 ") << type;
  }
  EXPECT_EQ(run(edition, 5, table).console.size(), 9u);
  EXPECT_EQ(run(edition, 6, table).console.size(), 1u);
}

}  // namespace
}  // namespace velk

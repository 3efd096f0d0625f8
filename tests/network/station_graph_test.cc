#include "network/station_graph.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

Report baseline(std::string from, std::string to) {
  Report report;
  report.fixed_station = std::move(from);
  report.unknown_station = std::move(to);
  return report;
}

TEST(StationGraph, GroupsReportsOfAPairInEitherDirectionAndFindsTheParts) {
  const std::vector<Report> reports{baseline("CAST", "SAUL"), baseline("SAUL", "CHAU"),
                                    baseline("SAUL", "CAST"), baseline("VERC", "PIC1"),
                                    baseline("CHAU", "CHAU")};
  const StationGraph graph(reports);
  ASSERT_EQ(graph.stationCount(), 5);
  EXPECT_EQ(graph.stationName(3), "VERC");
  ASSERT_EQ(graph.pairs().size(), 3u);
  const StationPair& repeated = graph.pairs()[0];
  EXPECT_EQ(graph.stationName(repeated.from), "CAST");
  EXPECT_EQ(repeated.reports, (std::vector<std::size_t>{0, 2}));
  EXPECT_FALSE(graph.isReversed(repeated, reports[0]));
  EXPECT_TRUE(graph.isReversed(repeated, reports[2]));
  EXPECT_EQ(graph.connectedParts(), (std::vector<std::vector<int>>{{0, 1, 2}, {3, 4}}));
  EXPECT_EQ(graph.stationIndex("PIC1"), 4);
  EXPECT_FALSE(graph.stationIndex("NONE"));
}

}  // namespace
}  // namespace velk

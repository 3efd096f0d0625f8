// Bad input driven through the real programs: every case ends either with a notice and a
// run that goes on, or with a fatal error (status 1, message, no output file), never with
// a crash, a hang or a silently wrong file.

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/run/program_runner.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

// An O-file line with texts placed at 1-based columns.
class ReportLine {
 public:
  ReportLine& at(int column, const std::string& text) {
    const auto start = static_cast<std::size_t>(column - 1);
    if (line_.size() < start + text.size()) line_.resize(start + text.size(), ' ');
    line_.replace(start, text.size(), text);
    return *this;
  }
  operator std::string() const { return line_ + "\n"; }

 private:
  std::string line_;
};

std::string reportHeader() {
  return std::string(ReportLine().at(1, "GPS  baseline report")) +
         std::string(ReportLine().at(1, "123").at(27, "5-character day number")) +
         std::string(ReportLine().at(1, "BRST").at(27, "4-character short name")) +
         "FIXED STATION\n";
}

std::size_t lineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class BadInput : public ::testing::Test {
 protected:
  BadInput() : folder_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  ProgramRun convert(const std::string& program, const std::string& report, int type = 0) {
    writeFile(folder_ / "BAD.001", report);
    writeFile(folder_ / "LISTE.LST", "BAD.001\n");
    std::filesystem::remove(folder_ / "OUT.TXT");
    return folder_.run(program, std::to_string(type) + "\nOUT.TXT\nLISTE.LST\n");
  }

  void expectFatal(const ProgramRun& run, const std::string& program) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind(program + ": ", 0), 0u) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "OUT.TXT"));
  }

  ScratchFolder folder_;
};

TEST_F(BadInput, AnUnreadableNumberInAnyKindOfFieldStopsTheRunAndNamesIt) {
  struct Case {
    std::string program;
    std::string lines;  // after the report header, which holds four lines
    std::string where;
  };
  const std::string section = "THE FLOAT SOLUTION\n";
  const std::string fixed = "THE FIXED SOLUTION\n";
  const std::vector<Case> cases = {
      {"novrale", ReportLine().at(1, "1x3").at(27, "5-character"), "line 5 columns 1-3: \"1x3\""},
      {"novrale", ReportLine().at(1, "Common start").at(29, "2O24").at(40, "10:00"),
       "line 5 columns 29-32: \"2O24\""},
      {"quelmar", ReportLine().at(1, "Common end").at(40, "1a:00"), "line 5 columns 40-41: \"1a\""},
      {"novrale", ReportLine().at(1, "x1.0000").at(27, "First epoch to process"),
       "line 5 columns 1-8"},
      {"novrale", ReportLine().at(1, "Epoch interval").at(26, "3O.0"), "line 5 columns 26-30"},
      {"quelmar", section + std::string(ReportLine().at(1, "  Sigmax").at(18, "0.00l234")),
       "line 6 columns 18-27"},
      {"novrale", section + std::string(ReportLine().at(1, " Baseline vector:").at(19, "12a.45")),
       "line 6 columns 19-32: \"12a.45"},
      {"novrale", section + std::string(ReportLine().at(1, " Mark1_xyz").at(44, "1.5-03")),
       "line 6 columns 44-57"},
      {"novrale", fixed + std::string(ReportLine().at(36, "Integer").at(59, "\t7.5")),
       "line 6 columns 59-66"},
      {"quelmar", fixed + std::string(ReportLine().at(51, "Ratio =").at(60, "+")),
       "line 6 columns 60-65"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = convert(c.program, reportHeader() + c.lines);
    expectFatal(run, c.program);
    EXPECT_NE(run.err.find("BAD.001 " + c.where), std::string::npos) << run.err;
  }
}

TEST_F(BadInput, BinaryGarbageEndsCleanly) {
  std::string garbage;
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  for (int i = 0; i < 200000; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    garbage += static_cast<char>(state & 0xFF);
  }
  for (const std::string program : {"quelmar", "novrale"}) {
    for (int type : {0, 3, 5}) {
      const ProgramRun run = convert(program, garbage, type);
      EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status;
      EXPECT_EQ(std::filesystem::exists(folder_ / "OUT.TXT"), run.status == 0);
    }
  }
  // Garbage after a report header: whatever is not a recognised line is passed over.
  const ProgramRun run = convert("novrale", reportHeader() + garbage);
  EXPECT_TRUE(run.status == 0 || run.status == 1);
}

TEST_F(BadInput, AReportOfOneTenMegabyteLineIsPassedOver) {
  const ProgramRun run = convert("novrale", reportHeader() + std::string(10'000'000, 'G') + "\n");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string file = readFile(folder_ / "OUT.TXT");
  EXPECT_EQ(lineCount(file), 3u);  // header, rule and the one baseline
}

TEST_F(BadInput, AListOrOutputNameThatCannotBeUsedIsAskedForAgain) {
  std::filesystem::create_directory(folder_ / "ADIR");
  writeFile(folder_ / "EMPTY.LST", "");
  // An output name in a folder that does not exist, then one where nothing can be created
  // (not even by the super-user), then a good one; a list name that is a folder.
  const ProgramRun run =
      folder_.run("novrale", "0\nNODIR/X.RAT\n/proc/X.RAT\nOUT.TXT\nADIR\nEMPTY.LST\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("creation impossible (fichier existant ?) : NODIR/X.RAT"),
            std::string::npos);
  EXPECT_NE(run.out.find("creation impossible (fichier existant ?) : /proc/X.RAT"),
            std::string::npos);
  EXPECT_NE(run.out.find("fichier liste introuvable : ADIR"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "OUT.TXT"));
}

TEST_F(BadInput, AConsoleThatCannotBeWrittenIsAFatalError) {
  writeFile(folder_ / "EMPTY.LST", "");
  for (const std::string program : {"quelmar", "novrale"}) {
    const ProgramRun run = folder_.run(program, "0\nOUT.TXT\nEMPTY.LST\n", {}, "1>&-");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, program + ": cannot write to standard output\n");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "OUT.TXT"));
  }
}

TEST_F(BadInput, AListOfFiveHundredNamesOfWhichHalfAreMissing) {
  std::string list;
  for (int i = 0; i < 500; ++i) {
    const std::string name = "R" + std::to_string(1000 + i) + ".001";
    list += name + "\n";
    if (i % 2 == 0) writeFile(folder_ / name, reportHeader());
  }
  writeFile(folder_ / "LISTE.LST", list);
  const ProgramRun run = folder_.run("quelmar", "1\nOUT.STA\nLISTE.LST\n");
  EXPECT_EQ(run.status, 0) << run.err;
  std::size_t notices = 0;
  for (std::size_t at = 0; (at = run.out.find("fichier O introuvable", at)) != std::string::npos;
       ++at)
    ++notices;
  EXPECT_EQ(notices, 250u);
  EXPECT_EQ(lineCount(readFile(folder_ / "OUT.STA")), 500u);  // two station lines each
}

}  // namespace
}  // namespace velk

#include "format/record_sink.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "format/output_file.h"
#include "format/run_error.h"

namespace velk {
namespace {

TEST(Console, AppliesLineControlBeforeEachRecord) {
  // Handed over whole, and formatted where the console keeps its output.
  for (const bool in_place : {false, true}) {
    std::ostringstream out;
    std::istringstream in;
    Console console(out, in);
    const RecordLayout text("(A)");
    for (const std::string_view record :
         {" first",  // the first output of a run gets no line feed
          "0after a blank line", "1new page", "+overprint",
          "ABCD",  // any other character is a plain advance and is not shown
          ""}) {
      if (in_place)
        writeRecord(console, text, {record});
      else
        console.put(record);
    }
    console.flush();
    EXPECT_EQ(out.str(), "first\n\nafter a blank line\n\fnew page\roverprint\nBCD\n");
  }
}

TEST(Console, ShowsFormattedAndFreeFormRecords) {
  std::ostringstream out;
  std::istringstream in;
  Console console(out, in);
  writeRecord(console, RecordLayout("(A)"), {std::string_view("0ABC")});
  writeFreeForm(console, " -- FIN --");
  writeFreeFormReal(console, 0.5);
  // Records longer than the record buffer and than the console's own.
  const std::string long_text(70000, 'x');
  writeRecord(console, RecordLayout("(A,I3)"), {std::string_view(long_text), 7});
  writeFreeForm(console, long_text);
  console.flush();
  EXPECT_EQ(out.str(), "\nABC\n -- FIN --\n  5.000000000000000E-001\n" + long_text.substr(1) +
                           "  7\n" + long_text);
}

// A stream that records whether it was flushed before the console read from it.
class FlushRecorder : public std::stringbuf {
 public:
  int flushes = 0;

 protected:
  int sync() override {
    ++flushes;
    return 0;
  }
};

TEST(Console, FlushesBeforeReadingAndStripsOneCarriageReturn) {
  FlushRecorder buffer;
  std::ostream out(&buffer);
  std::istringstream in("2\r\n\r\r\nlast");
  Console console(out, in);
  console.putRaw("UNIT 5? ");
  EXPECT_EQ(console.readLine(), "2");
  EXPECT_EQ(buffer.flushes, 1);
  EXPECT_EQ(console.readLine(), "\r");
  EXPECT_EQ(console.readLine(), "last");
  EXPECT_EQ(console.readLine(), std::nullopt);
}

TEST(Console, ReportsAStandardOutputThatCannotBeWritten) {
  std::ostringstream out;
  std::istringstream in("answer\n");
  Console console(out, in);
  out.setstate(std::ios::badbit);
  EXPECT_THROW(console.flush(), RunError);
  EXPECT_THROW(console.readLine(), RunError);
}

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("velk-output-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  static std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::filesystem::path dir_;
};

TEST_F(OutputFileTest, WritesRecordsWithCarriageReturnLineFeedWhenCommitted) {
  const auto path = dir_ / "OUT.VEC";
  {
    auto file = OutputFile::create(path.string());
    ASSERT_TRUE(file);
    file->put("12  BRST");
    writeFreeForm(*file, "rule");
    file->commit();
  }
  EXPECT_EQ(contents(path), "12  BRST\r\n rule\r\n");
}

TEST_F(OutputFileTest, NeverOpensAnExistingFileAndRemovesAnUncommittedOne) {
  const auto existing = dir_ / "OLD.RAT";
  std::ofstream(existing) << "keep me";
  EXPECT_FALSE(OutputFile::create(existing.string()));
  EXPECT_EQ(contents(existing), "keep me");
  EXPECT_FALSE(OutputFile::create((dir_ / "missing" / "X.RAT").string()));

  const auto abandoned = dir_ / "NEW.RAT";
  {
    auto file = OutputFile::create(abandoned.string());
    ASSERT_TRUE(file);
    file->put("partial");
  }
  EXPECT_FALSE(std::filesystem::exists(abandoned));
}

}  // namespace
}  // namespace velk

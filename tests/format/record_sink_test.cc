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

TEST(LineReader, CountsLinesAndKeepsALastLineWithoutItsEnd) {
  std::istringstream in("one\r\ntwo\n\nfour");
  LineReader reader(in);
  std::string line;
  std::vector<std::string> lines;
  while (reader.next(line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "four"}));
  EXPECT_EQ(reader.lineNumber(), 4);
}

// A stream whose reading fails, as a file stream's does on a device error.
class FailingBuffer : public std::streambuf {
 protected:
  int_type underflow() override { throw std::runtime_error("device error"); }
};

// Reads `text` from a file and as a stream, line by line, expecting the same lines;
// returns the lines counted by the file's reader.
long linesReadFromFileAsFromStream(const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("velk-lines-" + std::to_string(::getpid()));
  std::ofstream(path, std::ios::binary) << text;
  std::optional<LineReader> file = LineReader::open(path.string(), "O-file");
  EXPECT_TRUE(file);
  if (!file) return -1;
  std::istringstream in(text);
  LineReader stream(in);
  std::string from_file;
  std::string from_stream;
  while (stream.next(from_stream)) {
    const bool read = file->next(from_file);
    EXPECT_TRUE(read) << "line " << stream.lineNumber();
    EXPECT_EQ(from_file, from_stream) << "line " << stream.lineNumber();
    if (!read || from_file != from_stream) return -1;  // one difference is enough to show
  }
  EXPECT_FALSE(file->next(from_file));
  EXPECT_EQ(file->lineNumber(), stream.lineNumber());
  std::filesystem::remove(path);
  return file->lineNumber();
}

TEST(LineReader, ReadsAFileInBlocksExactlyAsAStreamIsRead) {
  // Long lines, and one "\r\n" split between two blocks of the file.
  const std::string text = std::string(65535, 'a') + "\r\nshort\r\n" +
                           std::string(200000, 'b') + "\n\n\r\nlast without its end";
  EXPECT_EQ(linesReadFromFileAsFromStream(text), 6);
  // Empty lines opening the file and opening the second block.
  EXPECT_EQ(linesReadFromFileAsFromStream("\n\r\nx"), 3);
  EXPECT_EQ(linesReadFromFileAsFromStream(std::string(65535, 'a') + "\n\n\r\n"), 3);
}

// Many short lines, so that a 64-byte search holds several line feeds, none or one split
// from its carriage return; empty lines and a last line without its end among them.
TEST(LineReader, FindsEveryLineFeedOfShortLinesAsAStreamDoes) {
  std::mt19937 random(5);
  std::string text;
  while (text.size() < 300000) {
    text.append(random() % 90, static_cast<char>('A' + random() % 26));
    text += random() % 3 == 0 ? "\r\n" : "\n";
  }
  text += "tail";
  linesReadFromFileAsFromStream(text);

  // The word arithmetic finds the same line feeds as the processor's comparisons, 16 and
  // 32 bytes at a time.
  for (std::size_t at = 0; at + 128 <= text.size(); at += 61) {
    std::string bytes = text.substr(at, 128);
    bytes[random() % 128] = static_cast<char>(random());  // any byte, 0x8a and 0x0b included
    std::uint64_t masks[2];
    findLineFeedMasks(bytes.data(), 2, masks);
    for (int chunk = 0; chunk < 2; ++chunk) {
      const char* chunk_bytes = bytes.data() + 64 * chunk;
      ASSERT_EQ(lineFeedMaskInWords(chunk_bytes), lineFeedMask(chunk_bytes)) << at;
      ASSERT_EQ(lineFeedMaskInWords(chunk_bytes), masks[chunk]) << at;
    }
  }
}

TEST(LineReader, AFileThatCannotBeOpenedSaysWhy) {
  std::error_code why;
  EXPECT_FALSE(LineReader::open(std::filesystem::temp_directory_path().string(), "O-file", why));
  EXPECT_EQ(why, std::errc::is_a_directory);
  EXPECT_FALSE(LineReader::open("/no/such/O-file", "O-file", why));
  EXPECT_EQ(why, std::errc::no_such_file_or_directory);
}

TEST(LineReader, AReadErrorIsFatalAndNamesTheFileAndTheReason) {
  // Reading a process's memory from address 0 fails with EIO.
  std::optional<LineReader> memory = LineReader::open("/proc/self/mem", "O-file");
  ASSERT_TRUE(memory);
  std::string line;
  try {
    memory->next(line);
    ADD_FAILURE() << "the read error went unseen";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()),
              "cannot read O-file /proc/self/mem: " + std::string(std::strerror(EIO)));
  }

  FailingBuffer failing;
  std::istream in(&failing);
  LineReader stream(in, "list file L.LST");
  EXPECT_THROW(stream.next(line), RunError);
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

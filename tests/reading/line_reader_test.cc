#include "reading/line_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "format/run_error.h"
#include "reading/line_feeds.h"

namespace velk {
namespace {

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

}  // namespace
}  // namespace velk

// The output file is complete or absent: what the folder holds while the file is written,
// after a failed write, after a commit, and when another program touched the name.

#include "format/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "format/run_error.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// More than one buffer's worth, so that part of it has reached the temporary.
const std::string kRecord(100, 'x');
constexpr int kRecords = 1500;

void writeRecords(OutputFile& file) {
  for (int i = 0; i < kRecords; ++i) file.put(kRecord);
}

std::string expectedContents() {
  std::string text;
  for (int i = 0; i < kRecords; ++i) text += kRecord + "\r\n";
  return text;
}

// Runs every test with the unnamed temporary and with the named one.
class DurableOutputFile : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (named()) ::setenv(OutputFile::kNamedTemporarySwitch, "1", 1);
    dir_ = fs::temp_directory_path() /
           ("velk-durable-" + std::to_string(::getpid()) + "-" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    ::unsetenv(OutputFile::kNamedTemporarySwitch);
    fs::remove_all(dir_);
  }
  bool named() const { return GetParam(); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  // What the folder holds, hidden temporaries shown as "TEMPORARY of NAME".
  std::multiset<std::string> entries() const {
    std::multiset<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      std::string name = entry.path().filename().string();
      const std::size_t mark = name.find(".velk-tmp-");
      if (mark != std::string::npos) name = "TEMPORARY of " + name.substr(1, mark - 1);
      names.insert(name);
    }
    return names;
  }
  std::multiset<std::string> whileWriting(const std::string& name) const {
    if (named()) return {name, "TEMPORARY of " + name};
    return {name};
  }

  fs::path dir_;
};

INSTANTIATE_TEST_SUITE_P(BothTemporaries, DurableOutputFile, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST_P(DurableOutputFile, TheNameHoldsAnEmptyReservationUntilTheCommit) {
  auto file = OutputFile::create(path("OUT.LOG"));
  ASSERT_TRUE(file);
  writeRecords(*file);
  EXPECT_EQ(entries(), whileWriting("OUT.LOG"));
  EXPECT_EQ(fs::file_size(dir_ / "OUT.LOG"), 0u);
  file->commit();
  EXPECT_EQ(entries(), std::multiset<std::string>{"OUT.LOG"});
  EXPECT_EQ(contents(dir_ / "OUT.LOG"), expectedContents());
}

TEST_P(DurableOutputFile, ReplaceKeepsTheOldFileUntilTheCommitAndWhenAbandoned) {
  std::ofstream(dir_ / "OLD.VEC") << "old";
  {
    OutputFile abandoned = OutputFile::replace(path("OLD.VEC"));
    writeRecords(abandoned);
    EXPECT_EQ(contents(dir_ / "OLD.VEC"), "old");
  }
  EXPECT_EQ(entries(), std::multiset<std::string>{"OLD.VEC"});
  EXPECT_EQ(contents(dir_ / "OLD.VEC"), "old");

  OutputFile file = OutputFile::replace(path("OLD.VEC"));
  writeRecords(file);
  file.commit();
  EXPECT_EQ(entries(), std::multiset<std::string>{"OLD.VEC"});
  EXPECT_EQ(contents(dir_ / "OLD.VEC"), expectedContents());
  EXPECT_THROW(OutputFile::replace(path("NO/SUCH/FOLDER")), RunError);
}

// A file-size limit below what is written: the write fails with EFBIG (the signal being
// ignored), as a full disk fails with ENOSPC.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

void expectWriteFailure(OutputFile& file, const std::string& path) {
  try {
    FileSizeLimit limit(64 * 1024);
    writeRecords(file);
    file.commit();
    ADD_FAILURE() << "the writes went past the file-size limit";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()), "cannot write the output file " + path + ": " +
                                             std::strerror(EFBIG));
  }
}

TEST_P(DurableOutputFile, AFailedWriteLeavesNothingAtOnce) {
  auto created = OutputFile::create(path("OUT.RAT"));
  ASSERT_TRUE(created);
  expectWriteFailure(*created, path("OUT.RAT"));
  EXPECT_EQ(entries(), std::multiset<std::string>{});  // before the object goes
  EXPECT_THROW(created->commit(), RunError);

  std::ofstream(dir_ / "OLD.RAT") << "old";
  OutputFile replacing = OutputFile::replace(path("OLD.RAT"));
  expectWriteFailure(replacing, path("OLD.RAT"));
  EXPECT_EQ(entries(), std::multiset<std::string>{"OLD.RAT"});
  EXPECT_EQ(contents(dir_ / "OLD.RAT"), "old");
}

TEST_P(DurableOutputFile, AReservationTouchedByAnotherProgramIsLeftAsThatProgramMadeIt) {
  auto written_into = OutputFile::create(path("A.LOG"));
  auto put_back = OutputFile::create(path("B.LOG"));
  ASSERT_TRUE(written_into && put_back);
  writeRecords(*written_into);
  writeRecords(*put_back);
  std::ofstream(dir_ / "A.LOG") << "theirs";
  fs::remove(dir_ / "B.LOG");
  std::ofstream(dir_ / "B.LOG").close();  // empty again, but another file
  EXPECT_THROW(written_into->commit(), RunError);
  EXPECT_THROW(put_back->commit(), RunError);
  EXPECT_EQ(entries(), (std::multiset<std::string>{"A.LOG", "B.LOG"}));
  EXPECT_EQ(contents(dir_ / "A.LOG"), "theirs");
}

TEST_P(DurableOutputFile, FilesCommittedTogetherAreAllNamedOrNone) {
  auto index = OutputFile::create(path("INDEX.SVG"));
  auto first = OutputFile::create(path("P1.SVG"));
  auto second = OutputFile::create(path("P2.SVG"));
  ASSERT_TRUE(index && first && second);
  for (OutputFile* file : {&*index, &*first, &*second}) writeRecords(*file);
  std::ofstream(dir_ / "P2.SVG") << "theirs";
  const std::array<OutputFile*, 3> files{&*first, &*second, &*index};
  EXPECT_THROW(OutputFile::commitAll(files), RunError);
  EXPECT_EQ(entries(), std::multiset<std::string>{"P2.SVG"});

  auto again = OutputFile::create(path("P1.SVG"));
  auto index_again = OutputFile::create(path("INDEX.SVG"));
  ASSERT_TRUE(again && index_again);
  again->write("<svg/>");
  index_again->write("<html/>");
  const std::array<OutputFile*, 2> together{&*again, &*index_again};
  OutputFile::commitAll(together);
  EXPECT_EQ(contents(dir_ / "P1.SVG"), "<svg/>");
  EXPECT_EQ(contents(dir_ / "INDEX.SVG"), "<html/>");
  EXPECT_EQ(entries(), (std::multiset<std::string>{"INDEX.SVG", "P1.SVG", "P2.SVG"}));
}

TEST(NamedTemporary, OneLeftByAKilledRunIsRemovedAndALiveOneIsNot) {
  const fs::path dir = fs::temp_directory_path() / ("velk-stale-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path dead = dir / (OutputFile::temporaryPrefix("OUT.LOG") + "dead01");
  const fs::path live = dir / (OutputFile::temporaryPrefix("OUT.LOG") + "live01");
  const fs::path other = dir / (OutputFile::temporaryPrefix("OTHER.LOG") + "dead02");
  for (const fs::path& file : {dead, live, other}) std::ofstream(file) << "partial";
  const int holder = ::open(live.c_str(), O_RDONLY);  // its writer still runs
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);

  ::setenv(OutputFile::kNamedTemporarySwitch, "1", 1);
  auto file = OutputFile::create((dir / "OUT.LOG").string());
  ::unsetenv(OutputFile::kNamedTemporarySwitch);
  ASSERT_TRUE(file);
  file->commit();
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(fs::exists(other));
  ::close(holder);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace velk

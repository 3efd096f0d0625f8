// Faults injected into the real programs over a large campaign: runs killed (SIGKILL) at
// random moments, a file-size limit below the output, an O-file whose reading fails.
// After each, the output name holds nothing, the empty reservation or exactly the file of
// an uninterrupted run, and no temporary is left behind.
//
// VELK_SOAK_KILLS=N kills the run of each variant N times instead of the suite's few (a soak):
//   VELK_SOAK_KILLS=2500 build/tests/run/test_run --gtest_filter='*KillAtRandomMoments*'

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "format/output_file.h"
#include "tests/run/program_runner.h"

extern char** environ;

namespace velk {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

const std::string kOutput = "OUT.LOG";
// quelmar's type 4 writes four sections per baseline: the largest output, whose writing
// phase lasts tens of milliseconds for this campaign.
const std::string kAnswers = "4\n" + kOutput + "\nLISTE.LST\n";
// Under the sanitizers a run is about ten times slower: a smaller campaign keeps its writing
// phase at tens of milliseconds and the test within seconds.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kReports = 300;
#else
constexpr int kReports = 2000;
#endif
constexpr int kSuiteKills = 10;
constexpr auto kRunDeadline = std::chrono::seconds(60);

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Launch {
  std::string program;
  std::string answers;
  std::vector<std::string> arguments;
  bool named_temporary = false;
  std::optional<rlim_t> file_size_limit;
  bool ignore_file_size_signal = false;
};

Launch launchOf(const std::string& program, const std::string& answers, bool named_temporary,
                std::vector<std::string> arguments = {}) {
  Launch launch;
  launch.program = program;
  launch.answers = answers;
  launch.named_temporary = named_temporary;
  launch.arguments = std::move(arguments);
  return launch;
}

// One program run in the campaign folder, started and not waited for. Its answers and its
// standard error are kept in `io`, beside the campaign, so the campaign folder holds only
// what the program makes there.
class Child {
 public:
  Child(const Launch& launch, const fs::path& folder, const fs::path& io)
      : errors_(io / "stderr") {
    writeFile(io / "answers", launch.answers);
    const std::string program = std::string(VELK_BUILD_DIR) + "/" + launch.program;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<std::string> env;
    const std::string switch_prefix = std::string(OutputFile::kNamedTemporarySwitch) + "=";
    for (char** entry = environ; *entry != nullptr; ++entry)
      if (std::string_view(*entry).substr(0, switch_prefix.size()) != switch_prefix)
        env.emplace_back(*entry);
    if (launch.named_temporary) env.push_back(switch_prefix + "1");
    start(launch, pointers(argv), pointers(env), folder.string(), (io / "answers").string());
  }
  ~Child() {
    if (!ended_) kill();
  }
  pid_t pid() const { return pid_; }

  // True once the child has ended.
  bool ended() {
    if (!ended_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
    return ended_;
  }
  // False when the child did not end in time; it is then killed.
  bool waitFor(std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!ended()) {
      if (Clock::now() > deadline) {
        kill();
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  void kill() {
    ::kill(pid_, SIGKILL);
    while (!ended_) {
      if (::waitpid(pid_, &status_, 0) == pid_) ended_ = true;
    }
  }
  // The exit status, or -1 when a signal ended the child.
  int exitStatus() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
  std::string errors() const { return readFile(errors_); }

 private:
  static std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
  }

  // Between fork and exec only async-signal-safe calls.
  void start(const Launch& launch, std::vector<char*> argv, std::vector<char*> env,
             const std::string& folder, const std::string& answers) {
    const std::string errors = errors_.string();
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ != 0) return;
    const int in = ::open(answers.c_str(), O_RDONLY);
    const int out = ::open("/dev/null", O_WRONLY);
    const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::dup2(err, 2) < 0 || ::chdir(folder.c_str()) != 0)
      ::_exit(127);
    if (launch.ignore_file_size_signal) ::signal(SIGXFSZ, SIG_IGN);
    if (launch.file_size_limit) {
      const rlimit limit{*launch.file_size_limit, *launch.file_size_limit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    ::execve(argv[0], argv.data(), env.data());
    ::_exit(127);
  }

  fs::path errors_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool ended_ = false;
};

// The temporary a run writes, seen through its open files: the unnamed one shows as
// "FOLDER/#INODE (deleted)", the named one by its hidden name. A run that held the output
// name itself open for writing would be watched there instead, so that its kills land
// while that file grows.
class TemporaryWatch {
 public:
  TemporaryWatch(pid_t pid, const fs::path& folder)
      : fds_("/proc/" + std::to_string(pid) + "/fd"),
        unnamed_(folder.string() + "/#"),
        named_(folder.string() + "/" + OutputFile::temporaryPrefix(kOutput)),
        output_(folder.string() + "/" + kOutput) {}

  // Its size; nothing while the run has none open.
  std::optional<std::uintmax_t> size() {
    const std::string watched = found_.empty() ? find() : found_;
    struct stat status {};
    if (watched.empty() || ::stat(watched.c_str(), &status) != 0) return std::nullopt;
    return static_cast<std::uintmax_t>(status.st_size);
  }
  bool seen() const { return !found_.empty(); }

 private:
  // The temporary (then kept), else the output name if it is open.
  std::string find() {
    std::string output;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(fds_, ignored)) {
      const std::string target = fs::read_symlink(entry.path(), ignored).string();
      const bool unnamed = target.rfind(unnamed_, 0) == 0 && target.ends_with(" (deleted)");
      if (unnamed || target.rfind(named_, 0) == 0) found_ = entry.path().string();
      if (target == output_) output = entry.path().string();
    }
    return found_.empty() ? output : found_;
  }

  fs::path fds_;
  std::string unnamed_;
  std::string named_;
  std::string output_;
  std::string found_;
};

// Where a run was when the kill came.
enum class Moment {
  BeforeTheTemporary,
  TemporaryEmpty,  // the reading phase
  TemporaryBeingWritten,
  TemporaryComplete,  // flushed, being named
  AfterTheCommit,
  RunEnded,
};

const char* nameOf(Moment moment) {
  switch (moment) {
    case Moment::BeforeTheTemporary: return "before the temporary";
    case Moment::TemporaryEmpty: return "temporary empty (reading phase)";
    case Moment::TemporaryBeingWritten: return "temporary being written";
    case Moment::TemporaryComplete: return "temporary complete (commit)";
    case Moment::AfterTheCommit: return "after the commit";
    case Moment::RunEnded: return "run had ended";
  }
  return "";
}

// How long an uninterrupted run takes, and how long it spends after its temporary is
// complete (flush to disk, naming, closing lines).
struct Timing {
  double total = 0;
  double writing = 0;  // from the first bytes in the temporary to the last
  double commit = 0;
};

// How the output is written: by the dialog into a new file, or by `baselines velk --force`
// over an existing one; with the unnamed or the named temporary.
struct Variant {
  const char* name;
  bool named_temporary;
  bool force;
};

const Variant kVariants[] = {{"Dialog", false, false},
                             {"DialogNamedTemporary", true, false},
                             {"Force", false, true}};
const std::string kOldFile = "the file that --force replaces\r\n";

// A campaign folder, and what a run of the variant leaves in it.
class FaultInjection : public ::testing::TestWithParam<Variant> {
 protected:
  FaultInjection() : scratch_(scratchName()) {}

  // The test's name without the "/" of its variant, which would make a nested folder.
  static std::string scratchName() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
  }

  void generateCampaign(int reports) {
    fs::create_directories(campaign());
    fs::create_directories(io());
    const std::string generate = std::string(VELK_BUILD_DIR) + "/campaign_generator --reports " +
                                 std::to_string(reports) + " --seed 11 --dir " +
                                 testing::shellQuoted(campaign().string()) + " > /dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    for (const auto& entry : fs::directory_iterator(campaign()))
      campaign_files_.insert(entry.path().filename().string());
  }

  const Variant& variant() const { return GetParam(); }
  fs::path campaign() const { return fs::canonical(scratch_.path()) / "campaign"; }
  fs::path io() const { return scratch_.path() / "io"; }

  // The variant's run with the dialog's answers or their command-line equivalent.
  Launch launch(const std::string& program, const std::string& answers) const {
    if (!variant().force) return launchOf(program, answers, variant().named_temporary);
    writeFile(campaign() / kOutput, kOldFile);
    std::istringstream lines(answers);
    std::string type;
    std::getline(lines, type);
    return launchOf("baselines", "", variant().named_temporary,
                    {"velk", "--edition", program, "--type", type, "--output", kOutput, "--force",
                     "--list", "LISTE.LST"});
  }

  // What the output name holds after a run ("nothing", "the empty reservation", "the old
  // file", "the complete file"); fails on a part of the file, and on a leftover that is
  // not a recognisable temporary (counted in `leftovers`).
  std::string inspectFolder(int& leftovers) {
    const std::string prefix = OutputFile::temporaryPrefix(kOutput);
    std::string held = "nothing";
    for (const auto& entry : fs::directory_iterator(campaign())) {
      const std::string name = entry.path().filename().string();
      if (campaign_files_.count(name) != 0) continue;
      if (name == kOutput) {
        held = whatIsHeld(readFile(entry.path()));
      } else if (name.rfind(prefix, 0) == 0) {
        // A killed run's (named, or named for the moment of a replacing rename); the
        // next run removes it.
        ++leftovers;
      } else {
        ADD_FAILURE() << "left in the folder: " << name;
      }
    }
    fs::remove(campaign() / kOutput);
    return held;
  }

  std::string whatIsHeld(const std::string& text) const {
    if (text.empty()) return "the empty reservation";
    if (variant().force && text == kOldFile) return "the old file";
    EXPECT_EQ(text.size(), reference_.size()) << "a part of the file was left";
    EXPECT_TRUE(text == reference_) << "the file differs from an uninterrupted run's";
    return "the complete file";
  }

  ScratchFolder scratch_;
  std::set<std::string> campaign_files_;
  std::string reference_;  // the file of an uninterrupted run
};

std::string variantName(const ::testing::TestParamInfo<Variant>& info) {
  return info.param.name;
}

class KillAtRandomMoments : public FaultInjection {
 protected:
  void SetUp() override {
    generateCampaign(kReports);
    calibrate();
  }

  Launch launch() const { return FaultInjection::launch("quelmar", kAnswers); }

  // An uninterrupted run gives the reference file and the timing.
  void calibrate() {
    const auto start = Clock::now();
    Child child(launch(), campaign(), io());
    TemporaryWatch watch(child.pid(), campaign());
    std::uintmax_t last_size = 0;
    double first_bytes_at = 0;
    double complete_at = 0;
    while (!child.ended()) {
      const std::optional<std::uintmax_t> size = watch.size();
      if (size && *size > last_size) {
        if (last_size == 0) first_bytes_at = secondsSince(start);
        last_size = *size;
        complete_at = secondsSince(start);
      }
      ASSERT_LT(secondsSince(start), kRunDeadline.count());
    }
    timing_.total = secondsSince(start);
    timing_.writing = complete_at - first_bytes_at;
    timing_.commit = timing_.total - complete_at;
    ASSERT_EQ(child.exitStatus(), 0) << child.errors();
    reference_ = readFile(campaign() / kOutput);
    fs::remove(campaign() / kOutput);
  }

  // Waits until `reached` holds or the run ends.
  template <typename Condition>
  void waitUntil(Child& child, Condition reached) {
    const auto start = Clock::now();
    while (!reached() && !child.ended()) ASSERT_LT(secondsSince(start), kRunDeadline.count());
  }

  void spin(double seconds) {
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) {
    }
  }

  // Kills one run at a moment of the given kind (i modulo 5: anywhere, three times while
  // the temporary is written, once at the commit) and says where it was.
  Moment killOnce(int i, std::mt19937_64& random) {
    Child child(launch(), campaign(), io());
    TemporaryWatch watch(child.pid(), campaign());
    const auto full = static_cast<std::uintmax_t>(reference_.size());
    if (i % 5 == 0) {
      spin(std::uniform_real_distribution<double>(0, timing_.total * 1.1)(random));
    } else if (i % 5 == 4) {
      waitUntil(child, [&] { return watch.size() == full; });
      spin(std::uniform_real_distribution<double>(0, timing_.commit * 1.2)(random));
    } else {
      const std::uintmax_t target =
          std::uniform_int_distribution<std::uintmax_t>(1, full - 1)(random);
      waitUntil(child, [&] { return watch.size().value_or(0) >= target; });
    }
    const std::optional<std::uintmax_t> size = watch.size();
    const bool seen = watch.seen();
    child.kill();
    EXPECT_TRUE(child.exitStatus() <= 0) << child.errors();
    if (child.exitStatus() == 0) return Moment::RunEnded;
    if (!size) return seen ? Moment::AfterTheCommit : Moment::BeforeTheTemporary;
    if (*size == 0) return Moment::TemporaryEmpty;
    return *size < full ? Moment::TemporaryBeingWritten : Moment::TemporaryComplete;
  }

  Timing timing_;
};

int killCount() {
  const char* soak = std::getenv("VELK_SOAK_KILLS");
  return soak != nullptr ? std::max(1, std::atoi(soak)) : kSuiteKills;
}

TEST_P(KillAtRandomMoments, LeaveNothingTheReservationOrTheWholeFile) {
  const int kills = killCount();
  std::mt19937_64 random(::testing::UnitTest::GetInstance()->random_seed());
  std::map<std::string, int> moments;
  std::map<std::string, int> held;
  int while_writing = 0;
  int most_leftovers = 0;
  const auto killAndInspect = [&](int i) {
    const Moment moment = killOnce(i, random);
    ++moments[nameOf(moment)];
    if (moment == Moment::TemporaryBeingWritten) ++while_writing;
    int leftovers = 0;
    const std::string what = inspectFolder(leftovers);
    ++held[what];
    if (variant().force) {
      EXPECT_TRUE(what == "the old file" || what == "the complete file") << what;
    }
    EXPECT_LE(leftovers, 1) << "temporaries of killed runs were not removed";
    most_leftovers = std::max(most_leftovers, leftovers);
  };
  for (int i = 0; i < kills && !HasFailure(); ++i) killAndInspect(i);
  // The writing of the temporary lasts about a millisecond: on a busy machine the suite's
  // few kills aimed at it can all land after it. More are aimed at it until one lands.
  for (int extra = 0; kills < 100 && while_writing == 0 && extra < 40 && !HasFailure(); ++extra)
    killAndInspect(1);
  std::cout << kills << " kills, " << variant().name << ", over " << kReports << " reports ("
            << reference_.size() << " bytes out; run " << timing_.total * 1000 << " ms, writing "
            << timing_.writing * 1000 << " ms, commit and end " << timing_.commit * 1000
            << " ms)\n  killed at:";
  for (const auto& [moment, count] : moments) std::cout << " " << moment << " " << count << ";";
  std::cout << "\n  the name then held:";
  for (const auto& [what, count] : held) std::cout << " " << what << " " << count << ";";
  std::cout << "\n  temporaries left at once, at most: " << most_leftovers << "\n";
  // The soak shows the share (a quarter at least); the suite's few kills, on a machine that
  // may be busy with other tests, only that the writing is reached at all.
  const int least_while_writing = kills >= 100 ? kills / 4 : 1;
  EXPECT_GE(while_writing, least_while_writing)
      << "too few kills landed while the temporary was written";

  // A run after all this writes the whole file and leaves nothing else.
  Child last(launch(), campaign(), io());
  ASSERT_TRUE(last.waitFor(kRunDeadline));
  EXPECT_EQ(last.exitStatus(), 0) << last.errors();
  int leftovers = 0;
  EXPECT_EQ(inspectFolder(leftovers), "the complete file");
  EXPECT_EQ(leftovers, 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, KillAtRandomMoments, ::testing::ValuesIn(kVariants),
                         variantName);

class FailingRun : public FaultInjection {
 protected:
  void SetUp() override { generateCampaign(300); }

  // The run ends by itself, with status 1 and this message, and leaves nothing (or, with
  // --force, the old file).
  void expectFailure(const Launch& launch, const std::string& message) {
    Child child(launch, campaign(), io());
    ASSERT_TRUE(child.waitFor(std::chrono::seconds(20))) << "the run hung";
    EXPECT_EQ(child.exitStatus(), 1);
    EXPECT_EQ(child.errors(), launch.program + ": " + message + "\n");
    int leftovers = 0;
    EXPECT_EQ(inspectFolder(leftovers), variant().force ? "the old file" : "nothing");
    EXPECT_EQ(leftovers, 0);
  }
};

TEST_P(FailingRun, AFileSizeLimitBelowTheOutputIsAFailedWrite) {
  // With the signal ignored by the caller, as the limit's own EFBIG; left at its default,
  // the program ignores it itself.
  for (const bool ignored : {true, false}) {
    for (const std::string program : {"quelmar", "novrale"}) {
      Launch limited = launch(program, kAnswers);
      limited.file_size_limit = 16 * 1024;
      limited.ignore_file_size_signal = ignored;
      expectFailure(limited, "cannot write the output file " + kOutput + ": " +
                                 std::strerror(EFBIG));
    }
  }
}

TEST_P(FailingRun, AnOFileOrListFileWhoseReadingFailsIsAFatalError) {
  // Reading a process's memory from address 0 fails with EIO. The blank line of the list
  // and the blank list name take the name from the command line.
  const std::string reason = std::strerror(EIO);
  if (variant().force) {
    Launch failing = launch("novrale", kAnswers);
    failing.arguments.push_back("/proc/self/mem");
    expectFailure(failing, "cannot read O-file /proc/self/mem: " + reason);
    return;
  }
  writeFile(campaign() / "MEM.LST", readFile(campaign() / "LISTE.LST").substr(0, 42) + "\r\n");
  campaign_files_.insert("MEM.LST");
  Launch o_file = launch("novrale", "0\n" + kOutput + "\nMEM.LST\n");
  o_file.arguments.push_back("/proc/self/mem");
  expectFailure(o_file, "cannot read O-file /proc/self/mem: " + reason);
  Launch list = launch("quelmar", "0\n" + kOutput + "\n\n");
  list.arguments.push_back("/proc/self/mem");
  expectFailure(list, "cannot read list file /proc/self/mem: " + reason);
}

INSTANTIATE_TEST_SUITE_P(Variants, FailingRun, ::testing::ValuesIn(kVariants), variantName);

}  // namespace
}  // namespace velk

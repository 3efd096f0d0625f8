// The command line of `baselines`: options, help, inputs and exit statuses.

#include <gtest/gtest.h>

#include "commands/options.h"
#include "commands/subcommand.h"
#include "tests/run/program_runner.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

const std::vector<OptionSpec> kOptions{
    {"type", 't', "N", "the type"}, {"output", 'o', "FILE", "the file"}, {"force", 'f', "", "replace"}};

ParsedOptions parse(const std::vector<std::string>& arguments) {
  return parseOptions(arguments, kOptions);
}

TEST(ParseOptions, TakesTheUsualFormsInAnyOrder) {
  const ParsedOptions parsed =
      parse({"a.017", "--type", "2", "-oOUT", "--force", "b.017", "--type=3", "--", "-c.017"});
  EXPECT_EQ(parsed.value("type"), "3");
  EXPECT_EQ(parsed.values("type"), (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(parsed.value("output"), "OUT");
  EXPECT_TRUE(parsed.has("force"));
  EXPECT_EQ(parsed.operands(), (std::vector<std::string>{"a.017", "b.017", "-c.017"}));
  EXPECT_EQ(parse({"-o", "X", "-"}).operands(), std::vector<std::string>{"-"});
}

TEST(ParseOptions, RefusesWhatItDoesNotKnow) {
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"--typo"}, {"-x"}, {"--type"}, {"--force=yes"}, {"-fx"}})
    EXPECT_THROW(parse(wrong), UsageError) << wrong[0];
  EXPECT_EQ(parseIntegerOption("type", "+7"), 7);
  EXPECT_EQ(parseIntegerOption("type", "-3"), -3);
  for (const char* wrong : {"", "2.0", "+-1", "99999999999", "2x"})
    EXPECT_THROW(parseIntegerOption("type", wrong), UsageError) << wrong;
  EXPECT_THROW(parseRealOption("factor", "inf"), UsageError);
}

TEST(SubcommandHelp, DescribesEveryOption) {
  for (const Subcommand* command : subcommands()) {
    const ProgramRun run = ScratchFolder("help").run("baselines", "", {std::string(command->name), "--help"});
    EXPECT_EQ(run.status, 0);
    for (const OptionSpec& option : command->options) {
      EXPECT_FALSE(option.help.empty()) << option.long_name;
      EXPECT_NE(run.out.find("--" + std::string(option.long_name)), std::string::npos)
          << command->name << " --" << option.long_name;
    }
  }
}

TEST(BaselinesProgram, AnswersHelpAndVersionAndRefusesAWrongCommandLine) {
  const ScratchFolder folder("cli");
  EXPECT_EQ(folder.run("baselines", "", {"--help"}).status, 0);
  const ProgramRun version = folder.run("baselines", "", {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("baselines ")) << version.out;
  const ProgramRun wrong = folder.run("baselines", "", {"velk", "--edition", "other", "-t", "0", "-o", "X"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.err,
            "baselines velk: --edition: quelmar or novrale, not 'other'\n"
            "Try 'baselines velk --help'.\n");
  EXPECT_EQ(folder.run("baselines", "", {"velk", "-e", "novrale", "-o", "X"}).status, 2);
  EXPECT_EQ(folder.run("baselines", "", {"nonsense"}).status, 2);
  EXPECT_EQ(folder.run("baselines", "", {}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(folder / "X"));
}

// One example O-file under a long name in a folder, listed with the list's rules.
TEST(BaselinesInputs, ListLinesAreNamesRelativeToTheListsFolder) {
  const ScratchFolder folder("inputs");
  std::filesystem::create_directories(folder / "deep/er");
  const std::string report = readFile(std::string(VELK_SOURCE_DIR) + "/examples/AB082101.017");
  writeFile(folder / "deep/er/A LONG REPORT NAME.017", report);
  // The blank lines after the last name are an editor's, not inputs passed over.
  writeFile(folder / "deep/LIST.TXT", "er/A LONG REPORT NAME.017  \r\n\nabsent.017\n\n  \n");
  const ProgramRun run = folder.run(
      "baselines", "", {"velk", "-e", "novrale", "-t", "2", "-o", "OUT.VEC", "-l", "deep/LIST.TXT"});
  EXPECT_EQ(run.status, 4) << run.err;
  EXPECT_EQ(run.err,
            "baselines: deep/LIST.TXT line 2: blank line passed over\n"
            "baselines: cannot open O-file deep/absent.017: No such file or directory\n"
            "baselines: 1 of 2 O-files passed over, 1 blank list line\n");
  // The entry carries the first 8 characters of the base name.
  EXPECT_NE(readFile(folder / "OUT.VEC").find("A LONG R"), std::string::npos);

  const ProgramRun exists = folder.run(
      "baselines", "", {"velk", "-e", "novrale", "-t", "2", "-o", "OUT.VEC", "deep"});
  EXPECT_EQ(exists.status, 1);
  EXPECT_EQ(exists.err, "baselines: output file OUT.VEC exists; --force replaces it\n");
  const ProgramRun folder_input = folder.run(
      "baselines", "", {"velk", "-e", "novrale", "-t", "2", "-o", "OUT2.VEC", "deep"});
  EXPECT_EQ(folder_input.status, 1);
  EXPECT_EQ(folder_input.err,
            "baselines: cannot open O-file deep: Is a directory\n"
            "baselines: the O-file was passed over: no report read\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "OUT2.VEC"));
}

TEST(BaselinesInputs, AnUnreadableNumberFailsTheRunAndLeavesNothing) {
  const ScratchFolder folder("unreadable");
  std::string report = readFile(std::string(VELK_SOURCE_DIR) + "/examples/AB082101.017");
  report.replace(report.find("0.005999"), 8, "0.0O5999");
  writeFile(folder / "BAD.017", report);
  const ProgramRun run =
      folder.run("baselines", "", {"velk", "-e", "quelmar", "-t", "3", "-o", "OUT.VEC", "BAD.017"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "baselines: BAD.017 line 45 columns 18-27: \"0.0O5999\" is not a number\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "OUT.VEC"));
}

// "-" names standard output where one file is written; what would go there goes to
// standard error instead, and a folder is refused as an output file.
TEST(BaselinesOutputs, DashIsStandardOutputAndAFolderIsNoFile) {
  const ScratchFolder folder("dash");
  const std::string example = std::string(VELK_SOURCE_DIR) + "/examples/AB082101.017";
  const ProgramRun velk =
      folder.run("baselines", "", {"velk", "-e", "novrale", "-t", "2", "-o", "-", example});
  EXPECT_EQ(velk.status, 0) << velk.err;
  EXPECT_TRUE(velk.out.starts_with("12  CAST  SAUL     818.4932")) << velk.out;
  const ProgramRun check = folder.run("baselines", "", {"check", "--json", "-", example});
  EXPECT_TRUE(check.out.starts_with("{\n  \"baselines\": [")) << check.out;
  EXPECT_NE(check.err.find("Check of 1 report"), std::string::npos) << check.err;
  EXPECT_EQ(folder.run("baselines", "", {"velk", "-e", "novrale", "-t", "2", "-o", "-", "--echo",
                                         example}).status, 2);
  std::filesystem::create_directories(folder / "DIR");
  const ProgramRun into_folder =
      folder.run("baselines", "", {"velk", "-e", "novrale", "-t", "2", "-o", "DIR", example});
  EXPECT_EQ(into_folder.status, 1);
  EXPECT_EQ(into_folder.err, "baselines: output file DIR is a folder; name a file in it\n");
}

}  // namespace
}  // namespace velk

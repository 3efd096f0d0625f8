#include "commands/baselines.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "commands/exit_status.h"
#include "commands/subcommand.h"
#include "format/run_error.h"

namespace velk {
namespace {

constexpr std::size_t kHelpWidth = 79;

// Words of `text` filled into lines of at most kHelpWidth columns, each line starting with
// `indent` blanks (the first line's already written `first_column` columns count).
void writeFilled(std::ostream& out, std::string_view text, std::size_t indent,
                 std::size_t first_column) {
  std::size_t column = first_column;
  bool line_empty = true;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(' ', start);
    const std::string_view word =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    if (word.empty()) continue;
    if (!line_empty && column + 1 + word.size() > kHelpWidth) {
      out << '\n' << std::string(indent, ' ');
      column = indent;
      line_empty = true;
    }
    if (!line_empty) {
      out << ' ';
      ++column;
    }
    out << word;
    column += word.size();
    line_empty = false;
  }
  out << '\n';
}

void writeParagraphs(std::ostream& out, std::string_view text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find("\n\n", start);
    writeFilled(out, text.substr(start, end == std::string_view::npos ? end : end - start), 0, 0);
    if (end == std::string_view::npos) break;
    out << '\n';
    start = end + 2;
  }
}

std::string optionHeading(const OptionSpec& option) {
  std::string heading = option.short_name != '\0' ? std::string("-") + option.short_name + ", "
                                                  : std::string("    ");
  heading += "--" + std::string(option.long_name);
  if (option.takesValue()) heading += " " + std::string(option.value_name);
  return heading;
}

void showSubcommandHelp(const Subcommand& command, std::ostream& out) {
  out << "Usage: baselines " << command.name << ' ' << command.usage << "\n\n";
  writeParagraphs(out, command.description);
  out << "\nOptions:\n";
  constexpr std::size_t kHelpColumn = 26;
  std::vector<OptionSpec> options = command.options;
  options.push_back({"help", 'h', "", "show this help and exit"});
  for (const OptionSpec& option : options) {
    const std::string heading = "  " + optionHeading(option);
    out << heading;
    std::size_t column = heading.size();
    if (column + 2 > kHelpColumn) {
      out << '\n';
      column = 0;
    }
    out << std::string(kHelpColumn - column, ' ');
    writeFilled(out, option.help, kHelpColumn, kHelpColumn);
  }
}

void showProgramHelp(std::ostream& out) {
  out << "Usage: baselines SUBCOMMAND [options] [O-FILE...]\n"
         "       baselines SUBCOMMAND --help\n\n"
         "Works on a campaign of O-files, the reports of the GPS baseline processing: the O-files\n"
         "are named as arguments (any folder, any length) and/or listed in a file (--list).\n\n"
         "Subcommands:\n";
  for (const Subcommand* command : subcommands()) {
    const std::string name = "  " + std::string(command->name);
    out << name << std::string(name.size() < 12 ? 12 - name.size() : 1, ' ') << command->summary
        << '\n';
  }
  out << "\nExit status: 0 done, 1 failed run (nothing written), 2 wrong command line or no "
         "input,\n3 a finding flagged, 4 done with inputs passed over (each named on standard "
         "error).\n";
}

const Subcommand* findSubcommand(std::string_view name) {
  for (const Subcommand* command : subcommands())
    if (command->name == name) return command;
  return nullptr;
}

bool asksForHelp(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--") return false;
    if (argument == "--help" || argument == "-h") return true;
  }
  return false;
}

int usageError(std::ostream& err, std::string_view where, std::string_view message) {
  err << "baselines" << (where.empty() ? "" : " ") << where << ": " << message << '\n'
      << "Try 'baselines" << (where.empty() ? "" : " ") << where << " --help'.\n";
  return kExitUsageError;
}

int runSubcommand(const Subcommand& command, const std::vector<std::string>& arguments,
                  std::ostream& out, std::ostream& err) {
  if (asksForHelp(arguments)) {
    showSubcommandHelp(command, out);
    return kExitDone;
  }
  std::string failure;
  try {
    const ParsedOptions options = parseOptions(arguments, command.options);
    CommandStreams streams{out, err};
    const int status = command.run(options, streams);
    out.flush();
    if (!out) throw RunError("cannot write to standard output");
    return status;
  } catch (const UsageError& error) {
    return usageError(err, command.name, error.what());
  } catch (const RunError& error) {
    failure = error.what();
  } catch (const std::exception& error) {
    failure = std::string("internal error: ") + error.what();
  }
  err << "baselines: " << failure << '\n';
  return kExitFailed;
}

}  // namespace

int runBaselines(int argc, char** argv, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (arguments.empty()) return usageError(err, "", "missing subcommand");
  const std::string& first = arguments.front();
  if (first == "--help" || first == "-h") {
    showProgramHelp(out);
    return kExitDone;
  }
  if (first == "--version") {
    out << "baselines " << VELK_VERSION << '\n';
    return kExitDone;
  }
  const Subcommand* command = findSubcommand(first);
  if (command == nullptr) {
    return usageError(err, "", first.starts_with("-") ? "unknown option '" + first + "'"
                                                      : "unknown subcommand '" + first + "'");
  }
  return runSubcommand(*command, {arguments.begin() + 1, arguments.end()}, out, err);
}

int runBaselines(int argc, char** argv) {
#ifdef SIGPIPE
  // A closed standard output is a failed write, reported like any other.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  std::ios::sync_with_stdio(false);
  return runBaselines(argc, argv, std::cout, std::cerr);
}

}  // namespace velk

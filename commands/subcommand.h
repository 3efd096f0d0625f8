#pragma once

#include <ostream>
#include <span>
#include <string_view>
#include <vector>

#include "commands/options.h"

namespace velk {

struct CommandStreams {
  std::ostream& out;
  std::ostream& err;
};

// One subcommand of `baselines`: its help is made from these texts and the options' own.
struct Subcommand {
  std::string_view name;
  std::string_view summary;      // one line, for `baselines --help`
  std::string_view usage;        // the arguments after "baselines NAME"
  std::string_view description;  // paragraphs shown by `baselines NAME --help`
  std::vector<OptionSpec> options;
  // Returns the exit status; throws UsageError or RunError.
  int (*run)(const ParsedOptions& options, CommandStreams& streams);
};

// Every subcommand, in the order `baselines --help` lists them.
std::span<const Subcommand* const> subcommands();

// The subcommands' own definitions (one file each).
const Subcommand& velkSubcommand();
const Subcommand& exportSubcommand();
const Subcommand& checkSubcommand();
const Subcommand& adjustSubcommand();
const Subcommand& plotSubcommand();
const Subcommand& seriesSubcommand();

}  // namespace velk

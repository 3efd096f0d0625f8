#include <array>

#include "commands/subcommand.h"

namespace velk {

std::span<const Subcommand* const> subcommands() {
  static const std::array<const Subcommand*, 5> kAll{&velkSubcommand(), &exportSubcommand(),
                                                     &checkSubcommand(), &plotSubcommand(),
                                                     &seriesSubcommand()};
  return kAll;
}

}  // namespace velk

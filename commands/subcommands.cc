#include <array>

#include "commands/subcommand.h"

namespace velk {

std::span<const Subcommand* const> subcommands() {
  static const std::array<const Subcommand*, 6> kAll{&velkSubcommand(), &exportSubcommand(),
                                                     &checkSubcommand(), &adjustSubcommand(),
                                                     &seriesSubcommand(), &plotSubcommand()};
  return kAll;
}

}  // namespace velk

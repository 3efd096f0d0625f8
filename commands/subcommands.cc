#include <array>

#include "commands/subcommand.h"

namespace velk {

std::span<const Subcommand* const> subcommands() {
  static const std::array<const Subcommand*, 4> kAll{&velkSubcommand(), &exportSubcommand(),
                                                     &checkSubcommand(), &plotSubcommand()};
  return kAll;
}

}  // namespace velk

#include <array>

#include "commands/subcommand.h"

namespace velk {

std::span<const Subcommand* const> subcommands() {
  static const std::array<const Subcommand*, 2> kAll{&velkSubcommand(), &plotSubcommand()};
  return kAll;
}

}  // namespace velk

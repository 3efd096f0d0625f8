#include <array>

#include "commands/subcommand.h"

namespace velk {

std::span<const Subcommand* const> subcommands() {
  static const std::array<const Subcommand*, 1> kAll{&velkSubcommand()};
  return kAll;
}

}  // namespace velk

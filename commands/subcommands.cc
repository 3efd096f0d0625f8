#include <array>

#include "commands/subcommand.h"

namespace velk {

std::span<const Subcommand* const> subcommands() {
  static const std::array<const Subcommand*, 3> kAll{&velkSubcommand(), &exportSubcommand(),
                                                     &plotSubcommand()};
  return kAll;
}

}  // namespace velk

#include "commands/options.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace velk {
namespace {

const OptionSpec* findLong(std::span<const OptionSpec> options, std::string_view name) {
  for (const OptionSpec& option : options)
    if (option.long_name == name) return &option;
  return nullptr;
}

const OptionSpec* findShort(std::span<const OptionSpec> options, char name) {
  for (const OptionSpec& option : options)
    if (option.short_name != '\0' && option.short_name == name) return &option;
  return nullptr;
}

std::string shownName(const OptionSpec& option) { return "--" + std::string(option.long_name); }

}  // namespace

std::optional<std::string> ParsedOptions::value(std::string_view name) const {
  const auto found = values_.find(std::string(name));
  if (found == values_.end()) return std::nullopt;
  return found->second.back();
}

std::vector<std::string> ParsedOptions::values(std::string_view name) const {
  const auto found = values_.find(std::string(name));
  return found == values_.end() ? std::vector<std::string>{} : found->second;
}

ParsedOptions parseOptions(std::span<const std::string> arguments,
                           std::span<const OptionSpec> options) {
  ParsedOptions parsed;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || argument == "-" || argument.empty() || argument[0] != '-') {
      parsed.addOperand(argument);
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    const OptionSpec* option = nullptr;
    std::optional<std::string> attached;  // the value written in the same argument
    if (argument.starts_with("--")) {
      const std::size_t equals = argument.find('=');
      const std::string name = argument.substr(2, equals == std::string::npos ? equals : equals - 2);
      option = findLong(options, name);
      if (option == nullptr) throw UsageError("unknown option '--" + name + "'");
      if (equals != std::string::npos) attached = argument.substr(equals + 1);
    } else {
      option = findShort(options, argument[1]);
      if (option == nullptr) throw UsageError("unknown option '" + argument.substr(0, 2) + "'");
      if (argument.size() > 2) {
        if (!option->takesValue())
          throw UsageError("option '" + argument.substr(0, 2) + "' takes no value");
        attached = argument.substr(2);
      }
    }
    if (!option->takesValue()) {
      if (attached) throw UsageError("option '" + shownName(*option) + "' takes no value");
      parsed.add(option->long_name, "");
    } else if (attached) {
      parsed.add(option->long_name, *attached);
    } else if (i + 1 < arguments.size()) {
      parsed.add(option->long_name, arguments[++i]);
    } else {
      throw UsageError("option '" + shownName(*option) + "' needs a value (" +
                       std::string(option->value_name) + ")");
    }
  }
  return parsed;
}

std::string requiredValue(const ParsedOptions& options, std::string_view name) {
  if (std::optional<std::string> value = options.value(name)) return *value;
  throw UsageError("missing --" + std::string(name));
}

int parseIntegerOption(std::string_view name, const std::string& text) {
  std::int32_t value = 0;
  const char* begin = text.data();
  if (text.starts_with("+") && !text.starts_with("+-")) ++begin;
  const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  if (text.empty() || begin == text.data() + text.size() || error != std::errc() ||
      end != text.data() + text.size())
    throw UsageError("--" + std::string(name) + ": not a whole number: '" + text + "'");
  return value;
}

double parseRealOption(std::string_view name, const std::string& text) {
  double value = 0;
  const char* begin = text.data();
  if (text.starts_with("+") && !text.starts_with("+-")) ++begin;
  const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    throw UsageError("--" + std::string(name) + ": not a number: '" + text + "'");
  return value;
}

}  // namespace velk

#pragma once

#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

// One option of a subcommand: `--long_name VALUE`, `--long_name=VALUE`, `-s VALUE` or
// `-sVALUE`; a flag when `value_name` is empty.
struct OptionSpec {
  std::string_view long_name;
  char short_name = '\0';  // '\0': no short form
  std::string_view value_name;
  std::string_view help;

  bool takesValue() const { return !value_name.empty(); }
};

// A command line the user got wrong: the message says what; the program exits with 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The options and operands of one subcommand's command line. Options and operands come in
// any order; `--` ends the options; an option given twice keeps every value in order.
class ParsedOptions {
 public:
  bool has(std::string_view name) const { return values_.count(std::string(name)) != 0; }
  // The last value given, if the option was given.
  std::optional<std::string> value(std::string_view name) const;
  std::vector<std::string> values(std::string_view name) const;
  const std::vector<std::string>& operands() const { return operands_; }
  // The same options, the first operand left out (a subcommand's word before its inputs,
  // such as export's format).
  ParsedOptions withoutFirstOperand() const {
    ParsedOptions rest = *this;
    if (!rest.operands_.empty()) rest.operands_.erase(rest.operands_.begin());
    return rest;
  }

  void add(std::string_view name, std::string value) {
    values_[std::string(name)].push_back(std::move(value));
  }
  void addOperand(std::string operand) { operands_.push_back(std::move(operand)); }

 private:
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> operands_;
};

// Throws UsageError for an unknown option, a value missing or given to a flag.
ParsedOptions parseOptions(std::span<const std::string> arguments,
                           std::span<const OptionSpec> options);

// The value of a required option, or UsageError "missing --NAME".
std::string requiredValue(const ParsedOptions& options, std::string_view name);

// A whole number that fits 32 bits, or UsageError naming the option and the text.
int parseIntegerOption(std::string_view name, const std::string& text);
// A finite real number, or UsageError.
double parseRealOption(std::string_view name, const std::string& text);

}  // namespace velk

#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "commands/options.h"
#include "format/record_sink.h"
#include "reading/report.h"

namespace velk {

// The input options that every subcommand has besides its O-file operands.
extern const OptionSpec kListOption;

// The O-files to read, in order: the operands, then the lines of each --list file (one
// name per line, one trailing carriage return dropped, trailing blanks removed, relative
// to the list file's own folder; a blank line is passed over with a notice on `err`).
// Throws RunError when a list file cannot be read.
std::vector<std::string> inputPaths(const ParsedOptions& options, std::ostream& err);

// Opens each O-file in turn and hands it to `read`. One that cannot be opened is a notice
// on `err` ("baselines: cannot open O-file NAME: REASON") and is passed over; before that,
// `before_open` is told its name (the legacy console echoes it).
void forEachOFile(const std::vector<std::string>& paths, std::ostream& err,
                  const std::function<void(const std::string& path)>& before_open,
                  const std::function<void(LineReader& in, const std::string& path)>& read);

// Every report of the inputs, each read on its own; notices on `err`.
std::vector<Report> readSeparateReports(const ParsedOptions& options, std::ostream& err);

// A notice of the program on standard error: "baselines: TEXT".
void notify(std::ostream& err, std::string_view text);

}  // namespace velk

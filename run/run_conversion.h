#pragma once

#include <istream>
#include <ostream>

#include "format/fixed_text.h"
#include "format/record_sink.h"
#include "run/edition.h"

namespace velk {

// The whole run of one edition: dialog, reading phase, writing phase, end. Returns the
// exit status (0 at the normal end, 1 after a fatal error reported on `err`).
int runConversion(const Edition& edition, int argc, char** argv, std::istream& in,
                  std::ostream& out, std::ostream& err);

// The console echo of a list entry's 12-character name, before its O-file is opened.
void echoFileName(RecordSink& console, const FixedText<12>& name);

// The same on the process's standard streams.
int runConversion(const Edition& edition, int argc, char** argv);

}  // namespace velk

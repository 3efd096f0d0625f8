#pragma once

#include "format/record_sink.h"
#include "reading/baseline_table.h"
#include "run/edition.h"
#include "run/run_settings.h"

namespace velk {

// The writing phase: the sections of the chosen output type, in their order, each over
// every entry of the table.
void writeOutput(const RunSettings& settings, const BaselineTable& table, const Edition& edition,
                 RecordSink& file, RecordSink& console);

}  // namespace velk

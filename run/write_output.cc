#include "run/write_output.h"

namespace velk {

void writeOutput(const RunSettings&, const BaselineTable&, const Edition&, RecordSink&,
                 RecordSink&) {}

}  // namespace velk

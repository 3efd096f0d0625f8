#include "reading/scan_report.h"

namespace velk {

void scan_report(std::istream&, std::string_view, std::string_view, BaselineTable&,
                 ReportScanState&, const ReadingEdition&, RecordSink&) {}

}  // namespace velk

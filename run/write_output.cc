#include "run/write_output.h"

#include "output/writers.h"

namespace velk {
namespace {

void writeSection(OutputSection section, const RunSettings& settings, const BaselineTable& table,
                  const WritingEdition& edition, RecordSink& file, RecordSink& console) {
  switch (section) {
    case OutputSection::RattData:
      writeRattDataFile(file, table, edition);
      return;
    case OutputSection::Station:
      writeStationFile(file, table);
      return;
    case OutputSection::Vector:
      writeVectorFile(file, table, edition);
      return;
    case OutputSection::VectorCovariance:
      writeVectorCovarianceFile(file, table);
      return;
    case OutputSection::Log:
      writeLogFile(file, console, table, edition, settings.output_type,
                   settings.file_name_code.view());
      return;
  }
}

}  // namespace

void writeOutput(const RunSettings& settings, const BaselineTable& table, const Edition& edition,
                 RecordSink& file, RecordSink& console) {
  for (const OutputSection section : edition.writing.sectionsFor(settings.output_type)) {
    writeSection(section, settings, table, edition.writing, file, console);
  }
}

}  // namespace velk

#include "run/run_conversion.h"

#include <charconv>
#include <csignal>
#include <iostream>
#include <optional>
#include <string>

#include "format/output_file.h"
#include "format/record_sink.h"
#include "reading/line_reader.h"
#include "format/run_error.h"
#include "reading/baseline_table.h"
#include "reading/scan_report.h"
#include "run/run_settings.h"
#include "run/write_output.h"

namespace velk {
namespace {

const RecordLayout kNameEcho{"(A)"};
const RecordLayout kOutputEcho{"(A12,' -  ',A40)"};

// The unit numbers the blank-name question shows for the three files of a run.
constexpr int kOutputUnit = 5;
constexpr int kListUnit = 4;
constexpr int kReportUnit = 2;

// The output type: the first token (up to a blank or a comma) of the first non-blank
// line, a signed decimal integer that fits 32 bits.
std::optional<std::int32_t> parseOutputType(std::string_view line) {
  const std::size_t start = line.find_first_not_of(' ');
  const std::size_t end = line.find_first_of(" ,", start);
  std::string_view token = line.substr(start, end == std::string_view::npos ? end : end - start);
  const bool plusSign = !token.empty() && token.front() == '+';
  if (plusSign) token.remove_prefix(1);
  if (token.empty() || token.front() == '+' || (plusSign && token.front() == '-'))
    return std::nullopt;
  std::int32_t value = 0;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
  if (result.ec != std::errc() || result.ptr != token.data() + token.size()) return std::nullopt;
  return value;
}

class ConversionRun {
 public:
  ConversionRun(const Edition& edition, int argc, char** argv, Console& console)
      : edition_(edition), argc_(argc), argv_(argv), console_(console) {}

  void execute() {
    showBanner();
    settings_.output_type = askOutputType();
    createOutputFile();
    if (edition_.has_file_name_code)
      settings_.file_name_code = settings_.output_file_name.view().substr(6, 2);
    assignTitle();
    writeRecord(console_, kOutputEcho, {settings_.output_file_name, settings_.title});
    LineReader list = openListFile();
    readReports(list);
    writeOutput(settings_, table_, edition_, *output_, console_);
    // A console that could not show the run is a failed run: nothing is kept.
    console_.flush();
    // The run says it is done only once the file is on stable storage under its name.
    output_->commit();
    writeFreeForm(console_, " -- FIN --");
    console_.putRaw("\nStop - Program terminated.\n");
    console_.flush();
  }

 private:
  void showBanner() {
    writeFreeForm(console_, edition_.banner);
    writeFreeForm(console_, " -----------------------");
    writeFreeForm(console_, " Type de sortie : ");
    for (std::string_view line : edition_.menu_lines) writeFreeForm(console_, line);
  }

  std::int32_t askOutputType() {
    std::string line;
    do {
      line = readAnswer("before the output type was given");
    } while (isBlankText(line));
    const std::optional<std::int32_t> type = parseOutputType(line);
    if (!type) throw RunError("the output type must be a whole number, not \"" + line + "\"");
    return *type;
  }

  void createOutputFile() {
    for (;;) {
      writeFreeForm(console_, " Nom du fichier sortie (format VELK) :");
      settings_.output_file_name = readAnswer("before the output file was named");
      const std::string path = fileSystemName(settings_.output_file_name, kOutputUnit);
      if (std::optional<OutputFile> created = OutputFile::create(path)) {
        output_.emplace(std::move(*created));
        return;
      }
      writeFreeForm(console_, " -> Attention : creation impossible (fichier existant ?) : " + path);
    }
  }

  void assignTitle() {
    const std::int32_t type = settings_.output_type;
    if (type >= 0 && type < static_cast<std::int32_t>(edition_.titles.size()))
      settings_.title = edition_.titles[static_cast<std::size_t>(type)];
  }

  LineReader openListFile() {
    for (;;) {
      writeFreeForm(console_, " Nom du fichier contenant la liste des fichiers O : ");
      settings_.list_file_name = readAnswer("before the list file was named");
      writeRecord(console_, kNameEcho, {settings_.list_file_name});
      const std::string path = fileSystemName(settings_.list_file_name, kListUnit);
      if (std::optional<LineReader> list = LineReader::open(path, "list file"))
        return std::move(*list);
      writeFreeForm(console_, " -> Attention : fichier liste introuvable : " + path);
    }
  }

  // Every list line names one O-file, opened afresh from its first line.
  void readReports(LineReader& list) {
    std::string line;
    while (list.next(line)) {
      settings_.report_file_name = line;
      echoFileName(console_, settings_.report_file_name);
      const std::string path = fileSystemName(settings_.report_file_name, kReportUnit);
      std::optional<LineReader> report = LineReader::open(path, "O-file");
      if (!report) {
        writeFreeForm(console_, " -> Attention : fichier O introuvable, ignore : " + path);
        continue;
      }
      scan_report(*report, settings_.report_file_name, path, table_, scan_state_, edition_.reading,
                  console_);
    }
  }

  // A blank name is replaced by the next unused command-line argument, then by an answer
  // to the console question. The held 12-character name stays blank either way.
  std::string fileSystemName(const FixedText<12>& held, int unit) {
    if (!held.isBlank()) return held.withoutTrailingBlanks();
    if (next_argument_ < argc_) return withoutTrailingBlanks(argv_[next_argument_++]);
    for (;;) {
      console_.putRaw("\nFile name missing or blank - please enter file name\nUNIT " +
                      std::to_string(unit) + "? ");
      const std::string answer = readAnswer("before a file name was given");
      if (!isBlankText(answer)) return withoutTrailingBlanks(answer);
    }
  }

  std::string readAnswer(const char* when) {
    std::optional<std::string> line = console_.readLine();
    if (!line) throw RunError(std::string("standard input ended ") + when);
    return std::move(*line);
  }

  const Edition& edition_;
  int argc_;
  char** argv_;
  int next_argument_ = 1;
  Console& console_;
  RunSettings settings_;
  BaselineTable table_;
  ReportScanState scan_state_;
  std::optional<OutputFile> output_;
};

void showUsage(const Edition& edition, std::ostream& out) {
  out << "Usage: " << edition.program_name << " [FILE...]\n"
      << "Converts O-file reports into a VELK file. The program asks for the output type,\n"
      << "the output file name and the name of a list file naming the O-files, one per\n"
      << "line. A blank answer for a file name takes the next FILE argument instead.\n";
}

}  // namespace

void echoFileName(RecordSink& console, const FixedText<12>& name) {
  writeRecord(console, kNameEcho, {name});
}

int runConversion(const Edition& edition, int argc, char** argv, std::istream& in,
                  std::ostream& out, std::ostream& err) {
  if (argc > 1) {
    const std::string_view first = argv[1];
    if (first == "--help") {
      showUsage(edition, out);
      return 0;
    }
    if (first == "--version") {
      out << edition.program_name << ' ' << VELK_VERSION << '\n';
      return 0;
    }
  }
  Console console(out, in);
  std::string failure;
  try {
    ConversionRun(edition, argc, argv, console).execute();
    return 0;
  } catch (const RunError& error) {
    failure = error.what();
  } catch (const std::exception& error) {
    failure = std::string("internal error: ") + error.what();
  }
  // The run (and with it the output file it created) is gone by now. The console may be
  // what failed: its state no longer matters.
  console.showPending();
  out << '\n';
  out.flush();
  err << edition.program_name << ": " << failure << '\n';
  return 1;
}

int runConversion(const Edition& edition, int argc, char** argv) {
#ifdef SIGPIPE
  // A console pipe closed by its reader is a failed write, reported like any other.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);
  return runConversion(edition, argc, argv, std::cin, std::cout, std::cerr);
}

}  // namespace velk

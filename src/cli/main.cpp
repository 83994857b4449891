// sorowa-compare: the Compare command of the window, run over two files.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/memory_budget.h"
#include "base/quoted_name.h"
#include "batch_command.h"
#include "command_line.h"
#include "command_line_ui.h"
#include "compare/compare_errors.h"
#include "compare/compare_line_pairs.h"
#include "compare/compare_result.h"
#include "compare/on_compare.h"
#include "compare/report_store.h"
#include "formats/read_document.h"
#include "output_checks.h"
#include "process/japanese_locale.h"
#include "process/stop_signals.h"
#include "score/stats_json.h"
#include "segment/morph_backend_preload.h"
#include "stdout_report_store.h"
#include "text/input_decoding.h"
#include "text/text_encoding.h"
#include "text/text_file.h"

namespace sorowa {
namespace {

// Fails the run after the command line was understood; the message is printed as is.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string DisplayName(const std::string& operand) {
  return operand == "-" ? "standard input" : operand;
}

std::string ReadAll(const std::string& operand) {
  int fd = 0;
  if (operand != "-") {
    // Opening a FIFO waits for its writer; a stop signal then ends the program here, with
    // nothing written yet, rather than as an "interrupted" failure.
    while ((fd = ::open(operand.c_str(), O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR) {
      if (const int signal = StopSignal()) EndBySignal(signal);
    }
    if (fd < 0) {
      throw CommandError("cannot open " + QuoteName(operand) + ": " + ErrorDescription(errno));
    }
  }
  std::string bytes;
  // Room for a whole file at once, so that a file of megabytes is not copied again and again
  // while it grows.
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    bytes.reserve(static_cast<std::size_t>(info.st_size));
  }
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) {
        // Nothing has been written yet, so a stop signal can end the program here.
        if (const int signal = StopSignal()) EndBySignal(signal);
        continue;
      }
      const int error = errno;
      if (fd != 0) ::close(fd);
      throw CommandError("cannot read " +
                         (operand == "-" ? DisplayName(operand) : QuoteName(operand)) + ": " +
                         ErrorDescription(error));
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  if (fd != 0) ::close(fd);
  return bytes;
}

// A file's text, one line of the document per line, and the page of each line when the
// file is a document with pages.
struct InputText {
  std::u16string text;
  std::vector<std::uint32_t> pages;
};

// How one file is read: in its encoding, or as a document.
struct InputAsked {
  std::string encoding;
  std::optional<InputFormat> format;  // nothing: found from the content
  bool keepRuby = false;
};

InputText ReadText(const std::string& operand, const InputAsked& asked) {
  const std::string bytes = ReadAll(operand);
  const InputFormat format = asked.format ? *asked.format : DetectInputFormat(bytes);
  if (format == InputFormat::Text) {
    try {
      return {DecodeAsAsked(bytes, asked.encoding, DisplayName(operand)), {}};
    } catch (const InputDecodingError& e) {
      throw CommandError(e.what());
    }
  }
  ReadOptions options;
  options.keepRuby = asked.keepRuby;
  try {
    ExtractedText document = ReadDocument(bytes, format, DisplayName(operand), options);
    return {JoinLines(document), std::move(document.pages)};
  } catch (const DocumentError& e) {
    throw CommandError(e.what());
  }
}

// A message on standard error, controls escaped: file names and texts in it must not be
// able to forge lines of their own or drive the terminal.
void PrintError(const std::string& message) {
  std::fprintf(stderr, "sorowa-compare: %s\n", EscapeControls(message).c_str());
}

int PrintUsageError(const UsageError& error) {
  std::fprintf(stderr, "sorowa-compare: %s\nTry 'sorowa-compare --help' for more information.\n",
               EscapeControls(error.what()).c_str());
  return 2;
}

// Output that stdio still holds (the report path, the help) can fail only now. A reader that
// has gone away ends the program quietly, by SIGPIPE, as it ends the other programs of a
// pipeline.
int FinishStandardOutput(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    if (errno == EPIPE) EndBySignal(SIGPIPE);
    std::fprintf(stderr, "sorowa-compare: cannot write to standard output: %s\n",
                 ErrorDescription(errno).c_str());
    return 1;
  }
  return status;
}

// The pairs as they were written into the report, replacing the file atomically.
void WritePairs(const std::string& path, const CompareResult& result) {
  const std::string noun = "the pairs file";
  std::unique_ptr<ReportStore> store;
  if (path == "-") {
    store = std::make_unique<StdoutReportStore>(1, noun);
  } else {
    store = std::make_unique<FileReportStore>(path, noun);
  }
  store->Write(FormatPairsText(result));
}

// --merge-stats: reads every input before writing anything, so a bad input leaves OUT as
// it was.
int MergeStatsFiles(const CommandLine& line) {
  CheckMergeOutputs(line);
  std::vector<StatsDocument> documents;
  for (const std::string& input : line.mergeInputs) {
    documents.push_back(ReadStatsJson(ReadAll(input), input));
  }
  const StatsDocument merged = MergeStats(documents, line.mergeInputs);
  const std::string json = WriteStatsJson(merged);
  const std::string noun = "the merged stats";
  if (line.mergeOutput == "-") {
    StdoutReportStore(1, noun).Write(json);
  } else {
    FileReportStore(line.mergeOutput, noun).Write(json);
  }
  if (line.summary) std::fputs(FormatSummary(merged).c_str(), stderr);
  return 0;
}

// The scores of the Compare, to --stats and --summary.
void WriteScores(const CommandLine& line, const CompareResult& result, const InputText& source,
                 const InputText& target) {
  if (!result.scores) throw CommandError(result.scoresError);
  if (line.morphemeScores == true && !result.scores->options.morphemes) {
    throw CommandError(
        "morpheme figures need MeCab, which could not be started (see above); "
        "--stats-units=chars scores the characters alone");
  }
  StatsDocument stats = *result.scores;
  stats.source = line.source;
  stats.target = line.target;
  SetPairPages(stats, source.pages, target.pages);
  if (line.stats) {
    const std::string text = ResolveStatsFormat(line) == CommandLine::StatsFormat::Tsv
                                 ? WriteStatsTsv(stats)
                                 : WriteStatsJson(stats);
    const std::string noun = "the stats";
    if (*line.stats == "-") {
      StdoutReportStore(1, noun).Write(text);
    } else {
      FileReportStore(*line.stats, noun).Write(text);
    }
  }
  if (line.summary) std::fputs(FormatSummary(stats).c_str(), stderr);
}

// The size of a regular file, or -1 for anything else (standard input, a pipe, a device).
off_t RegularFileSize(const std::string& operand) {
  struct stat info {};
  if (operand == "-" || ::stat(operand.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return info.st_size;
}

// Below this many bytes together, two files are read one after the other: a thread just
// started may wait a millisecond for a processor, and both cores are busy anyway while MeCab
// sets itself up.
constexpr off_t kReadOnTwoThreads = off_t{1} << 20;

// Two files of megabytes are read and decoded at once, the Target on a thread of its own.
// A pipe or standard input is read on this thread alone: should the Source fail, the
// error must not wait for the other side's writer to finish.
void ReadBothTexts(const CommandLine& line, InputText& sourceText, InputText& targetText) {
  const InputAsked sourceAsked{line.sourceEncoding, line.sourceFormat, line.keepRuby};
  const InputAsked targetAsked{line.targetEncoding, line.targetFormat, line.keepRuby};
  std::future<InputText> target;
  const off_t sourceSize = RegularFileSize(line.source);
  const off_t targetSize = RegularFileSize(line.target);
  if (sourceSize >= 0 && targetSize >= 0 && sourceSize + targetSize >= kReadOnTwoThreads) {
    try {
      target = std::async(std::launch::async, ReadText, line.target, targetAsked);
    } catch (const std::system_error&) {
      // No thread to be had: the Target is read after the Source.
    }
  }
  sourceText = ReadText(line.source, sourceAsked);
  targetText = target.valid() ? target.get() : ReadText(line.target, targetAsked);
}

int Run(const CommandLine& line) {
  if (line.maxTableMemory != 0) SetDpMemoryLimit(line.maxTableMemory);
  if (line.action == CommandLine::Action::MergeStats) return MergeStatsFiles(line);
  if (line.action == CommandLine::Action::Batch) {
    CheckBatchFolders(line);
    return RunBatchCommand(line);
  }
  CheckCompareOutputs(line);
  CompareOptions options = ResolveCompareOptions(line);
  // MeCab sets itself up while the files are read.
  std::optional<MorphBackendPreload> preload;
  if (CompareNeedsAnalyzer(options)) preload.emplace();
  InputText sourceText;
  InputText targetText;
  ReadBothTexts(line, sourceText, targetText);
  if (options.report == ReportKind::Review) {
    options.sourcePages = sourceText.pages;
    options.targetPages = targetText.pages;
  }

  std::unique_ptr<ReportStore> namedStore;
  if (line.output == "-") {
    namedStore = std::make_unique<StdoutReportStore>();
  } else if (line.output) {
    namedStore = std::make_unique<FileReportStore>(*line.output);
  }
  ReportStore& store = namedStore ? *namedStore : ProcessReportStore();

  // With the pairs or the stats on standard output, the report's path goes to standard
  // error, so that standard output holds nothing but them.
  const bool stdoutTaken = line.pairs == "-" || line.stats == "-";
  CommandLineUi ui(std::move(sourceText.text), std::move(targetText.text), options,
                   /*printReportPath=*/!line.output, stdoutTaken ? stderr : stdout);
  ui.SetFileNames(DisplayName(line.source), DisplayName(line.target));
  OnCompare(ui, options, store, preload ? preload->Factory() : MorphBackendFactory{});
  ui.EndProgress();
  if (ui.failed()) return 1;
  if (line.pairs && ui.result()) WritePairs(*line.pairs, *ui.result());
  if (options.scores != ScoreUnits::None && ui.result())
    WriteScores(line, *ui.result(), sourceText, targetText);
  return 0;
}

}  // namespace
}  // namespace sorowa

int main(int argc, char** argv) {
  using namespace sorowa;
  // Once, before any thread exists: setting the locale is not thread-safe.
  InstallJapaneseLocale();
  // A reader that goes away shows as EPIPE where the program can tell it from a failure.
  std::signal(SIGPIPE, SIG_IGN);
  InstallStopSignalHandlers();

  CommandLine line;
  try {
    line = ParseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    return PrintUsageError(e);
  }

  switch (line.action) {
    case CommandLine::Action::Help:
      std::fputs(HelpText().c_str(), stdout);
      return FinishStandardOutput(0);
    case CommandLine::Action::Version:
      std::fputs(VersionText().c_str(), stdout);
      return FinishStandardOutput(0);
    case CommandLine::Action::Compare:
    case CommandLine::Action::MergeStats:
    case CommandLine::Action::Batch:
      break;
  }

  int status;
  try {
    status = Run(line);
  } catch (const UsageError& e) {
    status = PrintUsageError(e);
  } catch (const std::bad_alloc&) {
    std::fputs("sorowa-compare: out of memory\n", stderr);
    status = 1;
  } catch (const std::system_error& e) {
    // Only a failure no caller put into words of its own gets here; the code is worded in
    // English, where what() would speak the process's language.
    PrintError("cannot go on: " + ErrorCodeDescription(e.code()));
    status = 1;
  } catch (const std::exception& e) {
    // A read cut short by the stop signal needs no message: the program ends by the signal.
    if (StopSignal() == 0 || DetailsOf(e).systemError != EINTR) PrintError(e.what());
    status = 1;
  }
  // The Compare has seen the stop signal and taken its partial report away. A report that
  // was finished before it could see it stays, and its path is still printed.
  if (const int signal = StopSignal()) {
    std::fflush(stdout);
    EndBySignal(signal);
  }
  return FinishStandardOutput(status);
}

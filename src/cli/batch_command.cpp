#include "batch_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "base/quoted_name.h"
#include "batch/batch_documents.h"
#include "batch/batch_runner.h"
#include "process/stop_signals.h"
#include "text/text_file.h"

namespace sorowa {
namespace {

using Clock = std::chrono::steady_clock;

// The progress line on standard error, when that is a terminal and the run has taken a
// second already.
class ProgressLine {
 public:
  ProgressLine() : terminal_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}
  ~ProgressLine() { Clear(); }

  void Show(std::size_t done, std::size_t total) {
    const Clock::duration elapsed = Clock::now() - start_;
    if (!terminal_ || elapsed < std::chrono::seconds(1)) return;
    const std::string line = "sorowa-compare: " + FormatBatchProgress(done, total, elapsed);
    std::fprintf(stderr, "\r%s%*s", line.c_str(),
                 static_cast<int>(width_ > line.size() ? width_ - line.size() : 0), "");
    std::fflush(stderr);
    width_ = std::max(width_, line.size());
  }

  void Clear() {
    if (width_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(width_), "");
    std::fflush(stderr);
    width_ = 0;
  }

 private:
  bool terminal_;
  Clock::time_point start_;
  std::size_t width_ = 0;
};

}  // namespace

int RunBatchCommand(const CommandLine& line) {
  std::vector<BatchDocument> documents;
  if (!line.batchList.empty()) {
    documents = ReadBatchList(ReadFileBytes(line.batchList), line.batchList);
  } else {
    documents = ListFolderDocuments(line.source, line.target, line.outDir);
  }
  if (line.shard) documents = SelectShard(documents, line.shard->index, line.shard->count);

  BatchOptions options;
  options.compare = ResolveCompareOptions(line);
  options.sourceEncoding = line.sourceEncoding;
  options.targetEncoding = line.targetEncoding;
  options.sourceFormat = line.sourceFormat;
  options.targetFormat = line.targetFormat;
  options.keepRuby = line.keepRuby;
  options.outDir = line.outDir;

  ProgressLine progress;
  BatchHooks hooks;
  hooks.showMessage = [&progress](const UserMessage& message) {
    progress.Clear();
    std::fprintf(stderr, "sorowa-compare: %s%s%s\n", EscapeControls(message.origin).c_str(),
                 message.origin.empty() ? "" : ": ", EscapeControls(message.text).c_str());
  };
  // A stop signal (Ctrl+C) ends the run between two progress reports; main then ends the
  // program by that signal.
  hooks.progress = [&progress](std::size_t done, std::size_t total) {
    if (StopSignal() != 0) return false;
    progress.Show(done, total);
    return true;
  };
  BatchOutcome outcome;
  try {
    outcome = RunBatch(documents, options, hooks);
  } catch (const BatchConflictError& error) {
    throw UsageError(error.what());
  }
  progress.Clear();
  if (outcome.stopped) return 1;

  for (const DocumentEntry& entry : outcome.stats.documents) {
    if (!entry.totals) {
      std::fprintf(stderr, "sorowa-compare: %s\n", EscapeControls(entry.error).c_str());
    }
  }
  if (line.morphemeScores == true && !outcome.stats.options.morphemes) {
    throw std::runtime_error(
        "morpheme figures need MeCab, which could not be started (see above); "
        "--stats-units=chars scores the characters alone");
  }
  if (line.summary) std::fputs(FormatSummary(outcome.stats).c_str(), stderr);
  return outcome.failed != 0 ? 1 : 0;
}

}  // namespace sorowa

#include "command_line_ui.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "base/quoted_name.h"
#include "process/stop_signals.h"

namespace sorowa {
namespace {

using Clock = std::chrono::steady_clock;

// The progress line is redrawn at most this often so that the terminal is not flooded.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

std::string Lines(std::size_t count) { return count == 1 ? "line" : "lines"; }

// "line 41 of a.txt was" or "lines 41–43 of a.txt were".
std::string LinesOf(const SideSummary& side, std::string_view name) {
  const bool one = side.omitted == 1;
  return (one ? "line " : "lines ") + FormatLineRanges(side.omittedRanges) + " of " +
         std::string(name) + (one ? " was" : " were");
}

}  // namespace

std::vector<std::string> UnpairedLineNotes(const CompareResult& result, std::string_view sourceName,
                                           std::string_view targetName) {
  const SideSummary& source = result.source;
  const SideSummary& target = result.target;
  if (source.lines == 0 && target.lines == 0) {
    return {"Source and Target have no lines (" + std::string(sourceName) + " and " +
            std::string(targetName) + " are empty or hold only line breaks)"};
  }
  std::vector<std::string> notes;
  struct Side {
    const char* role;
    const SideSummary& summary;
    std::string_view name;
  };
  const Side sides[2] = {{"Source", source, sourceName}, {"Target", target, targetName}};
  for (int k = 0; k < 2; ++k) {
    const Side& self = sides[k];
    const Side& other = sides[1 - k];
    if (self.summary.lines == 0) {
      std::string note = std::string(self.role) + " has no lines (" + std::string(self.name) +
                         " is empty or holds only line breaks)";
      if (other.summary.omitted > 0) {
        note += "; " + LinesOf(other.summary, other.name) + " not compared";
      } else if (result.linesAligned) {
        note += "; every line of " + std::string(other.name) + " is shown alone";
      }
      notes.push_back(note);
      return notes;
    }
  }
  for (int k = 0; k < 2; ++k) {
    const Side& self = sides[k];
    const Side& other = sides[1 - k];
    if (self.summary.omitted == 0) continue;
    std::string note;
    if (!result.linesAligned && other.summary.omitted == 0) {
      note = std::string(self.role) + " has " + std::to_string(self.summary.omitted) + " " +
             Lines(self.summary.omitted) + " more than " + other.role + "; ";
    }
    note += LinesOf(self.summary, self.name) + " not compared";
    if (!result.linesAligned) note += "; --align-lines pairs lines by content";
    notes.push_back(note);
  }
  return notes;
}

CommandLineUi::CommandLineUi(std::u16string sourceText, std::u16string targetText,
                             const CompareOptions& options, bool printReportPath, std::FILE* out,
                             std::FILE* err, Clock::duration progressDelay)
    : sourceText_(std::move(sourceText)),
      targetText_(std::move(targetText)),
      writesReport_(options.writeTables),
      printReportPath_(printReportPath),
      out_(out),
      err_(err),
      errIsTerminal_(isatty(fileno(err)) == 1),
      progressDelay_(progressDelay),
      start_(Clock::now()) {}

CommandLineUi::~CommandLineUi() { EndProgress(); }

std::u16string CommandLineUi::EditorText(Editor editor) const {
  return editor == Editor::Source ? sourceText_ : targetText_;
}

std::u16string CommandLineUi::TakeEditorText(Editor editor) {
  return std::exchange(editor == Editor::Source ? sourceText_ : targetText_, std::u16string());
}

void CommandLineUi::SetEditorText(Editor editor, const std::u16string& text) {
  (editor == Editor::Source ? sourceText_ : targetText_) = text;
}

void CommandLineUi::ShowReport(const std::filesystem::path& path) {
  EndProgress();
  if (!printReportPath_) return;
  // Flushed when the program ends, where a failure is told apart from a reader gone away.
  std::fputs(path.c_str(), out_);
  std::fputc('\n', out_);
}

void CommandLineUi::ReportError(const std::string& message) {
  failed_ = true;
  PrintError("sorowa-compare: " + message);
}

void CommandLineUi::ShowMessage(const UserMessage& message) {
  PrintError(message.origin.empty() ? "sorowa-compare: " + message.text
                                    : "sorowa-compare: " + message.origin + ": " + message.text);
}

bool CommandLineUi::ReportProgress(std::size_t done, std::size_t total) {
  // SIGINT, SIGTERM or SIGHUP: cancel, so that the partial report is taken away.
  if (StopSignal() != 0) return false;
  pairsTotal_ = total;
  if (!errIsTerminal_) return true;
  const auto now = Clock::now();
  if (now - start_ < progressDelay_) return true;
  // While a long table is announced, its line stands instead.
  if (longWorkPair_ == done && done < total) return true;
  if (progressWidth_ != 0 && now - lastProgress_ < kProgressInterval && done < total) return true;
  ShowProgressLine("sorowa-compare: pair " + std::to_string(done) + " of " + std::to_string(total));
  return true;
}

bool CommandLineUi::ReportLongWork(const LongWorkStatus& status) {
  if (StopSignal() != 0) return false;
  const auto now = Clock::now();
  if (longWorkPair_ != status.pair) {
    longWorkPair_ = status.pair;
    longWorkStart_ = now;
    PrintError("sorowa-compare: line pair " + std::to_string(status.pair + 1) + ": aligning " +
               std::to_string(status.sourceLength) + " and " + std::to_string(status.targetLength) +
               " elements will take about " + ApproximateDuration(status.seconds) +
               " (Ctrl+C stops)");
  }
  if (!errIsTerminal_) return true;
  if (progressWidth_ != 0 && now - lastProgress_ < kProgressInterval) return true;
  // The estimate at first, then what the time taken so far says, once there is enough of it.
  const double elapsed = std::chrono::duration<double>(now - longWorkStart_).count();
  const double left = status.done >= 0.02 ? elapsed * (1 - status.done) / status.done
                                          : status.seconds * (1 - status.done) - elapsed;
  ShowProgressLine("sorowa-compare: pair " + std::to_string(status.pair + 1) + " of " +
                   std::to_string(std::max(pairsTotal_, status.pair + 1)) + ": table " +
                   std::to_string(static_cast<int>(status.done * 100)) + " %, about " +
                   ApproximateDuration(std::max(left, 1.0)) + " left");
  return true;
}

void CommandLineUi::ShowProgressLine(const std::string& line) {
  lastProgress_ = Clock::now();
  // Pad over a longer previous line.
  const std::size_t width = line.size();
  std::fprintf(err_, "\r%s%*s", line.c_str(),
               static_cast<int>(progressWidth_ > width ? progressWidth_ - width : 0), "");
  std::fflush(err_);
  progressWidth_ = std::max(progressWidth_, width);
}

std::string ApproximateDuration(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  if (whole < 90) return std::to_string(std::max(whole, 1LL)) + " s";
  const long long minutes = (whole + 30) / 60;
  if (minutes < 90) return std::to_string(minutes) + " min";
  return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

void CommandLineUi::ShowResult(const CompareResult& result) {
  result_ = result;
  // Without a report nothing was left out of one: the scores count every line.
  if (!writesReport_) return;
  for (const std::string& note : UnpairedLineNotes(result, sourceName_, targetName_)) {
    PrintError("sorowa-compare: " + note);
  }
}

void CommandLineUi::SetFileNames(std::string sourceName, std::string targetName) {
  sourceName_ = std::move(sourceName);
  targetName_ = std::move(targetName);
}

void CommandLineUi::EndProgress() {
  if (progressWidth_ == 0) return;
  std::fprintf(err_, "\r%*s\r", static_cast<int>(progressWidth_), "");
  std::fflush(err_);
  progressWidth_ = 0;
}

void CommandLineUi::PrintError(const std::string& line) {
  EndProgress();
  // File names and MeCab's words reach this line; none of them may forge a line of its own.
  std::fputs(EscapeControls(line).c_str(), err_);
  std::fputc('\n', err_);
  std::fflush(err_);
}

}  // namespace sorowa

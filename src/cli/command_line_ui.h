#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/compare_options.h"
#include "compare/compare_result.h"
#include "compare/compare_ui.h"

namespace sorowa {

// What the user should know about lines that were not paired with a line of the other text:
// surplus lines left out when pairing by position, and a text without lines. One message
// per entry, without the program's name; sourceName and targetName are the files as given.
std::vector<std::string> UnpairedLineNotes(const CompareResult& result, std::string_view sourceName,
                                           std::string_view targetName);

// The Compare command's window, played by the command line: the two files stand in for the
// editors, and standard output and standard error for the report viewer and the message
// boxes. There are no check boxes: the Compare is given its options (OnCompare with
// CompareOptions).
class CommandLineUi : public CompareFrontEnd {
 public:
  // options: those the Compare runs with; without a report (writeTables off), ShowResult
  // names no unpaired lines. printReportPath: whether ShowReport prints the path on out (only
  // when the report went somewhere the user did not name). A progress line appears on err
  // once the run has lasted progressDelay, and only when err is a terminal.
  CommandLineUi(std::u16string sourceText, std::u16string targetText, const CompareOptions& options,
                bool printReportPath, std::FILE* out = stdout, std::FILE* err = stderr,
                std::chrono::steady_clock::duration progressDelay = std::chrono::seconds(1));
  ~CommandLineUi() override;

  std::u16string EditorText(Editor editor) const override;
  void SetEditorText(Editor editor, const std::u16string& text) override;
  bool ShowsEditors() const override { return false; }
  // The texts are kept only for the Compare, which takes them: EditorText is empty after.
  std::u16string TakeEditorText(Editor editor) override;
  void ShowReport(const std::filesystem::path& path) override;
  void ReportError(const std::string& message) override;
  void ShowMessage(const UserMessage& message) override;
  bool ReportProgress(std::size_t done, std::size_t total) override;
  // Says once on err that the pair's table will take long, with the estimate, whether err
  // is a terminal or not; on a terminal, the progress line then shows the table's share done
  // and the time left.
  bool ReportLongWork(const LongWorkStatus& status) override;
  // Keeps the result and prints the notes about unpaired lines on err (when a report was
  // written).
  void ShowResult(const CompareResult& result) override;

  // How SOURCE and TARGET are named in those notes.
  void SetFileNames(std::string sourceName, std::string targetName);
  // The last Compare's result, once it has succeeded.
  const std::optional<CompareResult>& result() const { return result_; }

  // Removes the progress line, if one is shown.
  void EndProgress();
  bool failed() const { return failed_; }

 private:
  void PrintError(const std::string& line);
  void ShowProgressLine(const std::string& line);

  std::u16string sourceText_;
  std::u16string targetText_;
  bool writesReport_;
  std::string sourceName_ = "SOURCE";
  std::string targetName_ = "TARGET";
  std::optional<CompareResult> result_;
  bool printReportPath_;
  std::FILE* out_;
  std::FILE* err_;
  bool errIsTerminal_;
  bool failed_ = false;
  std::chrono::steady_clock::duration progressDelay_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastProgress_;
  std::size_t progressWidth_ = 0;            // characters of the progress line now shown
  std::size_t pairsTotal_ = 0;               // as the last progress report gave it
  std::optional<std::size_t> longWorkPair_;  // the pair whose long table was announced
  std::chrono::steady_clock::time_point longWorkStart_;
};

// About how long something takes, for a person: "40 s", "9 min", "1 h 5 min".
std::string ApproximateDuration(double seconds);

}  // namespace sorowa

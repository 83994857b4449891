#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>

#include "compare/compare_options.h"
#include "compare/compare_ui.h"

namespace sorowa {

// The Compare command's window, played by the command line: the two files stand in for the
// editors, the options for the check boxes, and standard output and standard error for the
// report viewer and the message boxes.
class CommandLineUi : public CompareUi {
 public:
  // printReportPath: whether ShowReport prints the path on out (only when the report went
  // somewhere the user did not name). A progress line appears on err once the run has
  // lasted progressDelay, and only when err is a terminal.
  CommandLineUi(std::u16string sourceText, std::u16string targetText, CompareOptions options,
                bool printReportPath, std::FILE* out = stdout, std::FILE* err = stderr,
                std::chrono::steady_clock::duration progressDelay = std::chrono::seconds(1));
  ~CommandLineUi() override;

  std::u16string EditorText(Editor editor) const override;
  void SetEditorText(Editor editor, const std::u16string& text) override;
  bool IsOptionChecked(OptionId option) const override;
  void ShowReport(const std::filesystem::path& path) override;
  void ReportError(const std::string& message) override;
  void ShowMessage(const UserMessage& message) override;
  bool ReportProgress(std::size_t done, std::size_t total) override;

  // Removes the progress line, if one is shown.
  void EndProgress();
  bool failed() const { return failed_; }

 private:
  void PrintError(const std::string& line);

  std::u16string sourceText_;
  std::u16string targetText_;
  CompareOptions options_;
  bool printReportPath_;
  std::FILE* out_;
  std::FILE* err_;
  bool errIsTerminal_;
  bool failed_ = false;
  std::chrono::steady_clock::duration progressDelay_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastProgress_;
  std::size_t progressWidth_ = 0;  // characters of the progress line now shown
};

}  // namespace sorowa

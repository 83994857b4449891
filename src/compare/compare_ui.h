#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "compare/compare_result.h"
#include "compare/engine_error.h"
#include "segment/morph_backend.h"

namespace sorowa {

enum class Editor { Source, Target };

enum class OptionId {
  CharDp,
  MorphemeDp,
  PseudoBunsetsuDp,
  PseudoBunsetsuMatch,
  MorphemeMatch,
  AlignLines
};

// What the Compare command needs of the window (or of anything standing in for it).
class CompareUi {
 public:
  virtual ~CompareUi() = default;

  virtual std::u16string EditorText(Editor editor) const = 0;
  virtual void SetEditorText(Editor editor, const std::u16string& text) = 0;
  virtual bool IsOptionChecked(OptionId option) const = 0;
  virtual void ShowReport(const std::filesystem::path& path) = 0;
  // An error that ended the command; message is UTF-8 English.
  virtual void ReportError(const std::string& message) = 0;
  // The same failure with its kind and parameters, for a front end that words it itself.
  virtual void ReportFailure(const ErrorDetails& details, const std::string& message) {
    (void)details;
    ReportError(message);
  }
  virtual void ShowMessage(const UserMessage& message) = 0;
  // Progress through the line pairs. Return false to cancel the command.
  virtual bool ReportProgress(std::size_t done, std::size_t total) {
    (void)done;
    (void)total;
    return true;
  }
  // What a finished Compare wrote: its pairs and the lines left alone. Called after
  // ShowReport, only when the report was stored.
  virtual void ShowResult(const CompareResult& result) { (void)result; }
};

}  // namespace sorowa

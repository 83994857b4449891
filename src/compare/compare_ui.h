#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/long_work.h"
#include "compare/compare_result.h"
#include "segment/morph_backend.h"

namespace sorowa {

enum class Editor { Source, Target };

enum class OptionId {
  CharDp,
  MorphemeDp,
  PseudoBunsetsuDp,
  PseudoBunsetsuMatch,
  MorphemeMatch,
  AlignLines,
  // Normalisation of both texts before anything is compared. With both forms checked,
  // NFKC is applied (it includes NFC).
  NormalizeNfc,
  NormalizeNfkc,
  FoldKana,
  IgnoreSpace,
  IgnorePunctuation,
  // Scores: character figures, and morpheme figures as well (the front end decides when,
  // for instance when a morpheme table is on and the morphemes are at hand anyway).
  Scores,
  MorphemeScores,
  // No report at all, only the scores: ShowReport is not called.
  NoReport,
  // The review page instead of the tables.
  ReviewReport
};
inline constexpr std::size_t kOptionIdCount = static_cast<std::size_t>(OptionId::ReviewReport) + 1;

// What a Compare needs of the front end that runs it, wherever its options come from: the two
// texts, and where the report, the errors and messages, the progress and the result go. The
// command line is one, with options of its own (OnCompare with CompareOptions).
class CompareFrontEnd {
 public:
  virtual ~CompareFrontEnd() = default;

  virtual std::u16string EditorText(Editor editor) const = 0;
  virtual void SetEditorText(Editor editor, const std::u16string& text) = 0;
  // Whether there are editors that show the texts: a Compare hands them back their lines,
  // each ending in CR LF. A front end without any (the command line) is spared building
  // that copy of both texts, which for long texts holds up the start of the work.
  virtual bool ShowsEditors() const { return true; }
  // The editor's text for a Compare that will not hand it back (ShowsEditors() false): a
  // front end that keeps it only for the Compare may give it up instead of copying it.
  virtual std::u16string TakeEditorText(Editor editor) { return EditorText(editor); }
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
  // A table of the pair next in line is expected to take long (kLongWorkSeconds or more):
  // called about every 100 ms while it is filled, with its estimate and the share done.
  // Return false to cancel the command.
  virtual bool ReportLongWork(const LongWorkStatus& status) {
    (void)status;
    return true;
  }
  // What a finished Compare wrote: its pairs, the lines left alone and, when asked for, the
  // scores. Called after ShowReport, only when the report was stored (or, with NoReport,
  // once the pairs were scored).
  virtual void ShowResult(const CompareResult& result) { (void)result; }
};

// What the Compare command needs of the window (or of anything standing in for it): a front
// end with the check boxes that OnCompare reads its options from.
class CompareUi : public CompareFrontEnd {
 public:
  virtual bool IsOptionChecked(OptionId option) const = 0;
  // What the review page calls the editor's text, its file name for instance (UTF-8).
  virtual std::string DocumentName(Editor editor) const {
    return editor == Editor::Source ? "ソース" : "ターゲット";
  }
  // The page of each of the editor's lines, where its text is a document with pages as read
  // (by line number from 1); empty otherwise.
  virtual std::vector<std::uint32_t> DocumentPages(Editor) const { return {}; }
};

}  // namespace sorowa

#include "compare/on_compare.h"

#include <memory>
#include <new>

#include "compare/compare_errors.h"
#include "compare/compare_line_pairs.h"
#include "compare/report_stream.h"
#include "compare/split_lines.h"

namespace sorowa {
namespace {

std::u16string NormalizeEditor(CompareFrontEnd& ui, Editor editor) {
  if (!ui.ShowsEditors()) return ui.TakeEditorText(editor);
  std::u16string text = ui.EditorText(editor);
  ui.SetEditorText(editor, NormalizeLineBreaks(text));
  return text;
}

// The one place where the window's check boxes become CompareOptions.
CompareOptions ReadOptions(const CompareUi& ui) {
  CompareOptions options;
  options.charDp = ui.IsOptionChecked(OptionId::CharDp);
  options.morphemeDp = ui.IsOptionChecked(OptionId::MorphemeDp);
  options.pseudoBunsetsuDp = ui.IsOptionChecked(OptionId::PseudoBunsetsuDp);
  options.pseudoBunsetsuMatch = ui.IsOptionChecked(OptionId::PseudoBunsetsuMatch);
  options.morphemeMatch = ui.IsOptionChecked(OptionId::MorphemeMatch);
  options.alignLines = ui.IsOptionChecked(OptionId::AlignLines);
  NormalizationOptions& normalization = options.normalization;
  if (ui.IsOptionChecked(OptionId::NormalizeNfkc)) {
    normalization.form = UnicodeForm::Nfkc;
  } else if (ui.IsOptionChecked(OptionId::NormalizeNfc)) {
    normalization.form = UnicodeForm::Nfc;
  }
  normalization.foldKana = ui.IsOptionChecked(OptionId::FoldKana);
  normalization.ignoreSpace = ui.IsOptionChecked(OptionId::IgnoreSpace);
  normalization.ignorePunctuation = ui.IsOptionChecked(OptionId::IgnorePunctuation);
  if (ui.IsOptionChecked(OptionId::Scores)) {
    options.scores = ui.IsOptionChecked(OptionId::MorphemeScores) ? ScoreUnits::CharsAndMorphemes
                                                                  : ScoreUnits::Chars;
  }
  options.writeTables = !ui.IsOptionChecked(OptionId::NoReport);
  if (ui.IsOptionChecked(OptionId::ReviewReport)) options.report = ReportKind::Review;
  options.sourceName = ui.DocumentName(Editor::Source);
  options.targetName = ui.DocumentName(Editor::Target);
  options.sourcePages = ui.DocumentPages(Editor::Source);
  options.targetPages = ui.DocumentPages(Editor::Target);
  return options;
}

// The Compare of either front end. The options are read only once the editors are
// normalised: that is the order of the window's command.
template <typename ReadCompareOptions>
void RunCompare(CompareFrontEnd& ui, ReportStore& store, const MorphBackendFactory& morphFactory,
                const ReadCompareOptions& readOptions) {
  try {
    const std::u16string sourceText = NormalizeEditor(ui, Editor::Source);
    const std::u16string targetText = NormalizeEditor(ui, Editor::Target);
    const CompareOptions options = readOptions();

    CompareHooks hooks;
    hooks.showMessage = [&ui](const UserMessage& message) { ui.ShowMessage(message); };
    hooks.longWork = [&ui](const LongWorkStatus& status) {
      if (!ui.ReportLongWork(status)) throw CompareCancelled();
    };
    hooks.progress = [&ui](std::size_t done, std::size_t total) {
      if (!ui.ReportProgress(done, total)) throw CompareCancelled();
    };
    hooks.morphBackendFactory = morphFactory;
    if (!options.writeTables) {
      std::string none;
      const CompareResult result = CompareLinePairs(sourceText, targetText, none, options, hooks);
      ui.ShowResult(result);
      return;
    }
    // The report goes to its file as it is written, a run of pairs or a megabyte at a time,
    // so it never sits whole in memory. Should anything below fail, or the user cancel, the
    // writer takes the partial file away again.
    std::unique_ptr<ReportWriter> writer = store.Begin();
    ReportStream stream(*writer, options.report);
    hooks.reportBytes = [&stream](std::string_view bytes) { stream.Append(bytes); };
    std::string unused;  // every byte goes through reportBytes
    const CompareResult result = CompareLinePairs(sourceText, targetText, unused, options, hooks);
    stream.Finish();
    const std::filesystem::path path = writer->Commit();
    ui.ShowReport(path);
    ui.ShowResult(result);
  } catch (const CompareCancelled&) {
    // The user asked for it: no report, no message.
  } catch (const std::bad_alloc& error) {
    ui.ReportFailure(DetailsOf(error), "there is not enough memory to build the report");
  } catch (const std::exception& error) {
    ui.ReportFailure(DetailsOf(error), error.what());
  }
}

}  // namespace

void OnCompare(CompareUi& ui, ReportStore& store, const MorphBackendFactory& morphFactory) {
  RunCompare(ui, store, morphFactory, [&ui] { return ReadOptions(ui); });
}

void OnCompare(CompareFrontEnd& frontEnd, const CompareOptions& options, ReportStore& store,
               const MorphBackendFactory& morphFactory) {
  RunCompare(frontEnd, store, morphFactory, [&options] { return options; });
}

}  // namespace sorowa

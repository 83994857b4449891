#include "compare/on_compare.h"

#include <new>
#include <vector>

#include "compare/compare_errors.h"
#include "compare/compare_line_pairs.h"
#include "compare/report_document.h"
#include "compare/split_lines.h"
#include "compare/utf8.h"

namespace sorowa {
namespace {

std::u16string NormalizeEditor(CompareUi& ui, Editor editor) {
  std::u16string text = ui.EditorText(editor);
  std::vector<std::u16string> lines;
  SplitLines(text, lines);
  ui.SetEditorText(editor, NormalizeText(lines));
  return text;
}

CompareOptions ReadOptions(const CompareUi& ui) {
  CompareOptions options;
  options.charDp = ui.IsOptionChecked(OptionId::CharDp);
  options.morphemeDp = ui.IsOptionChecked(OptionId::MorphemeDp);
  options.pseudoBunsetsuDp = ui.IsOptionChecked(OptionId::PseudoBunsetsuDp);
  options.pseudoBunsetsuMatch = ui.IsOptionChecked(OptionId::PseudoBunsetsuMatch);
  options.morphemeMatch = ui.IsOptionChecked(OptionId::MorphemeMatch);
  return options;
}

}  // namespace

void OnCompare(CompareUi& ui, ReportStore& store, const MorphBackendFactory& morphFactory) {
  try {
    const std::u16string sourceText = NormalizeEditor(ui, Editor::Source);
    const std::u16string targetText = NormalizeEditor(ui, Editor::Target);
    const CompareOptions options = ReadOptions(ui);

    CompareHooks hooks;
    hooks.showMessage = [&ui](const UserMessage& message) { ui.ShowMessage(message); };
    hooks.progress = [&ui](std::size_t done, std::size_t total) {
      if (!ui.ReportProgress(done, total)) throw CompareCancelled();
    };
    hooks.morphBackendFactory = morphFactory;

    ReportBuffer report(ReportHead());
    CompareLinePairs(sourceText, targetText, report, options, hooks);
    report += ReportFoot();

    std::string bytes = ToUtf8(report);
    report = ReportBuffer();  // the UTF-16 copy is no longer needed; give its memory back
    const std::filesystem::path path = store.Write(bytes);
    ui.ShowReport(path);
  } catch (const CompareCancelled&) {
    // The user asked for it: no report, no message.
  } catch (const std::bad_alloc&) {
    ui.ReportError("there is not enough memory to build the report");
  } catch (const std::exception& error) {
    ui.ReportError(error.what());
  }
}

}  // namespace sorowa

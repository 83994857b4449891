#include "compare/compare_line_pairs.h"

#include <algorithm>
#include <vector>

#include "align/char_dp_table.h"
#include "align/dp_limits.h"
#include "align/unit_dp_table.h"
#include "align/unit_match_table.h"
#include "compare/split_lines.h"
#include "segment/morph_analyzer.h"

namespace sorowa {
namespace {

// The tables of one pair that need segments: morphemes and pseudo-bunsetsu, each computed
// at most once per line and only when a table asks for them, Source before Target.
void WriteSegmentedSections(MorphAnalyzer& analyzer, const std::u16string& source,
                            const std::u16string& target, ReportBuffer& report,
                            const CompareOptions& options) {
  SegmentList sourceMorphemes;
  SegmentList targetMorphemes;
  if (options.morphemeDp || options.morphemeMatch) {
    analyzer.SplitMorphemes(source, sourceMorphemes);
    analyzer.SplitMorphemes(target, targetMorphemes);
  }
  if (options.morphemeDp) {
    WriteUnitDpTable(sourceMorphemes, targetMorphemes, report, u"形態素");
    report += kTableBreak;
  }
  if (options.pseudoBunsetsuDp || options.pseudoBunsetsuMatch) {
    SegmentList sourceUnits;
    SegmentList targetUnits;
    analyzer.SplitPseudoBunsetsu(source, sourceUnits);
    analyzer.SplitPseudoBunsetsu(target, targetUnits);
    if (options.pseudoBunsetsuDp) {
      WriteUnitDpTable(sourceUnits, targetUnits, report, u"疑似文節");
      report += kTableBreak;
    }
    if (options.pseudoBunsetsuMatch) {
      WriteUnitMatchTable(sourceUnits, targetUnits, report, u"疑似文節");
      report += kTableBreak;
    }
  }
  if (options.morphemeMatch) {
    WriteUnitMatchTable(sourceMorphemes, targetMorphemes, report, u"形態素");
    report += kTableBreak;
  }
}

}  // namespace

void CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                      ReportBuffer& report, const CompareOptions& options,
                      const CompareHooks& hooks) {
  std::vector<std::u16string> sourceLines;
  std::vector<std::u16string> targetLines;
  SplitLines(sourceText, sourceLines);
  SplitLines(targetText, targetLines);

  // Set up for every Compare, even with no lines, so the analyser's start-up message (if
  // any) is shown every time; released on the way out, also by an exception.
  MorphAnalyzer analyzer(hooks.showMessage, hooks.morphBackendFactory);
  analyzer.SetLanguage(0);

  const std::size_t pairs = std::min(sourceLines.size(), targetLines.size());
  for (std::size_t i = 0; i < pairs; ++i) {
    if (hooks.progress) hooks.progress(i, pairs);
    const std::u16string& source = sourceLines[i];
    const std::u16string& target = targetLines[i];
    try {
      if (options.charDp) {
        WriteCharDpTable(source, target, report);
        report += kTableBreak;
      }
      WriteSegmentedSections(analyzer, source, target, report, options);
    } catch (const TableTooLargeError& error) {
      throw TableTooLargeError(error, i + 1);
    }
    report += kPairSeparator;
    if (hooks.pairWritten) hooks.pairWritten(report);
  }
  if (hooks.progress) hooks.progress(pairs, pairs);
}

}  // namespace sorowa

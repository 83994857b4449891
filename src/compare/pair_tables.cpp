#include "compare/pair_tables.h"

#include <optional>
#include <string_view>

#include "align/char_dp_table.h"
#include "align/report_buffer.h"
#include "align/unit_dp_table.h"
#include "align/unit_match_table.h"
#include "base/memory_budget.h"
#include "compare/report_document.h"
#include "segment/morph_analyzer.h"

namespace sorowa {
namespace {

// Which row holds the pair's only line, when one side is missing.
std::optional<LoneSide> LoneSideOf(const std::u16string& source, const std::u16string& target) {
  if (target.empty()) return LoneSide::Source;
  if (source.empty()) return LoneSide::Target;
  return std::nullopt;
}

// A unit DP table: the usual one, or for a pair with a missing side its lone line's units.
void WriteUnitDp(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                 std::optional<LoneSide> lone, ReportBuffer& report,
                 std::u16string_view captionWord) {
  if (!lone) {
    WriteUnitDpTable(sourceUnits, targetUnits, report, captionWord);
  } else {
    WriteLoneUnitDpTable(*lone == LoneSide::Source ? sourceUnits : targetUnits, *lone, report,
                         captionWord);
  }
}

// The tables of one pair that need segments: morphemes and pseudo-bunsetsu, each computed
// at most once per line and only when a table asks for them, Source before Target. A
// missing side has no units; the matching tables then show the other side's units alone.
void WriteSegmentedSections(MorphAnalyzer& analyzer, const std::u16string& source,
                            const std::u16string& target, std::optional<LoneSide> lone,
                            PairUnits& units, ReportBuffer& report, const CompareOptions& options) {
  const bool hasSource = lone != LoneSide::Target;
  const bool hasTarget = lone != LoneSide::Source;
  units.sameLines = !lone && source == target;
  const bool splitTarget = hasTarget && !units.sameLines;
  SegmentList& sourceMorphemes = units.sourceMorphemes;
  const SegmentList& targetMorphemes = units.TargetMorphemes();
  if (options.morphemeDp || options.morphemeMatch) {
    sourceMorphemes.clear();
    units.targetMorphemes.clear();
    if (hasSource) analyzer.SplitMorphemes(source, sourceMorphemes);
    if (splitTarget) analyzer.SplitMorphemes(target, units.targetMorphemes);
    units.morphemesComputed = true;
  }
  if (options.morphemeDp) {
    WriteUnitDp(sourceMorphemes, targetMorphemes, lone, report, u"形態素");
    report += kTableBreak;
  }
  if (options.pseudoBunsetsuDp || options.pseudoBunsetsuMatch) {
    SegmentList& sourceUnits = units.sourceUnits;
    const SegmentList& targetUnits = units.TargetUnits();
    sourceUnits.clear();
    units.targetUnits.clear();
    if (hasSource) analyzer.SplitPseudoBunsetsu(source, sourceUnits);
    if (splitTarget) analyzer.SplitPseudoBunsetsu(target, units.targetUnits);
    if (options.pseudoBunsetsuDp) {
      WriteUnitDp(sourceUnits, targetUnits, lone, report, u"疑似文節");
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

void WritePairTables(MorphAnalyzer& analyzer, const std::u16string& source,
                     const std::u16string& target, std::size_t pairIndex, PairUnits& units,
                     ReportBuffer& report, const CompareOptions& options) {
  const std::optional<LoneSide> lone = LoneSideOf(source, target);
  try {
    if (options.charDp) {
      if (!lone) {
        WriteCharDpTable(source, target, report);
      } else {
        WriteLoneCharDpTable(*lone == LoneSide::Source ? source : target, *lone, report);
      }
      report += kTableBreak;
    }
    WriteSegmentedSections(analyzer, source, target, lone, units, report, options);
  } catch (const TableTooLargeError& error) {
    throw TableTooLargeError(error, pairIndex + 1);
  }
  report += kPairSeparator;
}

}  // namespace sorowa

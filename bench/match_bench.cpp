// The matching table. On short lines, the plain scan (path 0) beside the index (path 1),
// which tells where MatchUnits should switch from one to the other. On the long lines that
// bench/match_cases.py writes (into $SOROWA_MATCH_CASES, default /tmp/sorowa-match-cases),
// the whole table alone, after the lines have been segmented: the plain scan took minutes
// on most of them, so only the table as the program writes it is timed there.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <string>

#include "align/unit_match_reference.h"
#include "align/unit_match_table.h"
#include "base/utf8.h"
#include "bench_text.h"
#include "segment/morph_analyzer.h"
#include "support/files.h"

namespace sorowa {
namespace {

struct UnitPair {
  SegmentList source;
  SegmentList target;
};

// count pairs of about length characters, as pseudo-bunsetsu: revised prose (most units
// pair by identity at once) or unrelated random lines (each unit is compared with many).
std::vector<UnitPair> LinesAsUnits(bool unrelated, std::size_t count, std::size_t length) {
  MorphAnalyzer analyzer;
  analyzer.SetLanguage(0);
  std::vector<std::pair<std::u16string, std::u16string>> lines;
  if (unrelated) {
    for (std::size_t k = 0; k < count; ++k) {
      lines.emplace_back(bench::RandomJapaneseLine(length, 2 * k),
                         bench::RandomJapaneseLine(length, 2 * k + 1));
    }
  } else {
    lines = bench::ProseLinePairs(count, length, 0.1, 7);
  }
  std::vector<UnitPair> pairs;
  for (const auto& [source, target] : lines) {
    UnitPair& pair = pairs.emplace_back();
    analyzer.SplitPseudoBunsetsu(source, pair.source);
    analyzer.SplitPseudoBunsetsu(target, pair.target);
  }
  return pairs;
}

void BM_MatchShort(benchmark::State& state) {
  const bool indexed = state.range(0) == 1;
  const std::vector<UnitPair> pairs =
      LinesAsUnits(state.range(1) == 1, 64, static_cast<std::size_t>(state.range(2)));
  std::size_t units = 0;
  for (const UnitPair& pair : pairs) units += pair.source.size() + pair.target.size();
  for (auto _ : state) {
    for (const UnitPair& pair : pairs) {
      benchmark::DoNotOptimize(indexed ? MatchUnitsIndexed(pair.source, pair.target)
                                       : MatchUnitsReference(pair.source, pair.target));
    }
  }
  state.SetLabel(std::to_string(units / pairs.size() / 2) + " units a line, 64 pairs");
}
BENCHMARK(BM_MatchShort)
    ->ArgNames({"path", "unrelated", "chars"})
    ->ArgsProduct({{0, 1}, {0, 1}, {20, 60, 120, 240, 1000}})
    ->Unit(benchmark::kMicrosecond);

// The files are UTF-8, one line with a final line feed; a missing one gives an empty line.
std::u16string ReadLine(const std::string& path) {
  const std::string bytes = testing_support::ReadFile(path);
  return DecodeUtf8(std::string_view(bytes).substr(0, bytes.find('\n')));
}

// The case's units, segmented once however often the benchmark runs (MeCab takes long on
// some of these lines). Empty when the files are missing or MeCab is not usable.
const UnitPair& CaseUnits(const std::string& name, bool morphemes) {
  static std::map<std::string, UnitPair> cases;
  if (const auto it = cases.find(name); it != cases.end()) return it->second;
  const char* folder = std::getenv("SOROWA_MATCH_CASES");
  const std::string base =
      std::string(folder != nullptr ? folder : "/tmp/sorowa-match-cases") + "/" + name;
  const std::u16string sourceLine = ReadLine(base + "-source.txt");
  const std::u16string targetLine = ReadLine(base + "-target.txt");
  UnitPair& pair = cases[name];
  if (sourceLine.empty() || targetLine.empty()) return pair;
  MorphAnalyzer analyzer;
  analyzer.SetLanguage(0);
  if (morphemes) {
    analyzer.SplitMorphemes(sourceLine, pair.source);
    analyzer.SplitMorphemes(targetLine, pair.target);
  } else {
    analyzer.SplitPseudoBunsetsu(sourceLine, pair.source);
    analyzer.SplitPseudoBunsetsu(targetLine, pair.target);
  }
  return pair;
}

void BM_MatchCase(benchmark::State& state, const char* name, bool morphemes) {
  const UnitPair& pair = CaseUnits(name, morphemes);
  if (pair.source.empty() || pair.target.empty()) {
    state.SkipWithError(
        "no units: write the case files with bench/match_cases.py (and for morphemes MeCab "
        "must be usable)");
    return;
  }
  std::size_t sourceChars = 0;
  std::size_t targetChars = 0;
  for (const Segment& unit : pair.source) sourceChars += unit.size();
  for (const Segment& unit : pair.target) targetChars += unit.size();
  for (auto _ : state) {
    ReportBuffer report;
    WriteUnitMatchTable(pair.source, pair.target, report, u"c");
    benchmark::DoNotOptimize(report.bytes().data());
  }
  state.SetLabel(std::to_string(pair.source.size()) + " x " + std::to_string(pair.target.size()) +
                 " units, " + std::to_string(sourceChars) + " x " + std::to_string(targetChars) +
                 " chars");
}
BENCHMARK_CAPTURE(BM_MatchCase, vocab, "vocab", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MatchCase, random_pb, "random-pb", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MatchCase, random_morph, "random-morph", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MatchCase, letters, "letters", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MatchCase, long_unit, "long-unit", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MatchCase, chains, "chains", false)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorowa

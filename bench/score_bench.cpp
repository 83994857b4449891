// The exact edit distance and script of the scores on long revised prose lines, at several
// edit rates, and on unrelated lines; plus many short pairs, as a document's lines are.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_text.h"
#include "score/code_points.h"
#include "distance/levenshtein.h"
#include "score/pair_scorer.h"
#include "score/stats_json.h"

namespace sorowa {
namespace {

struct Pair {
  std::vector<std::uint32_t> reference;
  std::vector<std::uint32_t> hypothesis;
};

Pair MakeProsePair(std::size_t length, double editRate) {
  const std::u16string line = bench::ProseLine(0, length);
  Pair pair;
  ToCodePoints(line, pair.reference);
  ToCodePoints(bench::ReviseProse(line, editRate, 11), pair.hypothesis);
  return pair;
}

// range(0): length in code points; range(1): edit rate in tenths of a percent; range(2): 1 for
// the script, 0 for the distance alone.
void BM_ScoreProse(benchmark::State& state) {
  const Pair pair = MakeProsePair(static_cast<std::size_t>(state.range(0)),
                                  static_cast<double>(state.range(1)) / 1000.0);
  LevenshteinAligner aligner;
  std::size_t distance = 0;
  for (auto _ : state) {
    distance = state.range(2) != 0 ? aligner.Align(pair.reference, pair.hypothesis)
                                   : aligner.Distance(pair.reference, pair.hypothesis);
    benchmark::DoNotOptimize(distance);
  }
  state.counters["distance"] = static_cast<double>(distance);
  state.counters["passes"] = static_cast<double>(aligner.passes());
  state.SetLabel(std::to_string(pair.reference.size()) + " x " +
                 std::to_string(pair.hypothesis.size()));
}
BENCHMARK(BM_ScoreProse)
    ->ArgNames({"length", "rate", "script"})
    ->Args({100000, 10, 1})
    ->Args({100000, 50, 1})
    ->Args({100000, 100, 1})
    ->Args({100000, 100, 0})
    ->Args({10000, 100, 1})
    ->Unit(benchmark::kMillisecond);

// The pair of make_bench_text's line12k and line20k files, for timing beside other tools on
// the same text (docs/performance.md).
void BM_ScoreBenchLine(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const auto [source, target] = length == 12000 ? bench::ProseLinePairs(1, 12000, 0.08, 12).front()
                                                : bench::ProseLinePairs(1, 20000, 0.1, 20).front();
  Pair pair;
  ToCodePoints(source, pair.reference);
  ToCodePoints(target, pair.hypothesis);
  LevenshteinAligner aligner;
  std::size_t distance = 0;
  for (auto _ : state) {
    distance = aligner.Align(pair.reference, pair.hypothesis);
    benchmark::DoNotOptimize(distance);
  }
  state.counters["distance"] = static_cast<double>(distance);
}
BENCHMARK(BM_ScoreBenchLine)
    ->ArgName("line")
    ->Arg(12000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);

void BM_ScoreUnrelated(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  Pair pair;
  ToCodePoints(bench::RandomJapaneseLine(length, 1), pair.reference);
  ToCodePoints(bench::RandomJapaneseLine(length, 2), pair.hypothesis);
  LevenshteinAligner aligner;
  for (auto _ : state) benchmark::DoNotOptimize(aligner.Align(pair.reference, pair.hypothesis));
  state.counters["passes"] = static_cast<double>(aligner.passes());
}
BENCHMARK(BM_ScoreUnrelated)->Arg(10000)->Unit(benchmark::kMillisecond);

// 2,000 pairs of sentence-long lines, as a revised document has.
void BM_ScoreShortPairs(benchmark::State& state) {
  std::vector<Pair> pairs;
  for (const auto& [source, target] : bench::ProseLinePairs(2000, 60, 0.1, 3)) {
    Pair pair;
    ToCodePoints(source, pair.reference);
    ToCodePoints(target, pair.hypothesis);
    pairs.push_back(std::move(pair));
  }
  LevenshteinAligner aligner;
  for (auto _ : state) {
    for (const Pair& pair : pairs) {
      benchmark::DoNotOptimize(aligner.Align(pair.reference, pair.hypothesis));
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * pairs.size()));
}
BENCHMARK(BM_ScoreShortPairs)->Unit(benchmark::kMillisecond);

// The same 2,000 pairs through everything --stats does after the pairing: the pair scorer
// (script, classes, confusions), the run's totals and the JSON text.
void BM_ScoreDocumentToJson(benchmark::State& state) {
  const auto pairs = bench::ProseLinePairs(2000, 60, 0.1, 3);
  PairScorer scorer;
  PairDetail detail;
  std::size_t bytes = 0;
  for (auto _ : state) {
    StatsDocument document;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      const std::string side = std::to_string(k + 1);
      AddPair(document, scorer.Score({side, side, pairs[k].first, pairs[k].second}, detail),
              detail);
    }
    bytes = WriteStatsJson(document).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["json_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ScoreDocumentToJson)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorowa

// The character DP on long lines: the plain reference beside the fast paths, on revised
// prose (where the band pays off) and on unrelated lines (where only the full table helps),
// and a whole report over many short line pairs.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <span>
#include <string>

#include "align/char_dp_table.h"
#include "align/dp_align.h"
#include "bench_text.h"
#include "compare/compare_line_pairs.h"

namespace sorowa {
namespace {

enum class Path { Reference, Dispatch, SimdSse2, SimdAvx2, Band, Bounded, BitParallel };

ColumnStarts Run(Path path, std::span<const char16_t> s, std::span<const char16_t> t) {
  DpFastOptions options;
  switch (path) {
    case Path::Reference:
      return DpAlignReference(s, t);
    case Path::Dispatch:
      return DpAlign(s, t);
    case Path::SimdSse2:
      options.instructionSet = DpInstructionSet::Sse2;
      return DpAlignSimd(s, t, options);
    case Path::SimdAvx2:
      options.instructionSet = DpInstructionSet::Avx2;
      return DpAlignSimd(s, t, options);
    case Path::Band:
      return DpAlignBand(s, t);
    case Path::Bounded:
      return DpAlignBounded(s, t);
    case Path::BitParallel:
      return DpAlignBitParallel(s, t);
  }
  return {};
}

void AlignBench(benchmark::State& state, const std::u16string& source,
                const std::u16string& target) {
  const auto path = static_cast<Path>(state.range(0));
  if (path == Path::SimdAvx2 && !DpHasAvx2()) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
  if (path == Path::BitParallel && std::min(source.size(), target.size()) > kBitParallelLength) {
    state.SkipWithError("both lines too long for the bit vectors");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(Run(path, source, target));
  }
  const double entries = static_cast<double>(source.size()) * static_cast<double>(target.size());
  state.counters["entries/s"] =
      benchmark::Counter(entries, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(std::to_string(source.size()) + " x " + std::to_string(target.size()));
}

const auto& ProsePair() {
  static const auto pair = bench::ProseLinePairs(1, 5000, 0.1, 5).front();
  return pair;
}

void BM_CharDpProse5000(benchmark::State& state) {
  AlignBench(state, ProsePair().first, ProsePair().second);
}

void BM_CharDpRandom5000(benchmark::State& state) {
  static const std::u16string source = bench::RandomJapaneseLine(5000, 1);
  static const std::u16string target = bench::RandomJapaneseLine(5000, 2);
  AlignBench(state, source, target);
}

void Paths(benchmark::internal::Benchmark* bench) {
  // 0 reference, 1 DpAlign, 2 SSE2 full, 3 AVX2 full, 4 band, 5 bounded
  bench->ArgName("path");
  for (int path = 0; path <= 5; ++path) bench->Arg(path);
  bench->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_CharDpProse5000)->Apply(Paths);
BENCHMARK(BM_CharDpRandom5000)->Apply(Paths);

// Short revised lines, where DpAlign takes the bit vectors (path 6) up to 128 characters: the
// other fast paths must not lose there either.
void BM_CharDpShort(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(1));
  const auto pair = bench::ProseLinePairs(1, length, 0.1, 40 + length).front();
  AlignBench(state, pair.first.substr(0, length), pair.second.substr(0, length));
}
BENCHMARK(BM_CharDpShort)
    ->ArgNames({"path", "length"})
    ->ArgsProduct({{0, 1, 3, 4, 6}, {16, 32, 48, 64, 128, 512}});

// A whole report: 2,000 revised line pairs of about 60 characters, with the character table
// and the pseudo-bunsetsu tables (the morpheme tables have their own benchmark).
void BM_ReportPseudoBunsetsu(benchmark::State& state) {
  static const auto texts = [] {
    std::u16string source;
    std::u16string target;
    for (const auto& [s, t] : bench::ProseLinePairs(2000, 60, 0.1, 3)) {
      source += s + u"\n";
      target += t + u"\n";
    }
    return std::make_pair(source, target);
  }();
  CompareOptions options;
  options.charDp = state.range(0) != 0;
  options.morphemeDp = false;
  options.morphemeMatch = false;
  options.pseudoBunsetsuDp = true;
  options.pseudoBunsetsuMatch = true;
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string report;
    CompareLinePairs(texts.first, texts.second, report, options);
    bytes = report.size();
    benchmark::DoNotOptimize(report.data());
  }
  state.counters["pairs/s"] =
      benchmark::Counter(2000, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(std::to_string(bytes) + " bytes of report");
}
BENCHMARK(BM_ReportPseudoBunsetsu)
    ->ArgName("charDp")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorowa

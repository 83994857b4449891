// The alignment of single long lines, where time and memory used to grow with the whole
// table: revised prose of 100,000 and 1,000,000 characters (about 8 % edits), unrelated
// lines of 100,000 characters, and the morpheme and pseudo-bunsetsu units of the revised
// 100,000-character pair. One iteration each; run with --benchmark_repetitions for medians.
//
// peak_MB is how far the process's resident memory rose above where it stood before the
// case (the high-water mark is reset first): what the alignment took, apart from the texts.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "align/dp_align.h"
#include "bench_text.h"
#include "segment/morph_analyzer.h"

namespace sorowa {
namespace {

// Linux lets a process reset its own peak resident set.
void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// A field of /proc/self/status in MB: VmHWM is the peak resident memory, VmRSS the current.
double StatusMegabytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == field) {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes / 1024;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

struct LongPair {
  std::u16string source;
  std::u16string target;
};

const LongPair& Case(int which) {
  static const LongPair prose100k = [] {
    auto pair = bench::ProseLinePairs(1, 100000, 0.08, 100).front();
    return LongPair{std::move(pair.first), std::move(pair.second)};
  }();
  static const LongPair random100k{bench::RandomJapaneseLine(100000, 101),
                                   bench::RandomJapaneseLine(100000, 102)};
  switch (which) {
    case 0:
      return prose100k;
    case 1:
      return random100k;
    default: {
      static const LongPair prose1m = [] {
        auto pair = bench::ProseLinePairs(1, 1000000, 0.08, 1000).front();
        return LongPair{std::move(pair.first), std::move(pair.second)};
      }();
      return prose1m;
    }
  }
}

template <class T>
void Align(benchmark::State& state, std::span<const T> source, std::span<const T> target) {
  // Memory that earlier cases freed would otherwise still count as resident.
  malloc_trim(0);
  ResetPeakResident();
  const double before = StatusMegabytes("VmRSS:");
  for (auto _ : state) {
    benchmark::DoNotOptimize(DpAlign(source, target));
  }
  state.counters["peak_MB"] = StatusMegabytes("VmHWM:") - before;
  state.SetLabel(std::to_string(source.size()) + " x " + std::to_string(target.size()));
}

// case: 0 revised prose 100k, 1 unrelated 100k, 2 revised prose 1M.
void BM_CharDpLong(benchmark::State& state) {
  const LongPair& pair = Case(static_cast<int>(state.range(0)));
  Align(state, std::span<const char16_t>(pair.source), std::span<const char16_t>(pair.target));
}
BENCHMARK(BM_CharDpLong)
    ->ArgName("case")
    ->DenseRange(0, 2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The units of the revised 100k pair as ids, as the unit table interns them.
struct UnitIds {
  std::vector<std::uint32_t> source;
  std::vector<std::uint32_t> target;
};

UnitIds Units(bool morphemes) {
  MorphAnalyzer analyzer;
  analyzer.SetLanguage(0);
  SegmentList sourceUnits;
  SegmentList targetUnits;
  const LongPair& pair = Case(0);
  if (morphemes) {
    analyzer.SplitMorphemes(pair.source, sourceUnits);
    analyzer.SplitMorphemes(pair.target, targetUnits);
  } else {
    analyzer.SplitPseudoBunsetsu(pair.source, sourceUnits);
    analyzer.SplitPseudoBunsetsu(pair.target, targetUnits);
  }
  std::unordered_map<std::u16string, std::uint32_t> ids;
  UnitIds result;
  for (const Segment& unit : sourceUnits) {
    result.source.push_back(ids.try_emplace(unit, ids.size()).first->second);
  }
  for (const Segment& unit : targetUnits) {
    result.target.push_back(ids.try_emplace(unit, ids.size()).first->second);
  }
  return result;
}

// unit: 0 morphemes (MeCab), 1 pseudo-bunsetsu.
void BM_UnitDpLong(benchmark::State& state) {
  static const UnitIds morphemes = Units(true);
  static const UnitIds bunsetsu = Units(false);
  const UnitIds& units = state.range(0) == 0 ? morphemes : bunsetsu;
  if (units.source.empty() || units.target.empty()) {
    state.SkipWithError("no units (MeCab is not usable here)");
    return;
  }
  Align(state, std::span<const std::uint32_t>(units.source),
        std::span<const std::uint32_t>(units.target));
}
BENCHMARK(BM_UnitDpLong)
    ->ArgName("unit")
    ->DenseRange(0, 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorowa

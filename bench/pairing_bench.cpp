// Speed of the line aligner: a long revision, unrelated documents, and the inputs that break
// naive aligners (very many short lines, two huge lines, an empty side, thousands of identical
// lines, lines sharing no characters). Each reports the peak resident memory of the process
// during the alignment (the inputs included) as peakMB.

#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_text.h"
#include "pairing/align_lines.h"
#include "revision_generator.h"

namespace sorowa {
namespace {

using Lines = std::vector<std::u16string>;

// Starts a new peak of the resident set (Linux: writing 5 to clear_refs resets VmHWM).
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

double PeakMemoryMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

void Align(benchmark::State& state, const Lines& source, const Lines& target) {
  std::size_t pairs = 0;
  ResetPeakMemory();
  for (auto _ : state) {
    const LinePairing pairing = AlignLines(source, target);
    pairs = pairing.size();
    benchmark::DoNotOptimize(pairing.data());
  }
  state.counters["peakMB"] = PeakMemoryMb();
  state.counters["lines"] = static_cast<double>(source.size() + target.size());
  state.SetLabel(std::to_string(pairs) + " entries");
}

// 100,000 lines of corpus words; a tenth of the lines edited (15 % of their words), half a
// per cent inserted and half a per cent deleted, a few split and merged.
void BM_AlignLinesRevision100k(benchmark::State& state) {
  static const auto document = [] {
    bench::RevisionOptions options;
    options.sourceLines = 100000;
    options.wordEditRate = 0.15;
    options.editedLineShare = 0.1;
    options.paragraphInsertRate = 0.005;
    options.paragraphDeleteRate = 0.005;
    options.splitRate = 0.002;
    options.mergeRate = 0.002;
    options.swapRate = 0;
    options.blankLineRate = 0;
    options.wordSalad = true;
    return bench::MakeRevision(options);
  }();
  Align(state, document.source, document.target);
}
BENCHMARK(BM_AlignLinesRevision100k)->Unit(benchmark::kMillisecond);

Lines SaladLines(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  Lines lines;
  for (std::size_t k = 0; k < count; ++k)
    lines.push_back(bench::WordSaladLine(8 + random() % 113, random()));
  return lines;
}

// Two unrelated documents of corpus words, lines of 8 to 120 code units.
void BM_AlignLinesUnrelated(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const Lines source = SaladLines(count, 1);
  const Lines target = SaladLines(count, 2);
  Align(state, source, target);
}
BENCHMARK(BM_AlignLinesUnrelated)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

// 300,000 lines of one to four hiragana (so most lines occur many times), against the same
// with a tenth of the lines changed, or against other such lines.
void BM_AlignLinesShort300k(benchmark::State& state) {
  const bool related = state.range(0) != 0;
  std::mt19937_64 random(3);
  const auto shortLine = [&] {
    std::u16string line(1 + random() % 4, u'あ');
    for (char16_t& c : line) c = static_cast<char16_t>(u'あ' + random() % 40);
    return line;
  };
  Lines source, target;
  for (std::size_t k = 0; k < 300000; ++k) source.push_back(shortLine());
  for (std::size_t k = 0; k < 300000; ++k) {
    target.push_back(related && random() % 10 != 0 ? source[k] : shortLine());
  }
  Align(state, source, target);
}
BENCHMARK(BM_AlignLinesShort300k)
    ->ArgName("related")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

// One line of about 20 MB of UTF-8 on each side: prose and its revision, or unrelated.
void BM_AlignLinesHugeLines(benchmark::State& state) {
  const bool related = state.range(0) != 0;
  static const auto prose = [] {
    std::u16string source, revised;
    for (const auto& [s, t] : bench::ProseLinePairs(7000, 1000, 0.1, 11)) {
      source += s;
      revised += t;
    }
    return std::make_pair(source, revised);
  }();
  const Lines source{prose.first};
  const Lines target{related ? prose.second : bench::RandomJapaneseLine(prose.second.size(), 5)};
  Align(state, source, target);
  state.counters["MB UTF-8"] = static_cast<double>(bench::JoinLinesUtf8(source).size()) / 1e6;
}
BENCHMARK(BM_AlignLinesHugeLines)
    ->ArgName("related")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

void BM_AlignLinesOneSideEmpty(benchmark::State& state) {
  const Lines source = SaladLines(100000, 4);
  Align(state, source, {});
}
BENCHMARK(BM_AlignLinesOneSideEmpty)->Unit(benchmark::kMillisecond);

// 20,000 lines that are mostly a few lines over and over: a refrain between verses, and a CSV
// file of 20 distinct rows; the Target has a tenth of its lines changed and some dropped.
void BM_AlignLinesRepeated(benchmark::State& state) {
  const bool csv = state.range(0) != 0;
  std::mt19937_64 random(6);
  Lines source;
  for (std::size_t k = 0; k < 20000; ++k) {
    if (csv) {
      source.push_back(u"2024-01-0" +
                       std::u16string(1, static_cast<char16_t>(u'0' + random() % 10)) + u",東京," +
                       std::u16string(1, static_cast<char16_t>(u'0' + random() % 2)));
    } else {
      source.push_back(k % 4 == 3 ? bench::WordSaladLine(30, random()) : u"ああ、夏の日の思い出よ");
    }
  }
  Lines target;
  for (const auto& line : source) {
    const auto roll = random() % 20;
    if (roll == 0) continue;
    target.push_back(roll < 3 ? bench::WordSaladLine(line.size(), random()) : line);
  }
  Align(state, source, target);
}
BENCHMARK(BM_AlignLinesRepeated)->ArgName("csv")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 20,000 distinct lines on each side, no code unit shared by any two lines: one code unit
// each, all different.
void BM_AlignLinesNothingShared(benchmark::State& state) {
  Lines source, target;
  char16_t next = 0x3400;
  for (std::size_t k = 0; k < 20000; ++k) {
    source.emplace_back(1, next++);
    target.emplace_back(1, next++);
  }
  Align(state, source, target);
}
BENCHMARK(BM_AlignLinesNothingShared)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorowa

// A whole report with MeCab's morphemes, and MeCab's analysis of the same lines alone, so that
// MeCab's share of a Compare can be read off the two.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_text.h"
#include "compare/compare_line_pairs.h"
#include "compare/report_document.h"
#include "segment/mecab_backend.h"

namespace sorowa {
namespace {

constexpr std::size_t kPairs = 2000;

// Revised prose of about 60 characters a line, the same text as the other report benchmarks.
struct ProsePairs {
  std::u16string source;
  std::u16string target;
  std::vector<std::u16string> lines;  // every Source and Target line, for the analysis alone
};

const ProsePairs& Prose() {
  static const ProsePairs prose = [] {
    ProsePairs p;
    for (auto& [source, target] : bench::ProseLinePairs(kPairs, 60, 0.1, 3)) {
      p.source += source + u"\n";
      p.target += target + u"\n";
      p.lines.push_back(std::move(source));
      p.lines.push_back(std::move(target));
    }
    return p;
  }();
  return prose;
}

// One Compare's report for 2,000 pairs with all five tables on, head to foot, with
// the tagger set up once as the Compare does.
void BM_MecabReportAllTables(benchmark::State& state) {
  const ProsePairs& prose = Prose();
  const CompareOptions options{true, true, true, true, true};
  int messages = 0;
  CompareHooks hooks;
  hooks.showMessage = [&messages](const UserMessage&) { ++messages; };
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string report(ReportHead());
    CompareLinePairs(prose.source, prose.target, report, options, hooks);
    report += ReportFoot();
    bytes = report.size();
    benchmark::DoNotOptimize(report.data());
  }
  if (messages != 0) state.SkipWithError("MeCab is not usable here");
  state.counters["report_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_MecabReportAllTables)->Unit(benchmark::kMillisecond);

// The same report with no analyser: the morpheme tables are built from empty lists.
void BM_ReportAllTablesWithoutMorphemes(benchmark::State& state) {
  const ProsePairs& prose = Prose();
  const CompareOptions options{true, true, true, true, true};
  CompareHooks hooks;
  hooks.morphBackendFactory = [](const MessageSink&) { return std::unique_ptr<MorphBackend>(); };
  for (auto _ : state) {
    std::string report(ReportHead());
    CompareLinePairs(prose.source, prose.target, report, options, hooks);
    report += ReportFoot();
    benchmark::DoNotOptimize(report.data());
  }
}
BENCHMARK(BM_ReportAllTablesWithoutMorphemes)->Unit(benchmark::kMillisecond);

// What MeCab costs inside the report above: its set-up plus both lines of every pair.
void BM_MecabAnalysisOnly(benchmark::State& state) {
  const ProsePairs& prose = Prose();
  std::vector<std::uint32_t> words;
  std::uint64_t wordCount = 0;
  for (auto _ : state) {
    std::unique_ptr<MecabBackend> backend = MecabBackend::Create({});
    if (!backend) {
      state.SkipWithError("MeCab is not usable here");
      break;
    }
    wordCount = 0;
    for (const std::u16string& line : prose.lines) {
      backend->Analyze(line, words);
      wordCount += words.empty() ? 0 : words.back() + 1;
    }
  }
  state.counters["words"] = static_cast<double>(wordCount);
}
BENCHMARK(BM_MecabAnalysisOnly)->Unit(benchmark::kMillisecond);

// Only the tagger's set-up, which every Compare pays once.
void BM_MecabSetUp(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(MecabBackend::Create({}).get());
  }
}
BENCHMARK(BM_MecabSetUp)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorowa

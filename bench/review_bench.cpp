// The review page against the default tables report on the same 2,000 revised prose pairs
// (the text of make_bench_text's doc): time and bytes, in process, MeCab included where
// either sets it up.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_text.h"
#include "compare/compare_line_pairs.h"
#include "compare/report_document.h"

namespace sorowa {
namespace {

struct Texts {
  std::u16string source;
  std::u16string target;
};

const Texts& Doc() {
  static const Texts texts = [] {
    Texts t;
    for (const auto& [source, target] : bench::ProseLinePairs(2000, 60, 0.1, 3)) {
      t.source += source + u"\n";
      t.target += target + u"\n";
    }
    return t;
  }();
  return texts;
}

void Run(benchmark::State& state, const CompareOptions& options) {
  const Texts& doc = Doc();
  int messages = 0;
  CompareHooks hooks;
  hooks.showMessage = [&messages](const UserMessage&) { ++messages; };
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string report;
    if (options.report == ReportKind::Tables) report = ReportHead();
    CompareLinePairs(doc.source, doc.target, report, options, hooks);
    if (options.report == ReportKind::Tables) report += ReportFoot();
    bytes = report.size();
    benchmark::DoNotOptimize(report.data());
  }
  if (messages != 0) state.SkipWithError("MeCab is not usable here");
  state.counters["report_MB"] = static_cast<double>(bytes) / 1e6;
}

// The report sorowa-compare writes when asked for nothing else.
void BM_DefaultTablesReport(benchmark::State& state) { Run(state, CompareOptions{}); }
BENCHMARK(BM_DefaultTablesReport)->Unit(benchmark::kMillisecond)->UseRealTime();

// The review page, with character figures (morphemes:0) or with morpheme figures as well,
// which sets MeCab up and analyses every line (morphemes:1).
void BM_ReviewReport(benchmark::State& state) {
  CompareOptions options;
  options.report = ReportKind::Review;
  options.scores = state.range(0) != 0 ? ScoreUnits::CharsAndMorphemes : ScoreUnits::Chars;
  Run(state, options);
}
BENCHMARK(BM_ReviewReport)
    ->ArgName("morphemes")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace sorowa

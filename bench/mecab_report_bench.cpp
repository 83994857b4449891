// A whole report with MeCab's morphemes, and MeCab's analysis of the same lines alone, so that
// MeCab's share of a Compare can be read off the two.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "compare/compare_line_pairs.h"
#include "compare/report_document.h"
#include "compare/utf8.h"
#include "segment/mecab_backend.h"

namespace sorowa {
namespace {

constexpr int kPairs = 2000;

// Plain prose of the kind people compare: sentences of 30 to 90 characters from a small
// grammar, the Target a lightly edited copy of the Source.
struct ProsePairs {
  std::u16string source;
  std::u16string target;
  std::vector<std::u16string> lines;  // every Source and Target line, for the analysis alone
};

const ProsePairs& Prose() {
  static const ProsePairs prose = [] {
    const std::array<std::u16string, 12> subjects = {
        u"私は",       u"彼女は",       u"その学生が",   u"東京の会社は", u"昨日の会議で部長は",
        u"子供たちが", u"新しい政府は", u"駅前の店では", u"研究者たちは", u"私たちの町では",
        u"先生が",     u"多くの人々は"};
    const std::array<std::u16string, 12> objects = {
        u"日本語の本を",     u"新しい計画について", u"古い写真を",     u"来年の予算を",
        u"環境問題について", u"駅までの道を",       u"美味しい料理を", u"会議の資料を",
        u"夏休みの予定を",   u"図書館で論文を",     u"友達に手紙を",   u"町の歴史を"};
    const std::array<std::u16string, 12> verbs = {
        u"読みました", u"話し合った",     u"見せてくれた", u"発表しました",
        u"考えている", u"教えてもらった", u"調べています", u"作りました",
        u"確かめた",   u"書いた",         u"説明しました", u"楽しみにしている"};
    const std::array<std::u16string, 8> joins = {u"。",         u"が、",      u"ので、",
                                                 u"けれども、", u"。そして",  u"、それから",
                                                 u"。しかし",   u"と言って、"};
    std::mt19937 random(7);
    const auto pick = [&random](const auto& pool) {
      return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
    };
    ProsePairs p;
    for (int i = 0; i < kPairs; ++i) {
      std::u16string source;
      std::u16string target;
      const int clauses = std::uniform_int_distribution<int>(1, 3)(random);
      for (int c = 0; c < clauses; ++c) {
        const std::u16string subject = pick(subjects);
        const std::u16string object = pick(objects);
        const std::u16string verb = pick(verbs);
        const std::u16string join = c + 1 == clauses ? u"。" : pick(joins);
        source += subject + object + verb + join;
        // Roughly one clause in three differs in one word on the Target side.
        switch (std::uniform_int_distribution<int>(0, 5)(random)) {
          case 0:
            target += subject + pick(objects) + verb + join;
            break;
          case 1:
            target += subject + object + pick(verbs) + join;
            break;
          default:
            target += subject + object + verb + join;
        }
      }
      p.source += source + u"\n";
      p.target += target + u"\n";
      p.lines.push_back(std::move(source));
      p.lines.push_back(std::move(target));
    }
    return p;
  }();
  return prose;
}

// One Compare's report for 2,000 pairs with all five tables on, head to UTF-8 bytes, with
// the tagger set up once as the Compare does.
void BM_MecabReportAllTables(benchmark::State& state) {
  const ProsePairs& prose = Prose();
  const CompareOptions options{true, true, true, true, true};
  int messages = 0;
  CompareHooks hooks;
  hooks.showMessage = [&messages](const UserMessage&) { ++messages; };
  std::size_t bytes = 0;
  for (auto _ : state) {
    ReportBuffer report(ReportHead());
    CompareLinePairs(prose.source, prose.target, report, options, hooks);
    report += ReportFoot();
    const std::string utf8 = ToUtf8(report);
    bytes = utf8.size();
    benchmark::DoNotOptimize(utf8.data());
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
    ReportBuffer report(ReportHead());
    CompareLinePairs(prose.source, prose.target, report, options, hooks);
    report += ReportFoot();
    benchmark::DoNotOptimize(ToUtf8(report).data());
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

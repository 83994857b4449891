// The options of the scores, the normalisation and the batches, and --merge-stats run as a
// user runs it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "command_line.h"
#include "score/pair_scorer.h"
#include "score/stats_json.h"
#include "support/files.h"
#include "support/run_program.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

using testing_support::ReadFile;
using testing_support::RunOptions;
using testing_support::RunResult;

TEST(ScoreCommandLineTest, OptionsReachTheCommandLine) {
  CommandLine line = ParseCommandLine(
      {"--stats", "out.tsv", "--summary", "--no-report", "--stats-units=chars,morphemes",
       "--normalize=nfkc", "--fold-kana", "--ignore-space", "--ignore-punctuation", "a", "b"});
  EXPECT_EQ(line.stats, "out.tsv");
  EXPECT_EQ(ResolveStatsFormat(line), CommandLine::StatsFormat::Tsv);
  EXPECT_TRUE(line.summary && line.noReport && line.morphemeScores == true);
  EXPECT_EQ(line.normalization, (NormalizationOptions{UnicodeForm::Nfkc, true, true, true}));

  line = ParseCommandLine({"--stats=-", "--stats-format", "tsv", "a", "b"});
  EXPECT_EQ(ResolveStatsFormat(line), CommandLine::StatsFormat::Tsv);
  line = ParseCommandLine({"--stats", "x.tsv", "--stats-format=json", "a", "b"});
  EXPECT_EQ(ResolveStatsFormat(line), CommandLine::StatsFormat::Json);
  EXPECT_EQ(ResolveStatsFormat(ParseCommandLine({"--stats", "x.txt", "a", "b"})),
            CommandLine::StatsFormat::Json);

  line = ParseCommandLine({"--merge-stats", "all.json", "a.json", "b.json", "--summary"});
  EXPECT_EQ(line.action, CommandLine::Action::MergeStats);
  EXPECT_EQ(line.mergeOutput, "all.json");
  EXPECT_EQ(line.mergeInputs, (std::vector<std::string>{"a.json", "b.json"}));

  line = ParseCommandLine({"--batch", "src", "tgt", "--out-dir", "out", "--shard=2/8"});
  EXPECT_EQ(line.action, CommandLine::Action::Batch);
  EXPECT_EQ(line.source, "src");
  EXPECT_EQ(line.outDir, "out");
  EXPECT_EQ(line.shard, (Shard{2, 8}));
  line = ParseCommandLine({"--batch-list", "pairs.tsv", "--out-dir=out", "--no-report"});
  EXPECT_EQ(line.batchList, "pairs.tsv");

  // The review page has character figures always and morpheme figures only when asked,
  // although the morpheme tables (which it does not write) are on.
  line = ParseCommandLine({"--report=review", "--changed-only", "a", "-"});
  CompareOptions options = ResolveCompareOptions(line);
  EXPECT_TRUE(options.report == ReportKind::Review && options.changedOnly);
  EXPECT_EQ(options.scores, ScoreUnits::None);
  EXPECT_EQ(options.sourceName, "a");
  EXPECT_EQ(options.targetName, "標準入力");
  EXPECT_EQ(ResolveScoreUnits(ParseCommandLine({"--report=review", "--stats=s", "a", "b"})),
            ScoreUnits::Chars);
  EXPECT_EQ(ResolveScoreUnits(
                ParseCommandLine({"--report=review", "--stats-units=chars,morphemes", "a", "b"})),
            ScoreUnits::CharsAndMorphemes);
}

TEST(ScoreCommandLineTest, MisusesAreUsageErrors) {
  const std::pair<std::vector<std::string_view>, const char*> cases[] = {
      {{"--no-report", "a", "b"}, "--no-report needs --stats or --summary"},
      {{"--no-report", "--summary", "-o", "r.htm", "a", "b"}, "-o does not go with it"},
      {{"--stats", "-", "-o", "-", "a", "b"}, "stats and the report cannot both go"},
      {{"--stats", "-", "--pairs", "-", "a", "b"}, "stats and the pairs cannot both go"},
      {{"--stats", "", "a", "b"}, "--stats needs a file name"},
      {{"--stats-format=xml", "a", "b"}, "unknown stats format 'xml'"},
      {{"--stats-units=words", "a", "b"}, "unknown stats units 'words'"},
      {{"--normalize=nfd", "a", "b"}, "unknown normalisation 'nfd'"},
      {{"--fold-kana=yes", "a", "b"}, "takes no value"},
      {{"--merge-stats", "o.json"}, "needs the result files"},
      {{"--merge-stats", "o.json", "-"}, "not standard input"},
      {{"--merge-stats", "o.json", "--stats", "x", "a.json"}, "only --summary goes with it"},
      {{"--batch", "s", "t"}, "needs --out-dir"},
      {{"--batch", "s", "--out-dir", "o"}, "needs SOURCE_DIR and TARGET_DIR"},
      {{"--batch-list", "l", "s", "--out-dir", "o"}, "give no directories"},
      {{"--batch", "s", "t", "--out-dir", "o", "--stats", "x"}, "do not go with it"},
      {{"--out-dir", "o", "a", "b"}, "go with --batch"},
      {{"--shard", "3/2", "--batch", "s", "t", "--out-dir", "o"}, "K must be from 1 to N"},
      {{"--shard", "0/2", "--batch", "s", "t", "--out-dir", "o"}, "K must be from 1 to N"},
      {{"--shard", "1-2", "--batch", "s", "t", "--out-dir", "o"}, "expected K/N"},
      // Options that would be silently dropped.
      {{"--merge-stats", "o.json", "a.json", "--batch"}, "--batch runs documents"},
      {{"--batch-list", "l", "--merge-stats", "o.json", "a.json"}, "--batch-list runs documents"},
      {{"--merge-stats", "o.json", "a.json", "--all"}, "not --all"},
      {{"--encoding=auto", "--merge-stats", "o.json", "a.json"}, "not --encoding"},
      {{"--merge-stats", "o.json", "a.json", "--max-table-memory", "1G"}, "not --max-table-memory"},
      {{"--batch", "s", "t", "--out-dir", "o", "--stats-format=tsv"}, "writes both"},
      {{"--stats-format=tsv", "a", "b"}, "give --stats FILE"},
      {{"--stats-units=chars", "a", "b"}, "give one of them"},
  };
  for (const auto& [args, message] : cases) {
    try {
      ParseCommandLine(args);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  EXPECT_NE(HelpText().find("--merge-stats OUT IN..."), std::string::npos);
}

// Runs the program with TMPDIR set to tmp when one is given.
RunResult RunBinary(const std::vector<std::string>& args, const fs::path& tmp = {}) {
  RunOptions options;
  if (!tmp.empty()) options.env["TMPDIR"] = tmp.string();
  return testing_support::RunProgram(SOROWA_COMPARE_BINARY, args, options);
}

// Shards written by the library, merged by the program: the result is the one-run document;
// a broken shard fails the run, names itself and leaves the output as it was.
TEST(MergeStatsBinaryTest, MergesShardsAndRefusesBrokenOnes) {
  const testing_support::TempDir temp("sorowa-merge");
  const fs::path dir = temp.path();
  ASSERT_FALSE(dir.empty());
  std::mt19937_64 random(4);
  PairScorer scorer;
  PairDetail detail;
  StatsDocument oneRun;
  oneRun.manyDocuments = true;
  std::vector<std::string> args{"--merge-stats", (dir / "all.json").string()};
  for (int shard = 0; shard < 3; ++shard) {
    StatsDocument part;
    part.manyDocuments = true;
    for (int doc = 0; doc < 2; ++doc) {
      StatsDocument run;
      run.source = "s" + std::to_string(shard) + std::to_string(doc);
      for (int pair = 0; pair < 5; ++pair) {
        std::u16string a;
        std::u16string b;
        for (int k = 0; k < 8; ++k) a += u"あいう漢字。"[random() % 6];
        for (int k = 0; k < 8; ++k) b += u"あいう漢字。"[random() % 6];
        AddPair(run, scorer.Score({"1", "1", a, b}, detail), detail);
      }
      AddDocument(part, run);
      AddDocument(oneRun, run);
    }
    const fs::path file = dir / ("shard" + std::to_string(shard) + ".json");
    std::ofstream(file) << WriteStatsJson(part);
    args.push_back(file.string());
  }
  args.push_back("--summary");
  RunResult outcome = RunBinary(args);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(outcome.err.find("pairs: 30, changed: "), std::string::npos) << outcome.err;
  EXPECT_EQ(ReadStatsJson(ReadFile(dir / "all.json"), "all.json"), oneRun);

  const std::string before = ReadFile(dir / "all.json");
  std::ofstream(dir / "broken.json") << "{\"format\": \"sorowa-stats\", \"version\": 1}";
  outcome = RunBinary({"--merge-stats", (dir / "all.json").string(), (dir / "shard0.json").string(),
                       (dir / "broken.json").string()});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "sorowa-compare: " + (dir / "broken.json").string() + ": missing field \"options\"\n");
  EXPECT_EQ(ReadFile(dir / "all.json"), before);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Lines of kana and kanji with a few characters changed on the Target side.
void WriteDocument(const fs::path& source, const fs::path& target, std::mt19937_64& random) {
  static const std::vector<std::string> kChars = {"あ", "い", "う", "漢", "字", "カ", "。", "1"};
  std::string a;
  std::string b;
  const int lines = 3 + static_cast<int>(random() % 6);
  for (int line = 0; line < lines; ++line) {
    for (int k = 0; k < 12; ++k) {
      const std::string& c = kChars[random() % kChars.size()];
      a += c;
      const int edit = static_cast<int>(random() % 10);
      if (edit == 0) continue;                                // deleted
      b += edit == 1 ? kChars[random() % kChars.size()] : c;  // substituted (or the same)
      if (edit == 2) b += "え";                               // inserted
    }
    a += "\n";
    b += "\n";
  }
  WriteFile(source, a);
  WriteFile(target, b);
}

// A TSV file as rows of fields by column name.
std::vector<std::map<std::string, std::string>> ReadTsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream fieldsIn(line);
    for (std::string field; std::getline(fieldsIn, field, '\t');) fields.push_back(field);
    if (line.ends_with('\t')) fields.emplace_back();
    rows.push_back(fields);
  }
  std::vector<std::map<std::string, std::string>> named;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    EXPECT_EQ(rows[r].size(), rows[0].size()) << "row " << r;
    std::map<std::string, std::string> row;
    for (std::size_t k = 0; k < rows[0].size() && k < rows[r].size(); ++k) {
      row[rows[0][k]] = rows[r][k];
    }
    named.push_back(row);
  }
  return named;
}

// The figures of a TSV row are those of the document (or totals) the JSON has for it.
void ExpectRowMatches(const std::map<std::string, std::string>& row,
                      const std::optional<StatsTotals>& totals, bool morphemes) {
  if (!totals) {
    EXPECT_EQ(row.at("pairs"), "");
    EXPECT_EQ(row.at("chars_rate"), "");
    return;
  }
  EXPECT_EQ(row.at("pairs"), std::to_string(totals->pairs));
  EXPECT_EQ(row.at("identical"), std::to_string(totals->identical));
  EXPECT_EQ(row.at("changed"), std::to_string(totals->changed));
  EXPECT_EQ(row.at("source_only"), std::to_string(totals->sourceOnly));
  EXPECT_EQ(row.at("target_only"), std::to_string(totals->targetOnly));
  auto counts = [&](const std::string& unit, const ErrorCounts& c) {
    EXPECT_EQ(row.at(unit + "_n"), std::to_string(c.n));
    EXPECT_EQ(row.at(unit + "_s"), std::to_string(c.substitutions));
    EXPECT_EQ(row.at(unit + "_d"), std::to_string(c.deletions));
    EXPECT_EQ(row.at(unit + "_i"), std::to_string(c.insertions));
    EXPECT_EQ(row.at(unit + "_distance"), std::to_string(c.distance()));
    if (c.rate()) {
      EXPECT_EQ(std::stod(row.at(unit + "_rate")), *c.rate());
    } else {
      EXPECT_EQ(row.at(unit + "_rate"), "");
    }
  };
  counts("chars", totals->chars);
  if (morphemes) counts("morphemes", totals->morphemes.value_or(ErrorCounts{}));
}

class BatchBinaryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.empty());
    std::mt19937_64 random(9);
    for (const char* name : {"a.txt", "sub/b.txt", "sub/deeper/c.txt", "d e.txt"}) {
      WriteDocument(dir_ / "src" / name, dir_ / "tgt" / name, random);
    }
    WriteFile(dir_ / "src" / "only-source.txt", "あ\n");
    WriteFile(dir_ / "tgt" / "only-target.txt", "い\n");
    WriteFile(dir_ / "src" / "bad.txt", "abc\xff\x80\n");
    WriteFile(dir_ / "tgt" / "bad.txt", "abc\n");
  }

  RunResult Batch(const std::string& out, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--batch", (dir_ / "src").string(), (dir_ / "tgt").string(),
                                  "--out-dir", (dir_ / out).string()};
    args.insert(args.end(), more.begin(), more.end());
    return RunBinary(args);
  }

  testing_support::TempDir temp_{"sorowa-batch"};
  fs::path dir_ = temp_.path();
};

// Files on one side only and a file in the wrong encoding are recorded with their errors
// and the others go on; the JSON and the TSV hold the same figures.
TEST_F(BatchBinaryTest, RecordsFailedDocumentsAndGoesOn) {
  const RunResult outcome = Batch("out", {"--summary"});
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_NE(outcome.err.find("bad.txt: invalid UTF-8 at byte offset 3"), std::string::npos)
      << outcome.err;
  EXPECT_NE(outcome.err.find("there is no Target file '" + (dir_ / "tgt/only-source.txt").string()),
            std::string::npos);
  EXPECT_NE(outcome.err.find("there is no Source file '" + (dir_ / "src/only-target.txt").string()),
            std::string::npos);
  EXPECT_NE(outcome.err.find("documents: 7 (3 failed)"), std::string::npos) << outcome.err;

  const StatsDocument stats = ReadStatsJson(ReadFile(dir_ / "out/stats.json"), "stats.json");
  std::vector<std::string> failed;
  for (const DocumentEntry& entry : stats.documents) {
    if (!entry.totals) failed.push_back(fs::path(entry.source).filename().string());
  }
  EXPECT_EQ(failed, (std::vector<std::string>{"bad.txt", "only-source.txt", "only-target.txt"}));
  for (const char* report : {"a.txt.htm", "d e.txt.htm", "sub/b.txt.htm", "sub/deeper/c.txt.htm"}) {
    EXPECT_TRUE(ReadFile(dir_ / "out" / report).ends_with("</html>")) << report;
  }
  EXPECT_FALSE(fs::exists(dir_ / "out/bad.txt.htm"));
  EXPECT_NE(ReadFile(dir_ / "out/index.html").find("href=\"d%20e.txt.htm\""), std::string::npos);

  const auto rows = ReadTsv(ReadFile(dir_ / "out/stats.tsv"));
  ASSERT_EQ(rows.size(), stats.documents.size() + 1);
  for (std::size_t k = 0; k < stats.documents.size(); ++k) {
    EXPECT_EQ(rows[k].at("source"), stats.documents[k].source);
    EXPECT_EQ(rows[k].at("target"), stats.documents[k].target);
    EXPECT_EQ(rows[k].at("error"), stats.documents[k].error);
    ExpectRowMatches(rows[k], stats.documents[k].totals, stats.options.morphemes);
  }
  EXPECT_EQ(rows.back().at("source"), "total");
  ExpectRowMatches(rows.back(), stats.totals, stats.options.morphemes);
}

// Shards run apart and merged give what one run gives, byte for byte.
TEST_F(BatchBinaryTest, ShardsMergedEqualOneRun) {
  EXPECT_EQ(Batch("whole", {"--no-report"}).status, 1);
  std::vector<std::string> merge{"--merge-stats", (dir_ / "merged.json").string()};
  for (int shard = 1; shard <= 3; ++shard) {
    const std::string out = "shard" + std::to_string(shard);
    Batch(out, {"--no-report", "--shard=" + std::to_string(shard) + "/3"});
    merge.push_back((dir_ / out / "stats.json").string());
  }
  const RunResult merged = RunBinary(merge);
  EXPECT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(ReadFile(dir_ / "merged.json"), ReadFile(dir_ / "whole/stats.json"));
  EXPECT_FALSE(fs::exists(dir_ / "whole/a.txt.htm"));
}

// One comparison: the stats on standard output move the report's path to standard error;
// --no-report writes no report at all.
TEST_F(BatchBinaryTest, StatsOnStandardOutputAndNoReport) {
  const std::string source = (dir_ / "src/a.txt").string();
  const std::string target = (dir_ / "tgt/a.txt").string();
  fs::create_directories(dir_ / "tmp");
  RunResult outcome =
      RunBinary({"--stats", "-", "--stats-format=tsv", source, target}, dir_ / "tmp");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.out.starts_with("source\ttarget\tstatus\tchars_n")) << outcome.out;
  EXPECT_NE(outcome.out.find("\ntotal\t\t\t"), std::string::npos);
  EXPECT_TRUE(outcome.err.starts_with((dir_ / "tmp").string())) << outcome.err;

  fs::remove_all(dir_ / "tmp");
  fs::create_directories(dir_ / "tmp");
  outcome = RunBinary({"--no-report", "--summary", source, target}, dir_ / "tmp");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(outcome.err.starts_with("pairs: ")) << outcome.err;
  EXPECT_NE(outcome.err.find("\ncharacter error rate: "), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
}

}  // namespace
}  // namespace sorowa

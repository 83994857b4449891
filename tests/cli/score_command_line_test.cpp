// The options of the scores, the normalisation and the batches, and --merge-stats run as a
// user runs it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "command_line.h"
#include "score/pair_scorer.h"
#include "score/stats_json.h"

extern char** environ;

namespace sorowa {
namespace {

namespace fs = std::filesystem;

TEST(ScoreCommandLineTest, OptionsReachTheCommandLine) {
  CommandLine line = ParseCommandLine(
      {"--stats", "out.tsv", "--summary", "--no-report", "--stats-units=chars,morphemes",
       "--normalize=nfkc", "--fold-kana", "--ignore-space", "--ignore-punctuation", "a", "b"});
  EXPECT_EQ(line.stats, "out.tsv");
  EXPECT_EQ(ResolveStatsFormat(line), CommandLine::StatsFormat::Tsv);
  EXPECT_TRUE(line.summary && line.noReport && line.morphemeScores);
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

struct Outcome {
  int status = -1;
  std::string err;
};

Outcome RunBinary(const std::vector<std::string>& args, const fs::path& errFile) {
  std::vector<char*> argv{const_cast<char*>(SOROWA_COMPARE_BINARY)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = -1;
  Outcome outcome;
  if (posix_spawn(&pid, SOROWA_COMPARE_BINARY, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  std::ifstream in(errFile);
  outcome.err.assign(std::istreambuf_iterator<char>(in), {});
  return outcome;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Shards written by the library, merged by the program: the result is the one-run document;
// a broken shard fails the run, names itself and leaves the output as it was.
TEST(MergeStatsBinaryTest, MergesShardsAndRefusesBrokenOnes) {
  const fs::path dir = fs::temp_directory_path() / ("sorowa-merge-" + std::to_string(getpid()));
  fs::create_directories(dir);
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
  Outcome outcome = RunBinary(args, dir / "err");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(outcome.err.find("pairs: 30, changed: "), std::string::npos) << outcome.err;
  EXPECT_EQ(ReadStatsJson(Read(dir / "all.json"), "all.json"), oneRun);

  const std::string before = Read(dir / "all.json");
  std::ofstream(dir / "broken.json") << "{\"format\": \"sorowa-stats\", \"version\": 1}";
  outcome = RunBinary({"--merge-stats", (dir / "all.json").string(), (dir / "shard0.json").string(),
                       (dir / "broken.json").string()},
                      dir / "err");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "sorowa-compare: " + (dir / "broken.json").string() + ": missing field \"options\"\n");
  EXPECT_EQ(Read(dir / "all.json"), before);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace sorowa

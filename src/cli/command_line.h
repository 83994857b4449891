#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "compare/compare_options.h"
#include "formats/input_format.h"
#include "text/text_file.h"
#include "text/text_normalizer.h"

namespace sorowa {

// The command line cannot be understood. The program prints the message with a hint to
// --help and exits with status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// --shard=K/N: the K-th of N fixed shares of a batch's documents, K from 1.
struct Shard {
  std::size_t index = 1;
  std::size_t count = 1;
  friend bool operator==(const Shard&, const Shard&) = default;
};

struct CommandLine {
  enum class Action { Compare, Help, Version, MergeStats, Batch };
  enum class StatsFormat { FromName, Json, Tsv };
  Action action = Action::Compare;
  CompareOptions options;  // starts as the window's start-up state
  // Per file: empty for UTF-8 (or UTF-16 by its byte order mark), "auto" to detect it,
  // otherwise any name iconv knows.
  std::string sourceEncoding;
  std::string targetEncoding;
  // Per file: the format it is read in; nothing tells it from the file's content. A text
  // file is decoded as its encoding says; a document carries its own.
  std::optional<InputFormat> sourceFormat;
  std::optional<InputFormat> targetFormat;
  bool keepRuby = false;  // ruby of .docx and .odt files, in parentheses after its text
  // Absent: a new file in the temporary directory. "-": standard output.
  std::optional<std::string> output;
  // Where the line pairs go as tab-separated text, if anywhere. "-": standard output.
  std::optional<std::string> pairs;
  std::size_t maxTableMemory = 0;  // 0 keeps the engine's own limit
  std::string source;              // "-" is standard input
  std::string target;

  // Scores.
  std::optional<std::string> stats;  // --stats FILE; "-" is standard output
  StatsFormat statsFormat = StatsFormat::FromName;
  bool summary = false;
  bool noReport = false;
  // --stats-units: true for chars,morphemes, false for chars; absent when not given.
  std::optional<bool> morphemeScores;
  NormalizationOptions normalization;

  // --merge-stats OUT IN...
  std::string mergeOutput;
  std::vector<std::string> mergeInputs;

  // The long names of the options given, in order, so that what does not go together can
  // be refused whatever the order.
  std::vector<std::string> optionsGiven;
  bool Given(std::string_view name) const;

  // --batch SOURCE_DIR TARGET_DIR (in source and target) or --batch-list FILE.
  std::string batchList;
  std::string outDir;
  std::optional<Shard> shard;
};

// The format --stats writes: as asked, else TSV for a name ending in ".tsv", else JSON.
CommandLine::StatsFormat ResolveStatsFormat(const CommandLine& line);

// What the scores cover: morpheme figures when --stats-units asks for them or, without it,
// when a report is written with a morpheme table (whose morphemes are at hand anyway); None
// when neither --stats nor --summary asks for scores (a batch always scores).
ScoreUnits ResolveScoreUnits(const CommandLine& line);

// The options of the Compare: the tables and pairing, the normalisation, the scores and
// whether a report is written.
CompareOptions ResolveCompareOptions(const CommandLine& line);

// Parses the arguments after the program name. Options are taken in order, so a later
// option overrides an earlier one; --help and --version end parsing where they stand.
// Throws UsageError.
CommandLine ParseCommandLine(const std::vector<std::string_view>& args);

// Parses a byte count: decimal digits with an optional K, M or G suffix (powers of 1024).
// Throws UsageError.
std::size_t ParseByteCount(std::string_view text);

std::string HelpText();
std::string VersionText();

}  // namespace sorowa

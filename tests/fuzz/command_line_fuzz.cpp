// The command line parser on arbitrary arguments. It either throws UsageError with a message
// of one line (unless an argument it quotes holds a line break), or returns a command line that
// keeps the rules between options: a Compare has exactly its two files, at most one thing on
// standard output beside the stats, no batch options and no option that would do nothing (the
// stats format without --stats, the stats units without scores or a review page); a batch has its
// output folder and either a list or two folders, and no stats format (it writes both); a merge has
// its inputs, none of them standard input, and no option but --summary. A value attached with '='
// (or after a letter) means what the same value does as the next argument.
//
// Input: the arguments, separated by NUL bytes.

#include <algorithm>
#include <optional>
#include <sstream>

#include "command_line.h"
#include "command_line_options.h"
#include "fuzz_support.h"

namespace {

using namespace sorowa;
using Action = CommandLine::Action;

// What the parser made of the arguments, written out so that two outcomes can be compared.
std::string Outcome(const std::vector<std::string_view>& args) {
  CommandLine line;
  try {
    line = ParseCommandLine(args);
  } catch (const UsageError& e) {
    // The message quotes what the user wrote, so only an argument can break its line.
    const std::string message = e.what();
    const bool brokenArgument = std::any_of(args.begin(), args.end(), [](std::string_view arg) {
      return arg.find('\n') != std::string_view::npos;
    });
    FUZZ_CHECK(!message.empty(), "a message");
    FUZZ_CHECK(brokenArgument || message.find('\n') == std::string::npos,
               "a message of one line: " + message);
    return "error " + message;
  }
  const CompareOptions o = ResolveCompareOptions(line);
  const NormalizationOptions& n = line.normalization;
  std::ostringstream out;
  out << static_cast<int>(line.action) << o.charDp << o.morphemeDp << o.pseudoBunsetsuDp
      << o.pseudoBunsetsuMatch << o.morphemeMatch << o.alignLines << static_cast<int>(o.scores)
      << o.writeTables << static_cast<int>(n.form) << n.foldKana << n.ignoreSpace
      << n.ignorePunctuation << line.summary << static_cast<int>(line.statsFormat)
      << line.morphemeScores.value_or(2) << '|' << line.sourceEncoding << '|' << line.targetEncoding
      << '|' << line.output.value_or("(none)") << '|' << line.pairs.value_or("(none)") << '|'
      << line.stats.value_or("(none)") << '|' << line.maxTableMemory << '|' << line.source << '|'
      << line.target << '|' << line.mergeOutput << '|' << line.batchList << '|' << line.outDir
      << '|' << (line.shard ? line.shard->index : 0) << '/' << (line.shard ? line.shard->count : 0);
  for (const std::string& input : line.mergeInputs) out << '|' << input;
  return out.str();
}

void CheckRules(const std::vector<std::string_view>& args) {
  CommandLine line;
  try {
    line = ParseCommandLine(args);
  } catch (const UsageError&) {
    return;
  }
  switch (line.action) {
    case Action::Help:
    case Action::Version:
      return;
    case Action::Compare:
      FUZZ_CHECK(!(line.source == "-" && line.target == "-"), "one side from standard input");
      FUZZ_CHECK(!(line.output == "-" && line.pairs == "-"), "one thing on standard output");
      FUZZ_CHECK(line.stats != "-" || (line.output != "-" && line.pairs != "-"),
                 "the stats alone on standard output");
      FUZZ_CHECK(!line.noReport || ((line.stats || line.summary) && !line.output),
                 "without a report, scores and no -o");
      FUZZ_CHECK(line.outDir.empty() && !line.shard, "no batch options");
      FUZZ_CHECK(line.output != "" && line.pairs != "" && line.stats != "", "named outputs");
      FUZZ_CHECK(!line.Given("stats-format") || line.stats, "a stats format for --stats");
      FUZZ_CHECK(!line.Given("stats-units") || line.stats || line.summary ||
                     line.options.report == ReportKind::Review,
                 "stats units for scores");
      return;
    case Action::Batch:
      FUZZ_CHECK(!line.outDir.empty(), "a batch has its folder");
      FUZZ_CHECK(!line.stats && !line.output && !line.pairs, "a batch writes into its folder");
      FUZZ_CHECK(line.batchList.empty() || (line.source.empty() && line.target.empty()),
                 "a list or two folders, not both");
      FUZZ_CHECK(!line.shard || (line.shard->index >= 1 && line.shard->index <= line.shard->count),
                 "a shard that exists");
      FUZZ_CHECK(!line.Given("stats-format") && !line.Given("merge-stats"),
                 "no stats format and no merge in a batch");
      return;
    case Action::MergeStats:
      FUZZ_CHECK(!line.mergeOutput.empty() && !line.mergeInputs.empty(), "a merge has files");
      for (const std::string& input : line.mergeInputs) {
        FUZZ_CHECK(input != "-", "a merge reads files");
      }
      for (const std::string& name : line.optionsGiven) {
        FUZZ_CHECK(name == "merge-stats" || name == "summary", "a merge takes only --summary");
      }
      return;
  }
}

// The first argument, when it is an option with an attached value, taken apart: the option
// alone, then its value.
std::optional<std::vector<std::string_view>> Detached(const std::vector<std::string_view>& args) {
  if (args.empty() || !args[0].starts_with('-') || args[0] == "-" || args[0] == "--") {
    return std::nullopt;
  }
  const std::string_view arg = args[0];
  std::string_view name;
  std::string_view option;
  std::string_view value;
  if (arg.starts_with("--")) {
    const std::size_t equals = arg.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    option = arg.substr(0, equals);
    name = option.substr(2);
    value = arg.substr(equals + 1);
  } else {
    if (arg.size() <= 2) return std::nullopt;
    option = arg.substr(0, 2);
    name = option.substr(1);
    value = arg.substr(2);
  }
  for (const CommandLineOption& row : CommandLineOptions()) {
    const bool letter = !row.letter.empty() && row.letter == name;
    if (row.kind == CommandLineOption::Kind::Value && (row.name == name || letter)) {
      std::vector<std::string_view> detached{option, value};
      detached.insert(detached.end(), args.begin() + 1, args.end());
      return detached;
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> args;
  for (std::size_t start = 0; start <= text.size() && args.size() < 64;) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    args.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (size == 0) args.clear();

  CheckRules(args);
  const std::string outcome = Outcome(args);
  if (const auto detached = Detached(args)) {
    FUZZ_CHECK(Outcome(*detached) == outcome, "attached and detached values differ: " + outcome);
  }
  return 0;
}

#include "command_line.h"

#include <array>
#include <limits>

#include "text/input_decoding.h"

#ifndef SOROWA_VERSION
#define SOROWA_VERSION "1.0.0"
#endif

namespace sorowa {
namespace {

struct TableSwitch {
  std::string_view name;
  bool CompareOptions::*field;
};

// In the order the tables appear in a report.
constexpr std::array<TableSwitch, 5> kTableSwitches{{
    {"char-dp", &CompareOptions::charDp},
    {"morpheme-dp", &CompareOptions::morphemeDp},
    {"pseudo-bunsetsu-dp", &CompareOptions::pseudoBunsetsuDp},
    {"pseudo-bunsetsu-match", &CompareOptions::pseudoBunsetsuMatch},
    {"morpheme-match", &CompareOptions::morphemeMatch},
}};

void SetAllTables(CompareOptions& options, bool on) {
  for (const auto& table : kTableSwitches) options.*table.field = on;
}

// Returns true when name is a table switch (with or without "no-") and applies it.
bool ApplyTableSwitch(std::string_view name, CompareOptions& options) {
  bool on = true;
  if (name.starts_with("no-")) {
    on = false;
    name.remove_prefix(3);
  }
  for (const auto& table : kTableSwitches) {
    if (table.name == name) {
      options.*table.field = on;
      return true;
    }
  }
  return false;
}

// Parses K/N with 1 <= K <= N.
Shard ParseShard(std::string_view text) {
  const std::string quoted = "'" + std::string(text) + "'";
  const std::size_t slash = text.find('/');
  auto number = [&](std::string_view digits) {
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      throw UsageError("invalid shard " + quoted + " (expected K/N, for example 2/8)");
    }
    return static_cast<std::size_t>(std::stoul(std::string(digits)));
  };
  if (slash == std::string_view::npos) {
    throw UsageError("invalid shard " + quoted + " (expected K/N, for example 2/8)");
  }
  Shard shard{number(text.substr(0, slash)), number(text.substr(slash + 1))};
  if (shard.count == 0 || shard.index == 0 || shard.index > shard.count) {
    throw UsageError("invalid shard " + quoted + ": K must be from 1 to N");
  }
  return shard;
}

}  // namespace

CommandLine::StatsFormat ResolveStatsFormat(const CommandLine& line) {
  if (line.statsFormat != CommandLine::StatsFormat::FromName) return line.statsFormat;
  const std::string& name = line.stats.value_or("");
  const bool tsv = name.size() >= 4 && (name.ends_with(".tsv") || name.ends_with(".TSV"));
  return tsv ? CommandLine::StatsFormat::Tsv : CommandLine::StatsFormat::Json;
}

std::size_t ParseByteCount(std::string_view text) {
  const std::string quoted = "'" + std::string(text) + "'";
  std::size_t multiplier = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K':
      case 'k':
        multiplier = std::size_t{1} << 10;
        break;
      case 'M':
      case 'm':
        multiplier = std::size_t{1} << 20;
        break;
      case 'G':
      case 'g':
        multiplier = std::size_t{1} << 30;
        break;
      default:
        break;
    }
    if (multiplier != 1) text.remove_suffix(1);
  }
  if (text.empty()) throw UsageError("invalid byte count " + quoted);
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  std::size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw UsageError("invalid byte count " + quoted);
    const auto digit = static_cast<std::size_t>(c - '0');
    if (value > (kMax - digit) / 10) throw UsageError("byte count " + quoted + " is too large");
    value = value * 10 + digit;
  }
  if (value > kMax / multiplier) throw UsageError("byte count " + quoted + " is too large");
  value *= multiplier;
  if (value == 0) throw UsageError("byte count " + quoted + " must be above zero");
  return value;
}

CommandLine ParseCommandLine(const std::vector<std::string_view>& args) {
  CommandLine line;
  std::vector<std::string_view> operands;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }

    // Split "--name=value" and "-oVALUE" into a name and an attached value.
    std::string_view name;
    std::optional<std::string_view> attached;
    if (arg.starts_with("--")) {
      name = arg.substr(2);
      if (const auto equals = name.find('='); equals != std::string_view::npos) {
        attached = name.substr(equals + 1);
        name = name.substr(0, equals);
      }
    } else {
      name = arg.substr(1, 1);
      if (arg.size() > 2) attached = arg.substr(2);
    }
    const std::string shown(arg.starts_with("--") ? "--" + std::string(name)
                                                  : "-" + std::string(name));
    auto takeValue = [&]() -> std::string_view {
      if (attached) return *attached;
      if (i + 1 >= args.size()) throw UsageError("option " + shown + " needs a value");
      return args[++i];
    };
    auto noValue = [&] {
      if (attached) throw UsageError("option " + shown + " takes no value");
    };

    if (name == "help" || name == "h") {
      noValue();
      line.action = CommandLine::Action::Help;
      return line;
    }
    if (name == "version") {
      noValue();
      line.action = CommandLine::Action::Version;
      return line;
    }
    if (name == "o" || name == "output") {
      const std::string_view value = takeValue();
      if (value.empty()) throw UsageError("option " + shown + " needs a file name");
      line.output = std::string(value);
    } else if (name == "pairs") {
      const std::string_view value = takeValue();
      if (value.empty()) throw UsageError("option " + shown + " needs a file name");
      line.pairs = std::string(value);
    } else if (name == "align-lines" || name == "no-align-lines") {
      noValue();
      line.options.alignLines = name == "align-lines";
    } else if (name == "encoding" || name == "source-encoding" || name == "target-encoding") {
      const std::string_view value = takeValue();
      if (!IsAutoEncoding(value) && !IsKnownEncoding(value)) {
        throw UsageError("unknown encoding '" + std::string(value) +
                         "' (use auto, or a name from iconv --list)");
      }
      if (name != "target-encoding") line.sourceEncoding = std::string(value);
      if (name != "source-encoding") line.targetEncoding = std::string(value);
    } else if (name == "max-table-memory") {
      line.maxTableMemory = ParseByteCount(takeValue());
    } else if (name == "stats") {
      const std::string_view value = takeValue();
      if (value.empty()) throw UsageError("option --stats needs a file name");
      line.stats = std::string(value);
    } else if (name == "stats-format") {
      const std::string_view value = takeValue();
      if (value == "json") {
        line.statsFormat = CommandLine::StatsFormat::Json;
      } else if (value == "tsv") {
        line.statsFormat = CommandLine::StatsFormat::Tsv;
      } else {
        throw UsageError("unknown stats format '" + std::string(value) + "' (json or tsv)");
      }
    } else if (name == "stats-units") {
      const std::string_view value = takeValue();
      if (value == "chars") {
        line.morphemeScores = false;
      } else if (value == "chars,morphemes" || value == "morphemes,chars") {
        line.morphemeScores = true;
      } else {
        throw UsageError("unknown stats units '" + std::string(value) +
                         "' (chars, or chars,morphemes)");
      }
    } else if (name == "summary") {
      noValue();
      line.summary = true;
    } else if (name == "no-report") {
      noValue();
      line.noReport = true;
    } else if (name == "normalize") {
      const std::string_view value = takeValue();
      if (value == "nfc") {
        line.normalization.form = UnicodeForm::Nfc;
      } else if (value == "nfkc") {
        line.normalization.form = UnicodeForm::Nfkc;
      } else if (value == "none") {
        line.normalization.form = UnicodeForm::None;
      } else {
        throw UsageError("unknown normalisation '" + std::string(value) + "' (nfc, nfkc or none)");
      }
    } else if (name == "fold-kana") {
      noValue();
      line.normalization.foldKana = true;
    } else if (name == "ignore-space") {
      noValue();
      line.normalization.ignoreSpace = true;
    } else if (name == "ignore-punctuation") {
      noValue();
      line.normalization.ignorePunctuation = true;
    } else if (name == "merge-stats") {
      const std::string_view value = takeValue();
      if (value.empty()) throw UsageError("option --merge-stats needs a file name");
      line.action = CommandLine::Action::MergeStats;
      line.mergeOutput = std::string(value);
    } else if (name == "batch") {
      noValue();
      line.action = CommandLine::Action::Batch;
    } else if (name == "batch-list") {
      const std::string_view value = takeValue();
      if (value.empty()) throw UsageError("option --batch-list needs a file name");
      line.action = CommandLine::Action::Batch;
      line.batchList = std::string(value);
    } else if (name == "out-dir") {
      const std::string_view value = takeValue();
      if (value.empty()) throw UsageError("option --out-dir needs a directory name");
      line.outDir = std::string(value);
    } else if (name == "shard") {
      line.shard = ParseShard(takeValue());
    } else if (name == "all" || name == "none") {
      noValue();
      SetAllTables(line.options, name == "all");
    } else if (arg.starts_with("--") && ApplyTableSwitch(name, line.options)) {
      noValue();
    } else {
      throw UsageError("unknown option " + shown);
    }
  }

  if (line.action == CommandLine::Action::MergeStats) {
    if (line.stats || line.output || line.pairs || !line.outDir.empty() || line.shard ||
        line.noReport || !line.batchList.empty() || line.morphemeScores ||
        line.normalization.any()) {
      throw UsageError("--merge-stats combines finished results; only --summary goes with it");
    }
    if (operands.empty()) throw UsageError("--merge-stats needs the result files to combine");
    for (std::string_view operand : operands) {
      if (operand == "-") throw UsageError("--merge-stats reads files, not standard input");
      line.mergeInputs.emplace_back(operand);
    }
    return line;
  }
  if (line.action == CommandLine::Action::Batch) {
    if (line.outDir.empty()) throw UsageError("a batch needs --out-dir DIR for its results");
    if (line.stats || line.output) {
      throw UsageError(
          "a batch writes its reports and stats into --out-dir; -o and --stats "
          "do not go with it");
    }
    if (!line.batchList.empty()) {
      if (!operands.empty()) {
        throw UsageError("--batch-list takes its files from the list; give no directories");
      }
      return line;
    }
    if (operands.size() != 2) throw UsageError("--batch needs SOURCE_DIR and TARGET_DIR");
    line.source = std::string(operands[0]);
    line.target = std::string(operands[1]);
    return line;
  }
  if (!line.outDir.empty() || line.shard) {
    throw UsageError("--out-dir and --shard go with --batch or --batch-list");
  }
  if (line.noReport && !line.stats && !line.summary) {
    throw UsageError("--no-report needs --stats or --summary, or nothing would be written");
  }
  if (line.noReport && line.output) {
    throw UsageError("--no-report writes no report; -o does not go with it");
  }
  if (line.stats == "-" && (line.output == "-" || line.pairs == "-")) {
    throw UsageError(std::string("the stats and the ") + (line.output == "-" ? "report" : "pairs") +
                     " cannot both go to standard output ('-')");
  }
  if (operands.size() != 2) {
    throw UsageError(operands.size() < 2 ? "missing SOURCE or TARGET file"
                                         : "too many files: give exactly SOURCE and TARGET");
  }
  if (operands[0] == "-" && operands[1] == "-") {
    throw UsageError("only one of SOURCE and TARGET can be standard input ('-')");
  }
  if (line.output == "-" && line.pairs == "-") {
    throw UsageError("the report and the pairs cannot both go to standard output ('-')");
  }
  line.source = std::string(operands[0]);
  line.target = std::string(operands[1]);
  return line;
}

bool IsAutoEncoding(std::string_view encoding) {
  return encoding.size() == 4 && (encoding[0] | 0x20) == 'a' && (encoding[1] | 0x20) == 'u' &&
         (encoding[2] | 0x20) == 't' && (encoding[3] | 0x20) == 'o';
}

std::string HelpText() {
  return R"(Usage: sorowa-compare [OPTIONS] SOURCE TARGET
       sorowa-compare --batch --out-dir DIR [OPTIONS] SOURCE_DIR TARGET_DIR
       sorowa-compare --merge-stats OUT.json IN.json...
Compare two Japanese texts line by line and write an HTML report.

Lines are paired by position unless --align-lines is given; lines of the longer text
left without a partner are named on standard error. SOURCE or TARGET may be '-' for
standard input (only one of them). Without -o, the report is written as a new file into
the temporary directory ($TMPDIR, else /tmp) and its path is printed on standard output
(on standard error when --pairs writes to standard output).

Tables (later options override earlier ones):
      --char-dp                character-level DP alignment (default: off)
      --morpheme-dp            morpheme-level DP alignment (default: on)
      --pseudo-bunsetsu-dp     pseudo-bunsetsu-level DP alignment (default: on)
      --pseudo-bunsetsu-match  pseudo-bunsetsu matching table (default: on)
      --morpheme-match         morpheme matching table (default: on)
      --no-char-dp, --no-morpheme-dp, ...
                               leave that table out
      --all                    all five tables
      --none                   no tables (only the separators between line pairs)

Pairing (not changed by --all and --none):
      --align-lines            pair lines by content: inserted and deleted lines stand
                               alone, a line split in two or two lines merged are
                               compared joined (default: off, line i with line i)
      --no-align-lines         pair line i with line i

Input and output:
      --encoding NAME          read both files in encoding NAME, any name iconv knows
                               (e.g. CP932, SHIFT_JIS, EUC-JP, UTF-16LE). Default: UTF-8,
                               or UTF-16 when the file starts with a UTF-16 byte order mark.
                               'auto' finds each file's encoding: UTF-8 (with or without
                               BOM), UTF-16 with BOM, CP932, EUC-JP or ISO-2022-JP
      --source-encoding NAME   the same for SOURCE only
      --target-encoding NAME   the same for TARGET only (e.g. --source-encoding CP932 for
                               an old Shift_JIS version against a new UTF-8 one)
  -o, --output FILE            write the report to FILE (replaced atomically);
                               '-' writes it to standard output
      --pairs FILE             also write the line pairs to FILE (replaced atomically;
                               '-' for standard output), one pair a line in report order:
                               Source lines, a tab, Target lines. Lines are numbered from
                               1 counting empty ones; '12+13' for two lines joined, '-'
                               for none

Scores (docs/scores.md defines every figure; SOURCE is the reference, TARGET the
hypothesis):
      --stats FILE             write per-pair and total error counts and rates, the
                               confusions and the accuracy per character class to FILE;
                               '-' writes them to standard output
      --stats-format FORMAT    json or tsv. Default: tsv for a FILE ending in .tsv, else json
      --stats-units UNITS      chars (default), or chars,morphemes for morpheme error rates
                               too
      --summary                print pairs, error rates and the top confusions on standard
                               error
      --no-report              write no HTML report (with --stats or --summary)

Normalisation (off by default; applied to both texts before anything is compared, so the
tables, the pairing and the scores all see, and the report shows, the normalised text):
      --normalize FORM         nfc or nfkc: Unicode normalisation (nfkc also folds
                               full-width and half-width forms); none turns it off
      --fold-kana              read katakana as hiragana (ー stays as it is)
      --ignore-space           remove white space
      --ignore-punctuation     remove punctuation (Unicode category P)

Many documents:
      --batch SOURCE_DIR TARGET_DIR
                               compare every file of SOURCE_DIR with the file of the same
                               relative path in TARGET_DIR
      --batch-list FILE        compare the pairs of FILE instead: a Source path, a tab and a
                               Target path per line
      --out-dir DIR            where a batch writes its reports, stats.json, stats.tsv and
                               index.html
      --shard K/N              process only the K-th of N fixed shares of the documents
      --merge-stats OUT IN...  combine the JSON results IN (shards, runs) exactly into OUT;
                               operands are the IN files

Advanced:
      --max-table-memory BYTES the most memory one alignment table may take; suffixes
                               K, M, G. Default: derived from physical memory

  -h, --help                   show this help and exit
      --version                show the version and exit

Exit status: 0 on success, 1 when the comparison or the report failed, 2 for a usage
error. SIGINT, SIGTERM or SIGHUP stops a run: its partial report is removed and the program
ends by that signal (status 128 + the signal's number, 130 for Ctrl-C). When the reader of
standard output goes away (as with '| head'), it ends quietly by SIGPIPE (status 141).
)";
}

std::string VersionText() { return "sorowa-compare " SOROWA_VERSION "\n"; }

}  // namespace sorowa

#include "command_line.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

#include "command_line_options.h"

#ifndef SOROWA_VERSION
#define SOROWA_VERSION "1.0.0"
#endif

namespace sorowa {
namespace {

using Action = CommandLine::Action;

// An option as written: "--name=value" and "-oVALUE" split into a name and an attached value.
struct WrittenOption {
  std::string_view name;
  std::optional<std::string_view> attached;
  std::string shown;  // the dashes and the name, for messages
};

WrittenOption SplitOption(std::string_view arg) {
  WrittenOption written;
  if (arg.starts_with("--")) {
    written.name = arg.substr(2);
    if (const auto equals = written.name.find('='); equals != std::string_view::npos) {
      written.attached = written.name.substr(equals + 1);
      written.name = written.name.substr(0, equals);
    }
    written.shown = "--" + std::string(written.name);
  } else {
    written.name = arg.substr(1, 1);
    if (arg.size() > 2) written.attached = arg.substr(2);
    written.shown = "-" + std::string(written.name);
  }
  return written;
}

// The row of a name, and whether the name is the "no-" form of a switch; null when there is
// none. After one dash the name is a single letter, so long names need two; a letter is
// taken after two dashes as well (--o FILE).
std::pair<const CommandLineOption*, bool> FindOption(std::string_view name) {
  for (const CommandLineOption& option : CommandLineOptions()) {
    if (option.name == name || (!option.letter.empty() && option.letter == name)) {
      return {&option, true};
    }
  }
  if (name.starts_with("no-")) {
    name.remove_prefix(3);
    for (const CommandLineOption& option : CommandLineOptions()) {
      if (option.kind == CommandLineOption::Kind::Negatable && option.name == name) {
        return {&option, false};
      }
    }
  }
  return {nullptr, false};
}

// Applies the option args[i], taking its value from args[i + 1] when it is not attached.
void ApplyOption(const std::vector<std::string_view>& args, std::size_t& i, CommandLine& line) {
  const WrittenOption written = SplitOption(args[i]);
  const auto [option, on] = FindOption(written.name);
  if (option == nullptr) throw UsageError("unknown option " + written.shown);
  OptionUse use{.shown = written.shown, .value = {}, .on = on};
  if (option->kind == CommandLineOption::Kind::Value) {
    if (written.attached) {
      use.value = *written.attached;
    } else if (i + 1 < args.size()) {
      use.value = args[++i];
    } else {
      throw UsageError("option " + written.shown + " needs a value");
    }
  } else if (written.attached) {
    throw UsageError("option " + written.shown + " takes no value");
  }
  option->apply(line, use);
  line.optionsGiven.emplace_back(option->name);
}

// Options that have no effect where they stand would be silently dropped; they are refused
// instead, naming the first of them.
void RefuseUnused(const CommandLine& line, std::initializer_list<std::string_view> allowed,
                  const std::string& why) {
  for (const std::string& name : line.optionsGiven) {
    if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
      throw UsageError(why + ", not --" + name);
    }
  }
}

// --changed-only and --no-report against the kind of report asked for.
void CheckReportKind(const CommandLine& line) {
  if (line.options.report == ReportKind::Review && line.noReport) {
    throw UsageError("--no-report writes no report; --report review does not go with it");
  }
  if (line.options.changedOnly && line.options.report != ReportKind::Review) {
    throw UsageError("--changed-only goes with --report review");
  }
}

CommandLine FinishMergeStats(CommandLine line, const std::vector<std::string_view>& operands) {
  RefuseUnused(line, {"merge-stats", "summary"},
               "--merge-stats combines finished results; only --summary goes with it");
  if (operands.empty()) throw UsageError("--merge-stats needs the result files to combine");
  for (std::string_view operand : operands) {
    if (operand == "-") throw UsageError("--merge-stats reads files, not standard input");
    line.mergeInputs.emplace_back(operand);
  }
  return line;
}

CommandLine FinishBatch(CommandLine line, const std::vector<std::string_view>& operands) {
  if (line.outDir.empty()) throw UsageError("a batch needs --out-dir DIR for its results");
  CheckReportKind(line);
  if (line.stats || line.output || line.pairs) {
    throw UsageError(
        "a batch writes its reports and stats into --out-dir; -o, --stats and --pairs "
        "do not go with it");
  }
  if (line.Given("stats-format")) {
    throw UsageError(
        "a batch writes both stats.json and stats.tsv; --stats-format does not go "
        "with it");
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

CommandLine FinishCompare(CommandLine line, const std::vector<std::string_view>& operands) {
  if (!line.outDir.empty() || line.shard) {
    throw UsageError("--out-dir and --shard go with --batch or --batch-list");
  }
  if (line.noReport && !line.stats && !line.summary) {
    throw UsageError("--no-report needs --stats or --summary, or nothing would be written");
  }
  if (line.noReport && line.output) {
    throw UsageError("--no-report writes no report; -o does not go with it");
  }
  CheckReportKind(line);
  if (line.Given("stats-format") && !line.stats) {
    throw UsageError("--stats-format says how --stats writes; give --stats FILE as well");
  }
  // The review page shows the scores itself; the tables report does not.
  if (line.Given("stats-units") && !line.stats && !line.summary &&
      line.options.report != ReportKind::Review) {
    throw UsageError(
        "--stats-units says what --stats, --summary and --report review count; give one of "
        "them");
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

}  // namespace

bool CommandLine::Given(std::string_view name) const {
  return std::find(optionsGiven.begin(), optionsGiven.end(), name) != optionsGiven.end();
}

CommandLine::StatsFormat ResolveStatsFormat(const CommandLine& line) {
  if (line.statsFormat != CommandLine::StatsFormat::FromName) return line.statsFormat;
  const std::string& name = line.stats.value_or("");
  const bool tsv = name.size() >= 4 && (name.ends_with(".tsv") || name.ends_with(".TSV"));
  return tsv ? CommandLine::StatsFormat::Tsv : CommandLine::StatsFormat::Json;
}

ScoreUnits ResolveScoreUnits(const CommandLine& line) {
  const bool batch = line.action == CommandLine::Action::Batch;
  if (line.options.report == ReportKind::Review && !line.noReport) {
    // The review page shows the character figures whatever is asked, and the morpheme
    // figures only when asked: MeCab's analysis would take most of its time.
    if (line.morphemeScores.value_or(false)) return ScoreUnits::CharsAndMorphemes;
    return batch || line.stats || line.summary ? ScoreUnits::Chars : ScoreUnits::None;
  }
  if (!batch && !line.stats && !line.summary) return ScoreUnits::None;
  const bool morphemeTable = line.options.morphemeDp || line.options.morphemeMatch;
  const bool morphemes = line.morphemeScores.value_or(!line.noReport && morphemeTable);
  return morphemes ? ScoreUnits::CharsAndMorphemes : ScoreUnits::Chars;
}

CompareOptions ResolveCompareOptions(const CommandLine& line) {
  CompareOptions options = line.options;
  options.normalization = line.normalization;
  options.scores = ResolveScoreUnits(line);
  options.writeTables = !line.noReport;
  // What the review page's title and head call the two texts.
  options.sourceName = line.source == "-" ? "標準入力" : line.source;
  options.targetName = line.target == "-" ? "標準入力" : line.target;
  return options;
}

CommandLine ParseCommandLine(const std::vector<std::string_view>& args) {
  CommandLine line;
  std::vector<std::string_view> operands;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
      operands.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else {
      ApplyOption(args, i, line);
      if (line.action == Action::Help || line.action == Action::Version) return line;
    }
  }
  if (line.Given("merge-stats") && (line.Given("batch") || line.Given("batch-list"))) {
    throw UsageError("--merge-stats combines finished results and " +
                     std::string(line.Given("batch") ? "--batch" : "--batch-list") +
                     " runs documents; give one of them");
  }
  switch (line.action) {
    case Action::MergeStats:
      return FinishMergeStats(std::move(line), operands);
    case Action::Batch:
      return FinishBatch(std::move(line), operands);
    default:
      return FinishCompare(std::move(line), operands);
  }
}

// The help is text, kept as one literal so that it reads as it prints.
constexpr std::string_view kHelpText = R"(Usage: sorowa-compare [OPTIONS] SOURCE TARGET
       sorowa-compare --batch --out-dir DIR [OPTIONS] SOURCE_DIR TARGET_DIR
       sorowa-compare --merge-stats OUT.json IN.json...
Compare two Japanese texts line by line and write an HTML report.

Lines are paired by position unless --align-lines is given; lines of the longer text
left without a partner are named on standard error. SOURCE or TARGET may be '-' for
standard input (only one of them). Without -o, the report is written as a new file into
the temporary directory ($TMPDIR, else /tmp) and its path is printed on standard output
(on standard error when --pairs writes to standard output).

Report:
      --report KIND            tables: the alignment tables of every line pair (default);
                               review: one page made for reading, with the document's
                               figures and top confusions at its head and a row per line
                               pair, Source and Target side by side, every substituted,
                               deleted and inserted character marked
      --changed-only           with --report review: leave identical line pairs out (the
                               page says how many)

Tables of --report tables (later options override earlier ones):
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
      --align-lines            pair lines by content, whatever the line breaks: a pair
                               joins as many consecutive lines of either side as the
                               text needs, inserted and deleted lines stand alone, and
                               moved lines are paired where they went (default: off,
                               line i with line i)
      --no-align-lines         pair line i with line i

Input and output:
      --encoding NAME          read both files in encoding NAME, any name iconv knows
                               (e.g. CP932, SHIFT_JIS, EUC-JP, UTF-16LE). Default: UTF-8,
                               or UTF-16 or UTF-32 when the file starts with their byte
                               order mark. 'auto' finds each file's encoding: UTF-8 (with or
                               without BOM), UTF-16 or UTF-32 with BOM, CP932, EUC-JP or
                               ISO-2022-JP
      --source-encoding NAME   the same for SOURCE only
      --target-encoding NAME   the same for TARGET only (e.g. --source-encoding CP932 for
                               an old Shift_JIS version against a new UTF-8 one)
      --input-format FORMAT    read both files as auto (the default: found from the
                               content), text, pdf, docx, odt, hocr, alto or page. A
                               document gives one line per line of text in reading order
      --source-input-format FORMAT, --target-input-format FORMAT
                               the same for one file
      --keep-ruby              keep the ruby of .docx and .odt files, in parentheses after
                               the text it reads (default: left out)
  -o, --output FILE            write the report to FILE (replaced atomically; a link is
                               followed, even one whose file does not exist yet);
                               '-' writes it to standard output. No output may be the
                               same file as SOURCE, TARGET or another output
      --pairs FILE             also write the line pairs to FILE (replaced atomically;
                               '-' for standard output), one pair a line in report order:
                               Source lines, a tab, Target lines. Lines are numbered from
                               1 counting empty ones; '12+13' for two lines joined,
                               '12-40' for three or more, '-' for none; with
                               --align-lines in Target order, moved pairs at their Target
                               lines

Scores (docs/scores.md defines every figure; SOURCE is the reference, TARGET the
hypothesis):
      --stats FILE             write per-pair and total error counts and rates, the
                               confusions and the accuracy per character class to FILE;
                               '-' writes them to standard output
      --stats-format FORMAT    json or tsv. Default: tsv for a FILE ending in .tsv, else json
      --stats-units UNITS      chars, or chars,morphemes for morpheme error rates too.
                               Default: morphemes too when a morpheme table is written
                               (never by default with --report review, whose head shows
                               them when asked)
      --summary                print pairs, error rates and the top confusions on standard
                               error
      --no-report              write no HTML report, only the scores (with --stats or
                               --summary, or in a batch)

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
                               index.html; a document that fails is listed with its error
                               and the others go on (exit status 1). With --report review,
                               each document gets a review page and index.html pictures of
                               the error rates, the accuracy per character class and the
                               top confusions. DIR may not be or lie inside SOURCE_DIR or
                               TARGET_DIR; one batch at a time writes into it, and links
                               inside it are replaced, never followed
      --shard K/N              process only the K-th of N fixed shares of the documents
      --merge-stats OUT IN...  combine the JSON results IN (shards, runs) exactly into OUT;
                               operands are the IN files, each merged only once

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

std::string HelpText() { return std::string(kHelpText); }

std::string VersionText() { return "sorowa-compare " SOROWA_VERSION "\n"; }

}  // namespace sorowa

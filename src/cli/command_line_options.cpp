#include "command_line_options.h"

#include <limits>
#include <string>

#include "text/input_decoding.h"
#include "text/text_file.h"

namespace sorowa {
namespace {

using Action = CommandLine::Action;
using Kind = CommandLineOption::Kind;

[[noreturn]] void ThrowUnknownValue(std::string_view what, std::string_view value,
                                    std::string_view hint) {
  throw UsageError("unknown " + std::string(what) + " '" + std::string(value) + "' (" +
                   std::string(hint) + ")");
}

// A word among fixed choices: an unknown one is an error that names what was asked and, in the
// hint, the words there are.
template <typename T>
struct Choice {
  std::string_view word;
  T value;
};

template <typename T, std::size_t N>
T Choose(const OptionUse& use, const Choice<T> (&choices)[N], std::string_view what,
         std::string_view hint) {
  for (const Choice<T>& choice : choices) {
    if (choice.word == use.value) return choice.value;
  }
  ThrowUnknownValue(what, use.value, hint);
}

// A value that names a file or a directory; empty, it would name the current directory or
// nothing at all.
std::string NameOf(const OptionUse& use, std::string_view noun = "a file name") {
  if (use.value.empty()) {
    throw UsageError("option " + std::string(use.shown) + " needs " + std::string(noun));
  }
  return std::string(use.value);
}

std::string EncodingOf(const OptionUse& use) {
  if (!IsAutoEncoding(use.value) && !IsKnownEncoding(use.value)) {
    ThrowUnknownValue("encoding", use.value, "use auto, or a name from iconv --list");
  }
  return std::string(use.value);
}

// An --input-format value; nothing for auto.
std::optional<InputFormat> InputFormatOf(const OptionUse& use) {
  if (use.value == "auto") return std::nullopt;
  const std::optional<InputFormat> format = ParseInputFormat(use.value);
  if (!format) {
    ThrowUnknownValue("input format", use.value, "auto, text, pdf, docx, odt, hocr, alto or page");
  }
  return format;
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

// A table of the report, switched on by --NAME and off by --no-NAME.
template <bool CompareOptions::*table>
void SetTable(CommandLine& line, const OptionUse& use) {
  line.options.*table = use.on;
}

// --all and --none: the five tables, and not the pairing, which is no table.
template <bool on>
void SetAllTables(CommandLine& line, const OptionUse&) {
  for (bool CompareOptions::*table :
       {&CompareOptions::charDp, &CompareOptions::morphemeDp, &CompareOptions::pseudoBunsetsuDp,
        &CompareOptions::pseudoBunsetsuMatch, &CompareOptions::morphemeMatch}) {
    line.options.*table = on;
  }
}

constexpr Choice<CommandLine::StatsFormat> kStatsFormats[] = {
    {"json", CommandLine::StatsFormat::Json},
    {"tsv", CommandLine::StatsFormat::Tsv},
};

// Whether the morphemes are scored as well as the characters.
constexpr Choice<bool> kStatsUnits[] = {
    {"chars", false},
    {"chars,morphemes", true},
    {"morphemes,chars", true},
};

constexpr Choice<UnicodeForm> kUnicodeForms[] = {
    {"nfc", UnicodeForm::Nfc},
    {"nfkc", UnicodeForm::Nfkc},
    {"none", UnicodeForm::None},
};

constexpr Choice<ReportKind> kReportKinds[] = {
    {"tables", ReportKind::Tables},
    {"review", ReportKind::Review},
};

constexpr CommandLineOption kOptions[] = {
    // What the report is.
    {"report", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.options.report = Choose(use, kReportKinds, "report", "tables or review");
     }},
    {"changed-only", "", Kind::Switch,
     [](CommandLine& line, const OptionUse&) { line.options.changedOnly = true; }},

    // Tables, in the order they appear in a report.
    {"char-dp", "", Kind::Negatable, SetTable<&CompareOptions::charDp>},
    {"morpheme-dp", "", Kind::Negatable, SetTable<&CompareOptions::morphemeDp>},
    {"pseudo-bunsetsu-dp", "", Kind::Negatable, SetTable<&CompareOptions::pseudoBunsetsuDp>},
    {"pseudo-bunsetsu-match", "", Kind::Negatable, SetTable<&CompareOptions::pseudoBunsetsuMatch>},
    {"morpheme-match", "", Kind::Negatable, SetTable<&CompareOptions::morphemeMatch>},
    {"all", "", Kind::Switch, SetAllTables<true>},
    {"none", "", Kind::Switch, SetAllTables<false>},

    // Pairing.
    {"align-lines", "", Kind::Negatable,
     [](CommandLine& line, const OptionUse& use) { line.options.alignLines = use.on; }},

    // Input and output.
    {"encoding", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.sourceEncoding = EncodingOf(use);
       line.targetEncoding = line.sourceEncoding;
     }},
    {"source-encoding", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) { line.sourceEncoding = EncodingOf(use); }},
    {"target-encoding", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) { line.targetEncoding = EncodingOf(use); }},
    {"input-format", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.sourceFormat = InputFormatOf(use);
       line.targetFormat = line.sourceFormat;
     }},
    {"source-input-format", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) { line.sourceFormat = InputFormatOf(use); }},
    {"target-input-format", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) { line.targetFormat = InputFormatOf(use); }},
    {"keep-ruby", "", Kind::Negatable,
     [](CommandLine& line, const OptionUse& use) { line.keepRuby = use.on; }},
    {"output", "o", Kind::Value,
     [](CommandLine& line, const OptionUse& use) { line.output = NameOf(use); }},
    {"pairs", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) { line.pairs = NameOf(use); }},

    // Scores.
    {"stats", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) { line.stats = NameOf(use); }},
    {"stats-format", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.statsFormat = Choose(use, kStatsFormats, "stats format", "json or tsv");
     }},
    {"stats-units", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.morphemeScores = Choose(use, kStatsUnits, "stats units", "chars, or chars,morphemes");
     }},
    {"summary", "", Kind::Switch, [](CommandLine& line, const OptionUse&) { line.summary = true; }},
    {"no-report", "", Kind::Switch,
     [](CommandLine& line, const OptionUse&) { line.noReport = true; }},

    // Normalisation.
    {"normalize", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.normalization.form = Choose(use, kUnicodeForms, "normalisation", "nfc, nfkc or none");
     }},
    {"fold-kana", "", Kind::Switch,
     [](CommandLine& line, const OptionUse&) { line.normalization.foldKana = true; }},
    {"ignore-space", "", Kind::Switch,
     [](CommandLine& line, const OptionUse&) { line.normalization.ignoreSpace = true; }},
    {"ignore-punctuation", "", Kind::Switch,
     [](CommandLine& line, const OptionUse&) { line.normalization.ignorePunctuation = true; }},

    // Many documents.
    {"batch", "", Kind::Switch,
     [](CommandLine& line, const OptionUse&) { line.action = Action::Batch; }},
    {"batch-list", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.batchList = NameOf(use);
       line.action = Action::Batch;
     }},
    {"out-dir", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.outDir = NameOf(use, "a directory name");
     }},
    {"shard", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) { line.shard = ParseShard(use.value); }},
    {"merge-stats", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.mergeOutput = NameOf(use);
       line.action = Action::MergeStats;
     }},

    // Advanced.
    {"max-table-memory", "", Kind::Value,
     [](CommandLine& line, const OptionUse& use) {
       line.maxTableMemory = ParseByteCount(use.value);
     }},

    // These two end the parsing where they stand.
    {"help", "h", Kind::Switch,
     [](CommandLine& line, const OptionUse&) { line.action = Action::Help; }},
    {"version", "", Kind::Switch,
     [](CommandLine& line, const OptionUse&) { line.action = Action::Version; }},
};

}  // namespace

std::span<const CommandLineOption> CommandLineOptions() { return kOptions; }

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

}  // namespace sorowa

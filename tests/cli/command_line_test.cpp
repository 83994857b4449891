#include "command_line.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "command_line_options.h"

namespace sorowa {
namespace {

// Options as a string of five flags in report order: char DP, morpheme DP, pseudo-bunsetsu
// DP, pseudo-bunsetsu match, morpheme match; then, after a space, the line pairing flag.
std::string Flags(const CompareOptions& o) {
  std::string flags;
  for (bool on :
       {o.charDp, o.morphemeDp, o.pseudoBunsetsuDp, o.pseudoBunsetsuMatch, o.morphemeMatch}) {
    flags += on ? '1' : '0';
  }
  return flags + (o.alignLines ? " 1" : " 0");
}

struct OptionsCase {
  std::vector<std::string_view> args;
  const char* flags;
};

void PrintArgs(const std::vector<std::string_view>& args, std::ostream* os) {
  for (std::string_view arg : args) *os << ' ' << arg;
}
void PrintTo(const OptionsCase& c, std::ostream* os) { PrintArgs(c.args, os); }

class TableOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(TableOptions, LaterOptionsOverrideEarlierOnes) {
  std::vector<std::string_view> args = GetParam().args;
  args.push_back("a.txt");
  args.push_back("b.txt");
  const CommandLine line = ParseCommandLine(args);
  EXPECT_EQ(Flags(line.options), GetParam().flags);
  EXPECT_EQ(line.source, "a.txt");
  EXPECT_EQ(line.target, "b.txt");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableOptions,
    testing::Values(OptionsCase{{}, "01111 0"},  // the window's start-up state
                    OptionsCase{{"--char-dp"}, "11111 0"},
                    OptionsCase{{"--no-morpheme-dp"}, "00111 0"},
                    OptionsCase{{"--no-pseudo-bunsetsu-dp"}, "01011 0"},
                    OptionsCase{{"--no-pseudo-bunsetsu-match"}, "01101 0"},
                    OptionsCase{{"--no-morpheme-match"}, "01110 0"},
                    OptionsCase{{"--none"}, "00000 0"}, OptionsCase{{"--all"}, "11111 0"},
                    OptionsCase{{"--all", "--none"}, "00000 0"},
                    OptionsCase{{"--none", "--all"}, "11111 0"},
                    OptionsCase{{"--none", "--morpheme-match", "--char-dp"}, "10001 0"},
                    OptionsCase{{"--char-dp", "--no-char-dp"}, "01111 0"},
                    OptionsCase{{"--no-char-dp", "--char-dp"}, "11111 0"},
                    OptionsCase{{"--pseudo-bunsetsu-match", "--none"}, "00000 0"},
                    OptionsCase{{"--all", "--no-morpheme-dp", "--no-morpheme-match"}, "10110 0"},
                    // Pairing is no table: --all and --none leave it as it is.
                    OptionsCase{{"--align-lines"}, "01111 1"},
                    OptionsCase{{"--align-lines", "--none"}, "00000 1"},
                    OptionsCase{{"--all", "--align-lines", "--all"}, "11111 1"},
                    OptionsCase{{"--align-lines", "--no-align-lines"}, "01111 0"}));

TEST(CommandLineTest, OperandsAndValues) {
  CommandLine line = ParseCommandLine({"-", "b.txt"});
  EXPECT_EQ(line.source, "-");
  EXPECT_FALSE(line.output.has_value());
  EXPECT_TRUE(line.sourceEncoding.empty());
  EXPECT_TRUE(line.targetEncoding.empty());
  EXPECT_EQ(line.maxTableMemory, 0u);

  // Values attached or separate, options after the operands, "--" before a file named "-x".
  line = ParseCommandLine({"a", "-o", "-", "--encoding=cp932", "--", "-x"});
  EXPECT_EQ(line.output, "-");
  EXPECT_EQ(line.sourceEncoding, "cp932");
  EXPECT_EQ(line.targetEncoding, "cp932");
  EXPECT_EQ(line.source, "a");
  EXPECT_EQ(line.target, "-x");

  // Each file its own encoding; --encoding sets both, later options override.
  line = ParseCommandLine(
      {"--encoding=AUTO", "--source-encoding", "cp932", "--target-encoding=utf-8", "a", "b"});
  EXPECT_EQ(line.sourceEncoding, "cp932");
  EXPECT_EQ(line.targetEncoding, "utf-8");
  EXPECT_TRUE(IsAutoEncoding(ParseCommandLine({"--encoding", "Auto", "a", "b"}).targetEncoding));

  // Formats: auto (nothing) unless named; --input-format sets both.
  EXPECT_FALSE(line.sourceFormat.has_value());
  line = ParseCommandLine(
      {"--input-format=pdf", "--target-input-format", "auto", "--keep-ruby", "a", "b"});
  EXPECT_EQ(line.sourceFormat, InputFormat::Pdf);
  EXPECT_FALSE(line.targetFormat.has_value());
  EXPECT_TRUE(line.keepRuby);
  EXPECT_EQ(ParseCommandLine({"--source-input-format", "page", "a", "b"}).sourceFormat,
            InputFormat::Page);

  line = ParseCommandLine({"-oout.htm", "--max-table-memory", "2K", "a", "b"});
  EXPECT_EQ(line.output, "out.htm");
  EXPECT_EQ(line.maxTableMemory, 2048u);
  line = ParseCommandLine({"--output=x", "-o", "y", "a", "b"});
  EXPECT_EQ(line.output, "y");
  EXPECT_FALSE(line.pairs.has_value());

  // The pairs may go to standard output while the report goes elsewhere.
  line = ParseCommandLine({"--pairs", "-", "a", "b"});
  EXPECT_EQ(line.pairs, "-");
  line = ParseCommandLine({"-o", "-", "--pairs=p.tsv", "a", "b"});
  EXPECT_EQ(line.pairs, "p.tsv");
}

TEST(CommandLineTest, HelpAndVersionWinWhereTheyStand) {
  EXPECT_EQ(ParseCommandLine({"--help"}).action, CommandLine::Action::Help);
  EXPECT_EQ(ParseCommandLine({"a", "-h"}).action, CommandLine::Action::Help);
  EXPECT_EQ(ParseCommandLine({"--version", "--bogus"}).action, CommandLine::Action::Version);
  EXPECT_THROW(ParseCommandLine({"--bogus", "--help"}), UsageError);
  for (const char* option : {"--max-table-memory", "--align-lines", "--pairs"}) {
    EXPECT_NE(HelpText().find(option), std::string::npos) << option;
  }
  EXPECT_EQ(VersionText().rfind("sorowa-compare ", 0), 0u);
}

struct UsageCase {
  std::vector<std::string_view> args;
  const char* message;  // part of the error message
};

void PrintTo(const UsageCase& c, std::ostream* os) { PrintArgs(c.args, os); }

class UsageErrors : public testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, AreRejectedWithAMessage) {
  try {
    ParseCommandLine(GetParam().args);
    FAIL() << "accepted";
  } catch (const UsageError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageErrors,
    testing::Values(UsageCase{{}, "missing"}, UsageCase{{"a"}, "missing"},
                    UsageCase{{"a", "b", "c"}, "too many"}, UsageCase{{"-", "-"}, "standard input"},
                    UsageCase{{"--bogus", "a", "b"}, "unknown option --bogus"},
                    UsageCase{{"-x", "a", "b"}, "unknown option -x"},
                    // Switches exist only in their long form.
                    UsageCase{{"--no-all", "a", "b"}, "unknown option --no-all"},
                    UsageCase{{"--char-dp=yes", "a", "b"}, "takes no value"},
                    UsageCase{{"a", "b", "-o"}, "needs a value"},
                    UsageCase{{"-o", "", "a", "b"}, "needs a file name"},
                    UsageCase{{"--encoding", "NO-SUCH-THING", "a", "b"}, "unknown encoding"},
                    UsageCase{{"--input-format", "rtf", "a", "b"}, "unknown input format 'rtf'"},
                    UsageCase{{"--max-table-memory", "lots", "a", "b"}, "invalid byte count"},
                    UsageCase{{"--max-table-memory=0", "a", "b"}, "above zero"},
                    UsageCase{{"--align-lines=yes", "a", "b"}, "takes no value"},
                    UsageCase{{"a", "b", "--pairs"}, "needs a value"},
                    UsageCase{{"--pairs=", "a", "b"}, "needs a file name"},
                    UsageCase{{"-o", "-", "--pairs", "-", "a", "b"}, "both go to standard output"},
                    UsageCase{{"--report", "html", "a", "b"}, "unknown report 'html'"},
                    UsageCase{{"--changed-only", "a", "b"}, "goes with --report review"},
                    UsageCase{{"--report=review", "--no-report", "--summary", "a", "b"},
                              "--report review does not go with it"}));

// Every row of the option table is reached by the parser under its own name (no row hides
// another, no "no-" form hides a row), takes a value exactly when it says so, and is in the
// help.
TEST(CommandLineOptionsTest, EveryRowIsReachableAndDocumented) {
  using Kind = CommandLineOption::Kind;
  std::set<std::string> names;
  for (const CommandLineOption& option : CommandLineOptions()) {
    const std::string name = "--" + std::string(option.name);
    EXPECT_NE(HelpText().find(name), std::string::npos) << name;
    EXPECT_TRUE(names.insert(std::string(option.name)).second) << name << " twice";
    if (option.kind == Kind::Negatable) {
      EXPECT_TRUE(names.insert("no-" + std::string(option.name)).second) << name << " twice";
    }
    if (!option.letter.empty()) {
      EXPECT_EQ(option.letter.size(), 1u) << name;
      EXPECT_TRUE(names.insert(std::string(option.letter)).second) << option.letter << " twice";
      EXPECT_NE(HelpText().find("-" + std::string(option.letter) + ", " + name), std::string::npos);
    }
    // Last on the line, an option either needs its value or rejects one attached.
    const std::string attached = name + "=x";
    const std::vector<std::string_view> args =
        option.kind == Kind::Value ? std::vector<std::string_view>{"a", "b", name}
                                   : std::vector<std::string_view>{attached, "a", "b"};
    try {
      ParseCommandLine(args);
      ADD_FAILURE() << name << " accepted";
    } catch (const UsageError& e) {
      EXPECT_EQ(e.what(), "option " + name +
                              (option.kind == Kind::Value ? " needs a value" : " takes no value"));
    }
  }
}

TEST(ParseByteCountTest, AcceptsSuffixesAndRejectsOverflow) {
  EXPECT_EQ(ParseByteCount("1"), 1u);
  EXPECT_EQ(ParseByteCount("1000"), 1000u);
  EXPECT_EQ(ParseByteCount("3k"), 3u * 1024);
  EXPECT_EQ(ParseByteCount("5M"), 5u * 1024 * 1024);
  EXPECT_EQ(ParseByteCount("2G"), std::size_t{2} << 30);
  EXPECT_EQ(ParseByteCount("18446744073709551615"), 18446744073709551615u);
  for (const char* bad :
       {"", "K", "-1", "1.5", "12x", " 1", "18446744073709551616", "17179869184G"}) {
    EXPECT_THROW(ParseByteCount(bad), UsageError) << bad;
  }
}

}  // namespace
}  // namespace sorowa

// sorowa-compare as a user runs it: a child process with its own TMPDIR, standard streams
// on pipes, and only the exit status, the streams and the files to look at.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "compare/report_document.h"
#include "compare/report_store.h"
#include "support/encode.h"
#include "support/files.h"
#include "support/run_program.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

using testing_support::Encode;
using testing_support::ReadFile;
using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::WriteFile;

constexpr const char* kBinary = SOROWA_COMPARE_BINARY;
const fs::path kExamples = SOROWA_EXAMPLES_DIR;

// The report's fixed ends as the engine writes them; the golden report test holds their bytes.
const std::string kHead(ReportHead());
const std::string kFoot(ReportFoot());

std::size_t CountLines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class BinaryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(work_.empty());
    tmp_ = work_ / "tmp";
    fs::create_directory(tmp_);
    source_ = work_ / "source.txt";
    target_ = work_ / "target.txt";
    WriteFile(source_, ReadFile(kExamples / "source.txt"));
    WriteFile(target_, ReadFile(kExamples / "target.txt"));
  }

  // Files in the private TMPDIR, sorted.
  std::vector<std::string> TmpEntries() const { return testing_support::FolderEntries(tmp_); }

  // The program with TMPDIR set to the private one.
  RunResult Run(const std::vector<std::string>& args, RunOptions options = {}) {
    options.env.emplace("TMPDIR", tmp_.string());
    return RunProgram(kBinary, args, options);
  }

  // The report bytes, taken from standard output.
  std::string Report(std::vector<std::string> args, const RunOptions& options = {}) {
    args.insert(args.begin(), {"-o", "-"});
    const RunResult r = Run(args, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
  }

  testing_support::TempDir temp_{"sorowa-cli"};
  fs::path work_ = temp_.path();
  fs::path tmp_;
  fs::path source_;
  fs::path target_;
};

// A failure is one line on standard error that starts with the program's name.
void ExpectOneMessage(const RunResult& r, std::string_view part) {
  EXPECT_EQ(r.err.rfind("sorowa-compare: ", 0), 0u) << r.err;
  EXPECT_EQ(CountLines(r.err), 1u) << r.err;
  EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
}

TEST_F(BinaryTest, DefaultRunWritesANewReportIntoTmpdirAndPrintsItsPath) {
  const RunResult r = Run({source_.string(), target_.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no progress line: standard error is not a terminal
  const std::string name = TempReportStore::FileName(static_cast<std::uint64_t>(r.pid), 0);
  EXPECT_EQ(r.out, (tmp_ / name).string() + "\n");
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{name});

  const std::string report = ReadFile(tmp_ / name);
  EXPECT_TRUE(report.starts_with(kHead));
  EXPECT_TRUE(report.ends_with(kFoot));
  EXPECT_NE(report.find("駅前"), std::string::npos);  // UTF-8, not escaped away
  struct stat info {};
  ASSERT_EQ(stat((tmp_ / name).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // The same report, byte for byte, whichever way it leaves the program.
  EXPECT_EQ(Report({source_.string(), target_.string()}), report);
}

TEST_F(BinaryTest, StandardOutputGetsTheExactReport) {
  // Three source lines against two target lines, mixed line breaks, no tables: two pairs,
  // each only the separator. The line left out is named on standard error.
  WriteFile(source_, "a\r\n\r\nb\rc");
  WriteFile(target_, "x\n\ny\n");
  RunResult r = Run({"-o", "-", "--none", source_.string(), target_.string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kHead + "<hr><br><hr><br>" + kFoot);
  EXPECT_EQ(CountLines(r.err), 1u) << r.err;
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{});

  WriteFile(source_, "");
  r = Run({"-o", "-", "--all", source_.string(), target_.string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kHead + kFoot);
  EXPECT_EQ(CountLines(r.err), 1u) << r.err;
}

struct PairsCase {
  const char* name;
  std::string source;
  std::string target;
  // SOURCE, TARGET and PAIRS stand for the two files and a pairs file in a fresh folder.
  std::vector<std::string> args;
  int status;
  std::string out;    // standard output, unless the report's path is printed there
  std::string pairs;  // what the pairs file holds afterwards, if it is named
  std::string err;    // standard error, with the same stand-ins
};

void PrintTo(const PairsCase& c, std::ostream* os) { *os << c.name; }

class PairsAndUnpairedLines : public BinaryTest, public testing::WithParamInterface<PairsCase> {};

TEST_P(PairsAndUnpairedLines, AreWrittenAsAsked) {
  const PairsCase& c = GetParam();
  WriteFile(source_, c.source);
  WriteFile(target_, c.target);
  const fs::path pairs = work_ / "out" / "pairs.tsv";
  fs::create_directory(work_ / "out");
  auto substitute = [&](std::string text) {
    for (const auto& [name, path] :
         {std::pair{"SOURCE", source_}, std::pair{"TARGET", target_}, std::pair{"PAIRS", pairs}}) {
      for (std::size_t at; (at = text.find(name)) != std::string::npos;) {
        text.replace(at, std::strlen(name), path.string());
      }
    }
    return text;
  };
  std::vector<std::string> args;
  for (const std::string& arg : c.args) args.push_back(substitute(arg));
  const RunResult r = Run(args);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.err, substitute(c.err));
  const bool reportNamed = std::find(args.begin(), args.end(), "-o") != args.end();
  if (reportNamed) {
    EXPECT_EQ(r.out, c.out);
  }
  if (std::find(args.begin(), args.end(), pairs.string()) != args.end() && c.status == 0) {
    EXPECT_EQ(ReadFile(pairs), c.pairs);
    // Replaced through a temporary file that does not stay behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(work_ / "out"), {}), 1);
  }
}

const std::string kThree = "今日は晴れ。\n明日は雨。\r\n\r\n明後日は曇り。\n";
const std::string kTwo = "今日は晴れ。\n\n明日は雨。";

INSTANTIATE_TEST_SUITE_P(
    Cases, PairsAndUnpairedLines,
    testing::Values(
        PairsCase{"ByPosition",
                  kThree,
                  kTwo,
                  {"-o", "/dev/null", "--pairs", "PAIRS", "SOURCE", "TARGET"},
                  0,
                  "",
                  "1\t1\n2\t3\n",
                  "sorowa-compare: Source has 1 line more than Target; line 4 of SOURCE was not "
                  "compared; --align-lines pairs lines by content\n"},
        // Every line shows up; a line with no counterpart alone.
        PairsCase{"ByContent",
                  kThree,
                  kTwo,
                  {"-o", "/dev/null", "--align-lines", "--pairs", "PAIRS", "SOURCE", "TARGET"},
                  0,
                  "",
                  "1\t1\n2\t3\n4\t-\n",
                  ""},
        PairsCase{"PairsOnStandardOutput",
                  kThree,
                  kThree,
                  {"--none", "--pairs", "-", "-o", "/dev/null", "SOURCE", "TARGET"},
                  0,
                  "1\t1\n2\t2\n4\t4\n",
                  "",
                  ""},
        PairsCase{"PairsFolderMissing",
                  kTwo,
                  kTwo,
                  {"-o", "/dev/null", "--pairs", "/nonexistent/p.tsv", "SOURCE", "TARGET"},
                  1,
                  "",
                  "",
                  "sorowa-compare: cannot create a file in /nonexistent: No such file or "
                  "directory\n"}),
    [](const testing::TestParamInfo<PairsCase>& info) { return info.param.name; });

// Without -o the report's path would share standard output with the pairs; it moves to
// standard error.
TEST_F(BinaryTest, PairsOnStandardOutputMoveTheReportPathToStandardError) {
  const RunResult r = Run({"--pairs", "-", source_.string(), target_.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t1\n2\t2\n3\t3\n4\t4\n5\t5\n6\t6\n7\t7\n");
  ASSERT_EQ(TmpEntries().size(), 1u);
  EXPECT_EQ(r.err, (tmp_ / TmpEntries()[0]).string() + "\n");
}

TEST_F(BinaryTest, OptionsReachTheReport) {
  const std::string none = Report({"--none", source_.string(), target_.string()});
  const std::string charOnly = Report({"--none", "--char-dp", source_.string(), target_.string()});
  EXPECT_EQ(Report({"--all", "--none", "--char-dp", source_.string(), target_.string()}), charOnly);
  EXPECT_NE(charOnly, none);
  EXPECT_NE(Report({source_.string(), target_.string()}),
            Report({"--char-dp", source_.string(), target_.string()}));
  // The character table of the first pair: 少しだけ lost だけ.
  EXPECT_NE(charOnly.find("<td class=\"same\">少</td>"), std::string::npos);
}

struct StatusCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* message;  // part of standard error
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class ExitStatus : public BinaryTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(ExitStatus, UsageErrorsAndFailuresLeaveNoReport) {
  const StatusCase& c = GetParam();
  std::vector<std::string> args;
  for (const std::string& arg : c.args) {
    args.push_back(arg == "SOURCE" ? source_.string() : arg == "TARGET" ? target_.string() : arg);
  }
  const RunResult r = Run(args);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{});
  if (c.status == 2) {
    EXPECT_EQ(r.err.rfind("sorowa-compare: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
  } else {
    ExpectOneMessage(r, c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitStatus,
    testing::Values(
        StatusCase{"NoFiles", {}, 2, "missing"}, StatusCase{"OneFile", {"SOURCE"}, 2, "missing"},
        StatusCase{"ThreeFiles", {"SOURCE", "TARGET", "TARGET"}, 2, "too many"},
        StatusCase{"BothStdin", {"-", "-"}, 2, "standard input"},
        StatusCase{"UnknownOption", {"--frobnicate", "SOURCE", "TARGET"}, 2, "--frobnicate"},
        StatusCase{"UnknownEncoding", {"--encoding", "KLINGON", "SOURCE", "TARGET"}, 2, "KLINGON"},
        StatusCase{"BadByteCount", {"--max-table-memory", "many", "SOURCE", "TARGET"}, 2, "many"},
        StatusCase{"MissingSource", {"no-such-file", "TARGET"}, 1, "no-such-file"},
        StatusCase{"MissingTarget", {"SOURCE", "/nonexistent/t.txt"}, 1, "/nonexistent/t.txt"},
        StatusCase{"DirectoryAsInput", {"SOURCE", "/"}, 1, "Is a directory"},
        StatusCase{"OutputInMissingFolder",
                   {"-o", "/nonexistent/r.htm", "SOURCE", "TARGET"},
                   1,
                   "/nonexistent"},
        StatusCase{"OutputToFullDevice",
                   {"-o", "/dev/full", "SOURCE", "TARGET"},
                   1,
                   "No space left on device"}),
    [](const testing::TestParamInfo<StatusCase>& info) { return info.param.name; });

TEST_F(BinaryTest, HelpAndVersion) {
  RunResult r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out.starts_with("Usage: sorowa-compare [OPTIONS] SOURCE TARGET\n")) << r.out;
  for (const char* option : {"--char-dp", "--morpheme-dp", "--pseudo-bunsetsu-dp",
                             "--pseudo-bunsetsu-match", "--morpheme-match", "--all", "--none",
                             "--encoding", "-o", "--max-table-memory", "--version"}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
  r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "sorowa-compare 1.0.0\n");
  // Help that cannot be written is a failure, not a silent success.
  const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  r = Run({"--help"}, {.stdoutFd = full});
  close(full);
  EXPECT_EQ(r.status, 1);
  ExpectOneMessage(r, "standard output");
}

struct BadInputCase {
  const char* name;
  std::string bytes;
  std::string offset;
};

void PrintTo(const BadInputCase& c, std::ostream* os) { *os << c.name; }

class InvalidInput : public BinaryTest, public testing::WithParamInterface<BadInputCase> {};

TEST_P(InvalidInput, NamesFileAndOffsetAndWritesNothing) {
  const fs::path bad = work_ / "bad input.txt";
  WriteFile(bad, GetParam().bytes);
  const fs::path existing = work_ / "old.htm";
  WriteFile(existing, "old report");
  for (const bool asTarget : {false, true}) {
    for (const bool toFile : {false, true}) {
      std::vector<std::string> args;
      if (toFile) args = {"-o", existing.string()};
      args.push_back(asTarget ? source_.string() : bad.string());
      args.push_back(asTarget ? bad.string() : target_.string());
      const RunResult r = Run(args);
      EXPECT_EQ(r.status, 1);
      ExpectOneMessage(r, bad.string());
      EXPECT_NE(r.err.find("byte offset " + GetParam().offset), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("--encoding"), std::string::npos) << r.err;
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(existing), "old report");
  EXPECT_EQ(std::distance(fs::directory_iterator(work_), fs::directory_iterator()), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InvalidInput,
    testing::Values(BadInputCase{"Continuation", "日本語\n\x80", "10"},
                    BadInputCase{"Overlong", "abc\xC0\xAF", "3"},
                    BadInputCase{"EncodedSurrogate", "\xEF\xBB\xBF\xED\xA0\x80", "3"},
                    BadInputCase{"Truncated", "あい\xE3\x81", "6"},
                    BadInputCase{"Utf16OddLength", std::string("\xFF\xFE\x42\x30\x0A", 5), "4"}),
    [](const testing::TestParamInfo<BadInputCase>& info) { return info.param.name; });

TEST_F(BinaryTest, OtherEncodingsGiveTheSameReportAsUtf8) {
  const std::string source = ReadFile(source_);
  const std::string target = ReadFile(target_);
  const std::string expected = Report({"--all", source_.string(), target_.string()});

  const fs::path sjisSource = work_ / "source-cp932.txt";
  const fs::path sjisTarget = work_ / "target-cp932.txt";
  WriteFile(sjisSource, Encode(source, "CP932"));
  WriteFile(sjisTarget, Encode(target, "CP932"));
  EXPECT_EQ(Report({"--all", "--encoding", "cp932", sjisSource.string(), sjisTarget.string()}),
            expected);
  // Without the option the same bytes are refused rather than garbled.
  RunResult r = Run({sjisSource.string(), sjisTarget.string()});
  EXPECT_EQ(r.status, 1);
  ExpectOneMessage(r, "byte offset 0");

  // A UTF-16 byte order mark is recognised without any option, in either byte order.
  const fs::path le = work_ / "source-utf16le.txt";
  const fs::path be = work_ / "target-utf16be.txt";
  WriteFile(le, "\xFF\xFE" + Encode(source, "UTF-16LE"));
  WriteFile(be, "\xFE\xFF" + Encode(target, "UTF-16BE"));
  EXPECT_EQ(Report({"--all", le.string(), be.string()}), expected);

  // An old Shift_JIS version against a new UTF-8 one: each file in its own encoding, named
  // or found.
  EXPECT_EQ(Report({"--all", "--source-encoding", "CP932", sjisSource.string(), target_.string()}),
            expected);
  EXPECT_EQ(Report({"--all", "--encoding=auto", sjisSource.string(), be.string()}), expected);

  const fs::path eucSource = work_ / "source-eucjp.txt";
  WriteFile(eucSource, Encode(source, "EUC-JP"));
  WriteFile(target_, Encode(target, "EUC-JP"));
  EXPECT_EQ(Report({"--all", "--encoding=EUC-JP", eucSource.string(), target_.string()}), expected);
}

TEST_F(BinaryTest, StandardInputStandsForEitherFile) {
  const std::string expected = Report({"--all", source_.string(), target_.string()});
  EXPECT_EQ(Report({"--all", "-", target_.string()}, {.input = ReadFile(source_)}), expected);
  EXPECT_EQ(Report({"--all", source_.string(), "-"}, {.input = ReadFile(target_)}), expected);

  // Bad bytes on standard input are reported under that name.
  const RunResult r = Run({"-", target_.string()}, {.input = "\xFF"});
  EXPECT_EQ(r.status, 1);
  ExpectOneMessage(r, "standard input: invalid UTF-8 at byte offset 0");
}

TEST_F(BinaryTest, OutputFileIsReplacedWithoutLeavingTemporaryFiles) {
  const fs::path outDir = work_ / "out";
  fs::create_directory(outDir);
  const fs::path output = outDir / "report.htm";
  WriteFile(output, "an older report that is longer than nothing");
  const RunResult r = Run({"-o", output.string(), source_.string(), target_.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");  // the user named the file; no path to print
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(output), Report({source_.string(), target_.string()}));
  EXPECT_EQ(std::distance(fs::directory_iterator(outDir), fs::directory_iterator()), 1);
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{});
}

TEST_F(BinaryTest, StandardOutputThatFailsEndsWithOneMessage) {
  const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  RunResult r = Run({"-o", "-", source_.string(), target_.string()}, {.stdoutFd = full});
  close(full);
  EXPECT_EQ(r.status, 1);
  ExpectOneMessage(r, "standard output: No space left on device");

  // A reader that has gone away, as with '| head': the program ends quietly by SIGPIPE, like
  // the rest of a pipeline, whether the report or the report's path was being written.
  for (const bool toStdout : {true, false}) {
    int gone[2];
    ASSERT_EQ(pipe2(gone, O_CLOEXEC), 0);
    close(gone[0]);
    std::vector<std::string> args{source_.string(), target_.string()};
    if (toStdout) args.insert(args.begin(), {"-o", "-"});
    r = Run(args, {.stdoutFd = gone[1]});
    close(gone[1]);
    EXPECT_EQ(r.status, 128 + SIGPIPE) << "to stdout: " << toStdout;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(TmpEntries().size(), toStdout ? 0u : 1u) << "a finished report stays";
  }
}

TEST_F(BinaryTest, TakenNamesInTmpdirAreSkippedAndNeverWrittenThrough) {
  const fs::path victim = work_ / "victim.txt";
  WriteFile(victim, "precious");
  const fs::path dangling = work_ / "made-through-link";
  const std::string tmp = tmp_.string();
  // The child plants the names for its own pid; the pid survives exec. This test process has
  // one thread, so allocating between fork and exec is safe here.
  const RunResult r = Run({source_.string(), target_.string()}, {.beforeExec = [&] {
                            const auto pid = static_cast<std::uint64_t>(getpid());
                            const std::string first = tmp + "/" + TempReportStore::FileName(pid, 0);
                            const std::string second =
                                tmp + "/" + TempReportStore::FileName(pid, 1);
                            const std::string third = tmp + "/" + TempReportStore::FileName(pid, 2);
                            if (symlink(victim.c_str(), first.c_str()) != 0) _exit(120);
                            if (symlink(dangling.c_str(), second.c_str()) != 0) _exit(121);
                            const int fd = open(third.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                            if (fd < 0 || write(fd, "taken", 5) != 5) _exit(122);
                            close(fd);
                          }});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto pid = static_cast<std::uint64_t>(r.pid);
  EXPECT_EQ(r.out, (tmp_ / TempReportStore::FileName(pid, 3)).string() + "\n");
  EXPECT_TRUE(ReadFile(tmp_ / TempReportStore::FileName(pid, 3)).starts_with(kHead));
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_FALSE(fs::exists(dangling));
  EXPECT_TRUE(fs::is_symlink(tmp_ / TempReportStore::FileName(pid, 0)));
  EXPECT_EQ(ReadFile(tmp_ / TempReportStore::FileName(pid, 2)), "taken");
  EXPECT_EQ(TmpEntries().size(), 4u);
}

TEST_F(BinaryTest, TableOverTheMemoryLimitEndsWithBothLengths) {
  WriteFile(source_, std::string(137, 'a') + "\n");
  std::string target;
  for (int i = 0; i < 151; ++i) target += "あ";
  WriteFile(target_, target + "\n");
  const RunResult r =
      Run({"--none", "--char-dp", "--max-table-memory", "1K", source_.string(), target_.string()});
  EXPECT_EQ(r.status, 1);
  ExpectOneMessage(r, "137");
  EXPECT_NE(r.err.find("151"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{});

  // The same texts within the default limit compare fine.
  const RunResult ok = Run({"--none", "--char-dp", source_.string(), target_.string()});
  EXPECT_EQ(ok.status, 0) << ok.err;
}

}  // namespace
}  // namespace sorowa

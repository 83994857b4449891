// sorowa-compare under faults, run as a child process the way a user or a script runs it.
// A failure must end with exit status 1 and exactly one line on standard error, no report
// file or half of one anywhere, and an earlier report left byte for byte as it was. Inputs
// that are merely strange must give a report. Big inputs must finish in time, with a
// report or the memory-limit error, and are never killed. A stop signal leaves no partial
// report.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "compare/report_document.h"
#include "compare/report_store.h"
#include "support/files.h"
#include "support/run_program.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

using testing_support::ReadFile;
using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::WriteFile;

constexpr const char* kBinary = SOROWA_COMPARE_BINARY;
// Far beyond any case here, even on a busy machine; a child still running then has hung and
// is killed.
constexpr auto kHangLimit = std::chrono::seconds(140);

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != text.npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class CliFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(work_.empty());
    tmp_ = work_ / "tmp";
    fs::create_directory(tmp_);
    source_ = work_ / "source.txt";
    target_ = work_ / "target.txt";
    WriteFile(source_, "私は学生です。\n今日は、いい天気\n");
    WriteFile(target_, "私は先生です。\n今日は いい天気です\n");
    earlier_ = work_ / "out" / "earlier.htm";
    fs::create_directory(earlier_.parent_path());
    WriteFile(earlier_, "<html>an earlier report</html>");
  }

  // The program with TMPDIR set to the private one, unless options set it, and killed when it
  // hangs.
  RunResult Run(const std::vector<std::string>& args, RunOptions options = {}) {
    options.env.emplace("TMPDIR", tmp_.string());
    options.hangLimit = kHangLimit;
    return RunProgram(kBinary, args, options);
  }

  std::vector<std::string> TmpEntries() const { return testing_support::FolderEntries(tmp_); }

  // Exit status 1, one line on standard error naming the cause, nothing on standard output,
  // no file in TMPDIR, and the earlier report alone and unchanged in its folder.
  void ExpectCleanFailure(const RunResult& r, std::string_view cause) {
    EXPECT_FALSE(r.killed);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(r.err.starts_with("sorowa-compare: ")) << r.err;
    EXPECT_EQ(Count(r.err, "\n"), 1u) << r.err;
    EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(TmpEntries(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(earlier_), "<html>an earlier report</html>");
    EXPECT_EQ(std::distance(fs::directory_iterator(earlier_.parent_path()), {}), 1)
        << "a temporary file was left beside the earlier report";
  }

  // Exit status 0, nothing on standard error, and a report in TMPDIR whose path was printed,
  // with the head and the foot. Returns the report's path.
  fs::path ExpectReportFile(const RunResult& r) {
    EXPECT_FALSE(r.killed);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> entries = TmpEntries();
    EXPECT_EQ(entries.size(), 1u);
    if (entries.size() != 1) return {};
    const fs::path path = tmp_ / entries[0];
    EXPECT_EQ(r.out, path.string() + "\n");
    // Only the two ends are read: a big input's report runs to hundreds of megabytes.
    const std::string head = std::string(ReportHead());
    const std::string foot = std::string(ReportFoot());
    std::ifstream in(path, std::ios::binary);
    std::string start(head.size(), '\0');
    std::string end(foot.size(), '\0');
    in.read(start.data(), std::ssize(start));
    in.seekg(-std::ssize(end), std::ios::end);
    in.read(end.data(), std::ssize(end));
    EXPECT_EQ(start, head);
    EXPECT_EQ(end, foot);
    return path;
  }

  std::string ExpectReport(const RunResult& r) {
    const fs::path path = ExpectReportFile(r);
    return path.empty() ? std::string() : ReadFile(path);
  }

  testing_support::TempDir temp_{"sorowa-faults"};
  fs::path work_ = temp_.path();
  fs::path tmp_;
  fs::path source_;
  fs::path target_;
  fs::path earlier_;
};

// Writes may add at most maxBytes to any file, as on a nearly full disk; the signal that
// would kill the program is ignored (and stays ignored across exec), so write gets EFBIG.
std::function<void()> FileSizeLimit(rlim_t maxBytes) {
  return [maxBytes] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{maxBytes, maxBytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(124);
  };
}

struct FailureCase {
  const char* name;
  std::vector<std::string> args;  // SOURCE, TARGET and EARLIER stand for the test's files
  RunOptions setup;
  const char* cause;
  // Prepares the test's folder; gets the TMPDIR and the work folder.
  std::function<void(const fs::path& tmp, const fs::path& work)> arrange = {};
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class CliFailure : public CliFaultTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliFailure, EndsWithOneMessageAndLeavesNothing) {
  const FailureCase& c = GetParam();
  if (c.arrange) c.arrange(tmp_, work_);
  // The long texts make a report of some 100 KB, over the size limits below.
  std::string longSource;
  std::string longTarget;
  for (int i = 0; i < 200; ++i) {
    longSource += "今日はいい天気です\n";
    longTarget += "今日は悪い天気でした\n";
  }
  WriteFile(source_, longSource);
  WriteFile(target_, longTarget);
  std::vector<std::string> args;
  for (const std::string& arg : c.args) {
    args.push_back(arg == "SOURCE"            ? source_.string()
                   : arg == "TARGET"          ? target_.string()
                   : arg == "EARLIER"         ? earlier_.string()
                   : arg.starts_with("WORK/") ? (work_ / arg.substr(5)).string()
                                              : arg);
  }
  RunOptions setup = c.setup;
  for (auto& [name, value] : setup.env) {
    if (value.starts_with("WORK/")) value = (work_ / value.substr(5)).string();
  }
  const RunResult r = Run(args, setup);
  ExpectCleanFailure(r, c.cause);
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliFailure,
    ::testing::Values(
        FailureCase{"DiskFullWritingANewReport",
                    {"SOURCE", "TARGET"},
                    {.beforeExec = FileSizeLimit(8192)},
                    "File too large"},
        FailureCase{"DiskFullReplacingANamedReport",
                    {"-o", "EARLIER", "SOURCE", "TARGET"},
                    {.beforeExec = FileSizeLimit(8192)},
                    "File too large"},
        FailureCase{"FullDevice", {"-o", "/dev/full", "SOURCE", "TARGET"}, {}, "No space left"},
        FailureCase{"TmpdirMissing",
                    {"SOURCE", "TARGET"},
                    {.env = {{"TMPDIR", "WORK/no-such-folder"}}},
                    "temporary directory"},
        // Permission bits do not stop root, so these are places nobody can create a file in.
        FailureCase{"TmpdirIsAFile",
                    {"SOURCE", "TARGET"},
                    {.env = {{"TMPDIR", "WORK/plain"}}},
                    "temporary directory",
                    [](const fs::path&, const fs::path& work) {
                      WriteFile(work / "plain", "not a folder");
                    }},
        FailureCase{"TmpdirRefusesFiles",
                    {"SOURCE", "TARGET"},
                    {.env = {{"TMPDIR", "/proc"}}},
                    "cannot create the report /proc/"},
        FailureCase{"NamedReportInAFile",
                    {"-o", "WORK/plain/report.htm", "SOURCE", "TARGET"},
                    {},
                    "Not a directory",
                    [](const fs::path&, const fs::path& work) {
                      WriteFile(work / "plain", "not a folder");
                    }},
        FailureCase{"OverTheMemoryLimit",
                    {"--char-dp", "--max-table-memory", "100", "-o", "EARLIER", "SOURCE", "TARGET"},
                    {},
                    "line pair 1: a line pair of 9 and 10 elements is too long"},
        FailureCase{"RandomBinaryAsUtf8",
                    {"-o", "EARLIER", "WORK/binary", "TARGET"},
                    {},
                    "byte offset",
                    [](const fs::path&, const fs::path& work) {
                      WriteFile(work / "binary", "ok\n" + RandomBytes(4096, 1));
                    }},
        FailureCase{"OddUtf16",
                    {"--encoding", "UTF-16LE", "SOURCE", "WORK/odd"},
                    {},
                    "odd number of bytes",
                    [](const fs::path&, const fs::path& work) { WriteFile(work / "odd", "abc"); }}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(CliFaultTest, NoReportNameLeft) {
  const std::string tmp = tmp_.string();
  // The child takes every name for its own pid, which it keeps across exec.
  const RunResult r =
      Run({source_.string(), target_.string()}, {.beforeExec = [tmp] {
            const auto pid = static_cast<std::uint64_t>(::getpid());
            for (std::uint32_t s = 0; s <= TempReportStore::kMaxSequence; ++s) {
              const std::string name = tmp + "/" + TempReportStore::FileName(pid, s);
              const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
              if (fd < 0) ::_exit(123);
              ::close(fd);
            }
          }});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(r.err.starts_with("sorowa-compare: no unused report name")) << r.err;
  EXPECT_EQ(Count(r.err, "\n"), 1u);
  EXPECT_EQ(r.out, "");
  const std::vector<std::string> entries = TmpEntries();
  EXPECT_EQ(entries.size(), std::size_t{TempReportStore::kMaxSequence} + 1);
  EXPECT_TRUE(std::all_of(entries.begin(), entries.end(), [&](const std::string& name) {
    return fs::file_size(tmp_ / name) == 0;
  })) << "a taken name was written to";
  EXPECT_FALSE(fs::exists(tmp + ".htm")) << "no report beside the temporary folder";
}

// Text that is odd but decodable is compared like any other.
TEST_F(CliFaultTest, NulBytesAreCompared) {
  WriteFile(source_, std::string("a\0b\nc\0\0\n", 8));
  WriteFile(target_, std::string("a\0b\n\0\n", 6));
  const std::string report = ExpectReport(Run({"--all", source_.string(), target_.string()}));
  EXPECT_EQ(Count(report, "<hr><br>"), 2u);
  EXPECT_NE(report.find(std::string("<td class=\"same\">\0</td>", 23)), std::string::npos);
}

TEST_F(CliFaultTest, LoneSurrogatesThroughUtf16) {
  // x, a lone high surrogate, y, LF, a lone low surrogate, then a proper pair.
  WriteFile(source_, std::string("x\0\x00\xD8y\0\n\0\x00\xDC\x3D\xD8\x00\xDE", 14));
  WriteFile(target_, std::string("x\0y\0\n\0\x3D\xD8\x00\xDE", 10));
  const std::string report =
      ExpectReport(Run({"--all", "--encoding", "UTF-16LE", source_.string(), target_.string()}));
  EXPECT_EQ(Count(report, "<hr><br>"), 2u);
  EXPECT_NE(report.find("\xEF\xBF\xBD"), std::string::npos) << "a lone surrogate shows as U+FFFD";
  EXPECT_NE(report.find("\xF0\x9F\x98\x80"), std::string::npos) << "a pair stays one character";
  for (std::size_t i = 0; i + 1 < report.size(); ++i) {
    ASSERT_FALSE(static_cast<unsigned char>(report[i]) == 0xED &&
                 static_cast<unsigned char>(report[i + 1]) >= 0xA0)
        << "a surrogate's own bytes at " << i;
  }
}

TEST_F(CliFaultTest, RandomBinaryThroughUtf16IsText) {
  WriteFile(source_, RandomBytes(8000, 2));
  WriteFile(target_, RandomBytes(8000, 3));
  ExpectReport(Run({"--all", "--encoding", "UTF-16LE", source_.string(), target_.string()}));
}

TEST_F(CliFaultTest, MixedLineBreaks) {
  WriteFile(source_, "one\rtwo\nthree\r\n\r\nfour\n\rfive\r\r\n");
  WriteFile(target_, "one\r\ntwo\r\nthree\r\nfour\r\nfive");
  const std::string report = ExpectReport(Run({"--all", source_.string(), target_.string()}));
  EXPECT_EQ(Count(report, "<hr><br>"), 5u);
  EXPECT_EQ(report.find("class=\"different\""), std::string::npos);
  EXPECT_EQ(report.find("class=\"partial\""), std::string::npos);
}

TEST_F(CliFaultTest, MecabThatCannotStart) {
  fs::create_directory(work_ / "home");
  const RunResult r = Run({source_.string(), target_.string()},
                          {.env = {{"MECABRC", (work_ / "no-such-mecabrc").string()},
                                   {"HOME", (work_ / "home").string()}}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.starts_with("sorowa-compare: MeCab: ")) << r.err;
  EXPECT_EQ(Count(r.err, "\n"), 1u) << "the reason is shown once: " << r.err;
  const std::vector<std::string> entries = TmpEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(r.out, (tmp_ / entries[0]).string() + "\n");
  const std::string report = ReadFile(tmp_ / entries[0]);
  EXPECT_EQ(Count(report, "形態素単位でDPマッチング"), 0u);
  EXPECT_EQ(Count(report, "疑似文節単位でDPマッチング"), 2u);
  EXPECT_EQ(Count(report,
                  "形態素単位でマッチング</span></td>\n<td class=\"le\"></td></tr>\n<tr>\n"
                  "<td class=\"le\"></td></tr>\n</table>\n"),
            2u);
}

// A run stopped by SIGINT, SIGTERM or SIGHUP while its report is being written: the program
// cancels the Compare, removes the partial file (the temporary report, or the temporary
// sibling of a named one) and ends by that signal.
struct SignalCase {
  const char* name;
  int signal;
  const char* output;  // "" for a report in TMPDIR, else the -o value (WORK/... or -)
};

void PrintTo(const SignalCase& c, std::ostream* os) { *os << c.name; }

class CliStopSignal : public CliFaultTest, public ::testing::WithParamInterface<SignalCase> {};

// Some 30 MB of report, so the run lasts seconds and streams its report meanwhile.
void WriteLongInput(const fs::path& source, const fs::path& target) {
  std::string sourceText;
  std::string targetText;
  for (int i = 0; i < 100000; ++i) {
    sourceText += "今日はいい天気です" + std::to_string(i) + "\n";
    targetText += "今日は悪い天気でした" + std::to_string(i) + "\n";
  }
  WriteFile(source, sourceText);
  WriteFile(target, targetText);
}

// Whether a file in folder already holds part of a report.
bool HasPartialFile(const fs::path& folder, std::string_view prefix) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(prefix) && entry.is_regular_file() && entry.file_size() > 0) return true;
  }
  return false;
}

TEST_P(CliStopSignal, RemovesThePartialReportAndEndsByTheSignal) {
  const SignalCase& c = GetParam();
  WriteLongInput(source_, target_);
  const std::string output = std::string(c.output).starts_with("WORK/")
                                 ? (work_ / std::string(c.output).substr(5)).string()
                                 : c.output;
  std::vector<std::string> args;
  if (!output.empty()) args = {"-o", output};
  args.push_back(source_.string());
  args.push_back(target_.string());
  // Signalled once the report has begun to arrive in its file. Standard output gets the
  // report whole at the end, so there the signal comes half a second into the run.
  const auto begun = std::chrono::steady_clock::now();
  const auto started = [&]() {
    if (output.empty()) return HasPartialFile(tmp_, "s");
    if (output == "-")
      return std::chrono::steady_clock::now() - begun > std::chrono::milliseconds(500);
    return HasPartialFile(earlier_.parent_path(), ".");
  };
  bool signalled = false;
  std::chrono::steady_clock::time_point signalledAt;
  const RunResult r = Run(args, {.whileRunning = [&](pid_t pid) {
                            if (!started()) return false;
                            ::kill(pid, c.signal);
                            signalled = true;
                            signalledAt = std::chrono::steady_clock::now();
                            return true;
                          }});
  const double stopSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - signalledAt).count();
  ASSERT_TRUE(signalled) << "the run ended before its report began: " << r.err;
  EXPECT_FALSE(r.killed);
  EXPECT_EQ(r.status, 128 + c.signal) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_LT(stopSeconds, 20.0) << "stopping should not wait for the whole run";
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(earlier_), "<html>an earlier report</html>");
  EXPECT_EQ(std::distance(fs::directory_iterator(earlier_.parent_path()), {}), 1)
      << "a partial file was left beside the earlier report";
  if (output == "-") {
    EXPECT_EQ(r.out, "") << "standard output gets the report whole, at the end";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliStopSignal,
    ::testing::Values(SignalCase{"InterruptTemporaryReport", SIGINT, ""},
                      SignalCase{"InterruptNamedReport", SIGINT, "WORK/out/report.htm"},
                      SignalCase{"InterruptStandardOutput", SIGINT, "-"},
                      SignalCase{"TerminateTemporaryReport", SIGTERM, ""},
                      SignalCase{"TerminateNamedReport", SIGTERM, "WORK/out/report.htm"},
                      SignalCase{"TerminateStandardOutput", SIGTERM, "-"},
                      SignalCase{"HangUpTemporaryReport", SIGHUP, ""},
                      SignalCase{"HangUpNamedReport", SIGHUP, "WORK/out/report.htm"},
                      SignalCase{"HangUpStandardOutput", SIGHUP, "-"}),
    [](const ::testing::TestParamInfo<SignalCase>& info) { return info.param.name; });

// A batch stopped by Ctrl+C: the reports finished so far stay whole, no partial file and no
// summary file (stats.json, stats.tsv, index.html) is left, and the program ends by the
// signal.
TEST_F(CliFaultTest, InterruptedBatchLeavesOnlyFinishedReports) {
  const fs::path source = work_ / "batch-source";
  const fs::path target = work_ / "batch-target";
  const fs::path out = work_ / "batch-out";
  fs::create_directories(source);
  fs::create_directories(target);
  std::string sourceText;
  std::string targetText;
  for (int i = 0; i < 2000; ++i) {
    sourceText += "今日はいい天気です" + std::to_string(i) + "\n";
    targetText += "今日は悪い天気でした" + std::to_string(i) + "\n";
  }
  constexpr int kDocuments = 40;
  for (int d = 0; d < kDocuments; ++d) {
    WriteFile(source / ("d" + std::to_string(d) + ".txt"), sourceText);
    WriteFile(target / ("d" + std::to_string(d) + ".txt"), targetText);
  }
  auto files = [&] {
    std::vector<std::string> names;
    if (fs::exists(out)) {
      for (const auto& entry : fs::directory_iterator(out)) {
        names.push_back(entry.path().filename().string());
      }
    }
    return names;
  };
  const RunResult r = Run({"--batch", source.string(), target.string(), "--out-dir", out.string()},
                          {.whileRunning = [&](pid_t pid) {
                            const std::vector<std::string> names = files();
                            if (std::none_of(names.begin(), names.end(), [](const std::string& n) {
                                  return n.ends_with(".htm") && !n.starts_with(".");
                                })) {
                              return false;
                            }
                            ::kill(pid, SIGINT);
                            return true;
                          }});
  EXPECT_FALSE(r.killed);
  EXPECT_EQ(r.status, 128 + SIGINT) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> names = files();
  EXPECT_GE(names.size(), 1u);
  EXPECT_LT(names.size(), static_cast<std::size_t>(kDocuments)) << "the run was not stopped";
  for (const std::string& name : names) {
    EXPECT_TRUE(name.starts_with("d") && name.ends_with(".txt.htm")) << name;
    EXPECT_TRUE(ReadFile(out / name).ends_with("</html>")) << name << " is not whole";
  }
}

// Big inputs: within a minute, a report or the memory-limit error, never a kill.
struct BigCase {
  const char* name;
  std::function<std::string()> makeSource;
  std::function<std::string()> makeTarget;  // empty: the same text as the Source
  std::vector<std::string> options;
  long peakLimitMegabytes = 0;  // not 0: must give a report, with at most this peak
  double cpuLimitSeconds = 60;
  bool refused = false;  // must end with the memory-limit error
};

void PrintTo(const BigCase& c, std::ostream* os) { *os << c.name; }

class CliBigInput : public CliFaultTest, public ::testing::WithParamInterface<BigCase> {
 protected:
  void ExpectToFinish(const BigCase& c) {
    const std::string text = c.makeSource();
    WriteFile(source_, text);
    WriteFile(target_, c.makeTarget ? c.makeTarget() : text);
    std::vector<std::string> args = c.options;
    args.push_back(source_.string());
    args.push_back(target_.string());
    const RunResult r = Run(args);
    RecordProperty("seconds", std::to_string(r.seconds));
    RecordProperty("cpu_seconds", std::to_string(r.cpuSeconds));
    RecordProperty("peak_rss_mb", std::to_string(r.peakKilobytes / 1024));
    std::printf("[ figures  ] %s: %.1f s, %.1f s of CPU, peak resident %ld MB, exit %d\n", c.name,
                r.seconds, r.cpuSeconds, r.peakKilobytes / 1024, r.status);
    EXPECT_FALSE(r.killed) << "hung";
    // CPU time, not wall time: the limit is about the program, not about a busy test machine.
    EXPECT_LT(r.cpuSeconds, c.cpuLimitSeconds);
    if (c.refused) {
      EXPECT_EQ(r.status, 1);
    }
    if (c.peakLimitMegabytes != 0) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_LE(r.peakKilobytes / 1024, c.peakLimitMegabytes);
    }
    if (r.status == 0) {
      // A table expected to take ten seconds or more is announced; nothing else may be said.
      RunResult announced = r;
      announced.err.clear();
      std::istringstream lines(r.err);
      for (std::string line; std::getline(lines, line);) {
        const bool note = line.starts_with("sorowa-compare: line pair 1: aligning ") &&
                          line.find(" will take about ") != std::string::npos;
        if (!note) announced.err += line + "\n";
      }
      ExpectReportFile(announced);
    } else {
      ExpectCleanFailure(r, "is too long to align");
    }
  }
};

std::string OneLongLine() {
  // 20 MB of ordinary Japanese text in UTF-8, without a line break.
  const std::string sentence = "今日はいい天気ですね。東京タワーへ行った。";
  std::string text;
  text.reserve(20 * 1000 * 1000 + sentence.size());
  while (text.size() < 20 * 1000 * 1000) text += sentence;
  return text + "\n";
}

std::string ManyShortLines() {
  // 300,000 lines of 10 characters.
  const char* const words[] = {"今日は良い天気です", "東京タワーへ行った", "カタカナと漢字だ"};
  std::string text;
  for (int i = 0; i < 300000; ++i) {
    text += words[i % 3];
    text += std::to_string(i % 10);
    text += "\n";
  }
  return text;
}

// Word-like runs of kana and kanji, so that equal characters are common but long repeats
// are not: about length characters, as UTF-8 with a final line feed when asked.
std::u16string WordLine(std::size_t length, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::u16string> words(3000);
  for (std::u16string& word : words) {
    const std::size_t size = 1 + random() % 5;
    for (std::size_t k = 0; k < size; ++k) {
      switch (random() % 3) {
        case 0:
          word += static_cast<char16_t>(u'ぁ' + random() % 83);
          break;
        case 1:
          word += static_cast<char16_t>(u'ァ' + random() % 86);
          break;
        default:
          word += static_cast<char16_t>(u'一' + random() % 2000);
          break;
      }
    }
  }
  std::u16string line;
  while (line.size() < length) line += words[random() % words.size()];
  return line;
}

// The line with about 8 % of its characters touched by a reviser's edits: changed, dropped,
// inserted, swapped with the next, or one written as two katakana.
std::u16string Revise(const std::u16string& line, unsigned seed) {
  std::mt19937 random(seed);
  std::u16string out;
  for (std::size_t k = 0; k < line.size(); ++k) {
    if (random() % 100 >= 5) {
      out += line[k];
      continue;
    }
    const char16_t other = static_cast<char16_t>(u'ぁ' + random() % 83);
    switch (random() % 5) {
      case 0:
        out += other;
        break;
      case 1:
        break;
      case 2:
        out += other;
        out += line[k];
        break;
      case 3:
        if (k + 1 < line.size()) out += line[k + 1];
        out += line[k];
        if (k + 1 < line.size()) ++k;
        break;
      default:
        out += static_cast<char16_t>(u'ァ' + random() % 86);
        out += static_cast<char16_t>(u'ァ' + random() % 86);
        break;
    }
  }
  return out;
}

TEST_P(CliBigInput, FinishesInTimeWithAReportOrTheLimitError) { ExpectToFinish(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBigInput,
    ::testing::Values(BigCase{"TwoLinesOf20MB", OneLongLine, {}, {}},
                      BigCase{
                          "OneLineOf20MBCharacterTable", OneLongLine, {}, {"--none", "--char-dp"}},
                      BigCase{"OneLineOf20MBAgainstAShortLine",
                              OneLongLine,
                              [] { return std::string("今日はいい天気です。\n"); },
                              {}},
                      BigCase{"ManyShortLines", ManyShortLines, {}, {}},
                      // One similar line of a million characters each, and unrelated lines
                      // of 100,000: the character table in bounded memory.
                      BigCase{"SimilarLinesOf1MCharacters",
                              [] { return ToUtf8(WordLine(1000000, 1)) + "\n"; },
                              [] { return ToUtf8(Revise(WordLine(1000000, 1), 2)) + "\n"; },
                              {"--none", "--char-dp"},
                              1024},
                      BigCase{"UnrelatedLinesOf100kCharacters",
                              [] { return ToUtf8(WordLine(100000, 3)) + "\n"; },
                              [] { return ToUtf8(WordLine(100000, 4)) + "\n"; },
                              {"--none", "--char-dp"},
                              1024},
                      // Unrelated lines of a million characters need several hundred MB
                      // even with checkpoints: refused at once, not after the work.
                      BigCase{"UnrelatedLinesOf1MCharactersOverTheLimit",
                              [] { return ToUtf8(WordLine(1000000, 5)) + "\n"; },
                              [] { return ToUtf8(WordLine(1000000, 6)) + "\n"; },
                              {"--none", "--char-dp", "--max-table-memory", "200M"},
                              0,
                              3,
                              true}),
    [](const ::testing::TestParamInfo<BigCase>& info) { return info.param.name; });

}  // namespace
}  // namespace sorowa

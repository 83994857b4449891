// The Compare command under faults: every failure ends in exactly one error for the user,
// no report file or half of one is left behind, the earlier report stays as it was and is
// still the one shown, and the editors hold their (normalised) texts.

#include <gtest/gtest.h>
#include <malloc.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

#include "base/memory_budget.h"
#include "compare/on_compare.h"
#include "compare/report_document.h"
#include "compare_test_support.h"
#include "fake_morph_backend.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

using testing_support::FakeUi;
using testing_support::ReadFile;

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.empty());
    reports_ = dir_ / "reports";
    fs::create_directory(reports_);
  }
  void TearDown() override { SetDpMemoryLimit(0); }

  // A first, successful Compare whose report a later failure must not touch.
  void CompareOnce(FakeUi& ui, ReportStore& store) {
    ui.texts[0] = u"比較する\r\n";
    ui.texts[1] = u"比較した\r\n";
    OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
    ASSERT_EQ(ui.errors, std::vector<std::string>{});
    ASSERT_EQ(ui.shown.size(), 1u);
    earlier_ = ui.shown[0];
    earlierBytes_ = ReadFile(earlier_);
    ASSERT_FALSE(earlierBytes_.empty());
  }

  // What every failed Compare must leave: one error naming the cause, nothing new shown,
  // the earlier report as it was and nothing else in the report folder, the editors normalised.
  void ExpectCleanFailure(const FakeUi& ui, const std::string& cause) {
    ASSERT_EQ(ui.errors.size(), 1u) << "exactly one error";
    EXPECT_NE(ui.errors[0].find(cause), std::string::npos) << ui.errors[0];
    EXPECT_EQ(ui.shown.size(), 1u) << "the earlier report stays shown";
    EXPECT_EQ(ReadFile(earlier_), earlierBytes_);
    std::vector<fs::path> left;
    for (const auto& entry : fs::directory_iterator(earlier_.parent_path())) {
      left.push_back(entry.path());
    }
    EXPECT_EQ(left, std::vector<fs::path>{earlier_}) << "no partial or temporary file";
    EXPECT_EQ(ui.texts[0], u"abcdef\r\nxyz\r\n");
    EXPECT_EQ(ui.texts[1], u"abcxyz\r\n");
  }

  static void UseFailingTexts(FakeUi& ui) {
    ui.texts[0] = u"abcdef\n\nxyz";
    ui.texts[1] = u"\r\nabcxyz";
  }

  testing_support::TempDir temp_{"sorowa-fault"};
  fs::path dir_ = temp_.path();
  fs::path reports_;
  fs::path earlier_;
  std::string earlierBytes_;
  testing_support::BackendLog log_;
};

// Runs body in a forked child whose files may grow to at most maxBytes, as on a disk that
// is full. SIGXFSZ is ignored so that the write fails with EFBIG instead of killing it.
// body reports a wrong outcome by exiting with a non-zero status.
[[noreturn]] void LimitFileSizeAndRun(rlim_t maxBytes, const std::function<void()>& body) {
  ::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{maxBytes, maxBytes};
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(3);
  body();
  std::_Exit(0);
}

void RunWithFileSizeLimit(rlim_t maxBytes, const std::function<void()>& body) {
  EXPECT_EXIT(LimitFileSizeAndRun(maxBytes, body), ::testing::ExitedWithCode(0), "");
}

// A report bigger than the file size limit: many pairs of the character table.
void UseLongTexts(FakeUi& ui) {
  ui.texts[0].clear();
  ui.texts[1].clear();
  for (int i = 0; i < 200; ++i) {
    ui.texts[0] += u"今日はいい天気です\n";
    ui.texts[1] += u"今日は悪い天気でした\n";
  }
}

TEST_F(FaultTest, DiskFullWhileWritingTheTemporaryReport) {
  FakeUi ui;
  TempReportStore store(reports_);
  CompareOnce(ui, store);
  RunWithFileSizeLimit(4096, [&] {
    UseLongTexts(ui);
    OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
    // Reported through the exit status: assertions do not cross the process boundary.
    if (ui.errors.size() != 1 || ui.shown.size() != 1) std::_Exit(10);
    if (ui.errors[0].find("File too large") == std::string::npos) std::_Exit(11);
    if (ui.texts[0].size() != 200 * 11) std::_Exit(12);
  });
  EXPECT_EQ(ReadFile(earlier_), earlierBytes_);
  EXPECT_EQ(std::distance(fs::directory_iterator(reports_), {}), 1) << "the half report is gone";
}

TEST_F(FaultTest, DiskFullWhileReplacingANamedReport) {
  const fs::path named = reports_ / "report.htm";
  FileReportStore store(named);
  FakeUi ui;
  CompareOnce(ui, store);
  RunWithFileSizeLimit(4096, [&] {
    UseLongTexts(ui);
    OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
    if (ui.errors.size() != 1 || ui.shown.size() != 1) std::_Exit(10);
    if (ui.errors[0].find("File too large") == std::string::npos) std::_Exit(11);
  });
  EXPECT_EQ(ReadFile(named), earlierBytes_) << "the earlier report is replaced only when whole";
  EXPECT_EQ(std::distance(fs::directory_iterator(reports_), {}), 1) << "no temporary left";
}

struct StoreFault {
  const char* name;
  // Makes the store that must fail, given the test's folder; may change the folder.
  std::function<std::unique_ptr<ReportStore>(const fs::path& dir)> makeStore;
  const char* cause;
};

void PrintTo(const StoreFault& fault, std::ostream* os) { *os << fault.name; }

class StoreFaultTest : public FaultTest, public ::testing::WithParamInterface<StoreFault> {};

TEST_P(StoreFaultTest, EndsWithOneErrorAndLeavesNothing) {
  FakeUi ui;
  TempReportStore good(reports_);
  CompareOnce(ui, good);
  const std::unique_ptr<ReportStore> bad = GetParam().makeStore(dir_);
  UseFailingTexts(ui);
  OnCompare(ui, *bad, testing_support::ClassRunFactory(&log_));
  ExpectCleanFailure(ui, GetParam().cause);
  EXPECT_FALSE(fs::exists(dir_.string() + ".htm")) << "no file next to the folder";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreFaultTest,
    ::testing::Values(
        StoreFault{"DeviceFull",
                   [](const fs::path&) { return std::make_unique<FileReportStore>("/dev/full"); },
                   "No space left on device"},
        StoreFault{
            "TempFolderMissing",
            [](const fs::path& dir) { return std::make_unique<TempReportStore>(dir / "missing"); },
            "No such file or directory"},
        // Permission bits do not stop root, so these are folders nobody can create files in.
        StoreFault{"TempFolderIsAFile",
                   [](const fs::path& dir) {
                     std::ofstream(dir / "plain") << "not a folder";
                     return std::make_unique<TempReportStore>(dir / "plain");
                   },
                   "Not a directory"},
        StoreFault{"TempFolderRefusesFiles",
                   [](const fs::path&) { return std::make_unique<TempReportStore>("/proc"); },
                   "cannot create the report /proc/"}),
    [](const ::testing::TestParamInfo<StoreFault>& info) { return info.param.name; });

TEST_F(FaultTest, TmpdirThatIsNotAFolder) {
  FakeUi ui;
  TempReportStore good(reports_);
  CompareOnce(ui, good);
  std::ofstream(dir_ / "plain") << "not a folder";
  {
    // The default store looks TMPDIR up at each write.
    ScopedEnv tmpdir("TMPDIR", (dir_ / "plain").string());
    TempReportStore store;
    UseFailingTexts(ui);
    OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  }
  ExpectCleanFailure(ui, "cannot use the temporary directory");
  EXPECT_EQ(ReadFile(dir_ / "plain"), "not a folder");
}

TEST_F(FaultTest, NoReportNameLeft) {
  FakeUi ui;
  TempReportStore store(reports_);
  CompareOnce(ui, store);
  // Every later name is taken, some by links to the earlier report that must not be followed.
  for (std::uint32_t sequence = 1; sequence <= TempReportStore::kMaxSequence; ++sequence) {
    const fs::path name = reports_ / TempReportStore::FileName(::getpid(), sequence);
    if (sequence % 1000 == 0) {
      fs::create_symlink(earlier_, name);
    } else {
      std::ofstream{name};
    }
  }
  UseFailingTexts(ui);
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_NE(ui.errors[0].find("no unused report name"), std::string::npos) << ui.errors[0];
  EXPECT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ReadFile(earlier_), earlierBytes_);
  EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(reports_), {})),
            std::size_t{TempReportStore::kMaxSequence} + 1);
  EXPECT_FALSE(fs::exists(reports_.string() + ".htm"));
}

TEST_F(FaultTest, SymlinkAtTheNextNameIsSkippedNotWrittenThrough) {
  FakeUi ui;
  TempReportStore store(reports_);
  CompareOnce(ui, store);
  const fs::path next = reports_ / TempReportStore::FileName(::getpid(), 1);
  fs::create_symlink(earlier_, next);
  const fs::path dangling = dir_ / "would-be-created";
  fs::create_symlink(dangling, reports_ / TempReportStore::FileName(::getpid(), 2));

  UseFailingTexts(ui);
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  ASSERT_EQ(ui.errors, std::vector<std::string>{});
  ASSERT_EQ(ui.shown.size(), 2u);
  EXPECT_EQ(ui.shown[1], reports_ / TempReportStore::FileName(::getpid(), 3));
  EXPECT_EQ(ReadFile(earlier_), earlierBytes_);
  EXPECT_TRUE(fs::is_symlink(next));
  EXPECT_FALSE(fs::exists(dangling));
}

struct LimitCase {
  const char* name;
  bool options[5];
  std::size_t limit;
  const char* cause;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class MemoryLimitTest : public FaultTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(MemoryLimitTest, PairOverTheLimitEndsTheCompare) {
  FakeUi ui;
  TempReportStore store(reports_);
  CompareOnce(ui, store);
  std::copy(std::begin(GetParam().options), std::end(GetParam().options), ui.options);
  UseFailingTexts(ui);
  SetDpMemoryLimit(GetParam().limit);
  const int destroyedBefore = log_.destroyed;
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  ExpectCleanFailure(ui, GetParam().cause);
  EXPECT_EQ(log_.created, log_.destroyed) << "the analyser is released on the way out";
  EXPECT_EQ(log_.destroyed, destroyedBefore + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryLimitTest,
    ::testing::Values(
        // 7 x 7 steps and three rows of 7 costs: 49 + 84 bytes, one over the limit.
        LimitCase{"CharacterTable",
                  {true, false, false, false, false},
                  132,
                  "line pair 1: a line pair of 6 and 6 elements is too long"},
        // Units of the class-run analyser: abcdef and abcxyz are one word each.
        LimitCase{"MorphemeTable",
                  {false, true, false, false, false},
                  8,
                  "line pair 1: a line pair of 1 and 1 elements"},
        LimitCase{"PseudoBunsetsuTable",
                  {false, false, true, false, false},
                  8,
                  "line pair 1: a line pair of 1 and 1 elements"}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

// The report is written while the pairs are compared, so by the time a late pair fails, much
// of it is on disk already; that part must go, and the earlier report must stay.
TEST_F(FaultTest, LatePairOverTheLimitRemovesWhatWasAlreadyWritten) {
  FakeUi ui;
  TempReportStore store(reports_);
  CompareOnce(ui, store);
  std::u16string source;
  std::u16string target;
  for (int i = 0; i < 3000; ++i) {
    source += u"今日はいい天気です\n";
    target += u"今日は悪い天気でした\n";
  }
  source += std::u16string(60, u'a') + u"\n";
  target += std::u16string(60, u'b') + u"\n";
  ui.texts[0] = source;
  ui.texts[1] = target;
  // Every early pair's table (at most 11 x 11 entries and three rows) fits; 61 x 61 does not.
  SetDpMemoryLimit(1000);
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_NE(ui.errors[0].find("line pair 3001: a line pair of 60 and 60 elements"),
            std::string::npos)
      << ui.errors[0];
  EXPECT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ReadFile(earlier_), earlierBytes_);
  EXPECT_EQ(std::distance(fs::directory_iterator(reports_), {}), 1) << "the partial report is gone";
  EXPECT_EQ(log_.created, log_.destroyed);
}

// Whatever code units the editors hold, the report is valid UTF-8 with the head and foot,
// and the editors end up holding the same lines.
TEST_F(FaultTest, ArbitraryCodeUnitsGiveAWellFormedReport) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> unit(0, 0xFFFF);
  std::uniform_int_distribution<int> pick(0, 9);
  struct Input {
    const char* name;
    std::u16string text;
  };
  std::u16string binary;
  for (int i = 0; i < 3000; ++i) binary += static_cast<char16_t>(unit(random));
  std::u16string nuls(u"a\0b\0\0c\r\n\0", 9);
  std::u16string surrogates = u"x\xD800y\xDC00\xDBFF\r\n\xDFFF\xD83D\xDE00";
  std::u16string mixedBreaks = u"one\rtwo\nthree\r\n\r\nfour\n\rfive\r\r\n";
  std::u16string controls;
  for (int i = 0; i < 500; ++i)
    controls += static_cast<char16_t>(pick(random) < 5 ? unit(random) % 32 : u'字');
  const Input inputs[] = {{"Binary", binary},
                          {"Nuls", nuls},
                          {"LoneSurrogates", surrogates},
                          {"MixedLineBreaks", mixedBreaks},
                          {"ControlCharacters", controls}};
  TempReportStore store(reports_);
  for (const Input& source : inputs) {
    for (const Input& target : inputs) {
      SCOPED_TRACE(std::string(source.name) + " / " + target.name);
      FakeUi ui;
      ui.texts[0] = source.text;
      ui.texts[1] = target.text;
      OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
      ASSERT_EQ(ui.errors, std::vector<std::string>{});
      ASSERT_EQ(ui.shown.size(), 1u);
      const std::string report = ReadFile(ui.shown[0]);
      EXPECT_TRUE(report.starts_with(std::string(ReportHead())));
      EXPECT_TRUE(report.ends_with(std::string(ReportFoot())));
      // The report never holds a surrogate's bytes (ED A0..BF) nor 0xC0/0xC1/0xF5+.
      for (std::size_t i = 0; i < report.size(); ++i) {
        const auto b = static_cast<unsigned char>(report[i]);
        ASSERT_FALSE(b == 0xC0 || b == 0xC1 || b >= 0xF5) << "byte " << i;
        if (b == 0xED && i + 1 < report.size()) {
          ASSERT_LT(static_cast<unsigned char>(report[i + 1]), 0xA0) << "surrogate at " << i;
        }
      }
      for (std::u16string* text : {&ui.texts[0], &ui.texts[1]}) {
        EXPECT_EQ(text->find(u"\r\n\r\n"), std::u16string::npos);
        EXPECT_TRUE(text->empty() || text->ends_with(u"\r\n"));
      }
      fs::remove(ui.shown[0]);
    }
  }
  EXPECT_EQ(log_.created, log_.destroyed);
}

TEST_F(FaultTest, MixedLineBreaksSplitIntoTheSameLines) {
  FakeUi ui;
  ui.options[0] = true;
  ui.texts[0] = u"one\rtwo\nthree\r\n\r\nfour\n\rfive\r\r\n";
  ui.texts[1] = u"one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n";
  TempReportStore store(reports_);
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.texts[0], ui.texts[1]);
  const std::string report = ReadFile(ui.shown[0]);
  std::size_t pairs = 0;
  for (std::size_t at = report.find("<hr><br>"); at != std::string::npos;
       at = report.find("<hr><br>", at + 1)) {
    ++pairs;
  }
  EXPECT_EQ(pairs, 5u);
  EXPECT_EQ(report.find("class=\"different\""), std::string::npos)
      << "every line pairs with itself";
  EXPECT_EQ(report.find("class=\"partial\""), std::string::npos);
}

// Without a usable MeCab set-up the user hears why once per Compare, and the report is
// still written, with morpheme tables built from empty lists.
TEST_F(FaultTest, MecabThatCannotStartStillGivesAReport) {
  ScopedEnv rc("MECABRC", (dir_ / "no-such-mecabrc").string());
  ScopedEnv home("HOME", (dir_ / "no-home").string());
  TempReportStore store(reports_);
  for (int compare = 1; compare <= 2; ++compare) {
    FakeUi ui;
    ui.options[0] = false;
    ui.texts[0] = u"私は学生です。";
    ui.texts[1] = u"私は先生です。";
    OnCompare(ui, store);  // the analyser this build links in
    ASSERT_EQ(ui.errors, std::vector<std::string>{});
    ASSERT_EQ(ui.messages.size(), 1u) << "Compare " << compare;
    EXPECT_EQ(ui.messages[0].origin, "MeCab");
    EXPECT_FALSE(ui.messages[0].text.empty());
    ASSERT_EQ(ui.shown.size(), 1u);
    const std::string report = ReadFile(ui.shown[0]);
    const std::string body = report.substr(std::string(ReportHead()).size());
    // Morpheme DP: only its break. Pseudo-bunsetsu: both tables. Morpheme matching: a table
    // with two empty cells.
    EXPECT_TRUE(body.starts_with("<br><table>")) << body.substr(0, 80);
    EXPECT_EQ(body.find("形態素単位でDPマッチング"), std::string::npos);
    EXPECT_NE(body.find("疑似文節単位でDPマッチング"), std::string::npos);
    EXPECT_NE(body.find("形態素単位でマッチング</span></td>\n<td class=\"le\"></td></tr>\n<tr>\n"
                        "<td class=\"le\"></td></tr>\n</table>\n<br><hr><br>"),
              std::string::npos)
        << body;
  }
}

// Many Compares in one process, with failures in between, give every byte back: the
// analyser (with MeCab's tagger where installed), the tables and the report buffers. Under
// LeakSanitizer a leak fails the run at exit; here the heap in use must not keep growing.
TEST_F(FaultTest, ManyComparesDoNotGrowTheHeap) {
  TempReportStore store(reports_);
  auto compareRound = [&](int round) {
    FakeUi ui;
    ui.texts[0] = u"私は学生です。\n今日は、いい天気\n東京タワーへ行った";
    ui.texts[1] = u"私は先生です。\n今日は いい天気です\n東京へ行った";
    if (round % 5 == 4) SetDpMemoryLimit(64);  // every fifth Compare fails part way
    OnCompare(ui, store);
    SetDpMemoryLimit(0);
    EXPECT_EQ(ui.errors.size(), round % 5 == 4 ? 1u : 0u) << "round " << round;
    for (const fs::path& path : ui.shown) fs::remove(path);
  };
  for (int round = 0; round < 10; ++round) compareRound(round);
  const std::size_t before = mallinfo2().uordblks;
  for (int round = 10; round < 110; ++round) compareRound(round);
  const std::size_t after = mallinfo2().uordblks;
  // A leaked analyser, tagger or report per Compare would add well over this in 100 rounds.
  EXPECT_LT(after, before + 256 * 1024) << "heap in use grew from " << before << " to " << after;
}

}  // namespace
}  // namespace sorowa

#include "compare/on_compare.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "base/memory_budget.h"
#include "compare/report_document.h"
#include "compare_test_support.h"
#include "fake_morph_backend.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

using testing_support::FakeUi;
using testing_support::ReadFile;

class OnCompareTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.empty()); }
  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  testing_support::TempDir temp_;
  fs::path dir_ = temp_.path();
  testing_support::BackendLog log_;
};

TEST_F(OnCompareTest, NormalisesEditorsAndShowsTheWrittenReport) {
  FakeUi ui;
  ui.texts[0] = u"a\r\n\r\nb";
  ui.texts[1] = u"a\nb\n\nc";
  TempReportStore store(dir_);
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  EXPECT_EQ(ui.texts[0], u"a\r\nb\r\n");
  EXPECT_EQ(ui.texts[1], u"a\r\nb\r\nc\r\n");
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_EQ(ui.shown[0].parent_path(), dir_);
  EXPECT_EQ(ui.shown[0].filename().string(), TempReportStore::FileName(getpid(), 0));
  const std::string report = ReadFile(ui.shown[0]);
  EXPECT_TRUE(report.starts_with(std::string(ReportHead())));
  EXPECT_TRUE(report.ends_with("<hr><br></body></html>"));
  EXPECT_EQ(fs::status(ui.shown[0]).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(OnCompareTest, EmptyEditorsGiveHeadAndFootOnly) {
  FakeUi ui;
  ui.texts[0] = u"\r\n";
  TempReportStore store(dir_);
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ReadFile(ui.shown[0]), std::string(ReportHead()) + "</body></html>");
  EXPECT_EQ(ui.texts[0], u"");
  EXPECT_EQ(log_.created, 1);
}

TEST_F(OnCompareTest, SecondCompareWritesANewFile) {
  FakeUi ui;
  ui.texts[0] = ui.texts[1] = u"あ";
  TempReportStore store(dir_);
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  ASSERT_EQ(ui.shown.size(), 2u);
  EXPECT_EQ(ui.shown[1].filename().string(), TempReportStore::FileName(getpid(), 1));
  EXPECT_TRUE(ui.shown[1].filename().string().ends_with(".1.htm"));
  EXPECT_EQ(FileCount(), 2u);
}

TEST_F(OnCompareTest, StartupMessageShownOncePerCompare) {
  FakeUi ui;
  TempReportStore store(dir_);
  for (int i = 0; i < 2; ++i) {
    OnCompare(ui, store, testing_support::ClassRunFactory(&log_, "no dictionary"));
  }
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].origin, "MeCab");
  EXPECT_EQ(ui.messages[0].text, "no dictionary");
  EXPECT_EQ(ui.shown.size(), 2u);
}

TEST_F(OnCompareTest, CancelWritesNothingAndReportsNothing) {
  FakeUi ui;
  ui.texts[0] = u"a\nb";
  ui.texts[1] = u"a\nb";
  ui.cancelAt = 1;
  TempReportStore store(dir_);
  OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_EQ(FileCount(), 0u);
  EXPECT_EQ(ui.texts[0], u"a\r\nb\r\n");
  EXPECT_EQ(log_.destroyed, 1);
}

TEST_F(OnCompareTest, FailuresEndTheCommandWithOneError) {
  struct Failure {
    const char* name;
    std::function<void()> arrange;
    std::string expectedText;
  };
  const Failure failures[] = {
      {"UnwritableDirectory", [this] { fs::remove_all(dir_); }, "cannot create the report"},
      {"TooLarge", [] { SetDpMemoryLimit(64); }, "too long to align"},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.name);
    FakeUi ui;
    ui.options[0] = true;
    ui.texts[0] = u"abcdef\n";
    ui.texts[1] = u"abcxyz";
    failure.arrange();
    TempReportStore store(dir_);
    OnCompare(ui, store, testing_support::ClassRunFactory(&log_));
    SetDpMemoryLimit(0);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_NE(ui.errors[0].find(failure.expectedText), std::string::npos) << ui.errors[0];
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(ui.texts[0], u"abcdef\r\n") << "the editors keep their normalised texts";
    fs::create_directories(dir_);
  }
}

}  // namespace
}  // namespace sorowa

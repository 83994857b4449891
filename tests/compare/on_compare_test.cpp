#include "compare/on_compare.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "align/dp_limits.h"
#include "compare/report_document.h"
#include "compare/utf8.h"
#include "fake_morph_backend.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

class FakeUi : public CompareUi {
 public:
  std::u16string texts[2];
  bool options[5] = {false, true, true, true, true};
  std::vector<fs::path> shown;
  std::vector<std::string> errors;
  std::vector<UserMessage> messages;
  std::size_t cancelAt = static_cast<std::size_t>(-1);

  std::u16string EditorText(Editor editor) const override {
    return texts[static_cast<int>(editor)];
  }
  void SetEditorText(Editor editor, const std::u16string& text) override {
    texts[static_cast<int>(editor)] = text;
  }
  bool IsOptionChecked(OptionId option) const override { return options[static_cast<int>(option)]; }
  void ShowReport(const fs::path& path) override { shown.push_back(path); }
  void ReportError(const std::string& message) override { errors.push_back(message); }
  void ShowMessage(const UserMessage& message) override { messages.push_back(message); }
  bool ReportProgress(std::size_t done, std::size_t) override { return done < cancelAt; }
};

class OnCompareTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sorowa-oncompare-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }
  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  fs::path dir_;
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
  const std::string report = Read(ui.shown[0]);
  EXPECT_TRUE(report.starts_with(ToUtf8(ReportHead())));
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
  EXPECT_EQ(Read(ui.shown[0]), ToUtf8(ReportHead()) + "</body></html>");
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

// MeCab as the Compare command sees it: its start-up message, the analyser's life and what a
// broken set-up leaves in the report.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "compare/compare_line_pairs.h"
#include "compare/on_compare.h"
#include "mecab_test_env.h"
#include "segment/mecab_backend.h"

namespace sorowa {
namespace {

using testing::kIpadicUtf8Dir;
using testing::ScopedMecabrc;

class FakeUi : public CompareUi {
 public:
  std::u16string EditorText(Editor editor) const override { return texts.at(editor); }
  void SetEditorText(Editor editor, const std::u16string& text) override { texts[editor] = text; }
  bool IsOptionChecked(OptionId option) const override { return checked.count(option) != 0; }
  void ShowReport(const std::filesystem::path& path) override { shown.push_back(path); }
  void ReportError(const std::string& message) override { errors.push_back(message); }
  void ShowMessage(const UserMessage& message) override { messages.push_back(message); }

  std::map<Editor, std::u16string> texts;
  std::set<OptionId> checked;
  std::vector<std::filesystem::path> shown;
  std::vector<std::string> errors;
  std::vector<UserMessage> messages;
};

class MemoryStore : public ReportStore {
 public:
  std::filesystem::path Write(std::string_view utf8) override {
    reports.emplace_back(utf8);
    return "report-" + std::to_string(reports.size()) + ".htm";
  }
  std::vector<std::string> reports;
};

// Counts the back-ends made and still alive while handing out real MeCab ones.
struct CountingFactory {
  int created = 0;
  int alive = 0;

  MorphBackendFactory Factory() {
    return [this](const MessageSink& sink) -> std::unique_ptr<MorphBackend> {
      ++created;
      std::unique_ptr<MecabBackend> inner = MecabBackend::Create(sink);
      if (!inner) return nullptr;
      return std::make_unique<Tracked>(std::move(inner), alive);
    };
  }

  class Tracked : public MorphBackend {
   public:
    Tracked(std::unique_ptr<MecabBackend> inner, int& alive)
        : inner_(std::move(inner)), alive_(alive) {
      ++alive_;
    }
    ~Tracked() override { --alive_; }
    bool Analyze(std::u16string_view text, std::vector<std::uint32_t>& words) override {
      return inner_->Analyze(text, words);
    }

   private:
    std::unique_ptr<MecabBackend> inner_;
    int& alive_;
  };
};

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != text.npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(MecabCompareTest, OneTaggerPerCompareWhateverTheInput) {
  ScopedMecabrc rc(kIpadicUtf8Dir);
  struct Case {
    const char* name;
    std::u16string source;
    std::u16string target;
    CompareOptions options;
  };
  const CompareOptions none{false, false, false, false, false};
  const CompareOptions all{true, true, true, true, true};
  const Case cases[] = {
      {"no lines, no options", u"", u"", none},
      {"no lines, all options", u"", u"", all},
      {"lines, no options", u"私は学生です。\n猫", u"私が学生だ。\n犬", none},
      {"lines, all options", u"私は学生です。\n猫\n本", u"私が学生だ。\n犬\n本", all},
  };
  for (const Case& c : cases) {
    CountingFactory counter;
    CompareHooks hooks;
    hooks.morphBackendFactory = counter.Factory();
    std::string report;
    CompareLinePairs(c.source, c.target, report, c.options, hooks);
    EXPECT_EQ(counter.created, 1) << c.name;
    EXPECT_EQ(counter.alive, 0) << c.name << ": the tagger outlived its Compare";
  }
}

TEST(MecabCompareTest, TaggerIsReleasedWhenTheCompareIsCancelled) {
  ScopedMecabrc rc(kIpadicUtf8Dir);
  CountingFactory counter;
  CompareHooks hooks;
  hooks.morphBackendFactory = counter.Factory();
  hooks.progress = [](std::size_t done, std::size_t) {
    if (done == 1) throw std::runtime_error("stop");
  };
  std::string report;
  EXPECT_THROW(CompareLinePairs(u"私\n猫\n本", u"私\n犬\n本", report, CompareOptions{}, hooks),
               std::runtime_error);
  EXPECT_EQ(counter.created, 1);
  EXPECT_EQ(counter.alive, 0);
}

TEST(MecabCompareTest, MissingDictionaryIsReportedOncePerCompareAndTheReportIsWritten) {
  ScopedMecabrc rc(std::filesystem::path("/nonexistent/sorowa/dic"));
  FakeUi ui;
  ui.texts[Editor::Source] = u"私は学生です。\n猫がいる";
  ui.texts[Editor::Target] = u"私が学生だ。\n犬がいる";
  ui.checked = {OptionId::MorphemeDp, OptionId::MorphemeMatch};
  MemoryStore store;

  for (int compare = 1; compare <= 2; ++compare) {
    OnCompare(ui, store);
    ASSERT_EQ(ui.messages.size(), static_cast<std::size_t>(compare));
    EXPECT_EQ(ui.messages.back().origin, "MeCab");
    // MeCab's own text, naming what it could not open.
    EXPECT_NE(ui.messages.back().text.find("/nonexistent/sorowa/dic"), std::string::npos)
        << ui.messages.back().text;
  }
  EXPECT_TRUE(ui.errors.empty());
  ASSERT_EQ(ui.shown.size(), 2u);
  ASSERT_EQ(store.reports.size(), 2u);

  // Per pair: the morpheme DP table adds only its <br>, the matching table has two empty
  // cells, exactly as with no analyser at all.
  CompareOptions options{false, true, false, false, true};
  std::vector<UserMessage> messages;
  CompareHooks hooks;
  hooks.showMessage = [&](const UserMessage& m) { messages.push_back(m); };
  std::string broken;
  CompareLinePairs(u"私は学生です。", u"私が学生だ。", broken, options, hooks);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(broken.rfind("<br>", 0), 0u);
  EXPECT_EQ(Count(broken, "<td class=\"le\"></td></tr>\n"), 2u);
  EXPECT_EQ(broken.find("学生"), broken.npos);

  CompareHooks absent;
  absent.morphBackendFactory = [](const MessageSink&) { return std::unique_ptr<MorphBackend>(); };
  std::string without;
  CompareLinePairs(u"私は学生です。", u"私が学生だ。", without, options, absent);
  EXPECT_EQ(broken, without);
}

TEST(MecabCompareTest, AnOldFailureIsNotShownAfterASuccess) {
  {
    ScopedMecabrc rc(std::filesystem::path("/nonexistent/sorowa/dic"));
    int shown = 0;
    EXPECT_EQ(MecabBackend::Create([&](const UserMessage&) { ++shown; }), nullptr);
    EXPECT_EQ(shown, 1);
  }
  ScopedMecabrc rc(kIpadicUtf8Dir);
  std::vector<UserMessage> messages;
  EXPECT_NE(MecabBackend::Create([&](const UserMessage& m) { messages.push_back(m); }), nullptr);
  EXPECT_TRUE(messages.empty()) << messages.front().text;
}

TEST(MecabCompareTest, DefaultResourceFileIsUsedWithoutMecabrc) {
  if (!std::filesystem::exists("/etc/mecabrc")) GTEST_SKIP() << "no /etc/mecabrc";
  ScopedMecabrc rc(std::nullopt);
  std::vector<UserMessage> messages;
  EXPECT_NE(CreateDefaultMorphBackend([&](const UserMessage& m) { messages.push_back(m); }),
            nullptr);
  EXPECT_TRUE(messages.empty()) << messages.front().text;
}

}  // namespace
}  // namespace sorowa

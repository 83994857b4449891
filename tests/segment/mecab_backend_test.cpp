#include "segment/mecab_backend.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mecab_test_env.h"
#include "segment/morph_analyzer.h"

namespace sorowa {
namespace {

using testing::kIpadicUtf8Dir;
using testing::ScopedMecabrc;

// Every test here runs on the real mecab-ipadic-utf8 dictionary, chosen explicitly so that
// the system's choice of default dictionary cannot change the expected words.
class MecabBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kIpadicUtf8Dir / "sys.dic"))
        << "install mecab-ipadic-utf8 to run these tests";
    analyzer_.emplace([this](const UserMessage& m) { messages_.push_back(m); });
    analyzer_->SetLanguage(0);
    ASSERT_TRUE(analyzer_->hasBackend());
    ASSERT_TRUE(messages_.empty()) << messages_.front().text;
  }

  SegmentList Split(const std::u16string& line) {
    SegmentList list;
    analyzer_->SplitMorphemes(line, list);
    return list;
  }

  ScopedMecabrc rc_{kIpadicUtf8Dir};
  std::vector<UserMessage> messages_;
  std::optional<MorphAnalyzer> analyzer_;
};

TEST_F(MecabBackendTest, SplitsLinesIntoWordsAndSkippedRuns) {
  struct Case {
    const char* name;
    std::u16string line;
    SegmentList expected;
  };
  const Case cases[] = {
      {"plain sentence", u"私は学生です。", {u"私", u"は", u"学生", u"です", u"。"}},
      {"one character", u"私", {u"私"}},
      {"leading spaces", u"  私は", {u"  ", u"私", u"は"}},
      {"tab between words", u"私は\t学生", {u"私", u"は", u"\t", u"学生"}},
      {"trailing spaces", u"学生 \t ", {u"学生", u" \t "}},
      {"only spaces", u"   ", {u"   "}},
      // MeCab treats the ideographic space as a word, not as a gap; either way it is kept.
      {"ideographic space", u"私　学生", {u"私", u"　", u"学生"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Split(c.line), c.expected) << c.name;
  }
}

TEST_F(MecabBackendTest, KeepsSurrogatesWithTheirCharacters) {
  // U+20BB7 (a variant of 吉) as a pair: it must stay whole inside one segment, also in a
  // line long enough to be given to MeCab in pieces, cut between sentences or characters.
  std::u16string longLine;
  while (longLine.size() < 30000) longLine += u"\U00020BB7\U00029E3D\U0001F600";
  for (const std::u16string& pair : {std::u16string(u"\U00020BB7野家で食べた"), longLine}) {
    const SegmentList list = Split(pair);
    ASSERT_FALSE(list.empty());
    std::u16string joined;
    for (const Segment& s : list) {
      ASSERT_FALSE(s.empty());
      ASSERT_FALSE(s.front() >= 0xDC00 && s.front() <= 0xDFFF) << "pair split apart";
      joined += s;
    }
    EXPECT_EQ(joined, pair);
  }

  // A lone surrogate reaches MeCab as U+FFFD but the segment holds the original code unit.
  const std::u16string lone = std::u16string(u"私は") + char16_t(0xD800) + u"学生";
  const SegmentList list = Split(lone);
  std::u16string joined;
  for (const Segment& s : list) joined += s;
  EXPECT_EQ(joined, lone);
  EXPECT_EQ(list.front(), u"私");
  EXPECT_EQ(list.back(), u"学生");
}

TEST_F(MecabBackendTest, SegmentsAlwaysSpellTheLineOnRandomLines) {
  const std::vector<std::u16string> pool = {
      u"私",         u"は",     u"学生",   u"です", u"。", u"カタカナ", u"漢字",
      u"ひらがな",   u"abc",    u"123",    u" ",    u"\t", u"　",       u"、",
      u"「",         u"」",     u"&",      u"<",    u"ｱ",  u"é",        u"\U0001F600",
      u"\U00020BB7", u"\xD800", u"\xDFFF", u"\r",
  };
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  std::uniform_int_distribution<int> length(1, 40);
  for (int round = 0; round < 500; ++round) {
    std::u16string line;
    for (int k = length(random); k > 0; --k) line += pool[pick(random)];
    const SegmentList list = Split(line);
    ASSERT_FALSE(list.empty()) << "round " << round;
    std::u16string joined;
    for (const Segment& s : list) {
      ASSERT_FALSE(s.empty()) << "round " << round;
      joined += s;
    }
    ASSERT_EQ(joined, line) << "round " << round;
  }
}

TEST_F(MecabBackendTest, GivesOneWordIndexPerCodeUnitEvenAcrossNul) {
  std::unique_ptr<MecabBackend> backend = MecabBackend::Create({});
  ASSERT_NE(backend, nullptr);
  const std::u16string text(u"私は\0学生です", 7);
  std::vector<std::uint32_t> words;
  ASSERT_TRUE(backend->Analyze(text, words));
  ASSERT_EQ(words.size(), text.size());
  // The characters after the NUL were analysed, not cut off.
  EXPECT_EQ(words[5], words[6]) << "です is one word";
  EXPECT_NE(words[4], words[5]);
  EXPECT_NE(words[1], words[2]);

  // The lattice is reused: a short line after a long one carries nothing over.
  ASSERT_TRUE(backend->Analyze(u"学生", words));
  EXPECT_EQ(words, (std::vector<std::uint32_t>{0, 0}));
  ASSERT_TRUE(backend->Analyze(u"", words));
  EXPECT_TRUE(words.empty());
}

TEST_F(MecabBackendTest, LongSkippedRunsStayWhole) {
  // MeCab counts a node's leading whitespace in 16 bits; runs longer than that still have
  // to come back as one segment each.
  const std::u16string spaces(70000, u' ');
  const std::u16string tabs(70000, u'\t');
  EXPECT_EQ(Split(spaces + u"私は" + spaces + u"学生" + tabs),
            (SegmentList{spaces, u"私", u"は", spaces, u"学生", tabs}));
  // Short runs next to a long one are left to MeCab as usual.
  EXPECT_EQ(Split(u"私 " + spaces + u"は 学生"),
            (SegmentList{u"私", u" " + spaces, u"は", u" ", u"学生"}));
}

// A line far longer than MeCab is handed at once is parsed sentence by sentence: every
// sentence still gets its own words, whether or not the line has sentence-final marks.
TEST_F(MecabBackendTest, LongLinesAreParsedInPiecesWithoutLosingWords) {
  std::u16string withMarks, withoutMarks;
  for (int i = 0; i < 3000; ++i) withMarks += u"私は学生です。";
  for (int i = 0; i < 8000; ++i) withoutMarks += u"学生";
  const SegmentList sentences = Split(withMarks);
  ASSERT_EQ(sentences.size(), 5u * 3000);
  for (std::size_t k = 0; k < sentences.size(); k += 5) {
    ASSERT_EQ(SegmentList(sentences.begin() + k, sentences.begin() + k + 5),
              (SegmentList{u"私", u"は", u"学生", u"です", u"。"}))
        << "sentence " << k / 5;
  }
  std::u16string joined;
  for (const Segment& segment : Split(withoutMarks)) joined += segment;
  EXPECT_EQ(joined, withoutMarks);
}

TEST(MecabCharsetTest, RecognisesUtf8Names) {
  for (const char* name : {"UTF-8", "utf-8", "UTF8", "utf8", "Utf-8"}) {
    EXPECT_TRUE(IsUtf8CharsetName(name)) << name;
  }
  for (const char* name : {"EUC-JP", "SHIFT-JIS", "UTF-16", "utf_8", "", "utf-8 "}) {
    EXPECT_FALSE(IsUtf8CharsetName(name)) << name;
  }
}

TEST(MecabCharsetTest, RefusesADictionaryInAnotherCharset) {
  if (!std::filesystem::exists(testing::kIpadicEucDir / "sys.dic")) {
    GTEST_SKIP() << "no EUC-JP dictionary (mecab-ipadic) installed";
  }
  ScopedMecabrc rc(testing::kIpadicEucDir);
  std::vector<UserMessage> messages;
  MorphAnalyzer analyzer([&](const UserMessage& m) { messages.push_back(m); });
  analyzer.SetLanguage(0);
  EXPECT_FALSE(analyzer.hasBackend());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].origin, "MeCab");
  EXPECT_NE(messages[0].text.find("EUC-JP"), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[0].text.find("mecab-ipadic-utf8"), std::string::npos) << messages[0].text;

  SegmentList list;
  analyzer.SplitMorphemes(u"私は学生です。", list);
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace sorowa

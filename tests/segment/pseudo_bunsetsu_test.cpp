#include <gtest/gtest.h>

#include <random>

#include "segment/char_class.h"
#include "segment/morph_analyzer.h"

namespace sorowa {
namespace {

std::unique_ptr<MorphBackend> NoBackend(const MessageSink&) { return nullptr; }

std::u16string Split(const std::u16string& line) {
  MorphAnalyzer analyzer({}, NoBackend);
  analyzer.SetLanguage(0);
  SegmentList units;
  analyzer.SplitPseudoBunsetsu(line, units);
  std::u16string joined;
  for (std::size_t i = 0; i < units.size(); ++i) joined += (i ? u"/" : u"") + units[i];
  return joined;
}

TEST(PseudoBunsetsuTest, SplitsByCharacterClass) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"漢字かな", u"漢字かな"},
      {u"かな漢字", u"かな/漢字"},
      {u"私は学生です。", u"私は/学生です/。"},
      {u"今日は、いい天気", u"今日は/、いい/天気"},
      {u"東京タワーへ行った", u"東京タワーへ/行った"},
      {u"カタカナかな", u"カタカナ/かな"},
      {u"カタカナ漢字", u"カタカナ/漢字"},
      {u"漢字カタカナ", u"漢字カタカナ"},
      {u"コーヒー", u"コーヒー"},
      {u"人々", u"人/々"},
      {u"ABCかな", u"ABCかな"},
      {u"かなABC", u"かな/ABC"},
      {u"ABC漢字", u"ABC/漢字"},
      {u"3月", u"3/月"},
      {u"３月", u"３/月"},
      {u"1.5", u"1/./5"},
      {u"a b", u"a/ /b"},
      {u"  ", u"  "},
      {u"[漢字]", u"[/漢字/]"},
      {u"(漢字)", u"(/漢字/)"},
      {u"x", u"x"},
      {u"\U0001F600漢", u"\U0001F600/漢"},  // a surrogate pair stays whole
  };
  for (const auto& [line, expected] : cases) {
    EXPECT_EQ(Split(line), expected) << "line of " << line.size() << " code units";
  }
}

TEST(PseudoBunsetsuTest, BoundaryTableIsComplete) {
  using C = CharClass;
  const C all[] = {C::Hiragana, C::Katakana, C::Kanji, C::Other, C::Delimiter};
  // Rows: earlier class; columns: later class.
  const bool expected[5][5] = {
      {0, 1, 1, 1, 1}, {1, 0, 1, 0, 1}, {0, 0, 0, 1, 1}, {0, 0, 1, 0, 1}, {1, 1, 1, 1, 0}};
  for (int p = 0; p < 5; ++p) {
    for (int n = 0; n < 5; ++n) {
      EXPECT_EQ(IsUnitBoundary(all[p], all[n]), expected[p][n]) << p << " then " << n;
    }
  }
}

TEST(PseudoBunsetsuTest, ClassRangeEdges) {
  const std::pair<char16_t, CharClass> cases[] = {
      {u'\u3040', CharClass::Other},    {u'\u3041', CharClass::Hiragana},
      {u'\u3093', CharClass::Hiragana}, {u'\u3094', CharClass::Other},
      {u'\u30A0', CharClass::Other},    {u'\u30A1', CharClass::Katakana},
      {u'\u30F6', CharClass::Katakana}, {u'\u30F7', CharClass::Other},
      {u'\u30FC', CharClass::Other},    {u'\u4DFF', CharClass::Other},
      {u'\u4E00', CharClass::Kanji},    {u'\u9FFF', CharClass::Kanji},
      {u'\uA000', CharClass::Other},    {u'\0', CharClass::Delimiter},
      {u'/', CharClass::Delimiter},     {u'0', CharClass::Other},
      {u'9', CharClass::Other},         {u':', CharClass::Delimiter},
      {u'@', CharClass::Delimiter},     {u'A', CharClass::Other},
      {u'[', CharClass::Other},         {u'\u3000', CharClass::Other},
      {u'\xD800', CharClass::Other},    {u'\uFFFF', CharClass::Other},
  };
  for (const auto& [c, expected] : cases) {
    EXPECT_EQ(ClassifyChar(c), expected) << "U+" << std::hex << static_cast<int>(c);
  }
}

TEST(PseudoBunsetsuTest, SegmentsRebuildTheLineAndAreNeverEmpty) {
  std::mt19937 random(7);
  const char16_t pool[] = {u'あ', u'ア', u'漢', u'A', u' ', u'。', u'ー', u'\xD800', u'1'};
  MorphAnalyzer analyzer({}, NoBackend);
  analyzer.SetLanguage(0);
  for (int round = 0; round < 500; ++round) {
    std::u16string line;
    const int length = 1 + static_cast<int>(random() % 30);
    for (int k = 0; k < length; ++k) line += pool[random() % std::size(pool)];
    SegmentList units;
    analyzer.SplitPseudoBunsetsu(line, units);
    std::u16string joined;
    for (const Segment& unit : units) {
      ASSERT_FALSE(unit.empty());
      joined += unit;
    }
    ASSERT_EQ(joined, line);
  }
}

TEST(PseudoBunsetsuTest, OnlyJapaneseSegments) {
  MorphAnalyzer analyzer({}, NoBackend);
  SegmentList units;
  analyzer.SetLanguage(1);
  analyzer.SplitPseudoBunsetsu(u"かな漢字", units);
  EXPECT_TRUE(units.empty());
}

}  // namespace
}  // namespace sorowa

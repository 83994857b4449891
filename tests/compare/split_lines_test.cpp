#include "compare/split_lines.h"

#include <gtest/gtest.h>

#include <boost/regex.hpp>
#include <iterator>
#include <random>

#include "base/utf8.h"

namespace sorowa {
namespace {

struct SplitCase {
  const char* name;
  std::u16string text;
  std::vector<std::u16string> lines;
};

class SplitLinesTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitLinesTest, Splits) {
  std::vector<std::u16string> lines{u"stale"};
  SplitLines(GetParam().text, lines);
  EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitLinesTest,
    testing::Values(SplitCase{"Empty", u"", {}}, SplitCase{"OnlyBreaks", u"\r\n\n\r\r", {}},
                    SplitCase{"MixedBreaks", u"a\r\n\r\nb\nc\rd", {u"a", u"b", u"c", u"d"}},
                    SplitCase{"LoneCarriageReturn", u"x\ry", {u"x", u"y"}},
                    SplitCase{"SpacesKept", u"   \n\tz ", {u"   ", u"\tz "}},
                    SplitCase{"OtherSeparatorsStayInLine",
                              u"a\fb\u0085c\u2028d\u2029e\n",
                              {u"a\fb\u0085c\u2028d\u2029e"}},
                    SplitCase{"NulAndLoneSurrogates",
                              std::u16string(u"a\0b\xD800\n\xDC00", 6),
                              {std::u16string(u"a\0b\xD800", 4), u"\xDC00"}},
                    SplitCase{"Japanese", u"今日は\r\n晴れ", {u"今日は", u"晴れ"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

// The lines are what the expression ^[^\r\n]+$ finds when searched for again from the end
// of each match, as the splitting was first written; random texts rich in breaks and in
// the characters a regular expression engine takes for line separators.
TEST(SplitLinesTest, FindsWhatTheLineExpressionFinds) {
  const char16_t pool[] = {u'a',      u'\r',     u'\n', u'\f', u'\v',     u'\u0085',
                           u'\u2028', u'\u2029', u'\0', u'字', u'\xD800', u' '};
  static const boost::wregex kLine(L"^[^\\r\\n]+$");
  std::mt19937 random(20261209);
  for (int round = 0; round < 3000; ++round) {
    std::u16string text(random() % 30, u'a');
    for (char16_t& c : text) c = pool[random() % std::size(pool)];
    std::vector<std::u16string> expected;
    const std::wstring wide(text.begin(), text.end());
    boost::wsmatch match;
    for (auto from = wide.cbegin(); boost::regex_search(from, wide.cend(), match, kLine);
         from = match[0].second) {
      expected.push_back(text.substr(match[0].first - wide.cbegin(), match[0].length()));
    }
    std::vector<std::u16string> lines;
    SplitLines(text, lines);
    ASSERT_EQ(lines, expected) << "round " << round;
    ASSERT_EQ(NormalizeLineBreaks(text), NormalizeText(lines)) << "round " << round;
  }
}

TEST(NormalizeTextTest, EveryLineEndsInCrLf) {
  EXPECT_EQ(NormalizeText({}), u"");
  EXPECT_EQ(NormalizeText({u"a", u"b"}), u"a\r\nb\r\n");
}

TEST(SplitLinesTest, LongLineDoesNotExhaustTheMatcher) {
  const std::u16string text = std::u16string(200000, u'あ') + u"\n" + std::u16string(3, u'b');
  std::vector<std::u16string> lines;
  SplitLines(text, lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 200000u);
}

struct Utf8Case {
  const char* name;
  std::u16string text;
  std::string bytes;
};

class ToUtf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(ToUtf8Test, Converts) { EXPECT_EQ(ToUtf8(GetParam().text), GetParam().bytes); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ToUtf8Test,
    testing::Values(Utf8Case{"Ascii", u"ab", "ab"},
                    Utf8Case{"NulKept", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
                    Utf8Case{"TwoBytes", u"\u00E9", "\xC3\xA9"},
                    Utf8Case{"Kana", u"あ", "\xE3\x81\x82"},
                    Utf8Case{"Pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
                    Utf8Case{"LoneHigh",
                             u"\xD800"
                             u"a",
                             "\xEF\xBF\xBD"
                             "a"},
                    Utf8Case{"LoneLowAtEnd", u"a\xDC00", "a\xEF\xBF\xBD"},
                    Utf8Case{"ReversedPair", u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                    Utf8Case{"HighThenHighThenLow", u"\xD800\xD800\xDC00",
                             "\xEF\xBF\xBD\xF0\x90\x80\x80"}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return info.param.name; });

TEST(AppendUtf8Test, AppendsAfterExistingBytes) {
  std::string out = "x";
  AppendUtf8(out, u"\xD800あ");
  AppendUtf8(out, u"");
  AppendUtf8(out, u"a");
  EXPECT_EQ(out,
            "x\xEF\xBF\xBD\xE3\x81\x82"
            "a");
}

// The vectorised ASCII runs must hand over to the scalar path at any offset, and a text
// converted a stretch of 4096 code units at a time must not care where a stretch ends.
TEST(AppendUtf8Test, LongMixedTextsMatchCodePointByCodePoint) {
  const char16_t pool[] = {u'a', u'<', u'\u00E9', u'\u3042', u'\xD83D', u'\xDE00', u'\0'};
  unsigned state = 99;
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    const int length = round % 40 + (round % 3 == 0 ? 4076 : 0);
    for (int k = 0; k < length; ++k) {
      state = state * 1103515245u + 12345u;
      // Mostly ASCII, so that runs of eight and more occur often.
      const char16_t c = (state >> 20) % 4 ? u'a' + (state >> 8) % 26 : pool[(state >> 16) % 7];
      text += c;
    }
    std::string direct;
    AppendUtf8(direct, text);
    // The same text converted one character (or surrogate pair) at a time.
    std::string viaPieces;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
      viaPieces += ToUtf8(std::u16string_view(text).substr(i, pair ? 2 : 1));
      if (pair) ++i;
    }
    ASSERT_EQ(direct, viaPieces) << "round " << round;
  }
}

}  // namespace
}  // namespace sorowa

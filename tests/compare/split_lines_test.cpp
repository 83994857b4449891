#include "compare/split_lines.h"

#include <gtest/gtest.h>

#include "compare/utf8.h"

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

}  // namespace
}  // namespace sorowa

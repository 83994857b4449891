#include "align/escape_html.h"

#include <gtest/gtest.h>

namespace sorowa {
namespace {

struct EscapeCase {
  const char* name;
  std::u16string input;
  std::u16string expected;
};

class EscapeHtmlTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeHtmlTest, Escapes) {
  const std::u16string input = GetParam().input;
  EXPECT_EQ(EscapeHtml(input), GetParam().expected);
  EXPECT_EQ(input, GetParam().input) << "the argument must stay as it was";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EscapeHtmlTest,
    testing::Values(EscapeCase{"Empty", u"", u""},
                    EscapeCase{"Untouched", u"日本語ＡＢＣ１２３abc。", u"日本語ＡＢＣ１２３abc。"},
                    EscapeCase{"Ampersand", u"&", u"&amp;"},
                    EscapeCase{"ExistingEntity", u"&lt;", u"&amp;lt;"},
                    EscapeCase{"Quote", u"a\"b", u"a&quot;b"},
                    EscapeCase{"AllFiveInOrder", u"&\"<> ", u"&amp;&quot;&lt;&gt;&nbsp;"},
                    EscapeCase{"AllFiveReversed", u" ><\"&", u"&nbsp;&gt;&lt;&quot;&amp;"},
                    EscapeCase{"SpacesKeepWidth", u" a  b ", u"&nbsp;a&nbsp;&nbsp;b&nbsp;"},
                    EscapeCase{"OtherSpacesPassThrough", u"'\t\r\n\u00A0\u3000",
                               u"'\t\r\n\u00A0\u3000"},
                    EscapeCase{"NulAndSurrogates", std::u16string(u"a\0\xD800<", 4),
                               std::u16string(u"a\0\xD800&lt;", 7)}),
    [](const testing::TestParamInfo<EscapeCase>& info) { return info.param.name; });

struct ReplaceCase {
  const char* name;
  std::u16string target, pattern, replacement, expected;
};

class ReplaceAllTest : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllTest, Replaces) {
  std::u16string target = GetParam().target;
  ReplaceAll(target, GetParam().pattern, GetParam().replacement);
  EXPECT_EQ(target, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceAllTest,
    testing::Values(
        ReplaceCase{"NoMatch", u"abc", u"x", u"y", u"abc"},
        ReplaceCase{"EveryMatch", u"abab", u"ab", u"c", u"cc"},
        // The replacement contains the pattern: resuming after it must not loop or re-match.
        ReplaceCase{"ReplacementHoldsPattern", u"aa", u"a", u"aa", u"aaaa"},
        ReplaceCase{"NonOverlapping", u"aaa", u"aa", u"b", u"ba"},
        ReplaceCase{"Shrinks", u"xaaay", u"a", u"", u"xy"}),
    [](const testing::TestParamInfo<ReplaceCase>& info) { return info.param.name; });

}  // namespace
}  // namespace sorowa

namespace sorowa {
namespace {

TEST(AppendEscapedHtmlTest, AgreesWithFivePassEscape) {
  const char16_t pool[] = {u'&', u'"', u'<', u'>', u' ', u'a', u';', u'あ', u'\xD800', u'\0'};
  unsigned state = 12345;
  for (int round = 0; round < 2000; ++round) {
    std::u16string text;
    const int length = round % 17;
    for (int k = 0; k < length; ++k) {
      state = state * 1103515245u + 12345u;
      text += pool[(state >> 16) % std::size(pool)];
    }
    std::u16string appended = u"prefix";
    AppendEscapedHtml(appended, text);
    ASSERT_EQ(appended, u"prefix" + EscapeHtml(text)) << "round " << round;
  }
}

}  // namespace
}  // namespace sorowa

#include "align/escape_html.h"

#include <gtest/gtest.h>

#include <random>

#include "align/report_buffer.h"
#include "base/utf8.h"

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

// The report's one-pass escaping and conversion against the five passes and the plain
// conversion: random texts rich in the five characters, ASCII runs long enough for the
// vector path, every length of UTF-8 sequence, lone and paired surrogates, and now and then
// a text longer than one conversion stretch with a pair across its edge.
TEST(ReportBufferTest, EscapesAndConvertsAsTheFivePassesThenUtf8) {
  const char16_t pool[] = {u'&',  u'"',      u'<',      u'>',      u' ',  u'a',     u';',
                           u'あ', u'\xD800', u'\xDC00', u'\xDBFF', u'\0', u'\x7F',  u'\xE9',
                           u'漢', u'\xFFFF', u'\x800',  u'x',      u'y',  u'\xFFFD'};
  std::mt19937 random(20261209);
  for (int round = 0; round < 3000; ++round) {
    std::u16string text;
    const std::size_t length = round % 100 == 99 ? 16384 + random() % 10 : random() % 80;
    while (text.size() < length) {
      const std::size_t run = random() % 4 == 0 ? 1 + random() % 20 : 1;
      const char16_t c = pool[random() % std::size(pool)];
      if (random() % 8 == 0) {
        text += u"𩸽";
      } else {
        text.append(run, c);
      }
    }
    if (round % 100 == 99) text.insert(16383, u"𩸽");
    ReportBuffer escaped("x");
    escaped.AppendEscaped(text);
    ASSERT_EQ(escaped.bytes(), "x" + ToUtf8(EscapeHtml(text))) << "round " << round;
    ReportBuffer cell;
    cell.AppendCell("<td>", text, "</td>\n");
    ASSERT_EQ(cell.bytes(), "<td>" + ToUtf8(EscapeHtml(text)) + "</td>\n") << "round " << round;
    ReportBuffer plain;
    plain.AppendText(text);
    ASSERT_EQ(plain.bytes(), ToUtf8(text)) << "round " << round;
  }
}

}  // namespace
}  // namespace sorowa

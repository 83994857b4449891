#include "text/input_decoding.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace sorowa {
namespace {

using namespace std::string_literals;

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::string encoding;
  std::u16string expected;
};

// Test names in ctest, instead of a byte dump of the case.
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class DecodeInputOk : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeInputOk, GivesTheExpectedCodeUnits) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(DecodeInput(c.bytes, c.encoding), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeInputOk,
    testing::Values(
        DecodeCase{"Empty", "", "", u""}, DecodeCase{"Ascii", "a\r\nb\n", "", u"a\r\nb\n"},
        DecodeCase{"NulIsKept", "a\0b"s, "", u"a\0b"s},
        DecodeCase{"Japanese", "日本語", "", u"日本語"},
        DecodeCase{"Utf8BomDropped",
                   "\xEF\xBB\xBF"
                   "あ",
                   "", u"あ"},
        DecodeCase{"OnlyTheFirstBomDropped", "\xEF\xBB\xBF\xEF\xBB\xBF", "", u"\uFEFF"},
        DecodeCase{"BoundaryCodePoints",
                   "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF", "",
                   u"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF"},
        DecodeCase{"SupplementaryBecomesPair", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xF0\xA9\xB8\xBD",
                   "", u"\U00010000\U0010FFFF\U00029E3D"},
        DecodeCase{"Utf16LeBom", "\xFF\xFE\x42\x30\x0A\x00"s, "", u"あ\n"},
        DecodeCase{"Utf16BeBom", "\xFE\xFF\x30\x42\x00\x0A"s, "", u"あ\n"},
        DecodeCase{"Utf16LeBomOnly", "\xFF\xFE", "", u""},
        // The comparison works on code units, so a lone surrogate must reach it unchanged.
        DecodeCase{"Utf16LoneHighSurrogateKept", "\xFF\xFE\x00\xD8\x41\x00"s, "",
                   u"\xD800"
                   "A"},
        DecodeCase{"Utf16LoneLowSurrogateKept", "\xFE\xFF\xDC\x00"s, "", u"\xDC00"},
        DecodeCase{"Utf16ReversedPairKept", "\xFF\xFE\x00\xDC\x00\xD8"s, "", u"\xDC00\xD800"},
        DecodeCase{"ExplicitUtf16LeWithoutBom", "\x42\x30"s, "UTF-16LE", u"あ"},
        DecodeCase{"ExplicitUtf16LeDropsItsBom", "\xFF\xFE\x42\x30"s, "utf16le", u"あ"},
        DecodeCase{"ExplicitUtf16BeWithoutBom", "\x30\x42"s, "UTF-16BE", u"あ"},
        DecodeCase{"ExplicitUtf16DefaultsToBigEndian", "\x30\x42"s, "UTF-16", u"あ"},
        DecodeCase{"ExplicitUtf16FollowsBom", "\xFF\xFE\x42\x30"s, "utf-16", u"あ"},
        DecodeCase{"ExplicitUtf8DropsBom",
                   "\xEF\xBB\xBF"
                   "a",
                   "utf_8", u"a"},
        // 日本語 and a half-width katakana ｱ in CP932.
        DecodeCase{"Cp932", "\x93\xFA\x96\x7B\x8C\xEA\xB1", "CP932", u"日本語ｱ"},
        DecodeCase{"Cp932LowercaseName", "\x82\xA0", "cp932", u"あ"},
        DecodeCase{"EucJp", "\xC6\xFC\xCB\xDC", "EUC-JP", u"日本"},
        DecodeCase{"Iso2022JpIsStateful", "\x1B$B$\"\x1B(Ba", "ISO-2022-JP", u"あa"},
        DecodeCase{"IconvGivesNoBomOfItsOwn", "a", "LATIN1", u"a"},
        // UTF-32LE's mark starts with UTF-16LE's and must win over it.
        DecodeCase{"Utf32LeBom", "\xFF\xFE\0\0\x42\x30\0\0\x3D\x9E\x02\0"s, "", u"あ\U00029E3D"},
        DecodeCase{"Utf32BeBom", "\0\0\xFE\xFF\0\0\x30\x42"s, "", u"あ"},
        DecodeCase{"Utf32LeBomOnly", "\xFF\xFE\0\0"s, "", u""},
        DecodeCase{"ExplicitUtf32LeDropsItsBom", "\xFF\xFE\0\0\x42\x30\0\0"s, "utf-32le", u"あ"},
        DecodeCase{"ExplicitUtf32DefaultsToBigEndian", "\0\0\x30\x42"s, "UTF-32", u"あ"},
        DecodeCase{"ExplicitUtf32FollowsBom", "\xFF\xFE\0\0\x42\x30\0\0"s, "UTF32", u"あ"}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

struct DecodeErrorCase {
  const char* name;
  std::string bytes;
  std::string encoding;
  std::size_t offset;
  const char* reason;  // part of the message
};

void PrintTo(const DecodeErrorCase& c, std::ostream* os) { *os << c.name; }

class DecodeInputError : public testing::TestWithParam<DecodeErrorCase> {};

TEST_P(DecodeInputError, NamesTheOffset) {
  const DecodeErrorCase& c = GetParam();
  try {
    DecodeInput(c.bytes, c.encoding);
    FAIL() << "no error for " << c.name;
  } catch (const InputDecodingError& e) {
    EXPECT_EQ(e.offset(), c.offset);
    const std::string message = e.what();
    EXPECT_NE(message.find("byte offset " + std::to_string(c.offset)), std::string::npos)
        << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeInputError,
    testing::Values(
        DecodeErrorCase{"LoneContinuation", "ab\x80", "", 2, "continuation"},
        DecodeErrorCase{"OverlongC0", "\xC0\xAF", "", 0, "overlong"},
        DecodeErrorCase{"OverlongC1", "x\xC1\xBF", "", 1, "overlong"},
        DecodeErrorCase{"OverlongThreeBytes", "\xE0\x80\xAF", "", 0, "overlong"},
        DecodeErrorCase{"OverlongFourBytes", "\xF0\x8F\xBF\xBF", "", 0, "overlong"},
        DecodeErrorCase{"EncodedHighSurrogate", "ok\xED\xA0\x80", "", 2, "surrogate"},
        DecodeErrorCase{"EncodedLowSurrogate", "\xED\xBF\xBF", "", 0, "surrogate"},
        DecodeErrorCase{"AboveMaxViaF4", "\xF4\x90\x80\x80", "", 0, "U+10FFFF"},
        DecodeErrorCase{"AboveMaxViaF5", "\xF5\x80\x80\x80", "", 0, "U+10FFFF"},
        DecodeErrorCase{"NeverValidFF", "\xFF", "", 0, "never"},
        DecodeErrorCase{"NeverValidFE", "a\xFE", "", 1, "never"},
        DecodeErrorCase{"TruncatedAtEnd", "\xE3\x81", "", 0, "end of the input"},
        DecodeErrorCase{"TruncatedFourAtEnd", "abc\xF0\x9F\x98", "", 3, "end of the input"},
        DecodeErrorCase{"CutShortByAscii",
                        "\xE3\x81"
                        "a",
                        "", 0, "cut short by byte 0x61"},
        DecodeErrorCase{"CutShortByNewLead", "\xE3\xE3\x81\x82", "", 0, "cut short"},
        // Offsets count from the start of the file, byte order mark included.
        DecodeErrorCase{"OffsetCountsTheBom",
                        "\xEF\xBB\xBF"
                        "a\x80",
                        "", 4, "continuation"},
        DecodeErrorCase{"AfterValidJapanese", "日本\x80", "", 6, "continuation"},
        DecodeErrorCase{"Cp932BytesAreNotUtf8", "\x93\xFA", "", 0, "continuation"},
        DecodeErrorCase{"Utf16LeOddLength", "\xFF\xFE\x42\x30\x0A"s, "", 4, "odd number"},
        DecodeErrorCase{"Utf16ExplicitOddLength", "\x42"s, "UTF-16LE", 0, "odd number"},
        DecodeErrorCase{"Cp932Invalid", "\x82\xA0\xFF", "CP932", 2, "invalid byte sequence"},
        DecodeErrorCase{"Cp932TruncatedAtEnd", "\x82\xA0\x82", "CP932", 2, "end of the input"},
        DecodeErrorCase{"EucJpInvalid", "a\x8E", "EUC-JP", 1, "EUC-JP"},
        DecodeErrorCase{"Utf32CutShort", "\xFF\xFE\0\0\x42\x30\0"s, "", 4, "part of one"},
        DecodeErrorCase{"Utf32AboveMax", "\0\0\xFE\xFF\0\x11\0\0"s, "", 4, "above U+10FFFF"},
        DecodeErrorCase{"Utf32Surrogate", "\0\0\xD8\0"s, "UTF-32BE", 0, "surrogate"}),
    [](const testing::TestParamInfo<DecodeErrorCase>& info) { return info.param.name; });

TEST(DecodeInputTest, UnknownEncodingIsItsOwnError) {
  EXPECT_THROW(DecodeInput("a", "NO-SUCH-ENCODING-XYZ"), UnknownEncodingError);
  EXPECT_FALSE(IsKnownEncoding("NO-SUCH-ENCODING-XYZ"));
  EXPECT_FALSE(IsKnownEncoding(""));
  for (const char* name : {"UTF-8", "utf8", "UTF-16", "utf-16be", "CP932", "SHIFT_JIS", "EUC-JP"}) {
    EXPECT_TRUE(IsKnownEncoding(name)) << name;
  }
}

// Growing the output buffer mid-conversion must not drop or repeat anything.
TEST(DecodeInputTest, LongIconvInputSurvivesBufferGrowth) {
  std::string bytes;
  std::u16string expected;
  for (int i = 0; i < 20000; ++i) {
    bytes +=
        "\xB1"
        "a";  // half-width katakana: one byte in, one code unit out
    expected += u"ｱa";
  }
  EXPECT_EQ(DecodeInput(bytes, "CP932"), expected);
}

}  // namespace
}  // namespace sorowa

#include "text/text_encoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/engine_error.h"
#include "base/utf8.h"
#include "support/encode.h"
#include "support/files.h"
#include "text/input_decoding.h"
#include "text/text_file.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

using testing_support::Encode;

// A manuscript-like text long enough for the detector, with kana, kanji, punctuation,
// half-width katakana and ASCII.
const std::u16string kText =
    u"吾輩は猫である。名前はまだ無い。\nどこで生れたかとんと見当がつかぬ。"
    u"何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。\n"
    u"ｶﾀｶﾅ and ASCII 123、「括弧」も使う。\n";

struct EncodingCase {
  TextEncoding encoding;
  std::string bytes;
};

std::vector<EncodingCase> Cases() {
  return {{TextEncoding::Utf8, ToUtf8(kText)},
          {TextEncoding::Utf8Bom, "\xEF\xBB\xBF" + ToUtf8(kText)},
          {TextEncoding::Utf16Le, "\xFF\xFE" + Encode(kText, "UTF-16LE")},
          {TextEncoding::Utf16Be, "\xFE\xFF" + Encode(kText, "UTF-16BE")},
          {TextEncoding::Cp932, Encode(kText, "CP932")},
          {TextEncoding::EucJp, Encode(kText, "EUC-JP")},
          // ISO-2022-JP has no half-width katakana.
          {TextEncoding::Iso2022Jp, Encode(kText.substr(0, kText.find(u'ｶ')), "ISO-2022-JP")}};
}

TEST(TextEncodingTest, EachEncodingIsFoundAndDecoded) {
  for (const EncodingCase& c : Cases()) {
    SCOPED_TRACE(std::string(EncodingName(c.encoding)));
    const DecodedText found = DecodeDetected(c.bytes);
    EXPECT_EQ(found.encoding, c.encoding);
    const std::u16string expected =
        c.encoding == TextEncoding::Iso2022Jp ? kText.substr(0, kText.find(u'ｶ')) : kText;
    EXPECT_EQ(found.text, expected);
    EXPECT_EQ(DecodeAs(c.bytes, c.encoding).text, expected);
  }
}

TEST(TextEncodingTest, UndecodableBytesNameTheFurthestEncodingTried) {
  // Valid CP932 up to a byte that no candidate accepts.
  const std::string bytes = Encode(kText, "CP932") + "\xFF\xFF";
  try {
    DecodeDetected(bytes);
    FAIL() << "decoded bytes that no encoding accepts";
  } catch (const InputDecodingError& error) {
    EXPECT_EQ(error.details().kind, ErrorKind::Undecodable);
    EXPECT_EQ(error.offset(), bytes.size() - 2);
    EXPECT_EQ(error.details().encoding, "CP932");
  }
  // A forced encoding is tried alone.
  EXPECT_THROW(DecodeAs(ToUtf8(kText), TextEncoding::EucJp), InputDecodingError);
}

TEST(TextEncodingTest, ReadingAFileKeepsToTheLimitAndNamesThePath) {
  const testing_support::TempDir temp("sorowa-text-file-test");
  const fs::path dir = temp.path();
  ASSERT_FALSE(dir.empty());
  const fs::path file = dir / "原稿.txt";
  std::ofstream(file, std::ios::binary) << Encode(kText, "EUC-JP");

  const DecodedText read = ReadTextFile(file.string(), std::nullopt);
  EXPECT_EQ(read.encoding, TextEncoding::EucJp);
  EXPECT_EQ(read.text, kText);

  struct Failure {
    fs::path path;
    std::optional<TextEncoding> encoding;
    std::uint64_t limit;
    ErrorKind kind;
  };
  const Failure failures[] = {
      {file, std::nullopt, 10, ErrorKind::FileTooLarge},
      {dir / "missing.txt", std::nullopt, kMaxOpenedFileBytes, ErrorKind::FileNotReadable},
      {dir, std::nullopt, kMaxOpenedFileBytes, ErrorKind::FileNotReadable},
      {file, TextEncoding::Utf8, kMaxOpenedFileBytes, ErrorKind::Undecodable},
  };
  for (const Failure& f : failures) {
    try {
      ReadTextFile(f.path.string(), f.encoding, f.limit);
      ADD_FAILURE() << f.path << " was read";
    } catch (const EngineError& error) {
      EXPECT_EQ(error.details().kind, f.kind) << error.what();
      EXPECT_EQ(error.details().path, f.path.string());
      EXPECT_NE(std::string(error.what()).find(f.path.string()), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace sorowa

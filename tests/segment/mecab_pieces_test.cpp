#include "segment/mecab_pieces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf8.h"
#include "mecab_test_env.h"

namespace sorowa {
namespace {

std::u16string Repeat(std::u16string_view unit, std::size_t times) {
  std::u16string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

class MecabPiecesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = MecabCharTable::Load(testing::kIpadicUtf8Dir / "char.bin");
    ASSERT_NE(table_, nullptr) << "install mecab-ipadic-utf8 to run these tests";
  }

  std::unique_ptr<MecabCharTable> table_;
};

TEST_F(MecabPiecesTest, ReadsTheDictionarysCharacterCategories) {
  const auto a = table_->Lookup(U'a');
  const auto mountain = table_->Lookup(U'山');
  const auto one = table_->Lookup(U'一');
  EXPECT_TRUE(a.groups);
  EXPECT_FALSE(mountain.groups) << "IPAdic's kanji do not group";
  EXPECT_TRUE(one.groups) << "kanji numerals do";
  EXPECT_NE(one.categories & mountain.categories, 0u) << "both are kanji";
  EXPECT_EQ(a.categories & mountain.categories, 0u);
  EXPECT_NE(table_->Lookup(U'\t').categories & table_->spaceCategories(), 0u);
  EXPECT_EQ(table_->Lookup(U'\U0001F600').categories, table_->Lookup(0).categories);
  EXPECT_EQ(table_->Lookup(0xFFFF).categories, 0u);

  // Anything that is not exactly such a table is refused rather than misread.
  std::string bytes(4 + 32 + 4 * 0xFFFF, '\0');
  bytes[0] = 1;
  EXPECT_NE(MecabCharTable::Parse(bytes), nullptr);
  EXPECT_EQ(MecabCharTable::Parse(bytes.substr(1)), nullptr) << "short";
  bytes[0] = 19;
  EXPECT_EQ(MecabCharTable::Parse(bytes), nullptr) << "more categories than bits";
  bytes[0] = 1;
  bytes[4 + 32 + 4 * 0x41] = 2;
  EXPECT_EQ(MecabCharTable::Parse(bytes), nullptr) << "a category that was not named";
}

TEST_F(MecabPiecesTest, CutsOnlyLongRunsAndNeverInsideACharacter) {
  const std::u16string prose =
      u"吾輩は猫である、名前はまだ無い。どこで生れたかとんと見当がつかぬ！"
      u"何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している？"
      u"ＵＲＬはhttps://example.jp/index.htmlで、価格は1,280円（税込）です. "
      u"アンチディスエスタブリッシュメンタリアニズムという長い片仮名語もある\t";
  std::u16string unpunctuated;
  for (char16_t c : prose) {
    if (std::u16string_view(u"。！？.").find(c) == std::u16string_view::npos) unpunctuated += c;
  }
  struct Case {
    const char* name;
    std::u16string line;
    // The repeated unit that makes the line's long run; none for ordinary text, whose pieces
    // must be those of the plain cutting.
    std::u16string run;
  };
  const Case cases[] = {
      {"prose", Repeat(prose, 300), u""},
      {"prose without sentence ends", Repeat(unpunctuated, 300), u""},
      {"a document's longest rules", Repeat(Repeat(u"~", 128) + u"\n" + prose, 50), u""},
      {"kanji", Repeat(u"山", 20000), u""},
      {"long blanks", u"私" + Repeat(u" ", 5000) + u"は" + Repeat(u"\t", 9000), u""},
      {"letters", Repeat(u"a", 20000), u"a"},
      {"digits after prose", prose + Repeat(u"１", 3000) + prose, u"１"},
      {"katakana", Repeat(u"ア", 20000), u"ア"},
      {"kanji and numerals", Repeat(u"一山", 9000), u"一山"},
      {"emoji", Repeat(u"\U0001F600", 9000), u"\U0001F600"},
      {"lone surrogates", Repeat(u"\xD800", 3000), u"\xD800"},
      {"symbols in the middle", u"私は" + Repeat(u"=", 1000) + u"です", u"="},
  };
  std::vector<MecabPiece> pieces;
  std::vector<MecabPiece> plain;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string utf8 = ToUtf8(c.line);
    PlanMecabPieces(utf8, table_.get(), pieces);
    std::size_t covered = 0;
    for (const MecabPiece& piece : pieces) {
      ASSERT_EQ(piece.from, covered) << "pieces leave a gap or overlap";
      ASSERT_LT(piece.from, piece.to);
      ASSERT_LE(piece.to - piece.from, piece.blankRun ? utf8.size() : kMaxParseBytes);
      ASSERT_TRUE(piece.to == utf8.size() ||
                  (static_cast<unsigned char>(utf8[piece.to]) & 0xC0) != 0x80)
          << "cut inside a character at byte " << piece.to;
      covered = piece.to;
    }
    ASSERT_EQ(covered, utf8.size());

    PlanMecabPieces(utf8, nullptr, plain);
    if (c.run.empty()) {
      EXPECT_EQ(pieces, plain);
      continue;
    }
    EXPECT_GT(pieces.size(), plain.size());
    // No piece holds more of the run than kLongestWholeRun characters that all group.
    const std::string unit = ToUtf8(c.run);
    for (const MecabPiece& piece : pieces) {
      std::size_t repeats = 0;
      for (std::size_t at = piece.from; at < piece.to;) {
        if (std::string_view(utf8).substr(at, unit.size()) == unit) {
          ++repeats;
          ASSERT_LE(repeats, kLongestWholeRun) << "piece at byte " << piece.from;
          at += unit.size();
        } else {
          repeats = 0;
          ++at;
        }
      }
    }
  }
}

}  // namespace
}  // namespace sorowa

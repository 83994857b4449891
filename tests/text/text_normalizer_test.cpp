#include "text/text_normalizer.h"

#include <gtest/gtest.h>

namespace sorowa {
namespace {

// One table for every switch and their combinations: what each changes and what it leaves.
TEST(TextNormalizerTest, AppliesEachSwitch) {
  const NormalizationOptions none;
  const NormalizationOptions nfc{UnicodeForm::Nfc};
  const NormalizationOptions nfkc{UnicodeForm::Nfkc};
  const NormalizationOptions kana{UnicodeForm::None, true};
  const NormalizationOptions space{UnicodeForm::None, false, true};
  const NormalizationOptions punctuation{UnicodeForm::None, false, false, true};
  const NormalizationOptions all{UnicodeForm::Nfkc, true, true, true};
  struct Case {
    const char* what;
    NormalizationOptions options;
    std::u16string in;
    std::u16string out;
  };
  const Case cases[] = {
      {"off changes nothing", none, u"ガ　ｶﾞ、A", u"ガ　ｶﾞ、A"},
      {"NFC composes", nfc, u"か\u3099は\u309A", u"がぱ"},
      {"NFC keeps width", nfc, u"ｶﾞＡ１", u"ｶﾞＡ１"},
      {"NFKC folds width and compatibility", nfkc, u"ｶﾞＡ１㍻", u"ガA1平成"},
      {"NFKC turns the ideographic space into a space", nfkc, u"あ　い", u"あ い"},
      {"kana folding keeps the prolonged sound mark", kana, u"コーヒーとヴとーと漢字",
       u"こーひーとゔとーと漢字"},
      {"kana folding takes half-width katakana too", kana, u"ｶﾀｰ", u"かたｰ"},
      {"space removed", space, u" あ\tい　う\u00A0え ", u"あいうえ"},
      {"punctuation removed", punctuation, u"「あ、い。」・！？ー～", u"あいー～"},
      {"ASCII punctuation removed", punctuation, u"a,b.c-d(e)!", u"abcde"},
      {"everything", all, u"「ｶﾀｶﾅ　です。」", u"かたかなです"},
      {"a line can become empty", all, u"「　」", u""},
      {"non-BMP kept", all, u"𠮷野家　ヤ", u"𠮷野家や"},
      {"lone surrogate kept", punctuation, std::u16string{u'a', 0xD800, u'、', u'b'},
       std::u16string{u'a', 0xD800, u'b'}},
  };
  for (const Case& c : cases) {
    const TextNormalizer normalizer(c.options);
    EXPECT_EQ(normalizer.Apply(c.in), c.out) << c.what;
  }
}

}  // namespace
}  // namespace sorowa

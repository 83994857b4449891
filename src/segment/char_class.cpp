#include "segment/char_class.h"

namespace sorowa {
namespace {

struct ClassRange {
  char16_t first;
  char16_t last;
  CharClass charClass;
};

// Tried in order; the first range that holds the code unit decides.
constexpr ClassRange kRanges[] = {
    {u'\u3041', u'\u3093', CharClass::Hiragana}, {u'\u30A1', u'\u30F6', CharClass::Katakana},
    {u'\u4E00', u'\u9FFF', CharClass::Kanji},    {u'0', u'9', CharClass::Other},
    {u'A', u'\uFFFF', CharClass::Other},
};

}  // namespace

CharClass ClassifyChar(char16_t c) {
  for (const ClassRange& range : kRanges) {
    if (c >= range.first && c <= range.last) return range.charClass;
  }
  return CharClass::Delimiter;
}

bool IsUnitBoundary(CharClass earlier, CharClass later) {
  if (earlier == later) return false;
  if (earlier == CharClass::Hiragana || earlier == CharClass::Delimiter ||
      later == CharClass::Delimiter) {
    return true;
  }
  // A kanji run keeps the hiragana after it; katakana and kanji/other runs part ways here.
  return (earlier == CharClass::Kanji && later == CharClass::Other) ||
         (earlier == CharClass::Katakana && later == CharClass::Hiragana) ||
         (earlier == CharClass::Katakana && later == CharClass::Kanji) ||
         (earlier == CharClass::Other && later == CharClass::Kanji);
}

}  // namespace sorowa

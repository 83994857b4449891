#include "segment/mecab_pieces.h"

#include <cstdint>

namespace sorowa {
namespace {

bool IsAsciiBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The code point at utf8[at], which starts a character, and the byte after it.
char32_t DecodeAt(std::string_view utf8, std::size_t at, std::size_t& next) {
  const auto lead = static_cast<unsigned char>(utf8[at]);
  std::size_t length = 1;
  char32_t cp = lead;
  if (lead >= 0xF0) {
    length = 4;
    cp = lead & 0x07;
  } else if (lead >= 0xE0) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xC0) {
    length = 2;
    cp = lead & 0x1F;
  }
  std::size_t end = at + 1;
  while (end < at + length && end < utf8.size() && IsContinuationByte(utf8[end])) {
    cp = (cp << 6) | (static_cast<unsigned char>(utf8[end]) & 0x3F);
    ++end;
  }
  next = end;
  return cp;
}

class Planner {
 public:
  Planner(std::string_view utf8, const MecabCharTable* table, std::vector<MecabPiece>& pieces)
      : utf8_(utf8), table_(table), pieces_(pieces) {}

  void Plan() {
    const std::size_t size = utf8_.size();
    std::size_t stretchStart = 0;
    std::size_t i = 0;
    while (i < size) {
      if (!IsAsciiBlank(utf8_[i])) {
        ++i;
        continue;
      }
      std::size_t runEnd = i;
      while (runEnd < size && IsAsciiBlank(utf8_[runEnd])) ++runEnd;
      if (runEnd - i >= kLongBlankRun) {
        AddStretch(stretchStart, i);
        pieces_.push_back(MecabPiece{i, runEnd, true});
        stretchStart = runEnd;
      }
      i = runEnd;
    }
    AddStretch(stretchStart, size);
  }

 private:
  // MeCab makes unknown words as it goes, and at every character whose category "groups"
  // (in IPAdic all but kanji: letters, digits, kana, symbols, other scripts) it first
  // scans ahead over the whole run of characters that share a category with their
  // neighbour, up to 64 KB. A run of n such characters therefore costs about n * n / 2
  // steps. Measured with MeCab alone, a run of "a" cost 0.35 us a character at 256
  // characters, 1.2 us at 1,024 and 18 us at 16,384, against about 0.14 us for prose. What
  // MeCab makes of such a run is arbitrary long before that: it joins at most
  // max-grouping-size + 1 characters (25 with IPAdic) into one word, so "a" x 40 comes back
  // as fifteen one-letter words and one of 25, katakana as pairs and a last word of 24, and
  // longer runs the same way.
  //
  // So a run is cut where the scanning since its start (or its last cut) would pass
  // kRunScanBudget, the cost of kLongestWholeRun characters that all group. The count
  // follows MeCab: a step for every grouping character whose scan is still running, none
  // for blanks (MeCab skips them in one pass) nor for kanji, whose category does not group,
  // so among kanji only runs dense with kanji numerals are cut. Hiragana and characters of
  // the default category (emoji, scripts the dictionary lacks) scan only where no dictionary
  // word begins, which cannot be known here, so they count as if they always did.
  //
  // kLongestWholeRun = 256: the longest such run in 91,000 lines of Japanese documentation
  // (debian-reference, maint-guide, developers-reference, the Vim tutor) is a rule of 128
  // "~" or "=" under a title, and none of their morphemes changes. The scanning then adds at
  // most about 128 steps a character, so a line of any length costs time in proportion.
  void AddStretch(std::size_t from, std::size_t to) {
    // The scanning of the first k characters of a run costs at most k * (k - 1) / 2 steps,
    // so a stretch of no more than kLongestWholeRun characters is never cut: most lines
    // skip the table altogether.
    if (table_ != nullptr && !HasAtMostCharacters(from, to, kLongestWholeRun)) {
      const std::uint32_t space = table_->spaceCategories();
      std::size_t cost = 0;
      std::size_t scanning = 0;
      std::uint32_t previous = 0;
      std::size_t next = from;
      for (std::size_t at = from; at < to; at = next) {
        const MecabCharTable::Entry entry = table_->Lookup(DecodeAt(utf8_, at, next));
        if ((entry.categories & previous) == 0) {
          cost = 0;
          scanning = 0;
        } else if (cost + scanning > kRunScanBudget) {
          AddSentences(from, at);
          from = at;
          cost = 0;
          scanning = 0;
        } else {
          cost += scanning;
        }
        if (entry.groups && (entry.categories & space) == 0) ++scanning;
        previous = entry.categories;
      }
    }
    AddSentences(from, to);
  }

  bool HasAtMostCharacters(std::size_t from, std::size_t to, std::size_t most) const {
    if (to - from <= most) return true;
    std::size_t characters = 0;
    for (std::size_t at = from; at < to; ++at) {
      if (!IsContinuationByte(utf8_[at]) && ++characters > most) return false;
    }
    return true;
  }

  void AddSentences(std::size_t from, std::size_t to) {
    while (to - from > kMaxParseBytes) {
      const std::size_t cut = FindCut(from, from + kMaxParseBytes);
      pieces_.push_back(MecabPiece{from, cut, false});
      from = cut;
    }
    if (from < to) pieces_.push_back(MecabPiece{from, to, false});
  }

  // Where to end a piece that starts at from and may reach limit: after the last
  // sentence-final mark in its second half, or else at the last character boundary.
  std::size_t FindCut(std::size_t from, std::size_t limit) const {
    static constexpr std::string_view kSentenceEnds[] = {"\u3002", "\uFF0E", "\uFF01", "\uFF1F",
                                                         ".",      "!",      "?"};
    for (std::size_t end = limit; end > from + (limit - from) / 2; --end) {
      for (std::string_view mark : kSentenceEnds) {
        // The last byte first: most bytes end no mark.
        if (utf8_[end - 1] == mark.back() && end >= mark.size() &&
            utf8_.substr(end - mark.size(), mark.size()) == mark) {
          return end;
        }
      }
    }
    std::size_t end = limit;
    while (end > from + 1 && IsContinuationByte(utf8_[end])) --end;
    return end;
  }

  std::string_view utf8_;
  const MecabCharTable* table_;
  std::vector<MecabPiece>& pieces_;
};

}  // namespace

void PlanMecabPieces(std::string_view utf8, const MecabCharTable* table,
                     std::vector<MecabPiece>& pieces) {
  pieces.clear();
  Planner(utf8, table, pieces).Plan();
}

}  // namespace sorowa

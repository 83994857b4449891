// Pseudo-bunsetsu and morphemes (from the analyser this build links in) of arbitrary lines:
// the segments give back the line, none is empty or splits a surrogate pair, and an analyser
// reused across lines, as in a Compare, gives a line the same morphemes every time. The
// pieces MeCab is given cover the line, end between characters, and only runs of
// characters that MeCab takes for one kind are cut beyond the plain cutting: a line whose
// such runs are all short is cut as if there were no character table.
//
// Input: two lines of code units as ReadText reads them (no line breaks, as in a Compare).

#include <algorithm>
#include <memory>

#include "base/utf8.h"
#include "fuzz_support.h"
#include "segment/mecab_backend.h"
#include "segment/mecab_pieces.h"
#include "segment/morph_analyzer.h"

namespace sorowa::fuzz {
namespace {

constexpr std::size_t kMaxLineLength = 8000;

void CheckSegments(const SegmentList& units, const std::u16string& line, const char* what) {
  std::u16string joined;
  for (const Segment& unit : units) {
    FUZZ_CHECK(!unit.empty(), std::string(what) + ": an empty segment of " + Printable(line));
    FUZZ_CHECK(joined.empty() || !(joined.back() >= 0xD800 && joined.back() <= 0xDBFF &&
                                   unit.front() >= 0xDC00 && unit.front() <= 0xDFFF),
               std::string(what) + ": a surrogate pair split in " + Printable(line));
    joined += unit;
  }
  FUZZ_CHECK(joined == line, std::string(what) + ": segments give " + Printable(joined) +
                                 " instead of " + Printable(line));
}

MorphAnalyzer& Analyzer() {
  // One analyser for the whole run, as one Compare keeps one for all its lines.
  static MorphAnalyzer* analyzer = [] {
    auto* created = new MorphAnalyzer([](const UserMessage& message) {
      std::fprintf(stderr, "analyser message: %s\n", message.text.c_str());
    });
    created->SetLanguage(0);
    return created;
  }();
  return *analyzer;
}

SegmentList Morphemes(const std::u16string& line) {
  SegmentList units;
  Analyzer().SplitMorphemes(line, units);
  if (Analyzer().hasBackend() && !line.empty()) {
    FUZZ_CHECK(!units.empty(), "the analyser gave no morphemes for " + Printable(line));
  }
  if (!units.empty()) CheckSegments(units, line, "morphemes");
  return units;
}

const MecabCharTable* CharTable() {
  static const std::unique_ptr<MecabBackend> backend = MecabBackend::Create({});
  return backend ? backend->charTable() : nullptr;
}

void CheckPieces(const std::u16string& line) {
  const MecabCharTable* table = CharTable();
  if (table == nullptr) return;
  const std::string utf8 = ToUtf8(line);
  std::vector<MecabPiece> pieces;
  std::vector<MecabPiece> plain;
  PlanMecabPieces(utf8, table, pieces);
  PlanMecabPieces(utf8, nullptr, plain);
  auto isCharStart = [&](std::size_t at) {
    return at == utf8.size() || (static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80;
  };
  // Which characters share a category with the one before them, and the longest stretch
  // of characters linked that way.
  std::vector<bool> linked(utf8.size() + 1, false);
  std::size_t run = 0;
  std::size_t longestRun = 0;
  std::uint32_t previous = 0;
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    if (!isCharStart(at)) continue;
    std::size_t end = at + 1;
    while (!isCharStart(end)) ++end;
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t cp = static_cast<unsigned char>(utf8[at]) & kLeadBits[end - at];
    for (std::size_t k = at + 1; k < end; ++k) cp = (cp << 6) | (utf8[k] & 0x3F);
    const std::uint32_t categories = table->Lookup(cp).categories;
    linked[at] = (categories & previous) != 0;
    run = linked[at] ? run + 1 : 1;
    longestRun = std::max(longestRun, run);
    previous = categories;
  }

  std::size_t covered = 0;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const MecabPiece& piece = pieces[k];
    FUZZ_CHECK(
        piece.from == covered && piece.from < piece.to && isCharStart(piece.to),
        "pieces that do not tile " + Printable(line) + " at byte " + std::to_string(piece.from));
    FUZZ_CHECK(piece.blankRun || piece.to - piece.from <= kMaxParseBytes,
               "a piece too long for MeCab in " + Printable(line));
    // A cut is one the plain cutting makes too, or falls inside a run; past a cut in a run
    // the sentence and size cuts move along, and those end a piece of over half the limit.
    const bool plainCut = std::any_of(plain.begin(), plain.end(),
                                      [&](const MecabPiece& p) { return p.from == piece.from; });
    const bool sizeCut = k > 0 && pieces[k - 1].to - pieces[k - 1].from > kMaxParseBytes / 2;
    FUZZ_CHECK(
        plainCut || sizeCut || linked[piece.from],
        "a cut outside a run at byte " + std::to_string(piece.from) + " of " + Printable(line));
    covered = piece.to;
  }
  FUZZ_CHECK(covered == utf8.size(), "pieces that stop short of the end of " + Printable(line));
  if (longestRun <= kLongestWholeRun) {
    FUZZ_CHECK(pieces == plain, "a line without long runs cut differently: " + Printable(line));
  }
}

}  // namespace
}  // namespace sorowa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa;
  using namespace sorowa::fuzz;
  ByteReader in(data, size);
  const std::u16string first = ReadText(in, kMaxLineLength, false);
  const std::u16string second = ReadText(in, kMaxLineLength, false);

  for (const std::u16string* line : {&first, &second}) {
    SegmentList units;
    Analyzer().SplitPseudoBunsetsu(*line, units);
    CheckSegments(units, *line, "pseudo-bunsetsu");
  }

  CheckPieces(first);
  CheckPieces(second);

  const SegmentList once = Morphemes(first);
  Morphemes(second);
  const SegmentList again = Morphemes(first);
  FUZZ_CHECK(once == again,
             "the morphemes of " + Printable(first) + " changed after another line was analysed");
  return 0;
}

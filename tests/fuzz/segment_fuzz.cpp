// Pseudo-bunsetsu and morphemes (from the analyser this build links in) of arbitrary lines:
// the segments give back the line, none is empty, and an analyser reused across lines, as
// in a Compare, gives a line the same morphemes every time.
//
// Input: two lines of code units as ReadText reads them (no line breaks, as in a Compare).

#include <memory>

#include "fuzz_support.h"
#include "segment/morph_analyzer.h"

namespace sorowa::fuzz {
namespace {

constexpr std::size_t kMaxLineLength = 8000;

void CheckSegments(const SegmentList& units, const std::u16string& line, const char* what) {
  std::u16string joined;
  for (const Segment& unit : units) {
    FUZZ_CHECK(!unit.empty(), std::string(what) + ": an empty segment of " + Printable(line));
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

  const SegmentList once = Morphemes(first);
  Morphemes(second);
  const SegmentList again = Morphemes(first);
  FUZZ_CHECK(once == again,
             "the morphemes of " + Printable(first) + " changed after another line was analysed");
  return 0;
}

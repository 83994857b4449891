// The matching table on its own, fed unit lists that are rich in repeats, prefixes and
// containment, so that the identity and containment passes compete for the same units.
// The classes must be those of the plain scan, and the table must show them.
//
// Input: one byte for the alphabet size (2 to 8), then units, each a length byte (1 to 6 code
// units) and its code units; a length byte of 0xFE ends the Source list.

#include "align/unit_match_reference.h"
#include "align/unit_match_table.h"
#include "compare/utf8.h"
#include "fuzz_support.h"
#include "report_parsing.h"

namespace {

constexpr char16_t kAlphabet[] = {u'a', u'b', u'c', u'日', u'&', u' ', u'\xD800', u'\0'};
constexpr std::size_t kMaxUnits = 200;

sorowa::SegmentList ReadUnits(sorowa::fuzz::ByteReader& in, unsigned alphabet) {
  sorowa::SegmentList units;
  while (!in.empty() && units.size() < kMaxUnits) {
    const std::uint8_t length = in.Byte();
    if (length == 0xFE) break;
    sorowa::Segment unit;
    for (unsigned k = 0; k <= length % 6u; ++k) unit += kAlphabet[in.Byte() % alphabet];
    units.push_back(unit);
  }
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa;
  using namespace sorowa::fuzz;
  ByteReader in(data, size);
  const unsigned alphabet = 2 + in.Byte() % 7u;
  const SegmentList source = ReadUnits(in, alphabet);
  const SegmentList target = ReadUnits(in, alphabet);

  FUZZ_CHECK(MatchUnitsIndexed(source, target) == MatchUnitsReference(source, target),
             "the matching differs from the plain scan");

  std::u16string report = u"kept";
  WriteUnitMatchTable(source, target, report, u"疑似文節");
  FUZZ_CHECK(report.starts_with(u"kept"), "the table writer changed what was already there");
  const std::string html = ToUtf8(std::u16string_view(report).substr(4));
  HtmlCursor cursor(html);
  CheckMatchTable(cursor, "疑似文節", source, target);
  if (!cursor.AtEnd()) cursor.Fail("text after the table");
  return 0;
}

// The shortcuts for pairs whose sides are identical against the general writers: the bytes
// must be the same, so each is compared with the general path on random unit lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <string>

#include "align/char_dp_table.h"
#include "align/dp_align.h"
#include "align/dp_table.h"
#include "align/unit_dp_table.h"
#include "align/unit_match_table.h"

namespace sorowa {
namespace {

// Units from a small alphabet, so that repeats, prefixes and containment are common; some
// units hold a surrogate pair.
SegmentList RandomUnits(std::mt19937& random) {
  static const std::u16string kPieces[] = {u"a", u"b", u"ab", u"ba", u"&", u" ", u"𩸽", u"\xD867"};
  SegmentList units(random() % 12);
  for (Segment& unit : units) {
    for (std::size_t k = 1 + random() % 3; k > 0; --k) unit += kPieces[random() % 8];
  }
  return units;
}

// The general DP table of texts over themselves: alignment, grouping and table.
std::string GeneralDpTable(const std::vector<std::u16string>& texts, std::u16string_view caption) {
  ReportBuffer report;
  if (texts.empty()) return "";
  std::vector<std::uint32_t> ids;
  for (const std::u16string& text : texts) {
    ids.push_back(
        static_cast<std::uint32_t>(std::find(texts.begin(), texts.end(), text) - texts.begin()));
  }
  const std::span<const std::uint32_t> s(ids);
  const std::vector<std::u16string> pieces = GroupSourcePieces(
      std::span<const std::u16string>(texts), DpAlignReference(s, s), texts.size());
  WriteDpTable(report, caption, std::vector<std::u16string_view>(pieces.begin(), pieces.end()),
               std::vector<std::u16string_view>(texts.begin(), texts.end()));
  return std::string(report.bytes());
}

// What a writer gives when its buffer hands the bytes on whenever it holds threshold or more,
// as a worker's buffer does in a long pair; a shortcut then may not find its first row there.
template <class Write>
std::string HandedOn(std::size_t threshold, Write write) {
  std::string collected;
  ReportBuffer buffer;
  buffer.HandOverAt(threshold, [&collected](ReportBytes& bytes) {
    collected.append(bytes.view());
    bytes.size = 0;
  });
  write(buffer);
  return collected.append(buffer.bytes());
}

TEST(IdenticalTablesTest, ShortcutsWriteWhatTheGeneralWritersWrite) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 2000; ++round) {
    const SegmentList units = RandomUnits(random);
    SCOPED_TRACE("round " + std::to_string(round));

    ReportBuffer shortcut;
    WriteUnitDpTable(units, units, shortcut, u"形態素");
    ASSERT_EQ(shortcut.bytes(), GeneralDpTable(units, u"形態素"));

    // The character table is the same table over the line's characters.
    std::u16string line;
    for (const Segment& unit : units) line += unit;
    std::vector<std::u16string> characters;
    for (std::u16string_view c : LineCharacters(line)) characters.emplace_back(c);
    shortcut.clear();
    WriteCharDpTable(line, line, shortcut);
    ASSERT_EQ(shortcut.bytes(), GeneralDpTable(characters, u"文字"));

    // Matching table: a unit Z that nothing contains and that contains nothing, added to the
    // Target, sends the pair down the general path and changes no other unit's class.
    shortcut.clear();
    WriteUnitMatchTable(units, units, shortcut, u"疑似文節");
    SegmentList withZ = units;
    withZ.push_back(u"Z");
    ReportBuffer general;
    WriteUnitMatchTable(units, withZ, general, u"疑似文節");
    std::string generalBytes(general.bytes());
    const std::string zSpan = "<span class=\"different\">Z</span>\n";
    const std::size_t at = generalBytes.rfind(zSpan);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(shortcut.bytes(), generalBytes.erase(at, zSpan.size()));

    const std::size_t threshold = 1 + random() % 200;
    ASSERT_EQ(
        HandedOn(threshold,
                 [&](ReportBuffer& out) { WriteUnitMatchTable(units, units, out, u"疑似文節"); }),
        shortcut.bytes());
    ASSERT_EQ(HandedOn(threshold, [&](ReportBuffer& out) { WriteCharDpTable(line, line, out); }),
              GeneralDpTable(characters, u"文字"));
  }
}

}  // namespace
}  // namespace sorowa

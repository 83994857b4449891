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
std::u16string GeneralDpTable(const std::vector<std::u16string>& texts,
                              std::u16string_view caption) {
  std::u16string report;
  if (texts.empty()) return report;
  std::vector<std::uint32_t> ids;
  for (const std::u16string& text : texts) {
    ids.push_back(
        static_cast<std::uint32_t>(std::find(texts.begin(), texts.end(), text) - texts.begin()));
  }
  const std::span<const std::uint32_t> s(ids);
  WriteDpTable(report, caption,
               GroupSourcePieces(std::span<const std::u16string>(texts), DpAlignReference(s, s),
                                 texts.size()),
               texts);
  return report;
}

TEST(IdenticalTablesTest, ShortcutsWriteWhatTheGeneralWritersWrite) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 2000; ++round) {
    const SegmentList units = RandomUnits(random);
    SCOPED_TRACE("round " + std::to_string(round));

    std::u16string shortcut;
    WriteUnitDpTable(units, units, shortcut, u"形態素");
    ASSERT_EQ(shortcut, GeneralDpTable(units, u"形態素"));

    // The character table is the same table over the line's characters.
    std::u16string line;
    for (const Segment& unit : units) line += unit;
    std::vector<std::u16string> characters;
    for (std::u16string_view c : LineCharacters(line)) characters.emplace_back(c);
    shortcut.clear();
    WriteCharDpTable(line, line, shortcut);
    ASSERT_EQ(shortcut, GeneralDpTable(characters, u"文字"));

    // Matching table: a unit Z that nothing contains and that contains nothing, added to the
    // Target, sends the pair down the general path and changes no other unit's class.
    shortcut.clear();
    WriteUnitMatchTable(units, units, shortcut, u"疑似文節");
    SegmentList withZ = units;
    withZ.push_back(u"Z");
    std::u16string general;
    WriteUnitMatchTable(units, withZ, general, u"疑似文節");
    const std::u16string zSpan = u"<span class=\"different\">Z</span>\n";
    const std::size_t at = general.rfind(zSpan);
    ASSERT_NE(at, std::u16string::npos);
    ASSERT_EQ(shortcut, general.erase(at, zSpan.size()));
  }
}

}  // namespace
}  // namespace sorowa

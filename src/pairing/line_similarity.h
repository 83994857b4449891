#pragma once

// How alike two lines are, and what pairing them is worth. The aligner and the quadratic
// reference of the tests share the worth formulas below; only how the LCS lengths are found
// differs (bit-parallel here, a plain table there).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "pairing/align_lines_tuning.h"

namespace sorowa::pairing {

// Length of the longest common subsequence of one line (the pattern) with many others, 64
// pattern code units per machine word (the bit-vector method of Hyyrö, 2004). The pattern is
// loaded once and compared with many texts; a reversed pattern is compared with texts read
// backwards, which gives the LCS of the pattern's suffixes.
class LcsScanner {
 public:
  LcsScanner();

  void SetPattern(std::u16string_view pattern, bool reversed = false);
  std::size_t PatternLength() const { return length_; }
  // 64-bit steps that comparing the pattern with `textLength` code units takes.
  std::uint64_t Work(std::size_t textLength) const {
    return static_cast<std::uint64_t>(textLength) * words_;
  }

  std::size_t Length(std::u16string_view text);
  // profile[k] = LCS of the pattern's first k code units (its last k when reversed) with
  // the text, for k = 0 .. pattern length.
  void Profile(std::u16string_view text, std::vector<std::uint32_t>& profile);

 private:
  void Run(std::u16string_view text);

  std::vector<std::uint32_t> slotOf_;  // code unit -> 1 + its slot in masks_, 0 if absent
  std::vector<char16_t> loaded_;
  std::vector<std::uint64_t> masks_;  // words_ per slot: where the code unit is in the pattern
  std::vector<std::uint64_t> v_;
  std::size_t length_ = 0;
  std::size_t words_ = 0;
  bool reversed_ = false;
};

// The LCS length of two lines, estimated when comparing them whole would take more than
// tuning.lcsWorkLimit steps: 64 evenly spaced pieces of 256 code units of the shorter line are
// compared with windows twice as wide at the same relative place in the longer one, and the
// share of each piece found there is taken for the whole line. Only lines of many thousands
// of code units are estimated; edits are local, so a revised line scores nearly what it
// would exactly and an unrelated one stays far below the thresholds.
std::size_t LineLcs(std::u16string_view a, std::u16string_view b, const AlignLinesTuning& tuning,
                    LcsScanner& scratch);
bool LcsNeedsEstimate(std::size_t a, std::size_t b, const AlignLinesTuning& tuning);

// Boxes (pairs, splits, merges) are kept when they weigh more than this: with the bonus of
// paired neighbours on both sides they may still pay off (see heaviest_chain.h).
std::int64_t BoxFloor(const AlignLinesTuning& tuning);

// Worth of pairing two lines one to one, in hundredths of a character (see
// AlignLinesTuning). Identical lines are always worth at least 1, however short.
std::int64_t PairWeight(const AlignLinesTuning& tuning, std::size_t sourceLength,
                        std::size_t targetLength, std::size_t lcs, bool identical);

// What is known of a split of `whole` into part1 followed by part2 (or, the other way round,
// of two lines merged into one): the LCS of the whole with the two parts joined, and whether
// both parts are recognisably pieces of the whole.
struct SplitMeasure {
  std::size_t lcs = 0;
  bool partsRecognisable = false;
};

// From prefix[k] = LCS(whole[0..k), part1) and suffix[k] = LCS(whole[k..), part2), k = 0 ..
// |whole|: the joined LCS is the best cut's sum; the parts are recognisable when some cut
// gives each part a ratio of at least partThreshold percent with its piece.
SplitMeasure MeasureSplit(const AlignLinesTuning& tuning, std::size_t part1Length,
                          std::size_t part2Length, std::span<const std::uint32_t> prefix,
                          std::span<const std::uint32_t> suffix);

// Worth of a split or merge box; meaningless unless the parts are recognisable.
std::int64_t SplitWeight(const AlignLinesTuning& tuning, std::size_t wholeLength,
                         std::size_t part1Length, std::size_t part2Length, std::size_t lcs);

// Whether measuring a split would take more than tuning.lcsWorkLimit steps; such splits are
// not looked for.
bool SplitTooLong(const AlignLinesTuning& tuning, std::size_t wholeLength, std::size_t part1Length,
                  std::size_t part2Length);

// Bounds that let the aligner skip work. Each only says "cannot": a pair or split it rules
// out weighs no more than BoxFloor whatever the characters are, so skipping it changes
// nothing.
// A one-to-one pair of these lengths can be worth something.
bool PairMayCount(const AlignLinesTuning& tuning, std::size_t sourceLength,
                  std::size_t targetLength);
// A part with this LCS against the whole line may be recognisable.
bool PartMayBeRecognisable(const AlignLinesTuning& tuning, std::size_t partLength,
                           std::size_t lcsWithWhole);
// A split with these lengths and at most this joined LCS may be worth something.
bool SplitMayCount(const AlignLinesTuning& tuning, std::size_t wholeLength, std::size_t part1Length,
                   std::size_t part2Length, std::size_t lcsBound);
// A split with these lengths may be worth something whatever the characters.
bool SplitLengthsMayCount(const AlignLinesTuning& tuning, std::size_t wholeLength,
                          std::size_t part1Length, std::size_t part2Length);

}  // namespace sorowa::pairing

#include "pairing/line_similarity.h"

#include <algorithm>
#include <bit>

namespace sorowa::pairing {

LcsScanner::LcsScanner() : slotOf_(0x10000, 0) {}

void LcsScanner::SetPattern(std::u16string_view pattern, bool reversed) {
  for (char16_t c : loaded_) slotOf_[c] = 0;
  loaded_.clear();
  length_ = pattern.size();
  words_ = (length_ + 63) / 64;
  reversed_ = reversed;
  masks_.clear();
  for (std::size_t k = 0; k < length_; ++k) {
    const char16_t c = reversed ? pattern[length_ - 1 - k] : pattern[k];
    std::uint32_t& slot = slotOf_[c];
    if (slot == 0) {
      loaded_.push_back(c);
      slot = static_cast<std::uint32_t>(loaded_.size());
      masks_.resize(masks_.size() + words_, 0);
    }
    masks_[(slot - 1) * words_ + k / 64] |= std::uint64_t{1} << (k % 64);
  }
}

// Hyyro's recurrence: V starts all ones; for each text code unit c with pattern positions
// M(c), U = V & M(c) and V = (V + U) | (V - U). Afterwards the zero bits of V among the first
// k are the LCS of the pattern's first k code units with the text. V - U only clears bits, so
// only the addition carries from word to word.
void LcsScanner::Run(std::u16string_view text) {
  v_.assign(words_, ~std::uint64_t{0});
  const std::size_t n = text.size();
  if (words_ == 1) {
    std::uint64_t v = ~std::uint64_t{0};
    for (std::size_t x = 0; x < n; ++x) {
      const std::uint32_t slot = slotOf_[reversed_ ? text[n - 1 - x] : text[x]];
      if (slot == 0) continue;
      const std::uint64_t u = v & masks_[slot - 1];
      v = (v + u) | (v - u);
    }
    v_[0] = v;
    return;
  }
  for (std::size_t x = 0; x < n; ++x) {
    const std::uint32_t slot = slotOf_[reversed_ ? text[n - 1 - x] : text[x]];
    if (slot == 0) continue;
    const std::uint64_t* mask = &masks_[(slot - 1) * words_];
    std::uint64_t carry = 0;
    for (std::size_t w = 0; w < words_; ++w) {
      const std::uint64_t v = v_[w];
      const std::uint64_t u = v & mask[w];
      const std::uint64_t sum = v + u;
      const std::uint64_t total = sum + carry;
      carry = (sum < v) | (total < sum);
      v_[w] = total | (v - u);
    }
  }
}

std::size_t LcsScanner::Length(std::u16string_view text) {
  if (length_ == 0 || text.empty()) return 0;
  Run(text);
  std::size_t zeros = 0;
  for (std::size_t w = 0; w + 1 < words_; ++w) zeros += std::popcount(~v_[w]);
  const std::size_t tail = length_ - 64 * (words_ - 1);
  const std::uint64_t tailMask = tail == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << tail) - 1;
  zeros += std::popcount(~v_[words_ - 1] & tailMask);
  return zeros;
}

void LcsScanner::Profile(std::u16string_view text, std::vector<std::uint32_t>& profile) {
  profile.assign(length_ + 1, 0);
  if (length_ == 0 || text.empty()) return;
  Run(text);
  for (std::size_t k = 0; k < length_; ++k) {
    const bool zero = ((v_[k / 64] >> (k % 64)) & 1) == 0;
    profile[k + 1] = profile[k] + (zero ? 1 : 0);
  }
}

bool LcsNeedsEstimate(std::size_t a, std::size_t b, const AlignLinesTuning& tuning) {
  // The same test whichever line is the pattern: about a * b / 64 steps.
  const auto shorter = static_cast<std::uint64_t>(std::min(a, b));
  const auto longer = static_cast<std::uint64_t>(std::max(a, b));
  return ((shorter + 63) / 64) * longer > tuning.lcsWorkLimit;
}

std::size_t LineLcs(std::u16string_view a, std::u16string_view b, const AlignLinesTuning& tuning,
                    LcsScanner& scratch) {
  const std::u16string_view shorter = a.size() <= b.size() ? a : b;
  const std::u16string_view longer = a.size() <= b.size() ? b : a;
  if (!LcsNeedsEstimate(a.size(), b.size(), tuning)) {
    scratch.SetPattern(shorter);
    return scratch.Length(longer);
  }
  constexpr std::size_t kPieces = 64;
  const std::size_t piece = std::min<std::size_t>(256, shorter.size());
  std::uint64_t found = 0;
  for (std::size_t k = 0; k < kPieces; ++k) {
    const std::size_t start = (shorter.size() - piece) * k / (kPieces - 1);
    const std::uint64_t centre =
        (static_cast<std::uint64_t>(start) + piece / 2) * longer.size() / shorter.size();
    const std::size_t from = centre > piece ? static_cast<std::size_t>(centre - piece) : 0;
    const std::size_t to = std::min(longer.size(), from + 2 * piece);
    scratch.SetPattern(shorter.substr(start, piece));
    found += scratch.Length(longer.substr(from, to - from));
  }
  return static_cast<std::size_t>(found * shorter.size() / (kPieces * piece));
}

std::int64_t BoxFloor(const AlignLinesTuning& tuning) {
  return -2 * static_cast<std::int64_t>(tuning.contextBonus);
}

std::int64_t PairWeight(const AlignLinesTuning& tuning, std::size_t sourceLength,
                        std::size_t targetLength, std::size_t lcs, bool identical) {
  const std::int64_t weight = 200 * static_cast<std::int64_t>(lcs) -
                              static_cast<std::int64_t>(tuning.pairThreshold) *
                                  static_cast<std::int64_t>(sourceLength + targetLength) -
                              tuning.pairCost;
  return identical ? std::max<std::int64_t>(weight, 1) : weight;
}

SplitMeasure MeasureSplit(const AlignLinesTuning& tuning, std::size_t part1Length,
                          std::size_t part2Length, std::span<const std::uint32_t> prefix,
                          std::span<const std::uint32_t> suffix) {
  SplitMeasure measure;
  const std::size_t whole = prefix.size() - 1;
  const std::int64_t threshold = tuning.partThreshold;
  for (std::size_t k = 0; k <= whole; ++k) {
    measure.lcs = std::max<std::size_t>(measure.lcs, prefix[k] + suffix[k]);
    if (!measure.partsRecognisable &&
        200 * static_cast<std::int64_t>(prefix[k]) >=
            threshold * static_cast<std::int64_t>(k + part1Length) &&
        200 * static_cast<std::int64_t>(suffix[k]) >=
            threshold * static_cast<std::int64_t>(whole - k + part2Length)) {
      measure.partsRecognisable = true;
    }
  }
  return measure;
}

std::int64_t SplitWeight(const AlignLinesTuning& tuning, std::size_t wholeLength,
                         std::size_t part1Length, std::size_t part2Length, std::size_t lcs) {
  return 200 * static_cast<std::int64_t>(lcs) -
         static_cast<std::int64_t>(tuning.pairThreshold) *
             static_cast<std::int64_t>(wholeLength + part1Length + part2Length) -
         tuning.splitCost;
}

bool SplitTooLong(const AlignLinesTuning& tuning, std::size_t wholeLength, std::size_t part1Length,
                  std::size_t part2Length) {
  return static_cast<std::uint64_t>(part1Length + part2Length) * ((wholeLength + 63) / 64) >
         tuning.lcsWorkLimit;
}

bool PairMayCount(const AlignLinesTuning& tuning, std::size_t sourceLength,
                  std::size_t targetLength) {
  return PairWeight(tuning, sourceLength, targetLength, std::min(sourceLength, targetLength),
                    false) > BoxFloor(tuning);
}

// A part p with ratio 2 L / (k + p) >= t against a piece of k code units has L <= min(k, X),
// X its LCS with the whole; so X (200 - t) >= t p, in hundredths.
bool PartMayBeRecognisable(const AlignLinesTuning& tuning, std::size_t partLength,
                           std::size_t lcsWithWhole) {
  const std::int64_t threshold = tuning.partThreshold;
  return static_cast<std::int64_t>(lcsWithWhole) * (200 - threshold) >=
         threshold * static_cast<std::int64_t>(partLength);
}

bool SplitMayCount(const AlignLinesTuning& tuning, std::size_t wholeLength, std::size_t part1Length,
                   std::size_t part2Length, std::size_t lcsBound) {
  const std::size_t lcs = std::min({lcsBound, wholeLength, part1Length + part2Length});
  return SplitWeight(tuning, wholeLength, part1Length, part2Length, lcs) > BoxFloor(tuning);
}

bool SplitLengthsMayCount(const AlignLinesTuning& tuning, std::size_t wholeLength,
                          std::size_t part1Length, std::size_t part2Length) {
  return SplitMayCount(tuning, wholeLength, part1Length, part2Length, wholeLength) &&
         PartMayBeRecognisable(tuning, part1Length, std::min(wholeLength, part1Length)) &&
         PartMayBeRecognisable(tuning, part2Length, std::min(wholeLength, part2Length)) &&
         !SplitTooLong(tuning, wholeLength, part1Length, part2Length);
}

}  // namespace sorowa::pairing

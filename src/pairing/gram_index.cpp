#include "pairing/gram_index.h"

#include <algorithm>
#include <cstdlib>

namespace sorowa::pairing {
namespace {

// More distinct bigrams than this are sampled.
constexpr std::size_t kMaxGramsPerLine = 1024;

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

// What reading a line's bigrams costs, in WorkMeter units.
std::uint64_t GramWork(std::size_t length) {
  return 8 * std::min<std::uint64_t>(length, 4 * kMaxGramsPerLine) + 16;
}

}  // namespace

void LineGrams(std::u16string_view line, std::vector<std::uint64_t>& grams) {
  grams.clear();
  if (line.size() == 1) {
    grams.push_back((std::uint64_t{1} << 32) | line[0]);
    return;
  }
  if (line.empty()) return;
  const std::size_t count = line.size() - 1;
  // A long line keeps only bigrams whose hash falls below a bound that lets through about
  // four times the sample, then the smallest hashes among the distinct ones.
  const bool sample = count > 4 * kMaxGramsPerLine;
  const std::uint64_t bound =
      sample ? (~std::uint64_t{0} / count) * (4 * kMaxGramsPerLine) : ~std::uint64_t{0};
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint64_t key =
        (std::uint64_t{2} << 32) | (std::uint64_t{line[k]} << 16) | line[k + 1];
    if (!sample || Mix(key) <= bound) grams.push_back(key);
  }
  std::sort(grams.begin(), grams.end());
  grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
  if (grams.size() > kMaxGramsPerLine) {
    std::nth_element(grams.begin(), grams.begin() + kMaxGramsPerLine, grams.end(),
                     [](std::uint64_t a, std::uint64_t b) { return Mix(a) < Mix(b); });
    grams.resize(kMaxGramsPerLine);
    std::sort(grams.begin(), grams.end());
  }
}

GramIndex::GramIndex(const std::vector<std::u16string>& lines, std::span<const std::uint32_t> which,
                     WorkMeter& meter)
    : size_(which.size()) {
  // Every line's grams one after the other, then counted per gram and laid out gram by gram
  // with the lines in order: no sorting.
  std::vector<std::uint64_t> all;
  std::vector<std::uint32_t> lineEnds;
  std::vector<std::uint64_t> grams;
  for (std::size_t k = 0; k < which.size(); ++k) {
    const std::u16string& line = lines[which[k]];
    LineGrams(line, grams);
    all.insert(all.end(), grams.begin(), grams.end());
    lineEnds.push_back(static_cast<std::uint32_t>(all.size()));
    meter.Add(GramWork(line.size()));
  }
  // Slots for the distinct grams, kept at most half full.
  mask_ = 1023;
  keys_.assign(mask_ + 1, 0);
  std::size_t distinct = 0;
  for (std::uint64_t gram : all) {
    meter.Add(8);
    const std::size_t slot = Slot(gram);
    if (keys_[slot] != 0) continue;
    keys_[slot] = gram;
    if (2 * ++distinct > mask_) {
      std::vector<std::uint64_t> old;
      old.swap(keys_);
      mask_ = 2 * mask_ + 1;
      keys_.assign(mask_ + 1, 0);
      for (std::uint64_t key : old) {
        if (key != 0) keys_[Slot(key)] = key;
      }
    }
  }
  const std::size_t capacity = mask_ + 1;
  counts_.assign(capacity, 0);
  starts_.assign(capacity, 0);
  for (std::uint64_t gram : all) {
    ++counts_[Slot(gram)];
    meter.Add(8);
  }
  std::uint32_t start = 0;
  for (std::size_t slot = 0; slot < capacity; ++slot) {
    starts_[slot] = start;
    start += counts_[slot];
  }
  holders_.resize(all.size());
  std::vector<std::uint32_t> filled(starts_);
  std::size_t k = 0;
  for (std::size_t line = 0; line < lineEnds.size(); ++line) {
    for (; k < lineEnds[line]; ++k)
      holders_[filled[Slot(all[k])]++] = static_cast<std::uint32_t>(line);
  }
  meter.Add(capacity * 4);
}

std::size_t GramIndex::Slot(std::uint64_t gram) const {
  std::size_t slot = static_cast<std::size_t>(Mix(gram)) & mask_;
  while (keys_[slot] != 0 && keys_[slot] != gram) slot = (slot + 1) & mask_;
  return slot;
}

std::span<const std::uint32_t> GramIndex::Holders(std::uint64_t gram) const {
  const std::size_t slot = Slot(gram);
  if (keys_[slot] == 0) return {};
  return std::span<const std::uint32_t>(holders_).subspan(starts_[slot], counts_[slot]);
}

bool GramMatches::ClearBest() const {
  if (best.empty()) return false;
  const std::uint32_t top = best[0].second;
  const std::uint32_t second = best.size() > 1 ? best[1].second : 0;
  return top >= 3 && 3 * top >= gramsUsed && top > second;
}

GramMatcher::GramMatcher(const GramIndex& index, const AlignLinesTuning& tuning)
    : index_(index), tuning_(tuning), hits_(index.size(), 0) {}

void GramMatcher::Match(std::u16string_view line, std::int64_t near, std::size_t keep,
                        GramMatches& matches, WorkMeter& meter) {
  matches.best.clear();
  LineGrams(line, grams_);
  chosen_.clear();
  for (std::uint64_t gram : grams_) {
    const auto holders = index_.Holders(gram);
    if (!holders.empty() && holders.size() <= tuning_.gramLineLimit) chosen_.push_back(holders);
  }
  meter.Add(GramWork(line.size()) + grams_.size() * 32);
  // The rarest first; among equally rare ones the order of the grams.
  std::stable_sort(chosen_.begin(), chosen_.end(),
                   [](const auto& a, const auto& b) { return a.size() < b.size(); });
  if (chosen_.size() > tuning_.gramsPerLine) chosen_.resize(tuning_.gramsPerLine);
  matches.gramsUsed = chosen_.size();
  for (const auto& holders : chosen_) {
    for (std::uint32_t k : holders) {
      if (hits_[k]++ == 0) touched_.push_back(k);
    }
    meter.Add(holders.size() * 2);
  }
  const auto better = [&](std::uint32_t a, std::uint32_t b) {
    if (hits_[a] != hits_[b]) return hits_[a] > hits_[b];
    const std::int64_t da = std::llabs(static_cast<std::int64_t>(a) - near);
    const std::int64_t db = std::llabs(static_cast<std::int64_t>(b) - near);
    return da != db ? da < db : a < b;
  };
  const std::size_t look = std::min(touched_.size(), keep + 1);
  std::partial_sort(touched_.begin(), touched_.begin() + static_cast<std::ptrdiff_t>(look),
                    touched_.end(), better);
  meter.Add(touched_.size() * 8);
  const std::uint32_t minimum = chosen_.size() >= 2 ? 2 : 1;
  for (std::size_t k = 0; k < look; ++k) {
    if (hits_[touched_[k]] >= minimum) matches.best.emplace_back(touched_[k], hits_[touched_[k]]);
  }
  for (std::uint32_t k : touched_) hits_[k] = 0;
  touched_.clear();
}

}  // namespace sorowa::pairing

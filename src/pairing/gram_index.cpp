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
    const std::uint64_t key = (std::uint64_t{line[k]} << 16) | line[k + 1];
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
  std::vector<std::pair<std::uint64_t, std::uint32_t>> postings;
  std::vector<std::uint64_t> grams;
  for (std::size_t k = 0; k < which.size(); ++k) {
    const std::u16string& line = lines[which[k]];
    LineGrams(line, grams);
    for (std::uint64_t gram : grams) postings.emplace_back(gram, static_cast<std::uint32_t>(k));
    meter.Add(GramWork(line.size()));
  }
  std::sort(postings.begin(), postings.end());
  meter.Add(postings.size() * 24);
  holders_.reserve(postings.size());
  for (std::size_t k = 0; k < postings.size(); ++k) {
    if (k == 0 || postings[k].first != postings[k - 1].first) {
      keys_.push_back(postings[k].first);
      starts_.push_back(static_cast<std::uint32_t>(k));
    }
    holders_.push_back(postings[k].second);
  }
  starts_.push_back(static_cast<std::uint32_t>(holders_.size()));
}

std::span<const std::uint32_t> GramIndex::Holders(std::uint64_t gram) const {
  const auto at = std::lower_bound(keys_.begin(), keys_.end(), gram);
  if (at == keys_.end() || *at != gram) return {};
  const auto k = static_cast<std::size_t>(at - keys_.begin());
  return std::span<const std::uint32_t>(holders_).subspan(starts_[k], starts_[k + 1] - starts_[k]);
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

#include "align/dp_suffix_bound.h"

#include <algorithm>
#include <bit>

namespace sorowa::detail {
namespace {

int PairBits(std::size_t n, std::size_t m) {
  // About one bucket per element, between 4 KiB and 8 MiB of counters.
  const std::size_t wanted = std::clamp<std::size_t>(n + m, 1024, std::size_t{1} << 21);
  return std::bit_width(wanted - 1);
}

}  // namespace

SuffixBound::SuffixBound(std::span<const std::uint32_t> source,
                         std::span<const std::uint32_t> target, std::uint32_t alphabetSize)
    : n_(static_cast<std::ptrdiff_t>(source.size())),
      m_(static_cast<std::ptrdiff_t>(target.size())),
      pairs_(std::size_t{1} << PairBits(source.size(), target.size()), 0),
      pairShift_(64 - PairBits(source.size(), target.size())) {
  // Dense numbers keep every copy's counters as small as the symbols actually used.
  constexpr std::uint32_t kUnseen = 0xFFFFFFFFu;
  std::vector<std::uint32_t> number(alphabetSize, kUnseen);
  auto dense = std::make_shared<std::vector<std::uint32_t>>();
  dense->reserve(source.size() + target.size());
  std::uint32_t next = 0;
  for (auto symbols : {source, target}) {
    for (std::uint32_t x : symbols) {
      if (number[x] == kUnseen) number[x] = next++;
      dense->push_back(number[x]);
    }
  }
  source_ = dense->data();
  target_ = dense->data() + n_;
  dense_ = std::move(dense);
  symbols_.assign(next, 0);
  for (std::ptrdiff_t k = 0; k < n_; ++k) AddSymbol(source_[k], 1);
  for (std::ptrdiff_t k = 0; k < m_; ++k) AddSymbol(target_[k], -1);
  for (std::ptrdiff_t k = 1; k < n_; ++k) AddPair(source_[k - 1], source_[k], 1);
  for (std::ptrdiff_t k = 1; k < m_; ++k) AddPair(target_[k - 1], target_[k], -1);
}

std::size_t SuffixBound::bytes() const {
  return sizeof(SuffixBound) + (symbols_.size() + pairs_.size()) * sizeof(std::int32_t);
}

std::size_t SuffixBound::sharedBytes() const { return dense_->size() * sizeof(std::uint32_t); }

std::size_t SuffixBound::PairBucket(std::uint32_t a, std::uint32_t b) const {
  const std::uint64_t key = (std::uint64_t{a} << 32) | b;
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> pairShift_);
}

void SuffixBound::AddSymbol(std::uint32_t symbol, int sign) {
  std::int32_t& count = symbols_[symbol];
  symbolDistance_ -= count < 0 ? -count : count;
  count += sign;
  symbolDistance_ += count < 0 ? -count : count;
}

void SuffixBound::AddPair(std::uint32_t a, std::uint32_t b, int sign) {
  std::int32_t& count = pairs_[PairBucket(a, b)];
  pairDistance_ -= count < 0 ? -count : count;
  count += sign;
  pairDistance_ += count < 0 ? -count : count;
}

void SuffixBound::MoveTo(std::ptrdiff_t i, std::ptrdiff_t j) {
  const std::ptrdiff_t n = n_;
  const std::ptrdiff_t m = m_;
  // Leaving S[i] out of the suffix takes its count and the pair it starts away.
  for (; i_ < i; ++i_) {
    AddSymbol(source_[i_], -1);
    if (i_ + 1 < n) AddPair(source_[i_], source_[i_ + 1], -1);
  }
  for (; i_ > i; --i_) {
    AddSymbol(source_[i_ - 1], 1);
    if (i_ < n) AddPair(source_[i_ - 1], source_[i_], 1);
  }
  for (; j_ < j; ++j_) {
    AddSymbol(target_[j_], 1);
    if (j_ + 1 < m) AddPair(target_[j_], target_[j_ + 1], 1);
  }
  for (; j_ > j; --j_) {
    AddSymbol(target_[j_ - 1], -1);
    if (j_ < m) AddPair(target_[j_ - 1], target_[j_], -1);
  }
}

std::int64_t SuffixBound::Bound() const {
  std::int64_t gap = (n_ - i_) - (m_ - j_);
  if (gap < 0) gap = -gap;
  const std::int64_t bySymbols = (symbolDistance_ + gap + 1) / 2;
  const std::int64_t byPairs = (symbolDistance_ + pairDistance_ + 2 * gap + 5) / 6;
  return std::max(bySymbols, byPairs);
}

}  // namespace sorowa::detail

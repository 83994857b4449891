#include "pairing/char_path.h"

#include <algorithm>
#include <bit>

#include "base/memory_budget.h"

namespace sorowa::pairing {
namespace {

// k-gram lengths by level: long ones first, since a long unique match is almost surely the
// same text; shorter ones inside the stretches left, where uniqueness is counted anew.
constexpr std::uint32_t kGramLengths[] = {12, 8, 5};
constexpr int kLevels = 3;
// At most about this many k-grams of one stretch are indexed; beyond, a fixed sample of them
// (chosen by hash, so the same k-grams on both sides).
constexpr std::size_t kMostGrams = std::size_t{1} << 20;

constexpr std::uint64_t kBase = 0x100000001B3ull;

std::uint64_t Mix(std::uint64_t hash) { return (hash * 0x9E3779B97F4A7C15ull) >> 20; }

// Calls visit(position, hash) for every k-gram of text whose hash the sample keeps.
template <typename Visit>
void ForEachGram(CodePoints text, std::uint32_t k, std::uint64_t rate, Visit visit) {
  if (text.size() < k) return;
  std::uint64_t top = 1;  // kBase^(k-1)
  for (std::uint32_t t = 1; t < k; ++t) top *= kBase;
  std::uint64_t hash = 0;
  for (std::uint32_t t = 0; t < k; ++t) hash = hash * kBase + text[t];
  for (std::size_t i = 0;; ++i) {
    if (rate == 1 || Mix(hash) % rate == 0) visit(static_cast<std::uint32_t>(i), hash);
    if (i + k >= text.size()) break;
    hash = (hash - text[i] * top) * kBase + text[i + k];
  }
}

// k-grams of one text with how often they occur in each (counts stop at 2) and where.
class GramTable {
 public:
  void Reset(std::size_t expected) {
    std::size_t capacity = 16;
    while (capacity < 2 * expected) capacity *= 2;
    slots_.assign(capacity, Slot{});
    shift_ = 64 - std::countr_zero(capacity);
  }

  void AddFirst(std::uint64_t hash, std::uint32_t position) {
    Slot& slot = Find(hash);
    if (slot.firstCount == 0) {
      slot.hash = hash;
      slot.first = position;
    }
    slot.firstCount = std::min<std::uint16_t>(slot.firstCount + 1, 2);
  }

  void AddSecond(std::uint64_t hash, std::uint32_t position) {
    Slot& slot = Find(hash);
    if (slot.firstCount == 0) return;
    slot.second = position;
    slot.secondCount = std::min<std::uint16_t>(slot.secondCount + 1, 2);
  }

  // Where the k-gram occurs in the second text, if it occurs once in each.
  bool Unique(std::uint64_t hash, std::uint32_t& second) {
    const Slot& slot = Find(hash);
    if (slot.firstCount != 1 || slot.secondCount != 1) return false;
    second = slot.second;
    return true;
  }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    std::uint16_t firstCount = 0;
    std::uint16_t secondCount = 0;
  };

  Slot& Find(std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> shift_);;
         at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.firstCount == 0 || slot.hash == hash) return slot;
    }
  }

  std::vector<Slot> slots_;
  int shift_ = 60;
};

void Append(std::vector<EditOp>& path, EditOp op, std::size_t count) {
  path.insert(path.end(), count, op);
}

}  // namespace

void CharPathFinder::Find(CodePoints a, CodePoints b, std::vector<EditOp>& path) {
  path.clear();
  path.reserve(a.size() + b.size());
  Solve(a, b, 0, path);
}

void CharPathFinder::Solve(CodePoints a, CodePoints b, int level, std::vector<EditOp>& path) {
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  Append(path, EditOp::Match, prefix);
  a = a.subspan(prefix);
  b = b.subspan(prefix);
  std::size_t suffix = 0;
  while (suffix < a.size() && suffix < b.size() &&
         a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
    ++suffix;
  }
  a = a.first(a.size() - suffix);
  b = b.first(b.size() - suffix);
  meter_.Add(prefix + suffix);

  const std::uint64_t cells = std::uint64_t{a.size()} * b.size();
  if (a.empty() || b.empty()) {
    Append(path, EditOp::Delete, a.size());
    Append(path, EditOp::Insert, b.size());
  } else if (cells <= tuning_.pathDirectCells) {
    Exact(a, b, path);
  } else {
    std::vector<Run> runs;
    while (runs.empty() && level < kLevels) runs = Anchor(a, b, kGramLengths[level++]);
    if (runs.empty()) {
      if (cells <= tuning_.pathExactCells) {
        Exact(a, b, path);
      } else {
        Straight(a, b, path);
      }
    } else {
      std::size_t x = 0;
      std::size_t y = 0;
      for (const Run& run : runs) {
        Solve(a.subspan(x, run.a - x), b.subspan(y, run.b - y), level, path);
        Append(path, EditOp::Match, run.length);
        x = run.a + run.length;
        y = run.b + run.length;
      }
      Solve(a.subspan(x), b.subspan(y), level, path);
    }
  }
  Append(path, EditOp::Match, suffix);
}

void CharPathFinder::Exact(CodePoints a, CodePoints b, std::vector<EditOp>& path) {
  meter_.Add(std::uint64_t{a.size()} * b.size() / 64 + a.size() + b.size());
  try {
    aligner_.Align(a, b);
  } catch (const ScoreTooLargeError&) {
    // Under a tight memory limit the straight line still gives a result.
    Straight(a, b, path);
    return;
  }
  path.insert(path.end(), aligner_.script().begin(), aligner_.script().end());
}

void CharPathFinder::Straight(CodePoints a, CodePoints b, std::vector<EditOp>& path) {
  meter_.Add(a.size() + b.size());
  // Bresenham's line: min(n, m) diagonal steps, the surplus of the longer side spread evenly.
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::size_t x = 0;
  std::size_t y = 0;
  const auto diagonal = [&] {
    path.push_back(a[x] == b[y] ? EditOp::Match : EditOp::Substitute);
    ++x;
    ++y;
  };
  if (n >= m) {
    for (; x < n;) {
      if ((x + 1) * m / n > y) {
        diagonal();
      } else {
        path.push_back(EditOp::Delete);
        ++x;
      }
    }
  } else {
    for (; y < m;) {
      if ((y + 1) * n / m > x) {
        diagonal();
      } else {
        path.push_back(EditOp::Insert);
        ++y;
      }
    }
  }
}

std::vector<CharPathFinder::Run> CharPathFinder::Anchor(CodePoints a, CodePoints b,
                                                        std::uint32_t k) {
  std::vector<Run> runs;
  if (a.size() < k || b.size() < k) return runs;
  const std::uint64_t rate = std::max<std::uint64_t>(1, (a.size() + b.size()) / kMostGrams);
  meter_.Add(4 * (a.size() + b.size()));

  GramTable table;
  table.Reset(a.size() / rate + 1);
  ForEachGram(a, k, rate, [&](std::uint32_t i, std::uint64_t hash) { table.AddFirst(hash, i); });
  ForEachGram(b, k, rate, [&](std::uint32_t j, std::uint64_t hash) { table.AddSecond(hash, j); });
  // Unique pairs in order of a; then the longest chain increasing in b as well (patience).
  std::vector<std::uint32_t> xs;
  std::vector<std::uint32_t> ys;
  ForEachGram(a, k, rate, [&](std::uint32_t i, std::uint64_t hash) {
    std::uint32_t j = 0;
    if (table.Unique(hash, j)) {
      xs.push_back(i);
      ys.push_back(j);
    }
  });
  if (xs.empty()) return runs;
  std::vector<std::uint32_t> tails;  // index of the least last y of a chain of each length
  std::vector<std::uint32_t> previous(xs.size());
  for (std::uint32_t t = 0; t < xs.size(); ++t) {
    const auto at =
        std::lower_bound(tails.begin(), tails.end(), ys[t],
                         [&](std::uint32_t index, std::uint32_t y) { return ys[index] < y; });
    previous[t] = at == tails.begin() ? UINT32_MAX : *(at - 1);
    if (at == tails.end()) {
      tails.push_back(t);
    } else {
      *at = t;
    }
  }
  std::vector<std::uint32_t> chain;
  for (std::uint32_t t = tails.back(); t != UINT32_MAX; t = previous[t]) chain.push_back(t);
  std::reverse(chain.begin(), chain.end());
  meter_.Add(chain.size() * 8 + xs.size() * 8);

  // Each chained k-gram grown to its maximal run of equal code points, after the run before.
  std::size_t endA = 0;
  std::size_t endB = 0;
  for (std::uint32_t t : chain) {
    std::size_t x = xs[t];
    std::size_t y = ys[t];
    if (!runs.empty() && x + runs.back().b == y + runs.back().a && x < endA) continue;
    const std::size_t shift = std::max(endA > x ? endA - x : 0, endB > y ? endB - y : 0);
    if (shift >= k) continue;
    x += shift;
    y += shift;
    const std::size_t length = k - shift;
    if (!std::equal(a.begin() + x, a.begin() + x + length, b.begin() + y)) continue;  // collision
    while (x > endA && y > endB && a[x - 1] == b[y - 1]) --x, --y;
    std::size_t e = xs[t] + k;
    std::size_t f = ys[t] + k;
    while (e < a.size() && f < b.size() && a[e] == b[f]) ++e, ++f;
    meter_.Add(e - x);
    runs.push_back({static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                    static_cast<std::uint32_t>(e - x)});
    endA = e;
    endB = f;
  }
  return runs;
}

}  // namespace sorowa::pairing

#include "pairing/line_moves.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <string_view>

namespace sorowa::pairing {
namespace {

constexpr std::uint32_t kNoLine = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kGram = 3;
// A 3-gram found in more alone Source lines than this says nothing about where a line went.
constexpr std::size_t kMostLinesPerGram = 8;
// Target lines voting for Source lines at most this far apart (in lines) belong to one block.
constexpr std::uint32_t kBlockStride = 3;

// Lines longer than this are not looked for elsewhere: a moved block is a paragraph or a
// few, and a huge line would cost more to index than it could gain.
constexpr std::size_t kLongestMoved = 4096;
// At most about this many 3-grams are indexed in a round; beyond, a fixed sample of them
// (chosen by hash, the same on both sides).
constexpr std::size_t kMostGrams = std::size_t{1} << 22;

// The distinct 3-gram hashes of a line (the line itself when shorter) that the sample keeps,
// sorted.
void Grams(const std::u16string& line, std::uint64_t rate, std::vector<std::uint64_t>& grams) {
  grams.clear();
  const auto hash = [&](std::size_t from, std::size_t length) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t k = from; k < from + length; ++k) h = (h ^ line[k]) * 0x100000001B3ull;
    return h;
  };
  if (line.size() < kGram) {
    if (!line.empty()) grams.push_back(hash(0, line.size()));
    return;
  }
  for (std::size_t k = 0; k + kGram <= line.size(); ++k) {
    const std::uint64_t gram = hash(k, kGram);
    if (rate == 1 || (gram >> 40) % rate == 0) grams.push_back(gram);
  }
  std::sort(grams.begin(), grams.end());
  grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
}

// The postings of each 3-gram (sorted by gram) found through an open-addressed table, one
// probe per lookup: a binary search over the postings of a large document misses the cache at
// every step.
class PostingIndex {
 public:
  void Build(const std::vector<std::pair<std::uint64_t, std::uint32_t>>& postings) {
    std::size_t distinct = 0;
    for (std::size_t k = 0; k < postings.size(); ++k) {
      distinct += k == 0 || postings[k].first != postings[k - 1].first;
    }
    std::size_t capacity = 16;
    while (capacity < 2 * distinct) capacity *= 2;
    slots_.assign(capacity, Slot{});
    for (std::size_t k = 0; k < postings.size();) {
      std::size_t end = k + 1;
      while (end < postings.size() && postings[end].first == postings[k].first) ++end;
      Slot& slot = Find(postings[k].first);
      slot = {postings[k].first, static_cast<std::uint32_t>(k),
              static_cast<std::uint32_t>(end - k)};
      k = end;
    }
  }
  // The first posting of the gram and how many there are (0 when none).
  std::pair<std::uint32_t, std::uint32_t> Lookup(std::uint64_t gram) const {
    const Slot& slot = const_cast<PostingIndex*>(this)->Find(gram);
    return {slot.first, slot.count};
  }

 private:
  struct Slot {
    std::uint64_t gram = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };
  Slot& Find(std::uint64_t gram) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = static_cast<std::size_t>((gram * 0x9E3779B97F4A7C15ull) >> 17) & mask;;
         at = (at + 1) & mask) {
      if (slots_[at].count == 0 || slots_[at].gram == gram) return slots_[at];
    }
  }
  std::vector<Slot> slots_;
};

struct Block {
  Gap gap;
  std::uint32_t votes = 0;
};

// Indices of the heaviest chain of pieces (disjoint, sorted by Source line) in order on both
// sides, by matched characters.
std::vector<std::size_t> HeaviestInOrder(const std::vector<JoinedPair>& pieces) {
  std::vector<std::size_t> targetEnds;
  for (const JoinedPair& piece : pieces) {
    targetEnds.push_back(piece.pair.targetFirst + piece.pair.targetCount);
  }
  std::sort(targetEnds.begin(), targetEnds.end());
  using Scored = std::pair<std::uint64_t, std::size_t>;
  std::vector<Scored> tree(targetEnds.size() + 1, {0, SIZE_MAX});
  std::vector<std::uint64_t> total(pieces.size());
  std::vector<std::size_t> from(pieces.size(), SIZE_MAX);
  Scored best{0, SIZE_MAX};
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const LinePair& pair = pieces[k].pair;
    // Pieces ending on the Target side at or before this one's start.
    std::size_t at = std::upper_bound(targetEnds.begin(), targetEnds.end(), pair.targetFirst) -
                     targetEnds.begin();
    Scored before{0, SIZE_MAX};
    for (; at > 0; at &= at - 1) {
      if (tree[at].first > before.first) before = tree[at];
    }
    total[k] = before.first + pieces[k].matches + 1;
    from[k] = before.second;
    const std::size_t end = std::lower_bound(targetEnds.begin(), targetEnds.end(),
                                             pair.targetFirst + pair.targetCount) -
                            targetEnds.begin() + 1;
    for (std::size_t to = end; to < tree.size(); to += to & (~to + 1)) {
      if (total[k] > tree[to].first) tree[to] = {total[k], k};
    }
    if (total[k] > best.first) best = {total[k], k};
  }
  std::vector<std::size_t> chain;
  for (std::size_t k = best.second; k != SIZE_MAX; k = from[k]) chain.push_back(k);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

// The alone Source lines by 3-gram: their postings (gram, line) sorted, found through index.
struct SourceGramIndex {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> postings;
  std::vector<std::uint32_t> sourceGrams;  // per Source line, how many of its 3-grams are kept
  std::uint64_t rate = 1;
  PostingIndex index;
};

// Indexes the alone Source lines; false when there is none to index.
bool IndexAloneSource(const LineSet& lines, const std::vector<bool>& sourceUsed, WorkMeter& meter,
                      std::vector<std::uint64_t>& grams, SourceGramIndex& out) {
  const std::size_t sourceLines = lines.source.size();
  std::vector<std::pair<std::uint64_t, std::uint32_t>>& postings = out.postings;
  out.sourceGrams.assign(sourceLines, 0);
  std::uint64_t total = 0;
  for (std::size_t s = 0; s < sourceLines; ++s) {
    if (!sourceUsed[s] && lines.source[s].size() <= kLongestMoved) total += lines.source[s].size();
  }
  const std::uint64_t rate = total / kMostGrams + 1;
  out.rate = rate;
  for (std::size_t s = 0; s < sourceLines; ++s) {
    if (sourceUsed[s] || lines.source[s].size() > kLongestMoved) continue;
    Grams(lines.source[s], rate, grams);
    out.sourceGrams[s] = static_cast<std::uint32_t>(grams.size());
    for (std::uint64_t gram : grams) postings.emplace_back(gram, static_cast<std::uint32_t>(s));
    meter.Add(lines.source[s].size() * 4);
  }
  if (postings.empty()) return false;
  std::sort(postings.begin(), postings.end());
  out.index.Build(postings);
  meter.Add(postings.size() * 16);
  return true;
}

// Each alone Target line's best Source line: an identical one if there is (a line of common
// words has no rare 4-gram to vote with), else the one sharing most of its rare 3-grams.
void VoteForSources(const LineSet& lines, const std::vector<bool>& sourceUsed,
                    const std::vector<bool>& targetUsed, const SourceGramIndex& sourceIndex,
                    WorkMeter& meter, std::vector<std::uint64_t>& grams,
                    std::vector<std::uint32_t>& best, std::vector<std::uint32_t>& bestVotes) {
  const std::size_t sourceLines = lines.source.size();
  const std::size_t targetLines = lines.target.size();
  const auto& postings = sourceIndex.postings;
  const std::vector<std::uint32_t>& sourceGrams = sourceIndex.sourceGrams;
  const std::uint64_t rate = sourceIndex.rate;
  const PostingIndex& index = sourceIndex.index;
  const std::hash<std::u16string_view> hashText;
  std::vector<std::pair<std::size_t, std::uint32_t>> texts;
  for (std::size_t s = 0; s < sourceLines; ++s) {
    if (!sourceUsed[s] && lines.source[s].size() <= kLongestMoved) {
      texts.emplace_back(hashText(lines.source[s]), static_cast<std::uint32_t>(s));
    }
  }
  std::sort(texts.begin(), texts.end());
  best.assign(targetLines, kNoLine);
  bestVotes.assign(targetLines, 0);
  std::vector<std::uint32_t> votes(sourceLines, 0);
  std::vector<std::uint32_t> touched;
  for (std::size_t t = 0; t < targetLines; ++t) {
    if (targetUsed[t] || lines.target[t].size() > kLongestMoved) continue;
    Grams(lines.target[t], rate, grams);
    const std::size_t hash = hashText(lines.target[t]);
    auto twin =
        std::lower_bound(texts.begin(), texts.end(), std::make_pair(hash, std::uint32_t{0}));
    while (twin != texts.end() && twin->first == hash &&
           lines.source[twin->second] != lines.target[t]) {
      ++twin;
    }
    if (twin != texts.end() && twin->first == hash) {
      best[t] = twin->second;
      bestVotes[t] = static_cast<std::uint32_t>(grams.size()) + 1;
      continue;
    }
    touched.clear();
    for (std::uint64_t gram : grams) {
      const auto [first, count] = index.Lookup(gram);
      meter.Add(8 + count);
      if (count > kMostLinesPerGram) continue;
      for (std::uint32_t at = first; at < first + count; ++at) {
        if (votes[postings[at].second]++ == 0) touched.push_back(postings[at].second);
      }
    }
    std::uint32_t top = kNoLine;
    for (std::uint32_t s : touched) {
      if (top == kNoLine || votes[s] > votes[top] || (votes[s] == votes[top] && s < top)) top = s;
    }
    if (top != kNoLine && votes[top] >= 2 &&
        4 * votes[top] >=
            std::min<std::uint32_t>(static_cast<std::uint32_t>(grams.size()), sourceGrams[top])) {
      best[t] = top;
      bestVotes[t] = votes[top];
    }
    for (std::uint32_t s : touched) votes[s] = 0;
  }
}

// Blocks: runs of consecutive alone Target lines whose votes go to nearby alone Source lines
// in order, with the unvoted lines between them, and one more line on each side when both
// sides have one alone there. Most votes first.
std::vector<Block> FormBlocks(const LineSet& lines, const std::vector<bool>& sourceUsed,
                              const std::vector<bool>& targetUsed,
                              const std::vector<std::uint32_t>& best,
                              const std::vector<std::uint32_t>& bestVotes) {
  const std::size_t sourceLines = lines.source.size();
  const std::size_t targetLines = lines.target.size();
  const auto sourceAloneBetween = [&](std::size_t from, std::size_t to) {
    for (std::size_t s = from; s <= to; ++s) {
      if (sourceUsed[s]) return false;
    }
    return true;
  };
  std::vector<Block> blocks;
  for (std::size_t t = 0; t < targetLines;) {
    if (best[t] == kNoLine) {
      ++t;
      continue;
    }
    std::size_t last = t;
    std::uint32_t low = best[t];
    std::uint32_t high = best[t];
    std::uint32_t total = bestVotes[t];
    for (std::size_t next = t + 1; next < targetLines && !targetUsed[next]; ++next) {
      if (best[next] == kNoLine) {
        if (next - last > kBlockStride) break;
        continue;
      }
      if (best[next] < high || best[next] > high + kBlockStride ||
          !sourceAloneBetween(high, best[next])) {
        break;
      }
      high = best[next];
      total += bestVotes[next];
      last = next;
    }
    Block block;
    block.gap = {low, high + 1, static_cast<std::uint32_t>(t),
                 static_cast<std::uint32_t>(last + 1)};
    block.votes = total;
    // The lines next to a block may belong to it without a vote (heavily edited, or short);
    // the joiner cuts them away again if they match nothing.
    if (low > 0 && !sourceUsed[low - 1]) --block.gap.sourceBegin;
    if (high + 1 < sourceLines && !sourceUsed[high + 1]) ++block.gap.sourceEnd;
    if (t > 0 && !targetUsed[t - 1] && best[t - 1] == kNoLine) --block.gap.targetBegin;
    if (last + 1 < targetLines && !targetUsed[last + 1] && best[last + 1] == kNoLine) {
      ++block.gap.targetEnd;
    }
    blocks.push_back(block);
    t = last + 1;
  }
  std::stable_sort(blocks.begin(), blocks.end(),
                   [](const Block& a, const Block& b) { return a.votes > b.votes; });
  return blocks;
}

// Pair each block's lines, most votes first, skipping blocks whose lines another took (the
// next round forms them anew from what is left).
void PairBlocks(const std::vector<Block>& blocks, LineJoiner& joiner, std::int64_t level,
                const AlignLinesTuning& tuning, std::vector<bool>& sourceUsed,
                std::vector<bool>& targetUsed, std::vector<JoinedPair>& pieces) {
  for (const Block& block : blocks) {
    const Gap& gap = block.gap;
    bool free = true;
    for (std::size_t s = gap.sourceBegin; s < gap.sourceEnd && free; ++s) free = !sourceUsed[s];
    for (std::size_t t = gap.targetBegin; t < gap.targetEnd && free; ++t) free = !targetUsed[t];
    if (!free) continue;
    const std::size_t before = pieces.size();
    joiner.Cut(joiner.Measure(gap), level, tuning.moveMatchShare, tuning.moveMatchMargin, pieces);
    joiner.DropLast();
    for (std::size_t k = before; k < pieces.size(); ++k) {
      const LinePair& pair = pieces[k].pair;
      std::fill_n(sourceUsed.begin() + static_cast<std::ptrdiff_t>(pair.sourceFirst),
                  pair.sourceCount, true);
      std::fill_n(targetUsed.begin() + static_cast<std::ptrdiff_t>(pair.targetFirst),
                  pair.targetCount, true);
    }
  }
}

// One round: the blocks of the lines still alone, paired by the joiner; the pieces found are
// appended and their lines marked used.
void FindPieces(const LineSet& lines, LineJoiner& joiner, std::int64_t level,
                const AlignLinesTuning& tuning, WorkMeter& meter, std::vector<bool>& sourceUsed,
                std::vector<bool>& targetUsed, std::vector<JoinedPair>& pieces) {
  std::vector<std::uint64_t> grams;
  SourceGramIndex index;
  if (!IndexAloneSource(lines, sourceUsed, meter, grams, index)) return;
  std::vector<std::uint32_t> best;
  std::vector<std::uint32_t> bestVotes;
  VoteForSources(lines, sourceUsed, targetUsed, index, meter, grams, best, bestVotes);
  const std::vector<Block> blocks = FormBlocks(lines, sourceUsed, targetUsed, best, bestVotes);
  PairBlocks(blocks, joiner, level, tuning, sourceUsed, targetUsed, pieces);
}

}  // namespace

void FindMoves(const LineSet& lines, LineJoiner& joiner, std::int64_t level,
               const AlignLinesTuning& tuning, WorkMeter& meter, std::vector<JoinedPair>& inOrder,
               std::vector<JoinedPair>& moved) {
  // Lines of weak pairs in order (matched for less than a moved pair must be) are open to the
  // search too: a pair that passed the lower share of pairs in order can be two unrelated
  // texts at one place, holding lines whose counterparts moved.
  const auto weak = [&](const JoinedPair& joined) {
    return 100 * std::uint64_t{2 * joined.matches} < tuning.moveMatchShare * joined.length;
  };
  std::vector<bool> sourceUsed(lines.source.size(), false);
  std::vector<bool> targetUsed(lines.target.size(), false);
  for (const JoinedPair& joined : inOrder) {
    if (weak(joined)) continue;
    const LinePair& pair = joined.pair;
    std::fill_n(sourceUsed.begin() + static_cast<std::ptrdiff_t>(pair.sourceFirst),
                pair.sourceCount, true);
    std::fill_n(targetUsed.begin() + static_cast<std::ptrdiff_t>(pair.targetFirst),
                pair.targetCount, true);
  }
  // A few rounds: a block that lost lines to a heavier one is formed again from the rest (a
  // moved paragraph whose own lines were swapped).
  std::vector<JoinedPair> pieces;
  for (int round = 0; round < 3; ++round) {
    const std::size_t before = pieces.size();
    FindPieces(lines, joiner, level, tuning, meter, sourceUsed, targetUsed, pieces);
    if (pieces.size() == before) break;
  }
  if (pieces.empty()) return;
  // A weak pair that shares a line with a piece gives way; its other lines stand alone.
  std::vector<bool> sourceTaken(lines.source.size(), false);
  std::vector<bool> targetTaken(lines.target.size(), false);
  for (const JoinedPair& piece : pieces) {
    const LinePair& pair = piece.pair;
    std::fill_n(sourceTaken.begin() + static_cast<std::ptrdiff_t>(pair.sourceFirst),
                pair.sourceCount, true);
    std::fill_n(targetTaken.begin() + static_cast<std::ptrdiff_t>(pair.targetFirst),
                pair.targetCount, true);
  }
  std::erase_if(inOrder, [&](const JoinedPair& joined) {
    const LinePair& pair = joined.pair;
    const auto takes = [](const std::vector<bool>& taken, std::size_t first, std::size_t count) {
      return std::any_of(taken.begin() + static_cast<std::ptrdiff_t>(first),
                         taken.begin() + static_cast<std::ptrdiff_t>(first + count),
                         [](bool value) { return value; });
    };
    return takes(sourceTaken, pair.sourceFirst, pair.sourceCount) ||
           takes(targetTaken, pair.targetFirst, pair.targetCount);
  });

  // Which pieces fit in order: their lines lie between the same two pairs on both sides.
  const auto slotOf = [&](std::size_t line, bool source) {
    return std::upper_bound(inOrder.begin(), inOrder.end(), line,
                            [source](std::size_t value, const JoinedPair& joined) {
                              return value <
                                     (source ? joined.pair.sourceFirst : joined.pair.targetFirst);
                            }) -
           inOrder.begin();
  };
  std::sort(pieces.begin(), pieces.end(), [](const JoinedPair& a, const JoinedPair& b) {
    return a.pair.sourceFirst < b.pair.sourceFirst;
  });
  std::vector<std::pair<std::ptrdiff_t, std::size_t>> fitting;  // slot, piece
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const std::ptrdiff_t slot = slotOf(pieces[k].pair.sourceFirst, true);
    if (slot == slotOf(pieces[k].pair.targetFirst, false)) {
      fitting.emplace_back(slot, k);
    } else {
      pieces[k].pair.moved = true;
    }
  }
  std::stable_sort(fitting.begin(), fitting.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t from = 0; from < fitting.size();) {
    std::size_t to = from;
    std::vector<JoinedPair> group;
    while (to < fitting.size() && fitting[to].first == fitting[from].first) {
      group.push_back(pieces[fitting[to].second]);
      ++to;
    }
    std::vector<bool> kept(group.size(), false);
    for (std::size_t index : HeaviestInOrder(group)) kept[index] = true;
    for (std::size_t k = 0; k < group.size(); ++k) {
      pieces[fitting[from + k].second].pair.moved = !kept[k];
    }
    from = to;
  }
  for (const JoinedPair& piece : pieces) (piece.pair.moved ? moved : inOrder).push_back(piece);
  std::sort(inOrder.begin(), inOrder.end(), [](const JoinedPair& a, const JoinedPair& b) {
    return a.pair.sourceFirst < b.pair.sourceFirst;
  });
}

LinePairing ListPairs(const std::vector<JoinedPair>& inOrder, const std::vector<JoinedPair>& moved,
                      std::size_t sourceLines, std::size_t targetLines) {
  std::vector<bool> sourceMoved(sourceLines, false);
  std::vector<std::uint32_t> movedAt(targetLines, kNoLine);
  for (std::size_t k = 0; k < moved.size(); ++k) {
    const LinePair& pair = moved[k].pair;
    std::fill_n(sourceMoved.begin() + static_cast<std::ptrdiff_t>(pair.sourceFirst),
                pair.sourceCount, true);
    movedAt[pair.targetFirst] = static_cast<std::uint32_t>(k);
  }
  LinePairing pairs;
  pairs.reserve(sourceLines + targetLines);
  std::size_t i = 0;
  std::size_t j = 0;
  const auto between = [&](std::size_t sourceUntil, std::size_t targetUntil) {
    for (; i < sourceUntil; ++i) {
      if (!sourceMoved[i]) pairs.push_back({i, 1, j, 0});
    }
    while (j < targetUntil) {
      if (movedAt[j] != kNoLine) {
        pairs.push_back(moved[movedAt[j]].pair);
        j += pairs.back().targetCount;
      } else {
        pairs.push_back({i, 0, j, 1});
        ++j;
      }
    }
  };
  for (const JoinedPair& joined : inOrder) {
    between(joined.pair.sourceFirst, joined.pair.targetFirst);
    pairs.push_back(joined.pair);
    i = joined.pair.sourceFirst + joined.pair.sourceCount;
    j = joined.pair.targetFirst + joined.pair.targetCount;
  }
  between(sourceLines, targetLines);
  return pairs;
}

}  // namespace sorowa::pairing

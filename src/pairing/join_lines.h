#pragma once

// Pairing across line breaks. A block of lines (the lines between two anchors, or two runs of
// lines that may have moved) is paired by cutting its two texts, joined without their line
// breaks, at corners: places where the end of a Source line meets the end of a Target line.
// The pieces between consecutive cuts become the pairs: any number of consecutive lines on
// either side, or lines alone where one side of a piece is empty.
//
// What a cut costs. Let D be the distance of the block's two texts along the best path of
// the band (below), Dpre(c) that of the texts before corner c and Dsuf(c) that of the texts
// after it. The detour of c is Dpre(c) + Dsuf(c) - D: zero exactly when some best alignment
// passes through c, whichever alignment happened to be found. Between corners c1 <= c2 the
// texts cost at least Dsuf(c1) - Dsuf(c2), exactly that when a best path from c1 passes
// through c2, which is the usual case for corners near the path. The chain is chosen on an
// estimate of what its pieces cost beyond D, its excess: for each piece of both sides the
// detour of the corner it starts at (what leaving the best path there costs), and for each
// run of lines of one side alone its length less Dpre's rise across it (exact: lines alone
// cost their length). So a run of lines alone costs once what cutting it away from its
// neighbours costs, however many lines it holds. It is an estimate, not a bound: two best
// paths through corners inside the texts need not cross, so a piece can cost more (for "ab"
// against "abbbb", the piece between corners (0, 1) and (2, 2) costs 1 where the estimate
// says 0). What the pairs really cost is what the benchmark measures (docs/pairing.md).
//
// Which cuts. Every pair should be as fine as the text allows: lines that correspond one to
// one stay 1:1, a paragraph joins the lines that set it, and a line with no counterpart (an
// inserted paragraph next to an edited line) is not swallowed by its neighbour's pair. So the
// chain of corners maximises a worth (Chain in join_lines.cpp): L for each piece of both
// sides, a share of the characters of each run of lines alone (more if the path matches few
// of them), less the excess; L is the largest level, up to cutMostLevel, at which the excess
// of all blocks together exceeds that of level 1 by at most a budget, a small share of their
// distance (a Lagrangian relaxation: as L grows, the chains hold more pieces and more
// excess). Splitting a pair into its two sides alone gains nothing and costs its matches, so
// it happens only to lines the path hardly matches.
//
// The band. The forward and backward distances are computed only in a band around the
// character path (char_path.h): the code points within cutBandHalfWidth of it in each row,
// besides its own runs of insertions. Where a Source line ends, the band also reaches out to
// the line ends of the Target near the path, as far as the rectangle between them and the
// path stays small (cutReachCells), or long and narrow: an edited line followed by an
// inserted paragraph often has its last characters aligned at the far end of the paragraph
// (it is cheaper by a few substitutions), so the corner that cuts the paragraph away lies off
// the path, in a thin rectangle. The band's distances are those of real paths, never below
// the true ones.
//
// A piece with lines on both sides is kept as a pair only if the path matches enough of its
// characters (pairMatchShare); otherwise its lines stand alone. Cost alone would pair a
// deleted paragraph with an unrelated inserted one at the same place, substituting one text
// for the other, and would hide a swap of two lines as two wrong pairs.

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "distance/levenshtein.h"
#include "pairing/align_lines_tuning.h"
#include "pairing/char_path.h"
#include "pairing/gap_alignment.h"
#include "pairing/line_pair.h"
#include "pairing/work_meter.h"

namespace sorowa::pairing {

// The end of Source line `source` and Target line `target` of a block, counted from the
// block's first lines: (0, 0) is the block's start, (N, M) its end.
struct Corner {
  std::uint32_t source = 0;
  std::uint32_t target = 0;
  // The distance of the texts before the corner, and what an alignment through it costs
  // more than the best: Dpre + Dsuf - D.
  std::uint32_t before = 0;
  std::uint32_t detour = 0;
};

// A pair cut from a block, with the characters the path matches in it and its length (code
// points of both sides).
struct JoinedPair {
  LinePair pair;
  std::uint32_t matches = 0;
  std::uint64_t length = 0;
};

// The code points of consecutive lines joined, and where each line starts.
struct JoinedText {
  std::vector<std::uint32_t> text;
  std::vector<std::uint32_t> starts;  // one per line, and the end
};
void JoinLines(const std::vector<std::u16string>& lines, std::size_t first, std::size_t count,
               JoinedText& out);

class LineJoiner {
 public:
  LineJoiner(const LineSet& lines, const AlignLinesTuning& tuning, WorkMeter& meter);

  // Aligns the block's texts and measures the detour of every corner in the band; returns the
  // block's number for the calls below.
  std::size_t Measure(const Gap& gap);
  // Forgets the block measured last (one measured only to be cut at once): a search over
  // many small blocks keeps no memory of them.
  void DropLast();
  // The summed distance D of the blocks measured so far.
  std::uint64_t Distance() const { return distance_; }
  // The largest level whose chains over the first `blocks` blocks have an excess of at most
  // budget together (at least 1).
  std::int64_t ChooseLevel(std::size_t blocks, std::uint64_t budget);
  // The pairs of the block's chain at `level` whose matched characters, counted on both
  // sides, make at least matchShare percent of their length plus matchMargin characters, in
  // order, with line numbers of the whole texts.
  void Cut(std::size_t block, std::int64_t level, std::uint32_t matchShare,
           std::uint32_t matchMargin, std::vector<JoinedPair>& pairs);

  // The block's corners, and the chain at `level` (indices into them) with its excess; for
  // the tests.
  std::span<const Corner> Corners(std::size_t block) const;
  std::uint64_t BlockDistance(std::size_t block) const { return blocks_[block].distance; }
  // Whether the block is large and its texts unrelated: it has no corners but its ends, and
  // its lines are better paired line by line (gap_alignment.h).
  bool Unrelated(std::size_t block) const { return blocks_[block].unrelated; }
  std::uint64_t Chain(std::size_t block, std::int64_t level, std::vector<std::uint32_t>& chain);

 private:
  struct Block {
    Gap gap;
    std::uint64_t distance = 0;
    std::size_t firstCorner = 0;
    std::size_t endCorner = 0;
    std::size_t sourceStarts = 0;  // into starts_: N + 1 offsets, then M + 1 offsets
    std::size_t lineMatches = 0;   // into lineMatches_: the same for the path's matches
    bool unrelated = false;
  };

  void FindCorners(const JoinedText& a, const JoinedText& b, const std::vector<EditOp>& path,
                   std::vector<Corner>& corners, std::uint64_t& distance);
  // The steps of FindCorners: the corners in the band with their Dpre, appended; the detours
  // of those from corners[first] on, the block's distance being `distance`; the path's
  // matches before each line end.
  void FindCornersForward(const JoinedText& a, const JoinedText& b, std::vector<Corner>& corners);
  void FindDetours(const JoinedText& a, const JoinedText& b, std::size_t first,
                   std::uint64_t distance, std::vector<Corner>& corners);
  void CountLineMatches(const JoinedText& a, const JoinedText& b, const std::vector<EditOp>& path);
  // The steps of Chain: the best worth of a chain ending at each corner and the corner before
  // it there (value_ and from_); the excess of a chain.
  void ChainValues(const Block& info, std::span<const Corner> corners, std::int64_t level);
  std::uint64_t ChainExcess(const Block& info, std::span<const Corner> corners,
                            const std::vector<std::uint32_t>& chain) const;
  // Characters matched by the piece's own alignment.
  std::uint32_t Matches(const Block& block, const LinePair& pair, const Corner& from,
                        const Corner& to);
  // The band's columns in every row: low_ and high_.
  void MakeBand(const JoinedText& a, const JoinedText& b, const std::vector<EditOp>& path);

  const LineSet& lines_;
  const AlignLinesTuning& tuning_;
  WorkMeter& meter_;
  CharPathFinder finder_;
  LevenshteinAligner aligner_;
  std::vector<Block> blocks_;
  std::vector<Corner> corners_;
  std::vector<std::uint32_t> starts_;
  // Per line end, the path's matches before it on its own side (before the row or column).
  std::vector<std::uint32_t> lineMatches_;
  std::uint64_t distance_ = 0;
  // Scratch.
  JoinedText source_;
  JoinedText target_;
  std::vector<EditOp> path_;
  std::vector<std::uint32_t> low_;
  std::vector<std::uint32_t> high_;
  std::vector<std::uint32_t> pathLow_;
  std::vector<std::uint32_t> reachRow_;
  // Per row where Source lines end, the columns whose corners it holds.
  std::vector<std::uint32_t> cornerLow_;
  std::vector<std::uint32_t> cornerHigh_;
  std::vector<std::uint32_t> previousRow_;
  std::vector<std::uint32_t> row_;
  std::vector<std::uint32_t> rowMatches_;
  std::vector<std::uint32_t> columnMatches_;
  std::vector<std::int64_t> value_;
  std::vector<std::uint32_t> from_;
  using Scored = std::pair<std::int64_t, std::uint32_t>;
  // The best predecessors of a run of lines alone, by its two rewards: nothing, and one for
  // the characters it leaves unmatched.
  struct RunKeys {
    Scored plain{std::numeric_limits<std::int64_t>::min() / 4, 0};
    Scored unmatched{std::numeric_limits<std::int64_t>::min() / 4, 0};
  };
  std::vector<Scored> tree_;
  std::vector<RunKeys> columnBest_;
  std::vector<std::uint32_t> chain_;
};

}  // namespace sorowa::pairing

#pragma once

// The cheap filter of the line aligner: which lines share rare character bigrams with a line.
// Two versions of an edited line keep most of their bigrams, and a bigram found in few lines
// says much about where a line went; common ones ("した", "ます") say nothing and are skipped.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pairing/align_lines_tuning.h"
#include "pairing/work_meter.h"

namespace sorowa::pairing {

// The distinct bigrams of a line as numbers (a one-character line has its character), sorted.
// Of a line with very many, a sample: those with the smallest hashes, which similar lines
// share.
void LineGrams(std::u16string_view line, std::vector<std::uint64_t>& grams);

// Which of some lines hold each bigram. The lines are numbered 0, 1, ... in the order given.
class GramIndex {
 public:
  GramIndex(const std::vector<std::u16string>& lines, std::span<const std::uint32_t> which,
            WorkMeter& meter);

  std::size_t size() const { return size_; }
  // The lines holding the gram, in order.
  std::span<const std::uint32_t> Holders(std::uint64_t gram) const;

 private:
  // Open addressing: slot of a gram's entry, or of the empty entry where it would go.
  std::size_t Slot(std::uint64_t gram) const;

  std::size_t size_;
  std::size_t mask_ = 0;
  std::vector<std::uint64_t> keys_;     // per slot; 0 is empty (no gram is 0)
  std::vector<std::uint32_t> starts_;   // per slot: the first of its holders
  std::vector<std::uint32_t> counts_;   // per slot: how many
  std::vector<std::uint32_t> holders_;  // line numbers, gram by gram
};

// A line's best matches in an index: the indexed lines sharing most of its rarest bigrams.
struct GramMatches {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> best;  // (line, shared bigrams)
  std::size_t gramsUsed = 0;
  // One line shares clearly more than any other: enough of the bigrams used, and more than
  // the runner-up.
  bool ClearBest() const;
};

class GramMatcher {
 public:
  GramMatcher(const GramIndex& index, const AlignLinesTuning& tuning);

  // The `keep` indexed lines sharing most of the line's rarest bigrams (at most
  // tuning.gramsPerLine of them, each held by at most tuning.gramLineLimit lines), at least
  // two when two or more were used; ties go to the line nearest `near`, then the first.
  // One more is looked at for ClearBest.
  void Match(std::u16string_view line, std::int64_t near, std::size_t keep, GramMatches& matches,
             WorkMeter& meter);

 private:
  const GramIndex& index_;
  const AlignLinesTuning& tuning_;
  std::vector<std::uint32_t> hits_;
  std::vector<std::uint32_t> touched_;
  std::vector<std::uint64_t> grams_;
  std::vector<std::span<const std::uint32_t>> chosen_;
};

}  // namespace sorowa::pairing

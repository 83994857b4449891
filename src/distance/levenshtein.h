#pragma once

// Exact Levenshtein distance (unit costs: substitution, deletion, insertion) and one optimal
// edit script, for sequences of any length. Elements are 32-bit values: code points for
// characters, interned ids for morphemes.
//
// Which optimal script: the one a traceback from the ends of both sequences takes when it
// prefers, at every step, a match or substitution, then a deletion (a reference element left
// out), then an insertion (a hypothesis element added), among the steps that keep the script
// optimal. docs/scores.md states the same rule for users.
//
// How: Myers' bit-parallel recurrence in Hyyro's block form, 64 reference elements per
// machine word. A narrow band along the diagonal gives an upper bound on the distance; a
// band pruned to the cells that can lie on a path within that bound gives the exact
// distance. The script is recovered from states saved every so many columns, recomputing one
// stretch of columns at a time towards the traceback's cell, so memory grows with the band
// times about the square root of the length. Short pairs take the whole table in one pass.
// levenshtein.cpp has the reasoning.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

#include "base/memory_budget.h"

namespace sorowa {

enum class EditOp : std::uint8_t { Match, Substitute, Delete, Insert };

// Knobs for tests and benchmarks; the defaults are what the scores use.
struct LevenshteinOptions {
  // Half the width of the first, narrow band, which gives an upper bound on the distance;
  // 0 picks 128 rows.
  std::size_t firstHalfWidth = 0;
  // Columns between saved states for the traceback; 0 picks about the square root of the
  // hypothesis length.
  std::size_t checkpointInterval = 0;
};

// Keeps its buffers from one pair to the next; one per thread.
class LevenshteinAligner {
 public:
  LevenshteinAligner();
  ~LevenshteinAligner();
  LevenshteinAligner(const LevenshteinAligner&) = delete;
  LevenshteinAligner& operator=(const LevenshteinAligner&) = delete;

  // The distance, with script() set to the chosen optimal script: operations from the start
  // of both sequences. Checks StopRequested now and then (throws WorkStopped).
  std::size_t Align(std::span<const std::uint32_t> reference,
                    std::span<const std::uint32_t> hypothesis,
                    const LevenshteinOptions& options = {});
  // The distance alone; script() is left empty.
  std::size_t Distance(std::span<const std::uint32_t> reference,
                       std::span<const std::uint32_t> hypothesis,
                       const LevenshteinOptions& options = {});

  const std::vector<EditOp>& script() const { return script_; }
  // How many passes over all columns the last call ran to find the distance (the script's
  // traceback recomputes the band once more, a stretch at a time).
  std::size_t passes() const;

 private:
  class Band;
  std::unique_ptr<Band> band_;
  std::vector<EditOp> script_;
};

}  // namespace sorowa

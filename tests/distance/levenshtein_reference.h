#pragma once

// The plain full-table Levenshtein DP with the traceback rule of the scores, written
// independently of the fast code as the yardstick for its tests and fuzz target: from the
// end, a match when the elements are equal, else a substitution, deletion or insertion,
// the first of them that keeps the cost optimal. Quadratic memory: small inputs only.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "distance/levenshtein.h"

namespace sorowa::testing {

inline std::vector<EditOp> ReferenceScript(const std::vector<std::uint32_t>& a,
                                           const std::vector<std::uint32_t>& b) {
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t diagonal = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      d[i][j] = std::min({diagonal, d[i - 1][j] + 1, d[i][j - 1] + 1});
    }
  }
  std::vector<EditOp> ops;
  std::size_t i = n;
  std::size_t j = m;
  while (i > 0 || j > 0) {
    if (i > 0 && j > 0 && a[i - 1] == b[j - 1] && d[i - 1][j - 1] == d[i][j]) {
      ops.push_back(EditOp::Match);
      --i;
      --j;
    } else if (i > 0 && j > 0 && d[i - 1][j - 1] + 1 == d[i][j]) {
      ops.push_back(EditOp::Substitute);
      --i;
      --j;
    } else if (i > 0 && d[i - 1][j] + 1 == d[i][j]) {
      ops.push_back(EditOp::Delete);
      --i;
    } else {
      ops.push_back(EditOp::Insert);
      --j;
    }
  }
  return {ops.rbegin(), ops.rend()};
}

// The distance an edit script claims: its operations other than matches.
inline std::size_t ScriptCost(const std::vector<EditOp>& ops) {
  std::size_t cost = 0;
  for (EditOp op : ops) cost += op != EditOp::Match;
  return cost;
}

}  // namespace sorowa::testing

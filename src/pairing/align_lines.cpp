#include "pairing/align_lines.h"

namespace sorowa {

// Interim: position pairs, then the surplus lines of the longer side on their own. The
// content-based aligner replaces this.
LinePairing AlignLines(const std::vector<std::u16string>& sourceLines,
                       const std::vector<std::u16string>& targetLines,
                       const AlignLinesOptions& options) {
  (void)options;
  LinePairing pairs = PairLinesByPosition(sourceLines.size(), targetLines.size());
  for (std::size_t i = pairs.size(); i < sourceLines.size(); ++i) pairs.push_back({i, 1, 0, 0});
  for (std::size_t j = pairs.size(); j < targetLines.size(); ++j) pairs.push_back({0, 0, j, 1});
  return pairs;
}

}  // namespace sorowa

#include "pairing/line_pair.h"

#include <algorithm>

namespace sorowa {

LinePairing PairLinesByPosition(std::size_t sourceLines, std::size_t targetLines) {
  LinePairing pairs(std::min(sourceLines, targetLines));
  for (std::size_t i = 0; i < pairs.size(); ++i) pairs[i] = LinePair{i, 1, i, 1};
  return pairs;
}

}  // namespace sorowa

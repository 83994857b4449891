#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pairing/line_pair.h"

namespace sorowa {

struct AlignLinesOptions {
  // Called now and then during a long alignment; it may throw (for example CompareCancelled)
  // to stop it. May be empty.
  std::function<void()> checkpoint;
};

// Pairs the lines of two versions of a text by content. Every line of both sides appears in
// exactly one entry, and the entries are in order on both sides.
LinePairing AlignLines(const std::vector<std::u16string>& sourceLines,
                       const std::vector<std::u16string>& targetLines,
                       const AlignLinesOptions& options = {});

}  // namespace sorowa

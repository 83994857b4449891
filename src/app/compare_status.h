#pragma once

#include <QString>

#include "compare/compare_result.h"

namespace sorowa {

// The line under the report view after a Compare: how many pairs were written, how many
// lines of each side were compared with no line of the other, the character error rate (and
// the morpheme error rate) when the pairs were scored, and, where lines were left out of the
// report or a side had no lines, a sentence saying so.
QString CompareStatusText(const CompareResult& result);

}  // namespace sorowa

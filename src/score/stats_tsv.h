#pragma once

// The stats documents as tab-separated text; docs/scores.md describes every column.

#include <string>

#include "score/stats_document.h"

namespace sorowa {

// The document as tab-separated text: a header, a row per line pair (or per document of a
// run over many), and a final row "total".
std::string WriteStatsTsv(const StatsDocument& document);

}  // namespace sorowa

#pragma once

// The stats documents as JSON (format "sorowa-stats", version 1) and as tab-separated text.
// docs/scores.md describes every field of both.

#include <string>
#include <string_view>

#include "score/stats_document.h"

namespace sorowa {

inline constexpr int kStatsFormatVersion = 1;

// The document as UTF-8 JSON text, ending in a line feed.
std::string WriteStatsJson(const StatsDocument& document);

// Reads a document written by WriteStatsJson, checking every field and that the counts add
// up. Throws StatsFormatError with a message that starts with `name` (the file's name).
StatsDocument ReadStatsJson(std::string_view text, const std::string& name);

// The document as tab-separated text: a header, a row per line pair (or per document of a
// run over many), and a final row "total".
std::string WriteStatsTsv(const StatsDocument& document);

}  // namespace sorowa

#pragma once

// The stats documents as JSON (format "sorowa-stats", version 1) and as tab-separated text.
// docs/scores.md describes every field of both.

#include <string>
#include <string_view>

#include "score/stats_document.h"
#include "score/stats_tsv.h"  // the same documents as tab-separated text

namespace sorowa {

inline constexpr int kStatsFormatVersion = 1;

// The document as UTF-8 JSON text, ending in a line feed.
std::string WriteStatsJson(const StatsDocument& document);

// Reads a document written by WriteStatsJson, checking every field and that the counts add
// up. Throws StatsFormatError with a message that starts with `name` (the file's name).
StatsDocument ReadStatsJson(std::string_view text, const std::string& name);

}  // namespace sorowa

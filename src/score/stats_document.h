#pragma once

// The scores of a run, in memory: one record per line pair (or per document, for a run over
// many documents), the totals, the confusions and the accuracy by character class. Every
// figure is kept as a count, so that documents combine exactly: rates are computed from the
// summed counts when they are shown, never averaged. docs/scores.md defines each figure.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "score/score_class.h"
#include "text/text_normalizer.h"

namespace sorowa {

// A stats document cannot be read or combined: broken JSON, a missing or mistyped field,
// counts that do not add up, or options that differ between the documents being combined.
class StatsFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Counts of one optimal edit script, or sums of them.
struct ErrorCounts {
  std::uint64_t n = 0;  // reference elements
  std::uint64_t substitutions = 0;
  std::uint64_t deletions = 0;
  std::uint64_t insertions = 0;

  std::uint64_t distance() const { return substitutions + deletions + insertions; }
  // distance / n; absent when there are no reference elements.
  std::optional<double> rate() const;
  // Throws StatsFormatError when a sum would overflow.
  ErrorCounts& operator+=(const ErrorCounts& other);
  friend bool operator==(const ErrorCounts&, const ErrorCounts&) = default;
};

// Reference characters of one class and how many of them were substituted or deleted.
struct ClassCounts {
  std::uint64_t n = 0;
  std::uint64_t errors = 0;

  // (n - errors) / n; absent when n is 0.
  std::optional<double> accuracy() const;
  friend bool operator==(const ClassCounts&, const ClassCounts&) = default;
};
using ClassTable = std::array<ClassCounts, kScoreClassCount>;

// Every substitution (reference character to hypothesis character), deletion and insertion
// with its count; nothing is cut off here, only when the most frequent are listed.
struct ConfusionCounts {
  // Key: reference code point in the high 32 bits, hypothesis code point in the low ones.
  std::unordered_map<std::uint64_t, std::uint64_t> substitutions;
  std::unordered_map<char32_t, std::uint64_t> deletions;
  std::unordered_map<char32_t, std::uint64_t> insertions;

  static std::uint64_t Key(char32_t from, char32_t to) {
    return (static_cast<std::uint64_t>(from) << 32) | to;
  }
  // Throws StatsFormatError when a count would overflow.
  void Add(const ConfusionCounts& other);
  friend bool operator==(const ConfusionCounts&, const ConfusionCounts&) = default;
};

// One listed confusion; `to` is unused for deletions and insertions.
struct Confusion {
  char32_t from = 0;
  char32_t to = 0;
  std::uint64_t count = 0;
  friend bool operator==(const Confusion&, const Confusion&) = default;
};

// The `limit` most frequent of a table, most frequent first; equal counts in code point order.
std::vector<Confusion> TopSubstitutions(const ConfusionCounts& counts, std::size_t limit);
std::vector<Confusion> TopDeletions(const ConfusionCounts& counts, std::size_t limit);
std::vector<Confusion> TopInsertions(const ConfusionCounts& counts, std::size_t limit);

// Whether text is a pair side as the pairing file writes it: "12", "12+14" (two lines, the
// second after the first), "12-40" (a run from the first line to the last) or "-".
bool IsPairSide(std::string_view text);

enum class PairStatus { Identical, Changed, SourceOnly, TargetOnly };
std::string_view PairStatusName(PairStatus status);
std::optional<PairStatus> PairStatusFromName(std::string_view name);

// One line pair. The sides are written as in the pairing file: a line number, two joined by
// "+", a run of consecutive lines by its first and last joined by "-" ("12-40"), or "-" for
// none. A moved pair joins lines whose counterparts stand elsewhere (paired by content only).
struct PairScore {
  std::string source;
  std::string target;
  // The page of each side's first line, from 1, when the text came from a document with
  // pages; 0 when not known.
  std::uint64_t sourcePage = 0;
  std::uint64_t targetPage = 0;
  bool moved = false;
  PairStatus status = PairStatus::Identical;
  ErrorCounts chars;
  std::optional<ErrorCounts> morphemes;
  friend bool operator==(const PairScore&, const PairScore&) = default;
};

struct StatsTotals {
  std::uint64_t pairs = 0;
  std::uint64_t identical = 0;
  std::uint64_t changed = 0;
  std::uint64_t sourceOnly = 0;
  std::uint64_t targetOnly = 0;
  // Moved pairs among the identical and changed ones; written only for lines paired by
  // content.
  std::uint64_t moved = 0;
  ErrorCounts chars;
  std::optional<ErrorCounts> morphemes;

  // Throws StatsFormatError when a sum would overflow.
  StatsTotals& operator+=(const StatsTotals& other);
  friend bool operator==(const StatsTotals&, const StatsTotals&) = default;
};

// One document of a run over many: its paths and totals, or the error that stopped it.
struct DocumentEntry {
  std::string source;
  std::string target;
  std::optional<StatsTotals> totals;  // absent when it failed
  std::string error;                  // empty when it did not fail
  friend bool operator==(const DocumentEntry&, const DocumentEntry&) = default;
};

// What the scores were computed with; documents combine only when these agree.
struct StatsOptions {
  NormalizationOptions normalization;
  bool alignLines = false;
  bool morphemes = false;
  // How many confusions of each kind the summary lists; not a condition for combining.
  std::size_t topConfusions = 50;

  bool SameScoring(const StatsOptions& other) const {
    return normalization == other.normalization && alignLines == other.alignLines &&
           morphemes == other.morphemes;
  }
  friend bool operator==(const StatsOptions&, const StatsOptions&) = default;
};

struct StatsDocument {
  // A run over one Source and one Target has their paths and the line pairs; a run over many
  // documents (or a combination of runs) has the documents instead.
  bool manyDocuments = false;
  std::string source;
  std::string target;
  StatsOptions options;
  std::vector<PairScore> pairs;
  std::vector<DocumentEntry> documents;
  StatsTotals totals;
  ConfusionCounts confusions;
  ClassTable classes{};
  friend bool operator==(const StatsDocument&, const StatsDocument&) = default;
};

// What one pair adds besides its record: the classes of its reference characters and its
// confusions.
struct PairDetail {
  ClassTable classes{};
  ConfusionCounts confusions;
};

// Appends the pair's record and adds it to the totals, the confusions and the classes.
void AddPair(StatsDocument& document, PairScore pair, const PairDetail& detail);

// Sets each pair's pages from the page of every line of each text (by line number from 1;
// empty for a text without pages): a side's page is that of its first line, as its name
// ("12", "12+13") gives it.
void SetPairPages(StatsDocument& document, const std::vector<std::uint32_t>& sourcePages,
                  const std::vector<std::uint32_t>& targetPages);

// Appends the pairs of part (a run over one Source and one Target, or a stretch of its pairs)
// after those of document, and adds its totals, confusions and classes.
void AppendPairs(StatsDocument& document, StatsDocument&& part);

// Appends the totals, confusions and classes of a whole document run (a document of one
// Source and one Target) as an entry of a run over many.
void AddDocument(StatsDocument& corpus, const StatsDocument& document);
// Appends a document that failed.
void AddFailedDocument(StatsDocument& corpus, std::string source, std::string target,
                       std::string error);

// Combines runs exactly: documents concatenated (a run over one Source and one Target
// becomes one document entry), totals, confusions and classes summed from their counts.
// The result is a run over many documents with the first document's options. Throws
// StatsFormatError when the documents were scored with different options.
StatsDocument MergeStats(const std::vector<StatsDocument>& documents,
                         const std::vector<std::string>& names);

// A few lines for a terminal: pairs, changed, unpaired, the error rates and the top five
// confusions.
std::string FormatSummary(const StatsDocument& document);

}  // namespace sorowa

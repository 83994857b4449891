#include "score/stats_document.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string_view>
#include <utility>

#include "base/utf8.h"

namespace sorowa {
namespace {

void AddCount(std::uint64_t& into, std::uint64_t add) {
  if (__builtin_add_overflow(into, add, &into)) {
    throw StatsFormatError("the counts are too large to add up");
  }
}

template <class Map>
void AddCounts(Map& into, const Map& add) {
  for (const auto& [key, count] : add) AddCount(into[key], count);
}

void AddClasses(ClassTable& into, const ClassTable& add) {
  for (std::size_t k = 0; k < kScoreClassCount; ++k) {
    AddCount(into[k].n, add[k].n);
    AddCount(into[k].errors, add[k].errors);
  }
}

std::vector<Confusion> Top(std::vector<Confusion> all, std::size_t limit) {
  auto before = [](const Confusion& a, const Confusion& b) {
    if (a.count != b.count) return a.count > b.count;
    return a.from != b.from ? a.from < b.from : a.to < b.to;
  };
  if (all.size() > limit) {
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(limit), all.end(),
                      before);
    all.resize(limit);
  } else {
    std::sort(all.begin(), all.end(), before);
  }
  return all;
}

std::vector<Confusion> Single(const std::unordered_map<char32_t, std::uint64_t>& counts,
                              std::size_t limit) {
  std::vector<Confusion> all;
  all.reserve(counts.size());
  for (const auto& [c, count] : counts) all.push_back({c, 0, count});
  return Top(std::move(all), limit);
}

// A character as a terminal can show it: spaces and controls by their code point.
std::string Displayed(char32_t c) {
  if (c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x3000 || c == 0xFEFF ||
      (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F)) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return code;
  }
  std::string out;
  AppendCodePointUtf8(out, c);
  return out;
}

std::string Percent(const std::optional<double>& rate) {
  if (!rate) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f %%", *rate * 100.0);
  return text;
}

}  // namespace

std::optional<double> ErrorCounts::rate() const {
  if (n == 0) return std::nullopt;
  return static_cast<double>(distance()) / static_cast<double>(n);
}

ErrorCounts& ErrorCounts::operator+=(const ErrorCounts& other) {
  AddCount(n, other.n);
  AddCount(substitutions, other.substitutions);
  AddCount(deletions, other.deletions);
  AddCount(insertions, other.insertions);
  std::uint64_t check = substitutions;
  AddCount(check, deletions);
  AddCount(check, insertions);  // the distance must stay representable too
  return *this;
}

std::optional<double> ClassCounts::accuracy() const {
  if (n == 0) return std::nullopt;
  return static_cast<double>(n - errors) / static_cast<double>(n);
}

void ConfusionCounts::Add(const ConfusionCounts& other) {
  AddCounts(substitutions, other.substitutions);
  AddCounts(deletions, other.deletions);
  AddCounts(insertions, other.insertions);
}

std::vector<Confusion> TopSubstitutions(const ConfusionCounts& counts, std::size_t limit) {
  std::vector<Confusion> all;
  all.reserve(counts.substitutions.size());
  for (const auto& [key, count] : counts.substitutions) {
    all.push_back({static_cast<char32_t>(key >> 32), static_cast<char32_t>(key), count});
  }
  return Top(std::move(all), limit);
}

std::vector<Confusion> TopDeletions(const ConfusionCounts& counts, std::size_t limit) {
  return Single(counts.deletions, limit);
}

std::vector<Confusion> TopInsertions(const ConfusionCounts& counts, std::size_t limit) {
  return Single(counts.insertions, limit);
}

std::string_view PairStatusName(PairStatus status) {
  switch (status) {
    case PairStatus::Identical:
      return "identical";
    case PairStatus::Changed:
      return "changed";
    case PairStatus::SourceOnly:
      return "source-only";
    case PairStatus::TargetOnly:
      return "target-only";
  }
  return "changed";
}

std::optional<PairStatus> PairStatusFromName(std::string_view name) {
  for (PairStatus status : {PairStatus::Identical, PairStatus::Changed, PairStatus::SourceOnly,
                            PairStatus::TargetOnly}) {
    if (PairStatusName(status) == name) return status;
  }
  return std::nullopt;
}

bool IsPairSide(std::string_view text) {
  if (text == "-") return true;
  // A line number: digits without a leading zero, at least 1.
  const auto number = [](std::string_view digits, std::uint64_t& value) {
    if (digits.empty() || digits.size() > 19 || digits[0] == '0') return false;
    value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      value = 10 * value + static_cast<std::uint64_t>(c - '0');
    }
    return true;
  };
  const std::size_t join = text.find_first_of("+-");
  std::uint64_t first = 0;
  if (join == std::string_view::npos) return number(text, first);
  std::uint64_t last = 0;
  return number(text.substr(0, join), first) && number(text.substr(join + 1), last) && last > first;
}

StatsTotals& StatsTotals::operator+=(const StatsTotals& other) {
  AddCount(pairs, other.pairs);
  AddCount(identical, other.identical);
  AddCount(changed, other.changed);
  AddCount(sourceOnly, other.sourceOnly);
  AddCount(targetOnly, other.targetOnly);
  AddCount(moved, other.moved);
  chars += other.chars;
  if (other.morphemes) {
    if (!morphemes) morphemes.emplace();
    *morphemes += *other.morphemes;
  }
  return *this;
}

void AddPair(StatsDocument& document, PairScore pair, const PairDetail& detail) {
  StatsTotals add;
  add.pairs = 1;
  switch (pair.status) {
    case PairStatus::Identical:
      add.identical = 1;
      break;
    case PairStatus::Changed:
      add.changed = 1;
      break;
    case PairStatus::SourceOnly:
      add.sourceOnly = 1;
      break;
    case PairStatus::TargetOnly:
      add.targetOnly = 1;
      break;
  }
  add.moved = pair.moved ? 1 : 0;
  add.chars = pair.chars;
  add.morphemes = pair.morphemes;
  document.totals += add;
  document.confusions.Add(detail.confusions);
  AddClasses(document.classes, detail.classes);
  document.pairs.push_back(std::move(pair));
}

namespace {

std::uint64_t PageOfSide(std::string_view side, const std::vector<std::uint32_t>& pages) {
  std::size_t line = 0;
  std::size_t i = 0;
  for (; i < side.size() && side[i] >= '0' && side[i] <= '9' && line <= pages.size(); ++i) {
    line = line * 10 + static_cast<std::size_t>(side[i] - '0');
  }
  return i > 0 && line >= 1 && line <= pages.size() ? pages[line - 1] : 0;
}

}  // namespace

void SetPairPages(StatsDocument& document, const std::vector<std::uint32_t>& sourcePages,
                  const std::vector<std::uint32_t>& targetPages) {
  for (PairScore& pair : document.pairs) {
    pair.sourcePage = PageOfSide(pair.source, sourcePages);
    pair.targetPage = PageOfSide(pair.target, targetPages);
  }
}

void AppendPairs(StatsDocument& document, StatsDocument&& part) {
  document.totals += part.totals;
  document.confusions.Add(part.confusions);
  AddClasses(document.classes, part.classes);
  if (document.pairs.empty()) {
    document.pairs = std::move(part.pairs);
  } else {
    document.pairs.insert(document.pairs.end(), std::make_move_iterator(part.pairs.begin()),
                          std::make_move_iterator(part.pairs.end()));
  }
}

void AddDocument(StatsDocument& corpus, const StatsDocument& document) {
  corpus.manyDocuments = true;
  corpus.documents.push_back({document.source, document.target, document.totals, {}});
  corpus.totals += document.totals;
  corpus.confusions.Add(document.confusions);
  AddClasses(corpus.classes, document.classes);
}

void AddFailedDocument(StatsDocument& corpus, std::string source, std::string target,
                       std::string error) {
  corpus.manyDocuments = true;
  corpus.documents.push_back({std::move(source), std::move(target), {}, std::move(error)});
}

StatsDocument MergeStats(const std::vector<StatsDocument>& documents,
                         const std::vector<std::string>& names) {
  StatsDocument merged;
  merged.manyDocuments = true;
  if (documents.empty()) return merged;
  merged.options = documents.front().options;
  const auto nameOf = [&names](std::size_t k) {
    return k < names.size() ? names[k] : "document " + std::to_string(k + 1);
  };
  // Which input each document came from. The same document in two inputs (one shard given
  // twice, or a copy of it) would count twice; within one input it is a document listed
  // twice on purpose, which the run itself counted twice.
  std::map<std::pair<std::string, std::string>, std::size_t> origin;
  for (std::size_t k = 0; k < documents.size(); ++k) {
    const StatsDocument& document = documents[k];
    const std::string name = nameOf(k);
    if (!document.options.SameScoring(merged.options)) {
      throw StatsFormatError(name + " was scored with other options than " +
                             (names.empty() ? "the first document" : names.front()) +
                             " (normalisation, line alignment or morphemes); only results "
                             "of the same options combine");
    }
    const std::size_t first = merged.documents.size();
    if (document.manyDocuments) {
      merged.documents.insert(merged.documents.end(), document.documents.begin(),
                              document.documents.end());
    } else {
      merged.documents.push_back({document.source, document.target, document.totals, {}});
    }
    for (std::size_t d = first; d < merged.documents.size(); ++d) {
      const DocumentEntry& entry = merged.documents[d];
      const auto [at, added] = origin.emplace(std::pair(entry.source, entry.target), k);
      if (!added && at->second != k) {
        throw StatsFormatError(name + " and " + nameOf(at->second) + " both hold the document '" +
                               entry.source + "' / '" + entry.target +
                               "'; each result can be merged only once");
      }
    }
    try {
      merged.totals += document.totals;
      merged.confusions.Add(document.confusions);
      AddClasses(merged.classes, document.classes);
    } catch (const StatsFormatError& error) {
      throw StatsFormatError(name + ": " + error.what() + " with the results before it");
    }
  }
  // Morpheme totals exist when the runs computed them, even over no pair at all.
  if (merged.options.morphemes && !merged.totals.morphemes) merged.totals.morphemes.emplace();
  return merged;
}

std::string FormatSummary(const StatsDocument& document) {
  const StatsTotals& t = document.totals;
  std::string out;
  auto line = [&out](const std::string& text) { out += text + "\n"; };
  if (document.manyDocuments) {
    std::size_t failed = 0;
    for (const DocumentEntry& entry : document.documents) failed += entry.totals ? 0 : 1;
    line("documents: " + std::to_string(document.documents.size()) +
         (failed != 0 ? " (" + std::to_string(failed) + " failed)" : ""));
  }
  line("pairs: " + std::to_string(t.pairs) + ", changed: " + std::to_string(t.changed) +
       ", unpaired: Source " + std::to_string(t.sourceOnly) + " / Target " +
       std::to_string(t.targetOnly) +
       (document.options.alignLines ? ", moved: " + std::to_string(t.moved) : ""));
  auto rateLine = [&](const char* what, const ErrorCounts& c) {
    line(std::string(what) + ": " + Percent(c.rate()) + " (" + std::to_string(c.distance()) +
         " of " + std::to_string(c.n) + ": " + std::to_string(c.substitutions) + " substituted, " +
         std::to_string(c.deletions) + " deleted, " + std::to_string(c.insertions) + " inserted)");
  };
  rateLine("character error rate", t.chars);
  if (t.morphemes) rateLine("morpheme error rate", *t.morphemes);

  // The five most frequent confusions of all three kinds together.
  struct Shown {
    std::uint64_t count;
    std::string text;
  };
  std::vector<Shown> top;
  for (const Confusion& c : TopSubstitutions(document.confusions, 5)) {
    top.push_back({c.count, Displayed(c.from) + " -> " + Displayed(c.to)});
  }
  for (const Confusion& c : TopDeletions(document.confusions, 5)) {
    top.push_back({c.count, Displayed(c.from) + " deleted"});
  }
  for (const Confusion& c : TopInsertions(document.confusions, 5)) {
    top.push_back({c.count, Displayed(c.from) + " inserted"});
  }
  std::stable_sort(top.begin(), top.end(),
                   [](const Shown& a, const Shown& b) { return a.count > b.count; });
  if (top.size() > 5) top.resize(5);
  if (!top.empty()) {
    std::string text = "top confusions:";
    for (std::size_t k = 0; k < top.size(); ++k) {
      text += (k == 0 ? " " : ", ") + top[k].text + " (" + std::to_string(top[k].count) + ")";
    }
    line(text);
  }
  return out;
}

}  // namespace sorowa

#include <algorithm>
#include <nlohmann/json.hpp>

#include "score/stats_json.h"
#include "score/stats_json_format.h"

namespace sorowa {
namespace {

using Json = nlohmann::json;

// Deeper than any document this program writes; stops pathological nesting early.
constexpr int kMaxDepth = 16;

// Walks a parsed document; every error names the file and the field.
class Reader {
 public:
  explicit Reader(const std::string& name) : name_(name) {}

  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    throw StatsFormatError(name_ + ": " + (where.empty() ? what : where + ": " + what));
  }

  const Json& Member(const Json& object, const std::string& where, const char* key) const {
    const auto found = object.find(key);
    if (found == object.end()) Fail(where, std::string("missing field \"") + key + "\"");
    return *found;
  }

  const Json& Object(const Json& value, const std::string& where) const {
    if (!value.is_object()) Fail(where, "expected an object");
    return value;
  }

  const Json& Array(const Json& value, const std::string& where) const {
    if (!value.is_array()) Fail(where, "expected a list");
    return value;
  }

  std::uint64_t Count(const Json& value, const std::string& where) const {
    if (!value.is_number_unsigned()) Fail(where, "expected a count (a whole number, 0 or more)");
    return value.get<std::uint64_t>();
  }

  bool Boolean(const Json& value, const std::string& where) const {
    if (!value.is_boolean()) Fail(where, "expected true or false");
    return value.get<bool>();
  }

  std::string String(const Json& value, const std::string& where) const {
    if (!value.is_string()) Fail(where, "expected a string");
    return value.get<std::string>();
  }

  void RateOrNull(const Json& value, const std::string& where) const {
    if (!value.is_null() && !value.is_number()) Fail(where, "expected a number or null");
  }

  // One character: a string of exactly one code point (the parser checked the UTF-8).
  char32_t Char(const Json& value, const std::string& where) const {
    const std::string text = String(value, where);
    if (text.empty()) Fail(where, "expected one character, got an empty string");
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (text.size() != length) Fail(where, "expected one character, got \"" + text + "\"");
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
    }
    return c;
  }

  ErrorCounts Counts(const Json& value, const std::string& where) const {
    Object(value, where);
    ErrorCounts c;
    c.n = Count(Member(value, where, "n"), where + ".n");
    c.substitutions = Count(Member(value, where, "s"), where + ".s");
    c.deletions = Count(Member(value, where, "d"), where + ".d");
    c.insertions = Count(Member(value, where, "i"), where + ".i");
    const std::uint64_t distance = Count(Member(value, where, "distance"), where + ".distance");
    ErrorCounts sum;
    try {
      sum += c;  // checks that s + d + i does not overflow
    } catch (const StatsFormatError&) {
      Fail(where, "the counts are too large");
    }
    if (distance != c.distance()) Fail(where, "distance is not s + d + i");
    RateOrNull(Member(value, where, "rate"), where + ".rate");
    return c;
  }

  StatsTotals Totals(const Json& value, const std::string& where,
                     const StatsOptions& options) const {
    const bool morphemes = options.morphemes;
    Object(value, where);
    StatsTotals t;
    t.pairs = Count(Member(value, where, "pairs"), where + ".pairs");
    t.identical = Count(Member(value, where, "identical"), where + ".identical");
    t.changed = Count(Member(value, where, "changed"), where + ".changed");
    t.sourceOnly = Count(Member(value, where, "source_only"), where + ".source_only");
    t.targetOnly = Count(Member(value, where, "target_only"), where + ".target_only");
    // Files written before moved pairs were found have no count; lines paired by position
    // cannot move.
    if (const auto moved = value.find("moved"); moved != value.end()) {
      if (!options.alignLines) Fail(where + ".moved", "moved pairs, but lines were not aligned");
      t.moved = Count(*moved, where + ".moved");
    }
    t.chars = Counts(Member(value, where, "chars"), where + ".chars");
    if (morphemes) {
      t.morphemes = Counts(Member(value, where, "morphemes"), where + ".morphemes");
    } else if (value.contains("morphemes")) {
      Fail(where, "morpheme figures, but the options do not list morphemes among the units");
    }
    std::uint64_t statuses = t.identical;
    bool overflow = __builtin_add_overflow(statuses, t.changed, &statuses);
    overflow |= __builtin_add_overflow(statuses, t.sourceOnly, &statuses);
    overflow |= __builtin_add_overflow(statuses, t.targetOnly, &statuses);
    if (overflow || statuses != t.pairs) {
      Fail(where, "pairs is not identical + changed + source_only + target_only");
    }
    if (t.moved > t.identical + t.changed) Fail(where, "more moved pairs than paired ones");
    return t;
  }

  StatsOptions Options(const Json& value, const std::string& where) const {
    Object(value, where);
    StatsOptions o;
    const std::string form = String(Member(value, where, "normalize"), where + ".normalize");
    if (form == "nfc") {
      o.normalization.form = UnicodeForm::Nfc;
    } else if (form == "nfkc") {
      o.normalization.form = UnicodeForm::Nfkc;
    } else if (form != "none") {
      Fail(where + ".normalize", "expected \"none\", \"nfc\" or \"nfkc\"");
    }
    o.normalization.foldKana = Boolean(Member(value, where, "fold_kana"), where + ".fold_kana");
    o.normalization.ignoreSpace =
        Boolean(Member(value, where, "ignore_space"), where + ".ignore_space");
    o.normalization.ignorePunctuation =
        Boolean(Member(value, where, "ignore_punctuation"), where + ".ignore_punctuation");
    o.alignLines = Boolean(Member(value, where, "align_lines"), where + ".align_lines");
    const Json& units = Array(Member(value, where, "units"), where + ".units");
    bool chars = false;
    for (const Json& unit : units) {
      const std::string name = String(unit, where + ".units");
      if (name == "chars" && !chars) {
        chars = true;
      } else if (name == "morphemes" && !o.morphemes) {
        o.morphemes = true;
      } else {
        Fail(where + ".units", "unexpected unit \"" + name + "\"");
      }
    }
    if (!chars) Fail(where + ".units", "\"chars\" is missing");
    const std::uint64_t top =
        Count(Member(value, where, "top_confusions"), where + ".top_confusions");
    o.topConfusions = static_cast<std::size_t>(std::min<std::uint64_t>(top, 1u << 30));
    return o;
  }

  ConfusionCounts Confusions(const Json& value, const std::string& where) const {
    Object(value, where);
    ConfusionCounts counts;
    const std::string subs = where + ".substitutions";
    for (const Json& entry : Array(Member(value, where, "substitutions"), subs)) {
      Object(entry, subs);
      const char32_t from = Char(Member(entry, subs, "from"), subs + ".from");
      const char32_t to = Char(Member(entry, subs, "to"), subs + ".to");
      const std::uint64_t count = Count(Member(entry, subs, "count"), subs + ".count");
      if (count == 0) Fail(subs + ".count", "a listed confusion counts at least 1");
      if (!counts.substitutions.emplace(ConfusionCounts::Key(from, to), count).second) {
        Fail(subs, "\"" + Utf8Char(from) + "\" -> \"" + Utf8Char(to) + "\" is listed twice");
      }
    }
    auto singles = [&](const char* key, std::unordered_map<char32_t, std::uint64_t>& into) {
      const std::string list = where + "." + key;
      for (const Json& entry : Array(Member(value, where, key), list)) {
        Object(entry, list);
        const char32_t c = Char(Member(entry, list, "char"), list + ".char");
        const std::uint64_t count = Count(Member(entry, list, "count"), list + ".count");
        if (count == 0) Fail(list + ".count", "a listed confusion counts at least 1");
        if (!into.emplace(c, count).second) {
          Fail(list, "\"" + Utf8Char(c) + "\" is listed twice");
        }
      }
    };
    singles("deletions", counts.deletions);
    singles("insertions", counts.insertions);
    return counts;
  }

  // Only the shape of the top lists is checked: they are derived from the complete counts.
  void TopConfusions(const Json& value, const std::string& where) const {
    Object(value, where);
    for (const char* key : {"substitutions", "deletions", "insertions"}) {
      Array(Member(value, where, key), where + "." + key);
    }
  }

  ClassTable Classes(const Json& value, const std::string& where) const {
    Object(value, where);
    ClassTable table{};
    for (std::size_t k = 0; k < kScoreClassCount; ++k) {
      const std::string key(kScoreClassNames[k]);
      const std::string at = where + "." + key;
      const Json& entry = Object(Member(value, where, key.c_str()), at);
      table[k].n = Count(Member(entry, at, "n"), at + ".n");
      table[k].errors = Count(Member(entry, at, "errors"), at + ".errors");
      if (table[k].errors > table[k].n) Fail(at, "more errors than characters");
      RateOrNull(Member(entry, at, "accuracy"), at + ".accuracy");
    }
    for (const auto& [key, unused] : value.items()) {
      if (!ScoreClassFromName(key)) Fail(where, "unknown class \"" + key + "\"");
    }
    return table;
  }

  PairScore Pair(const Json& value, const std::string& where, const StatsOptions& options) const {
    const bool morphemes = options.morphemes;
    Object(value, where);
    PairScore pair;
    pair.source = String(Member(value, where, "source"), where + ".source");
    pair.target = String(Member(value, where, "target"), where + ".target");
    for (const auto& [side, name] :
         {std::pair{&pair.source, ".source"}, {&pair.target, ".target"}}) {
      if (!IsPairSide(*side)) {
        Fail(where + name,
             "expected a line number, two joined by \"+\", a range such as "
             "\"12-40\" or \"-\"");
      }
    }
    if (const auto moved = value.find("moved"); moved != value.end()) {
      pair.moved = Boolean(*moved, where + ".moved");
      if (pair.moved && !options.alignLines) {
        Fail(where + ".moved", "a moved pair, but lines were not aligned");
      }
    }
    for (const auto& [key, page] :
         {std::pair{"source_page", &pair.sourcePage}, std::pair{"target_page", &pair.targetPage}}) {
      if (value.contains(key)) {
        *page = Count(value.at(key), where + "." + key);
        if (*page == 0) Fail(where + "." + key, "pages count from 1");
      }
    }
    const std::string status = String(Member(value, where, "status"), where + ".status");
    const auto parsed = PairStatusFromName(status);
    if (!parsed) Fail(where + ".status", "unknown status \"" + status + "\"");
    pair.status = *parsed;
    pair.chars = Counts(Member(value, where, "chars"), where + ".chars");
    if (morphemes) {
      pair.morphemes = Counts(Member(value, where, "morphemes"), where + ".morphemes");
    }
    const bool noSource = pair.source == "-";
    const bool noTarget = pair.target == "-";
    const bool consistent =
        (pair.status == PairStatus::Identical && !noSource && !noTarget &&
         pair.chars.distance() == 0) ||
        (pair.status == PairStatus::Changed && !noSource && !noTarget &&
         pair.chars.distance() != 0) ||
        (pair.status == PairStatus::SourceOnly && !noSource && noTarget &&
         pair.chars.distance() == pair.chars.deletions && pair.chars.deletions == pair.chars.n) ||
        (pair.status == PairStatus::TargetOnly && noSource && !noTarget && pair.chars.n == 0);
    if (!consistent) Fail(where, "the status does not fit the sides and the counts");
    if (pair.moved && (noSource || noTarget)) Fail(where, "a moved pair needs both sides");
    return pair;
  }

  DocumentEntry Document(const Json& value, const std::string& where,
                         const StatsOptions& options) const {
    Object(value, where);
    DocumentEntry entry;
    entry.source = String(Member(value, where, "source"), where + ".source");
    entry.target = String(Member(value, where, "target"), where + ".target");
    const auto error = value.find("error");
    if (error != value.end() && !error->is_null()) {
      entry.error = String(*error, where + ".error");
      if (entry.error.empty()) Fail(where + ".error", "an error needs a message");
    }
    const auto totals = value.find("totals");
    if (totals != value.end() && !totals->is_null()) {
      entry.totals = Totals(*totals, where + ".totals", options);
    }
    if (entry.totals.has_value() == !entry.error.empty()) {
      Fail(where, "a document has either totals or an error");
    }
    return entry;
  }

 private:
  const std::string& name_;
};

// Whether the figures of the parts add up to the document's totals, confusions and classes.
void CheckSums(const Reader& reader, const StatsDocument& d) {
  StatsTotals sum;
  if (d.options.morphemes) sum.morphemes.emplace();
  try {
    if (d.manyDocuments) {
      for (const DocumentEntry& entry : d.documents) {
        if (entry.totals) sum += *entry.totals;
      }
    } else {
      for (const PairScore& pair : d.pairs) {
        StatsTotals one;
        one.pairs = 1;
        one.identical = pair.status == PairStatus::Identical;
        one.changed = pair.status == PairStatus::Changed;
        one.sourceOnly = pair.status == PairStatus::SourceOnly;
        one.targetOnly = pair.status == PairStatus::TargetOnly;
        one.moved = pair.moved;
        one.chars = pair.chars;
        one.morphemes = pair.morphemes;
        sum += one;
      }
    }
  } catch (const StatsFormatError&) {
    reader.Fail("totals", "the counts are too large to add up");
  }
  if (!(sum == d.totals)) {
    reader.Fail("totals", d.manyDocuments ? "not the sum of the documents' totals"
                                          : "not the sum of the pairs");
  }

  // Each substituted or deleted reference character is an error of its class; each
  // reference character is counted in one class.
  std::uint64_t classN = 0;
  std::uint64_t classErrors = 0;
  std::uint64_t subs = 0;
  std::uint64_t dels = 0;
  std::uint64_t ins = 0;
  bool overflow = false;
  for (const ClassCounts& c : d.classes) {
    overflow |= __builtin_add_overflow(classN, c.n, &classN);
    overflow |= __builtin_add_overflow(classErrors, c.errors, &classErrors);
  }
  for (const auto& [key, count] : d.confusions.substitutions) {
    overflow |= __builtin_add_overflow(subs, count, &subs);
  }
  for (const auto& [key, count] : d.confusions.deletions) {
    overflow |= __builtin_add_overflow(dels, count, &dels);
  }
  for (const auto& [key, count] : d.confusions.insertions) {
    overflow |= __builtin_add_overflow(ins, count, &ins);
  }
  const ErrorCounts& chars = d.totals.chars;
  if (overflow || subs != chars.substitutions || dels != chars.deletions ||
      ins != chars.insertions) {
    reader.Fail("confusion_counts", "the counts do not add up to the character totals");
  }
  if (classN != chars.n || classErrors != chars.substitutions + chars.deletions) {
    reader.Fail("classes", "the counts do not add up to the character totals");
  }
}

}  // namespace

StatsDocument ReadStatsJson(std::string_view text, const std::string& name) {
  Json root;
  try {
    root = Json::parse(text, [&name](int depth, Json::parse_event_t, Json&) {
      if (depth > kMaxDepth) {
        throw StatsFormatError(name + ": nested deeper than a stats document can be");
      }
      return true;
    });
  } catch (const Json::exception& e) {
    std::string what = e.what();
    // The library's messages start with its own tag in brackets; the user needs the rest.
    if (const std::size_t end = what.find("] "); what.starts_with("[json") && end != what.npos) {
      what.erase(0, end + 2);
    }
    throw StatsFormatError(name + ": not valid JSON: " + what);
  }

  const Reader reader(name);
  reader.Object(root, "");
  const auto format = root.find("format");
  if (format == root.end() || !format->is_string() ||
      format->get<std::string>() != kStatsFormatName) {
    reader.Fail("", "not a stats document of sorowa-compare (no \"format\": \"sorowa-stats\")");
  }
  const std::uint64_t version = reader.Count(reader.Member(root, "", "version"), "version");
  if (version != kStatsFormatVersion) {
    reader.Fail("", "stats format version " + std::to_string(version) +
                        " is not supported (this program reads version " +
                        std::to_string(kStatsFormatVersion) + ")");
  }

  StatsDocument d;
  d.options = reader.Options(reader.Member(root, "", "options"), "options");
  const bool hasPairs = root.contains("pairs");
  const bool hasDocuments = root.contains("documents");
  if (hasPairs == hasDocuments) {
    reader.Fail("", "expected either \"pairs\" or \"documents\"");
  }
  d.manyDocuments = hasDocuments;
  if (hasDocuments) {
    const Json& documents = reader.Array(root["documents"], "documents");
    for (std::size_t k = 0; k < documents.size(); ++k) {
      d.documents.push_back(
          reader.Document(documents[k], "documents[" + std::to_string(k) + "]", d.options));
    }
  } else {
    d.source = reader.String(reader.Member(root, "", "source"), "source");
    d.target = reader.String(reader.Member(root, "", "target"), "target");
    const Json& pairs = reader.Array(root["pairs"], "pairs");
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      d.pairs.push_back(reader.Pair(pairs[k], "pairs[" + std::to_string(k) + "]", d.options));
    }
  }
  d.totals = reader.Totals(reader.Member(root, "", "totals"), "totals", d.options);
  reader.TopConfusions(reader.Member(root, "", "confusions"), "confusions");
  d.confusions = reader.Confusions(reader.Member(root, "", "confusion_counts"), "confusion_counts");
  d.classes = reader.Classes(reader.Member(root, "", "classes"), "classes");
  CheckSums(reader, d);
  return d;
}

}  // namespace sorowa

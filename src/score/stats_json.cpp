#include "score/stats_json.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "base/utf8.h"

namespace sorowa {
namespace {

using OrderedJson = nlohmann::ordered_json;
using Json = nlohmann::json;

constexpr std::string_view kFormatName = "sorowa-stats";
// Deeper than any document this program writes; stops pathological nesting early.
constexpr int kMaxDepth = 16;

std::string_view FormName(UnicodeForm form) {
  switch (form) {
    case UnicodeForm::None:
      return "none";
    case UnicodeForm::Nfc:
      return "nfc";
    case UnicodeForm::Nfkc:
      return "nfkc";
  }
  return "none";
}

std::string Utf8Char(char32_t c) {
  std::string out;
  AppendCodePointUtf8(out, c);
  return out;
}

// The document is written piece by piece, one line per pair, document, class and
// confusion: a tree of the whole document would cost several times the scoring itself. The
// JSON library writes every string (escaping, and U+FFFD for bytes of a path that are not
// UTF-8); numbers are written with std::to_chars, rates as the shortest decimal that reads
// back as the same double.
class JsonText {
 public:
  std::string& text() { return text_; }

  JsonText& Raw(std::string_view raw) {
    text_ += raw;
    return *this;
  }
  JsonText& String(std::string_view value) {
    // Printable ASCII without quotes or backslashes (line numbers, most paths) is its own
    // JSON form; anything else goes through the library.
    const bool plain = std::all_of(value.begin(), value.end(), [](char c) {
      return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
    });
    if (plain) {
      text_ += '"';
      text_ += value;
      text_ += '"';
    } else {
      text_ += OrderedJson(value).dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
    }
    return *this;
  }
  // Keys are this program's own plain names.
  JsonText& Key(std::string_view key) {
    text_ += '"';
    text_ += key;
    text_ += "\":";
    return *this;
  }
  JsonText& Number(std::uint64_t value) {
    char digits[24];
    text_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    return *this;
  }
  JsonText& Rate(const std::optional<double>& rate) {
    if (!rate) return Raw("null");
    char digits[32];
    text_.append(digits, std::to_chars(digits, digits + sizeof digits, *rate).ptr);
    return *this;
  }
  JsonText& Bool(bool value) { return Raw(value ? "true" : "false"); }

  JsonText& Counts(const ErrorCounts& c) {
    Raw("{").Key("n").Number(c.n).Raw(",").Key("s").Number(c.substitutions);
    Raw(",").Key("d").Number(c.deletions).Raw(",").Key("i").Number(c.insertions);
    Raw(",").Key("distance").Number(c.distance()).Raw(",").Key("rate").Rate(c.rate());
    return Raw("}");
  }

  JsonText& Totals(const StatsTotals& t) {
    Raw("{").Key("pairs").Number(t.pairs).Raw(",").Key("identical").Number(t.identical);
    Raw(",").Key("changed").Number(t.changed).Raw(",").Key("source_only").Number(t.sourceOnly);
    Raw(",").Key("target_only").Number(t.targetOnly).Raw(",").Key("chars").Counts(t.chars);
    if (t.morphemes) Raw(",").Key("morphemes").Counts(*t.morphemes);
    return Raw("}");
  }

  // A list with one item per line; item(k) writes the k-th.
  template <class Item>
  JsonText& Lines(std::size_t count, int indent, const Item& item) {
    if (count == 0) return Raw("[]");
    const std::string inner = "\n" + std::string(static_cast<std::size_t>(indent) + 1, ' ');
    Raw("[");
    for (std::size_t k = 0; k < count; ++k) {
      Raw(k == 0 ? inner : "," + inner);
      item(k);
    }
    return Raw("\n" + std::string(static_cast<std::size_t>(indent), ' ') + "]");
  }

  JsonText& Confusions(const ConfusionCounts& counts, std::size_t limit) {
    const std::vector<Confusion> substitutions = TopSubstitutions(counts, limit);
    Raw("{\n  ").Key("substitutions").Lines(substitutions.size(), 2, [&](std::size_t k) {
      Raw("{").Key("from").String(Utf8Char(substitutions[k].from));
      Raw(",").Key("to").String(Utf8Char(substitutions[k].to));
      Raw(",").Key("count").Number(substitutions[k].count).Raw("}");
    });
    // No structured binding: a lambda may not capture one before clang 16.
    for (const auto& entry : {std::pair{"deletions", TopDeletions(counts, limit)},
                              std::pair{"insertions", TopInsertions(counts, limit)}}) {
      const std::vector<Confusion>& list = entry.second;
      Raw(",\n  ").Key(entry.first).Lines(list.size(), 2, [&](std::size_t k) {
        Raw("{").Key("char").String(Utf8Char(list[k].from));
        Raw(",").Key("count").Number(list[k].count).Raw("}");
      });
    }
    return Raw("\n }");
  }

 private:
  std::string text_;
};

// ---- Reading ----

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

  StatsTotals Totals(const Json& value, const std::string& where, bool morphemes) const {
    Object(value, where);
    StatsTotals t;
    t.pairs = Count(Member(value, where, "pairs"), where + ".pairs");
    t.identical = Count(Member(value, where, "identical"), where + ".identical");
    t.changed = Count(Member(value, where, "changed"), where + ".changed");
    t.sourceOnly = Count(Member(value, where, "source_only"), where + ".source_only");
    t.targetOnly = Count(Member(value, where, "target_only"), where + ".target_only");
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

  PairScore Pair(const Json& value, const std::string& where, bool morphemes) const {
    Object(value, where);
    PairScore pair;
    pair.source = String(Member(value, where, "source"), where + ".source");
    pair.target = String(Member(value, where, "target"), where + ".target");
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
    return pair;
  }

  DocumentEntry Document(const Json& value, const std::string& where, bool morphemes) const {
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
      entry.totals = Totals(*totals, where + ".totals", morphemes);
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

std::string WriteStatsJson(const StatsDocument& d) {
  JsonText json;
  json.Raw("{\n ").Key("format").String(kFormatName);
  json.Raw(",\n ").Key("version").Number(kStatsFormatVersion);
  if (!d.manyDocuments) {
    json.Raw(",\n ").Key("source").String(d.source);
    json.Raw(",\n ").Key("target").String(d.target);
  }
  const StatsOptions& o = d.options;
  json.Raw(",\n ").Key("options").Raw("{").Key("normalize").String(FormName(o.normalization.form));
  json.Raw(",").Key("fold_kana").Bool(o.normalization.foldKana);
  json.Raw(",").Key("ignore_space").Bool(o.normalization.ignoreSpace);
  json.Raw(",").Key("ignore_punctuation").Bool(o.normalization.ignorePunctuation);
  json.Raw(",").Key("align_lines").Bool(o.alignLines);
  json.Raw(",").Key("units").Raw(o.morphemes ? "[\"chars\",\"morphemes\"]" : "[\"chars\"]");
  json.Raw(",").Key("top_confusions").Number(o.topConfusions).Raw("}");

  if (d.manyDocuments) {
    json.Raw(",\n ").Key("documents").Lines(d.documents.size(), 1, [&](std::size_t k) {
      const DocumentEntry& entry = d.documents[k];
      json.Raw("{").Key("source").String(entry.source);
      json.Raw(",").Key("target").String(entry.target).Raw(",");
      if (entry.totals) {
        json.Key("totals").Totals(*entry.totals);
      } else {
        json.Key("error").String(entry.error);
      }
      json.Raw("}");
    });
  } else {
    json.Raw(",\n ").Key("pairs").Lines(d.pairs.size(), 1, [&](std::size_t k) {
      const PairScore& pair = d.pairs[k];
      json.Raw("{").Key("source").String(pair.source);
      json.Raw(",").Key("target").String(pair.target);
      json.Raw(",").Key("status").String(PairStatusName(pair.status));
      json.Raw(",").Key("chars").Counts(pair.chars);
      if (pair.morphemes) json.Raw(",").Key("morphemes").Counts(*pair.morphemes);
      json.Raw("}");
    });
  }
  json.Raw(",\n ").Key("totals").Totals(d.totals);
  json.Raw(",\n ").Key("confusions").Confusions(d.confusions, o.topConfusions);
  json.Raw(",\n ").Key("confusion_counts").Confusions(d.confusions, static_cast<std::size_t>(-1));
  json.Raw(",\n ").Key("classes").Raw("{");
  for (std::size_t k = 0; k < kScoreClassCount; ++k) {
    json.Raw(k == 0 ? "\n  " : ",\n  ").Key(kScoreClassNames[k]);
    json.Raw("{").Key("n").Number(d.classes[k].n);
    json.Raw(",").Key("errors").Number(d.classes[k].errors);
    json.Raw(",").Key("accuracy").Rate(d.classes[k].accuracy()).Raw("}");
  }
  json.Raw("\n }\n}\n");
  return std::move(json.text());
}

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
  if (format == root.end() || !format->is_string() || format->get<std::string>() != kFormatName) {
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
      d.documents.push_back(reader.Document(documents[k], "documents[" + std::to_string(k) + "]",
                                            d.options.morphemes));
    }
  } else {
    d.source = reader.String(reader.Member(root, "", "source"), "source");
    d.target = reader.String(reader.Member(root, "", "target"), "target");
    const Json& pairs = reader.Array(root["pairs"], "pairs");
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      d.pairs.push_back(
          reader.Pair(pairs[k], "pairs[" + std::to_string(k) + "]", d.options.morphemes));
    }
  }
  d.totals = reader.Totals(reader.Member(root, "", "totals"), "totals", d.options.morphemes);
  reader.TopConfusions(reader.Member(root, "", "confusions"), "confusions");
  d.confusions = reader.Confusions(reader.Member(root, "", "confusion_counts"), "confusion_counts");
  d.classes = reader.Classes(reader.Member(root, "", "classes"), "classes");
  CheckSums(reader, d);
  return d;
}

// ---- Tab-separated text ----

namespace {

// A field with its tabs, line breaks and backslashes escaped, so that each row stays one line.
void AppendField(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
}

void AppendNumber(std::string& out, std::uint64_t value) {
  out += '\t';
  out += std::to_string(value);
}

// The shortest text that reads back as the same double, as the JSON has it.
void AppendRate(std::string& out, const std::optional<double>& rate) {
  out += '\t';
  if (!rate) return;
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, *rate);
  out.append(text, result.ptr);
}

void AppendCounts(std::string& out, const std::optional<ErrorCounts>& counts) {
  if (!counts) {
    out += "\t\t\t\t\t\t";
    return;
  }
  AppendNumber(out, counts->n);
  AppendNumber(out, counts->substitutions);
  AppendNumber(out, counts->deletions);
  AppendNumber(out, counts->insertions);
  AppendNumber(out, counts->distance());
  AppendRate(out, counts->rate());
}

void AppendCountsHeader(std::string& out, std::string_view unit) {
  for (const char* field : {"n", "s", "d", "i", "distance", "rate"}) {
    out += '\t';
    out += unit;
    out += '_';
    out += field;
  }
}

void AppendTotalsCounts(std::string& out, const StatsTotals& t, bool morphemes) {
  AppendNumber(out, t.pairs);
  AppendNumber(out, t.identical);
  AppendNumber(out, t.changed);
  AppendNumber(out, t.sourceOnly);
  AppendNumber(out, t.targetOnly);
  AppendCounts(out, t.chars);
  if (morphemes) AppendCounts(out, t.morphemes ? t.morphemes : ErrorCounts{});
}

}  // namespace

std::string WriteStatsTsv(const StatsDocument& d) {
  const bool morphemes = d.options.morphemes;
  std::string out;
  if (d.manyDocuments) {
    out += "source\ttarget\terror\tpairs\tidentical\tchanged\tsource_only\ttarget_only";
    AppendCountsHeader(out, "chars");
    if (morphemes) AppendCountsHeader(out, "morphemes");
    out += '\n';
    for (const DocumentEntry& entry : d.documents) {
      AppendField(out, entry.source);
      out += '\t';
      AppendField(out, entry.target);
      out += '\t';
      AppendField(out, entry.error);
      if (entry.totals) {
        AppendTotalsCounts(out, *entry.totals, morphemes);
      } else {
        out += std::string(5 + 6 * (morphemes ? 2 : 1), '\t');
      }
      out += '\n';
    }
    out += "total\t\t";
    AppendTotalsCounts(out, d.totals, morphemes);
    out += '\n';
    return out;
  }
  out += "source\ttarget\tstatus";
  AppendCountsHeader(out, "chars");
  if (morphemes) AppendCountsHeader(out, "morphemes");
  out += '\n';
  for (const PairScore& pair : d.pairs) {
    AppendField(out, pair.source);
    out += '\t';
    AppendField(out, pair.target);
    out += '\t';
    out += PairStatusName(pair.status);
    AppendCounts(out, pair.chars);
    if (morphemes) AppendCounts(out, pair.morphemes);
    out += '\n';
  }
  out += "total\t\t";
  AppendCounts(out, d.totals.chars);
  if (morphemes) AppendCounts(out, d.totals.morphemes ? d.totals.morphemes : ErrorCounts{});
  out += '\n';
  return out;
}

}  // namespace sorowa

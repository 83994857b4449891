#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "score/stats_json.h"
#include "score/stats_json_format.h"

namespace sorowa {
namespace {

using OrderedJson = nlohmann::ordered_json;

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

  // The moved count only for lines paired by content, so that other results keep their form.
  JsonText& Totals(const StatsTotals& t, bool moved) {
    Raw("{").Key("pairs").Number(t.pairs).Raw(",").Key("identical").Number(t.identical);
    Raw(",").Key("changed").Number(t.changed).Raw(",").Key("source_only").Number(t.sourceOnly);
    Raw(",").Key("target_only").Number(t.targetOnly);
    if (moved) Raw(",").Key("moved").Number(t.moved);
    Raw(",").Key("chars").Counts(t.chars);
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

}  // namespace

std::string WriteStatsJson(const StatsDocument& d) {
  JsonText json;
  json.Raw("{\n ").Key("format").String(kStatsFormatName);
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
        json.Key("totals").Totals(*entry.totals, o.alignLines);
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
      if (pair.sourcePage != 0) json.Raw(",").Key("source_page").Number(pair.sourcePage);
      if (pair.targetPage != 0) json.Raw(",").Key("target_page").Number(pair.targetPage);
      if (pair.moved) json.Raw(",").Key("moved").Bool(true);
      json.Raw(",").Key("status").String(PairStatusName(pair.status));
      json.Raw(",").Key("chars").Counts(pair.chars);
      if (pair.morphemes) json.Raw(",").Key("morphemes").Counts(*pair.morphemes);
      json.Raw("}");
    });
  }
  json.Raw(",\n ").Key("totals").Totals(d.totals, o.alignLines);
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

}  // namespace sorowa

#include "batch/batch_index.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "base/utf8.h"

namespace sorowa {
namespace {

// The code point of a well-formed UTF-8 sequence at text[i] and its length, or 0 for a
// byte that does not start one.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& c) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(k) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

// Characters an HTML page may not hold as text: controls other than white space, and
// noncharacters.
bool Unwelcome(char32_t c) {
  if (c < 0x20) return c != '\t' && c != '\n' && c != '\r';
  if (c >= 0x7F && c <= 0x9F) return true;
  return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

// Text of a path or a message for the page: escaped, with bytes that are not UTF-8 (a path
// can hold any) and characters a page may not hold shown as U+FFFD.
void AppendText(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const std::size_t length = DecodeUtf8(text, i, c);
    if (length == 0 || Unwelcome(c)) {
      out += "\uFFFD";
      i += length == 0 ? 1 : length;
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.append(text, i, length);
    }
    i += length;
  }
}

// A relative URL for a file name: every byte but letters, digits, - . _ ~ and / in %XX
// form, so that no name can end the attribute or be read as a scheme, query or fragment.
void AppendUrl(std::string& out, std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char ch : name) {
    const auto byte = static_cast<unsigned char>(ch);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9') || ch == '-' || ch == '.' || ch == '_' ||
                       ch == '~' || ch == '/';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
}

std::string Percent(const std::optional<double>& rate) {
  if (!rate) return "—";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f %%", *rate * 100.0);
  return text;
}

std::string Cell(const std::string& text, bool number = true) {
  return (number ? "<td class=\"n\">" : "<td>") + text + "</td>";
}

std::string CountsText(const ErrorCounts& c, const char* unit) {
  return Percent(c.rate()) + "（" + std::to_string(c.n) + " " + unit + "中 " +
         std::to_string(c.distance()) + "：置換 " + std::to_string(c.substitutions) + "・脱落 " +
         std::to_string(c.deletions) + "・挿入 " + std::to_string(c.insertions) + "）";
}

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="ja">
<head>
<meta charset="utf-8">
<meta name="generator" content="sorowa-compare">
<title>比較の結果</title>
<style>
body { font-family: sans-serif; margin: 1em; }
table { border-collapse: collapse; }
th, td { border: 1px solid #999; padding: 2px 6px; vertical-align: top; }
th { background: #eee; }
td.n { text-align: right; white-space: nowrap; }
tr.failed td { background: #fdd; }
</style>
</head>
<body>
<h1>比較の結果</h1>
)";

}  // namespace

std::string WriteBatchIndex(const StatsDocument& stats, const std::vector<BatchDocument>& documents,
                            const std::vector<bool>& hasReport) {
  const std::size_t count = std::min(stats.documents.size(), documents.size());
  const bool morphemes = stats.options.morphemes;
  std::size_t failed = 0;
  for (std::size_t k = 0; k < count; ++k) failed += stats.documents[k].totals ? 0 : 1;

  std::string out(kHead);
  const StatsTotals& t = stats.totals;
  out += "<p>文書 " + std::to_string(count);
  if (failed != 0) out += "（失敗 " + std::to_string(failed) + "）";
  out += "・行の組 " + std::to_string(t.pairs) + "・相違のある行の組 " + std::to_string(t.changed) +
         "・未対応 ソース " + std::to_string(t.sourceOnly) + " / ターゲット " +
         std::to_string(t.targetOnly) + "</p>\n";
  out += "<p>文字誤り率 " + CountsText(t.chars, "文字") + "</p>\n";
  if (morphemes && t.morphemes) {
    out += "<p>形態素誤り率 " + CountsText(*t.morphemes, "形態素") + "</p>\n";
  }

  // Failed documents first, then from the highest error rate down; documents without a
  // rate (nothing in the Source) last. Equal ones stay in name order.
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  struct Key {
    int group;    // 0 failed, 1 with a rate, 2 without
    double rate;  // the character error rate, for group 1
  };
  auto key = [&](std::size_t k) {
    const std::optional<StatsTotals>& totals = stats.documents[k].totals;
    if (!totals) return Key{0, 0.0};
    const std::optional<double> rate = totals->chars.rate();
    return rate ? Key{1, *rate} : Key{2, 0.0};
  };
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const Key x = key(a);
    const Key y = key(b);
    return x.group != y.group ? x.group < y.group : x.rate > y.rate;
  });

  out += "<table>\n<thead><tr><th>文書</th><th>文字誤り率</th>";
  if (morphemes) out += "<th>形態素誤り率</th>";
  out +=
      "<th>行の組</th><th>相違</th><th>未対応 ソース</th><th>未対応 ターゲット</th>"
      "<th>文字数</th><th>置換</th><th>脱落</th><th>挿入</th><th>ソース</th><th>ターゲット</th>"
      "<th>エラー</th></tr></thead>\n<tbody>\n";
  for (std::size_t k : order) {
    const DocumentEntry& entry = stats.documents[k];
    const BatchDocument& document = documents[k];
    out += entry.totals ? "<tr><td>" : "<tr class=\"failed\"><td>";
    if (k < hasReport.size() && hasReport[k]) {
      out += "<a href=\"";
      AppendUrl(out, document.name + ".htm");
      out += "\">";
      AppendText(out, document.name);
      out += "</a>";
    } else {
      AppendText(out, document.name);
    }
    out += "</td>";
    if (entry.totals) {
      const StatsTotals& d = *entry.totals;
      out += Cell(Percent(d.chars.rate()));
      if (morphemes) out += Cell(Percent(d.morphemes ? d.morphemes->rate() : std::nullopt));
      for (std::uint64_t value : {d.pairs, d.changed, d.sourceOnly, d.targetOnly, d.chars.n,
                                  d.chars.substitutions, d.chars.deletions, d.chars.insertions}) {
        out += Cell(std::to_string(value));
      }
    } else {
      for (int cell = 0; cell < (morphemes ? 10 : 9); ++cell) out += "<td></td>";
    }
    std::string text;
    AppendText(text, entry.source);
    out += Cell(text, false);
    text.clear();
    AppendText(text, entry.target);
    out += Cell(text, false);
    text.clear();
    AppendText(text, entry.error);
    out += Cell(text, false) + "</tr>\n";
  }
  out += "</tbody>\n</table>\n</body>\n</html>\n";
  return out;
}

}  // namespace sorowa

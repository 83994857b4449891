#include "batch/batch_index.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <numeric>

#include "base/utf8.h"
#include "compare/review_html.h"

namespace sorowa {
namespace {

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
    const std::size_t length = DecodeCodePointUtf8(text, i, c);
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

std::string Cell(const std::string& text, bool number = true) {
  return (number ? "<td class=\"n\">" : "<td>") + text + "</td>";
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
)";

constexpr std::string_view kChartStyle = R"(td.ch { text-align: center; }
.conf { display: flex; flex-wrap: wrap; gap: 1em; align-items: flex-start; }
.conf caption { text-align: left; font-weight: bold; }
.x { font: 70% monospace; border: 1px solid #888; border-radius: 2px; padding: 0 1px; }
svg text { font-family: sans-serif; font-size: 12px; }
)";

constexpr std::string_view kHeadEnd = R"(</style>
</head>
<body>
<h1>比較の結果</h1>
)";

// The histogram's bins: upper ends of the character error rate, the last one open.
constexpr double kBinEnds[] = {0.0, 0.01, 0.02, 0.05, 0.10, 0.20, 0.50};
constexpr std::string_view kBinLabels[] = {"0",     "〜1",    "1〜2",   "2〜5",
                                           "5〜10", "10〜20", "20〜50", "50〜"};
constexpr std::size_t kBins = std::size(kBinLabels);

constexpr std::array<std::string_view, kScoreClassCount> kClassLabels{
    "漢字", "ひらがな", "カタカナ", "ラテン文字", "数字", "約物・記号", "空白", "その他"};

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string Attribute(std::string_view name, double value) {
  return " " + std::string(name) + "=\"" + Number(value) + "\"";
}

// How many documents fall in each band of character error rate, as bars. Documents that
// failed or have no Source characters have no rate; the page says how many.
void AppendRateHistogram(std::string& out, const StatsDocument& stats) {
  std::array<std::size_t, kBins> counts{};
  std::size_t without = 0;
  for (const DocumentEntry& entry : stats.documents) {
    const std::optional<double> rate = entry.totals ? entry.totals->chars.rate() : std::nullopt;
    if (!rate) {
      ++without;
      continue;
    }
    std::size_t bin = 0;
    while (bin + 1 < kBins && *rate > kBinEnds[bin]) ++bin;
    ++counts[bin];
  }
  const double highest = static_cast<double>(
      std::max<std::size_t>(1, *std::max_element(counts.begin(), counts.end())));
  constexpr double kBarWidth = 52;
  constexpr double kGap = 8;
  constexpr double kTop = 20;
  constexpr double kBarArea = 150;
  constexpr double kLeft = 10;
  const double width = kLeft * 2 + kBins * (kBarWidth + kGap);
  const double height = kTop + kBarArea + 40;
  const double axis = kTop + kBarArea;
  out += "<h2>文書ごとの文字誤り率</h2>\n<svg xmlns=\"http://www.w3.org/2000/svg\"" +
         Attribute("width", width) + Attribute("height", height) +
         " role=\"img\" aria-label=\"文字誤り率ごとの文書数\">\n";
  for (std::size_t bin = 0; bin < kBins; ++bin) {
    const double x = kLeft + static_cast<double>(bin) * (kBarWidth + kGap);
    const double barHeight = kBarArea * static_cast<double>(counts[bin]) / highest;
    const std::string count = std::to_string(counts[bin]);
    out += "<g><title>" + std::string(kBinLabels[bin]) + " %：" + count + " 文書</title><rect" +
           Attribute("x", x) + Attribute("y", axis - barHeight) + Attribute("width", kBarWidth) +
           Attribute("height", barHeight) + " fill=\"#4a7ebb\"/><text" +
           Attribute("x", x + kBarWidth / 2) + Attribute("y", axis - barHeight - 4) +
           " text-anchor=\"middle\">" + count + "</text><text" + Attribute("x", x + kBarWidth / 2) +
           Attribute("y", axis + 16) + " text-anchor=\"middle\">" + std::string(kBinLabels[bin]) +
           "</text></g>\n";
  }
  out += "<line" + Attribute("x1", kLeft) + Attribute("y1", axis) + Attribute("x2", width - kLeft) +
         Attribute("y2", axis) + " stroke=\"#333\"/>\n<text" + Attribute("x", width / 2) +
         Attribute("y", height - 4) +
         " text-anchor=\"middle\">文字誤り率（%）ごとの文書数</text>\n</svg>\n";
  if (without != 0) {
    out += "<p>誤り率のない文書（失敗した文書、ソースが空の文書）" + std::to_string(without) +
           " は含みません。</p>\n";
  }
}

// The accuracy of each class of Source characters that occurs, as bars.
void AppendClassChart(std::string& out, const StatsDocument& stats) {
  out += "<h2>文字種ごとの正解率</h2>\n";
  std::size_t shown = 0;
  for (const ClassCounts& counts : stats.classes) shown += counts.n != 0 ? 1 : 0;
  if (shown == 0) {
    out += "<p>ソースに文字がありません。</p>\n";
    return;
  }
  constexpr double kLabelWidth = 90;
  constexpr double kBarLength = 300;
  constexpr double kRow = 24;
  const double width = kLabelWidth + kBarLength + 230;
  const double height = kRow * static_cast<double>(shown) + 8;
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\"" + Attribute("width", width) +
         Attribute("height", height) + " role=\"img\" aria-label=\"文字種ごとの正解率\">\n";
  double y = 4;
  for (std::size_t k = 0; k < kScoreClassCount; ++k) {
    const ClassCounts& counts = stats.classes[k];
    if (counts.n == 0) continue;
    const double accuracy = std::clamp(counts.accuracy().value_or(0.0), 0.0, 1.0);
    const std::string label(kClassLabels[k]);
    const std::string figure = FormatRate(counts.accuracy()) + "（" + std::to_string(counts.n) +
                               " 文字中 誤り " + std::to_string(counts.errors) + "）";
    out += "<g><title>" + label + "：" + figure + "</title><text x=\"0\"" + Attribute("y", y + 15) +
           ">" + label + "</text><rect" + Attribute("x", kLabelWidth) + Attribute("y", y + 2) +
           Attribute("width", kBarLength) + " height=\"16\" fill=\"#e4e4e4\"/><rect" +
           Attribute("x", kLabelWidth) + Attribute("y", y + 2) +
           Attribute("width", kBarLength * accuracy) + " height=\"16\" fill=\"#4a7ebb\"/><text" +
           Attribute("x", kLabelWidth + kBarLength + 6) + Attribute("y", y + 15) + ">" + figure +
           "</text></g>\n";
    y += kRow;
  }
  out += "</svg>\n";
}

}  // namespace

std::string WriteBatchIndex(const StatsDocument& stats, const std::vector<BatchDocument>& documents,
                            const std::vector<bool>& hasReport, bool charts) {
  const std::size_t count = std::min(stats.documents.size(), documents.size());
  const bool morphemes = stats.options.morphemes;
  std::size_t failed = 0;
  for (std::size_t k = 0; k < count; ++k) failed += stats.documents[k].totals ? 0 : 1;

  std::string out(kHead);
  if (charts) out += kChartStyle;
  out += kHeadEnd;
  const StatsTotals& t = stats.totals;
  out += "<p>文書 " + std::to_string(count);
  if (failed != 0) out += "（失敗 " + std::to_string(failed) + "）";
  out += "・行の組 " + std::to_string(t.pairs) + "・相違のある行の組 " + std::to_string(t.changed) +
         "・未対応 ソース " + std::to_string(t.sourceOnly) + " / ターゲット " +
         std::to_string(t.targetOnly) + "</p>\n";
  out += "<p>文字誤り率 " + FormatCounts(t.chars, "文字") + "</p>\n";
  if (morphemes && t.morphemes) {
    out += "<p>形態素誤り率 " + FormatCounts(*t.morphemes, "形態素") + "</p>\n";
  }

  if (charts) {
    AppendRateHistogram(out, stats);
    AppendClassChart(out, stats);
    out += "<h2>多い誤り</h2>\n";
    AppendConfusionTables(out, stats.confusions, 20);
    out += "<h2>文書</h2>\n";
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
      out += Cell(FormatRate(d.chars.rate()));
      if (morphemes) out += Cell(FormatRate(d.morphemes ? d.morphemes->rate() : std::nullopt));
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

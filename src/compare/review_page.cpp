#include "compare/review_page.h"

#include <stdexcept>

#include "align/report_buffer.h"
#include "compare/review_html.h"

namespace sorowa {
namespace {

// How many confusions of each kind the head lists.
constexpr std::size_t kHeadConfusions = 10;
// A long row goes on to the report buffer in pieces of about this size, so that the buffer
// can hand a long pair on while it is written.
constexpr std::size_t kRowPiece = std::size_t{64} << 10;

// The style sheet. The text columns share what the fixed columns leave of the page's width
// and wrap anywhere, so that no line, however long and whatever it holds, makes a row wider
// than the view or the printed page. The three kinds of marks differ by more than colour:
// a box, a line through, a line under.
//
// The pairs' table is laid out as a grid a row at a time rather than as a table: a table's
// layout takes every row into account at once, a grid row only itself, so a browser can skip
// the rows out of sight (content-visibility), and a page of thousands of rows shows in a
// fraction of the time (in print every row is laid out all the same).
constexpr std::string_view kStyle = R"(<style>
body { font-family: sans-serif; margin: 1em; color: #000; background: #fff; }
h1 { font-size: 1.4em; margin: 0 0 .5em; }
h2 { font-size: 1.1em; margin: 1em 0 .3em; }
table { border-collapse: collapse; }
th, td { border: 1px solid #bbb; padding: 2px 5px; vertical-align: top; overflow-wrap: anywhere; }
th { background: #eee; font-weight: normal; text-align: left; }
td.n { text-align: right; }
td.ch { text-align: center; }
.conf { display: flex; flex-wrap: wrap; gap: 1em; align-items: flex-start; }
.conf caption { text-align: left; font-weight: bold; }
.legend mark, .legend del, .legend ins { padding: 0 .3em; }
table.rv, .rv > thead, .rv > tbody { display: block; }
table.rv { margin-top: 1em; border-top: 1px solid #bbb; }
.rv tr { display: grid; grid-template-columns: 4em 4em 6em 5em minmax(0, 1fr) minmax(0, 1fr);
  border: 1px solid #bbb; border-top: 0; }
.rv > thead { position: sticky; top: 0; z-index: 1; }
.rv > tbody > tr { content-visibility: auto; contain-intrinsic-size: auto 3.5em; }
.rv th, .rv td { display: block; min-width: 0; border: 0; border-left: 1px solid #bbb; }
.rv th:first-child, .rv td:first-child { border-left: 0; }
.rv th, .rv td.st, .rv td.n { font-size: 88%; }
.rv td.n { white-space: nowrap; }
.rv td:nth-child(-n+2) { overflow-wrap: normal; }
.rv td.a, .rv td.b { white-space: pre-wrap; line-height: 1.7; tab-size: 4; }
.rv td.none { color: #555; background: repeating-linear-gradient(135deg, #eee 0 5px, #fff 5px 10px); }
.rv tr.c td.st { background: #fff1c2; }
.rv tr.so td.st { background: #f9c5c5; }
.rv tr.to td.st { background: #c7dcff; }
.rv tr.so, .rv tr.to { border-left: 4px solid #555; }
mark { background: #ffd54f; color: inherit; outline: 1px solid #8a6d00; outline-offset: -1px; }
del { background: #f6b3b3; text-decoration: line-through 2px; }
ins { background: #b6d3ff; text-decoration: underline 2px; }
.x { font: 70% monospace; border: 1px solid #888; border-radius: 2px; padding: 0 1px; }
.j::before { content: "\23CE"; color: #777; font-size: 75%; }
.mv { font-size: 85%; border: 1px solid #777; border-radius: 3px; padding: 0 2px; }
a.nx { text-decoration: none; margin-left: .3em; }
@media print {
  @page { size: A4 portrait; margin: 12mm 10mm; }
  body { margin: 0; font-size: 9pt; }
  * { print-color-adjust: exact; -webkit-print-color-adjust: exact; }
  .rv > thead { position: static; }
  .rv tr { break-inside: avoid; }
  a.nx, .jump { display: none; }
}
</style>
)";

constexpr std::string_view kLegend =
    "<p class=\"legend\">凡例：<mark>置換</mark> <del>脱落</del> <ins>挿入</ins>"
    "（置換は枠、脱落は取り消し線、挿入は下線でも区別）・<i class=\"j\"></i> "
    "連結した行の継ぎ目・<span class=\"mv\">移動</span> 移動した行の組</p>\n";

constexpr std::string_view kTableHead =
    "<table class=\"rv\">\n"
    "<thead><tr><th>ソース行</th><th>ターゲット行</th><th>状態</th><th>文字誤り率</th>"
    "<th>ソース</th><th>ターゲット</th></tr></thead>\n<tbody>\n";

void AppendFigure(std::string& out, std::string_view label, const std::string& html) {
  out += "<tr><th>";
  out += label;
  out += "</th><td>";
  out += html;
  out += "</td></tr>\n";
}

// The lines of one side of a pair: "12", "12–40" for joined lines (the first and the last,
// however many stand between), "—" for none; under them the page of the first line, where the
// text came from a document with pages.
std::string SideLines(const PairSide& side, std::uint32_t page) {
  if (side.empty()) return "—";
  std::string text = std::to_string(side.first);
  if (side.count > 1) text += "–" + std::to_string(side.last);
  if (page != 0) text += "<br>(p." + std::to_string(page) + ")";
  return text;
}

std::string_view StatusLabel(PairStatus status) {
  switch (status) {
    case PairStatus::Identical:
      return "同一";
    case PairStatus::Changed:
      return "相違";
    case PairStatus::SourceOnly:
      return "ソースのみ";
    case PairStatus::TargetOnly:
      return "ターゲットのみ";
  }
  return "";
}

std::string_view StatusClass(PairStatus status) {
  switch (status) {
    case PairStatus::Identical:
      return "i";
    case PairStatus::Changed:
      return "c";
    case PairStatus::SourceOnly:
      return "so";
    case PairStatus::TargetOnly:
      return "to";
  }
  return "";
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One side's text with the marks of its elements. The Source's elements are the script's
// matches, substitutions and deletions in order, the Target's its matches, substitutions and
// insertions; code points are read as the scores read them, a lone surrogate being an element
// of its own.
void AppendSideText(ReportBuffer& out, std::string& html, std::u16string_view text,
                    std::span<const std::size_t> joins, const std::vector<EditOp>* script,
                    bool source) {
  const EditOp otherSide = source ? EditOp::Insert : EditOp::Delete;
  std::size_t op = 0;
  std::size_t join = 0;
  const std::size_t n = text.size();
  // A join falls inside an element only where lines that end and begin with halves of a
  // surrogate pair were joined into one: its mark then follows that element.
  const auto markJoins = [&](std::size_t upTo) {
    for (; join < joins.size() && joins[join] <= upTo; ++join) html += "<i class=\"j\"></i>";
  };
  for (std::size_t i = 0; i < n;) {
    markJoins(i);
    char32_t c = text[i];
    std::size_t length = 1;
    if (IsHigh(text[i]) && i + 1 < n && IsLow(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      length = 2;
    }
    EditOp kind = EditOp::Match;
    if (script != nullptr) {
      while (op < script->size() && (*script)[op] == otherSide) ++op;
      if (op == script->size()) throw std::logic_error("an edit script is shorter than its line");
      kind = (*script)[op++];
    }
    switch (kind) {
      case EditOp::Match:
        AppendShownChar(html, c);
        break;
      case EditOp::Substitute:
        html += "<mark>";
        AppendShownChar(html, c);
        html += "</mark>";
        break;
      case EditOp::Delete:
        html += "<del>";
        AppendShownChar(html, c);
        html += "</del>";
        break;
      case EditOp::Insert:
        html += "<ins>";
        AppendShownChar(html, c);
        html += "</ins>";
        break;
    }
    i += length;
    if (html.size() >= kRowPiece) {
      out.Append(html);
      html.clear();
      out.HandOverIfDue();
    }
  }
  markJoins(n);
  if (script != nullptr) {
    while (op < script->size() && (*script)[op] == otherSide) ++op;
    if (op != script->size()) throw std::logic_error("an edit script is longer than its line");
  }
}

}  // namespace

void AppendReviewHead(std::string& out, const ReviewHead& head) {
  out +=
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"generator\" content=\"sorowa-compare\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>対照表示：";
  AppendPlainUtf8(out, head.sourceName);
  out += " ⇔ ";
  AppendPlainUtf8(out, head.targetName);
  out += "</title>\n";
  out += kStyle;
  out += "</head>\n<body>\n<header id=\"top\">\n<h1>対照表示</h1>\n<table class=\"fig\">\n";

  std::string text;
  AppendShownUtf8(text, head.sourceName);
  AppendFigure(out, "ソース", text);
  text.clear();
  AppendShownUtf8(text, head.targetName);
  AppendFigure(out, "ターゲット", text);
  const StatsDocument* scores = head.scores;
  AppendFigure(out, "文字誤り率", scores ? FormatCounts(scores->totals.chars, "文字") : "—");
  if (scores && scores->totals.morphemes) {
    AppendFigure(out, "形態素誤り率", FormatCounts(*scores->totals.morphemes, "形態素"));
  } else {
    AppendFigure(out, "形態素誤り率", "—（計算していません）");
  }
  const std::size_t pairs = head.identical + head.changed + head.sourceOnly + head.targetOnly;
  AppendFigure(out, "行の組",
               "全 " + std::to_string(pairs) + " 組・同一でない組 " +
                   std::to_string(pairs - head.identical) + "（相違 " +
                   std::to_string(head.changed) + "・ソースのみ " +
                   std::to_string(head.sourceOnly) + "・ターゲットのみ " +
                   std::to_string(head.targetOnly) + "）");
  AppendFigure(out, "対応のない行",
               "ソース " + std::to_string(head.sourceAloneLines) + " 行・ターゲット " +
                   std::to_string(head.targetAloneLines) + " 行");
  AppendFigure(out, "移動した行の組", std::to_string(head.movedPairs) + " 組");
  out += "</table>\n";
  if (!scores) {
    out += "<p>採点できない行の組があったため、誤り率はありません：";
    AppendShownUtf8(out, head.scoresError);
    out += "</p>\n";
  } else {
    out += "<h2>多い誤り</h2>\n";
    AppendConfusionTables(out, scores->confusions, kHeadConfusions);
  }
  out += kLegend;
  if (head.leftOut != 0) {
    out += "<p>同一の行の組 " + std::to_string(head.leftOut) + " 組は省いています。</p>\n";
  }
  if (head.firstChange != 0) {
    out += "<p class=\"jump\"><a href=\"#p" + std::to_string(head.firstChange) +
           "\">最初の相違へ ↓</a></p>\n";
  } else {
    out += "<p>同一でない行の組はありません。</p>\n";
  }
  out += "</header>\n";
  out += kTableHead;
}

void AppendReviewRow(ReportBuffer& out, const ReviewRow& row, std::string& html) {
  html.clear();
  const std::string number = std::to_string(row.number);
  html += "<tr id=\"p";
  html += number;
  html += "\" class=\"";
  html += StatusClass(row.status);
  html += "\"><td>";
  if (row.sides != nullptr) {
    html += SideLines(row.sides->source, row.sourcePage);
    html += "</td><td>";
    html += SideLines(row.sides->target, row.targetPage);
  } else {
    html += "</td><td>";
  }
  html += "</td><td class=\"st\">";
  html += StatusLabel(row.status);
  if (row.moved) html += " <span class=\"mv\">移動</span>";
  if (row.status != PairStatus::Identical) {
    html += row.nextChange != 0
                ? "<a class=\"nx\" href=\"#p" + std::to_string(row.nextChange) +
                      "\" title=\"次の相違へ\">↓</a>"
                : std::string("<a class=\"nx\" href=\"#top\" title=\"先頭へ\">↑</a>");
  }
  if (row.script == nullptr) html += "<br>（照合できません）";
  html += "</td><td class=\"n\">";
  html += FormatRate(row.rate);
  html += "</td>";
  const bool hasSource = row.status != PairStatus::TargetOnly;
  const bool hasTarget = row.status != PairStatus::SourceOnly;
  if (hasSource) {
    html += "<td class=\"a\">";
    AppendSideText(out, html, row.source, row.sourceJoins, row.script, true);
  } else {
    html += "<td class=\"a none\">ソースにない行";
  }
  if (hasTarget) {
    html += "</td><td class=\"b\">";
    AppendSideText(out, html, row.target, row.targetJoins, row.script, false);
  } else {
    html += "</td><td class=\"b none\">ターゲットにない行";
  }
  html += "</td></tr>\n";
  out.Append(html);
  out.HandOverIfDue();
}

std::string_view ReviewFoot() { return "</tbody>\n</table>\n</body>\n</html>\n"; }

}  // namespace sorowa

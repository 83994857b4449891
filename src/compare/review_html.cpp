#include "compare/review_html.h"

#include <cstdio>

#include "base/utf8.h"

namespace sorowa {
namespace {

// Characters that would be invisible or act on the text around them: formatting characters
// (bidirectional embeddings, overrides and isolates among them), line and paragraph
// separators, tags and the invisible fillers.
bool Invisible(char32_t c) {
  return c == 0xAD || c == 0x34F || c == 0x61C || c == 0x115F || c == 0x1160 || c == 0x17B4 ||
         c == 0x17B5 || c == 0x180E || (c >= 0x180B && c <= 0x180F) ||
         (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || c == 0xFEFF || c == 0xFFA0 ||
         (c >= 0xFFF0 && c <= 0xFFFB) || (c >= 0x1D173 && c <= 0x1D17A) ||
         (c >= 0xE0000 && c <= 0xE0FFF);
}

// Characters a page may not hold as text.
bool NotForPages(char32_t c) {
  return (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xFDD0 && c <= 0xFDEF) ||
         (c & 0xFFFE) == 0xFFFE || c > 0x10FFFF;
}

// The Unicode White_Space characters other than the controls among them.
bool WhiteSpace(char32_t c) {
  return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

// Named by the code point rather than by a symbol such as a control picture, which many
// fonts lack.
void AppendBox(std::string& out, char32_t c) {
  char text[48];
  std::snprintf(text, sizeof text, "<span class=\"x\">U+%04X</span>", static_cast<unsigned>(c));
  out += text;
}

void AppendConfusionRows(std::string& out, const std::vector<Confusion>& list, bool pairs) {
  if (list.empty()) {
    out +=
        pairs ? "<tr><td colspan=\"3\">なし</td></tr>\n" : "<tr><td colspan=\"2\">なし</td></tr>\n";
    return;
  }
  for (const Confusion& confusion : list) {
    out += "<tr><td class=\"ch\">";
    AppendShownChar(out, confusion.from, SpaceShown::AsCode);
    if (pairs) {
      out += "</td><td class=\"ch\">";
      AppendShownChar(out, confusion.to, SpaceShown::AsCode);
    }
    out += "</td><td class=\"n\">" + std::to_string(confusion.count) + "</td></tr>\n";
  }
}

}  // namespace

void AppendShownChar(std::string& out, char32_t c, SpaceShown spaces) {
  switch (c) {
    case '&':
      out += "&amp;";
      return;
    case '<':
      out += "&lt;";
      return;
    case '>':
      out += "&gt;";
      return;
    case '\t':
      if (spaces == SpaceShown::AsIs) {
        out += '\t';
        return;
      }
      break;
    default:
      break;
  }
  if (c < 0x20 || NotForPages(c) || Invisible(c) ||
      (spaces == SpaceShown::AsCode && WhiteSpace(c))) {
    AppendBox(out, c);
    return;
  }
  AppendCodePointUtf8(out, c);
}

void AppendShownUtf8(std::string& out, std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const std::size_t length = DecodeCodePointUtf8(bytes, i, c);
    if (length == 0) {
      out += "\uFFFD";
      ++i;
      continue;
    }
    AppendShownChar(out, c);
    i += length;
  }
}

void AppendPlainUtf8(std::string& out, std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const std::size_t length = DecodeCodePointUtf8(bytes, i, c);
    if (length == 0 || (c < 0x20 && c != '\t') || NotForPages(c) || Invisible(c)) {
      out += "\uFFFD";
    } else {
      AppendShownChar(out, c);
    }
    i += length == 0 ? 1 : length;
  }
}

std::string FormatRate(std::optional<double> rate) {
  if (!rate) return "—";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f %%", *rate * 100.0);
  return text;
}

std::string FormatCounts(const ErrorCounts& counts, std::string_view unit) {
  return FormatRate(counts.rate()) + "（" + std::to_string(counts.n) + " " + std::string(unit) +
         "中 " + std::to_string(counts.distance()) + "：置換 " +
         std::to_string(counts.substitutions) + "・脱落 " + std::to_string(counts.deletions) +
         "・挿入 " + std::to_string(counts.insertions) + "）";
}

void AppendConfusionTables(std::string& out, const ConfusionCounts& counts, std::size_t limit) {
  out +=
      "<div class=\"conf\">\n<table><caption>置換</caption>\n"
      "<tr><th>ソース</th><th>ターゲット</th><th>回数</th></tr>\n";
  AppendConfusionRows(out, TopSubstitutions(counts, limit), true);
  out += "</table>\n<table><caption>脱落</caption>\n<tr><th>文字</th><th>回数</th></tr>\n";
  AppendConfusionRows(out, TopDeletions(counts, limit), false);
  out += "</table>\n<table><caption>挿入</caption>\n<tr><th>文字</th><th>回数</th></tr>\n";
  AppendConfusionRows(out, TopInsertions(counts, limit), false);
  out += "</table>\n</div>\n";
}

}  // namespace sorowa

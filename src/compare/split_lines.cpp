#include "compare/split_lines.h"

#include <string_view>

namespace sorowa {
namespace {

bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// Between two lines there are only CR and LF; each LF, and each CR not followed by LF,
// ends a line.
std::size_t LineEnds(std::u16string_view breaks) {
  std::size_t ends = 0;
  for (std::size_t i = 0; i < breaks.size(); ++i) {
    if (breaks[i] == u'\n' || i + 1 == breaks.size() || breaks[i + 1] != u'\n') ++ends;
  }
  return ends;
}

// Calls visit(begin, end) for every line of text in order. What the regular expression
// ^[^\r\n]+$ finds when it is searched for again and again from the end of each match: every
// maximal run of code units other than CR and LF. (The other characters an expression engine
// takes for line separators, such as form feed or U+2028, stay inside their line.) A plain
// scan finds them many times faster, which counts for texts of megabytes, split at every
// Compare.
template <class Visit>
void ForEachLine(std::u16string_view text, Visit visit) {
  const std::size_t n = text.size();
  std::size_t begin = 0;
  while (begin < n) {
    while (begin < n && IsLineBreak(text[begin])) ++begin;
    std::size_t end = begin;
    while (end < n && !IsLineBreak(text[end])) ++end;
    if (end > begin) visit(begin, end);
    begin = end;
  }
}

void Split(const std::u16string& text, std::vector<std::u16string>& lines,
           std::vector<std::size_t>* lineNumbers) {
  lines.clear();
  if (lineNumbers != nullptr) lineNumbers->clear();
  std::size_t previousEnd = 0;
  std::size_t lineNumber = 1;
  ForEachLine(text, [&](std::size_t begin, std::size_t end) {
    lines.push_back(text.substr(begin, end - begin));
    if (lineNumbers != nullptr) {
      lineNumber += LineEnds(std::u16string_view(text).substr(previousEnd, begin - previousEnd));
      lineNumbers->push_back(lineNumber);
      previousEnd = end;
    }
  });
}

}  // namespace

void SplitLines(const std::u16string& text, std::vector<std::u16string>& lines) {
  Split(text, lines, nullptr);
}

void SplitLines(const std::u16string& text, std::vector<std::u16string>& lines,
                std::vector<std::size_t>& lineNumbers) {
  Split(text, lines, &lineNumbers);
}

std::u16string NormalizeText(const std::vector<std::u16string>& lines) {
  std::size_t size = 0;
  for (const std::u16string& line : lines) size += line.size() + 2;
  std::u16string text;
  text.reserve(size);
  for (const std::u16string& line : lines) {
    text += line;
    text += u"\r\n";
  }
  return text;
}

std::u16string NormalizeLineBreaks(std::u16string_view text) {
  // A line takes at least one code unit and, unless it ends the text, one break after it,
  // and gets two in place of that break: never more than half as long again, plus two.
  std::u16string normalized;
  normalized.reserve(text.size() + text.size() / 2 + 2);
  ForEachLine(text, [&](std::size_t begin, std::size_t end) {
    normalized.append(text.substr(begin, end - begin));
    normalized += u"\r\n";
  });
  return normalized;
}

}  // namespace sorowa

#include "compare/split_lines.h"

#include <boost/regex.hpp>

#include "compare/japanese_locale.h"

namespace sorowa {

namespace {

// Between two matches there are only CR and LF; each LF, and each CR not followed by LF,
// ends a line.
std::size_t LineEnds(std::u16string_view breaks) {
  std::size_t ends = 0;
  for (std::size_t i = 0; i < breaks.size(); ++i) {
    if (breaks[i] == u'\n' || i + 1 == breaks.size() || breaks[i + 1] != u'\n') ++ends;
  }
  return ends;
}

void Split(const std::u16string& text, std::vector<std::u16string>& lines,
           std::vector<std::size_t>* lineNumbers) {
  lines.clear();
  if (lineNumbers != nullptr) lineNumbers->clear();
  InstallJapaneseLocale();

  // The expression runs over wide characters, one per UTF-16 code unit, so match positions
  // are code-unit positions and a lone surrogate is just another character to it.
  const std::wstring wide(text.begin(), text.end());
  static const boost::wregex kLine(L"^[^\\r\\n]+$");
  auto from = wide.cbegin();
  boost::wsmatch match;
  std::size_t previousEnd = 0;
  std::size_t lineNumber = 1;
  while (boost::regex_search(from, wide.cend(), match, kLine)) {
    const auto begin = static_cast<std::size_t>(match[0].first - wide.cbegin());
    const auto length = static_cast<std::size_t>(match[0].length());
    lines.push_back(text.substr(begin, length));
    if (lineNumbers != nullptr) {
      lineNumber += LineEnds(std::u16string_view(text).substr(previousEnd, begin - previousEnd));
      lineNumbers->push_back(lineNumber);
      previousEnd = begin + length;
    }
    from = match[0].second;
  }
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

}  // namespace sorowa

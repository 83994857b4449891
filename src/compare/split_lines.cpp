#include "compare/split_lines.h"

#include <boost/regex.hpp>

namespace sorowa {

void SplitLines(const std::u16string& text, std::vector<std::u16string>& lines) {
  lines.clear();

  // The expression runs over wide characters, one per UTF-16 code unit, so match positions
  // are code-unit positions and a lone surrogate is just another character to it.
  const std::wstring wide(text.begin(), text.end());
  static const boost::wregex kLine(L"^[^\\r\\n]+$");
  auto from = wide.cbegin();
  boost::wsmatch match;
  while (boost::regex_search(from, wide.cend(), match, kLine)) {
    const auto begin = static_cast<std::size_t>(match[0].first - wide.cbegin());
    const auto length = static_cast<std::size_t>(match[0].length());
    lines.push_back(text.substr(begin, length));
    from = match[0].second;
  }
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

#include "align/escape_html.h"

namespace sorowa {

void ReplaceAll(std::u16string& target, std::u16string_view pattern,
                std::u16string_view replacement) {
  // Built into a fresh string rather than edited in place: the result is the same, but a
  // long line full of spaces stays linear instead of shifting its tail at every match.
  std::size_t found = target.find(pattern);
  if (pattern.empty() || found == std::u16string::npos) return;
  std::u16string result;
  result.reserve(target.size());
  std::size_t from = 0;
  while (found != std::u16string::npos) {
    result.append(target, from, found - from);
    result.append(replacement);
    from = found + pattern.size();
    found = target.find(pattern, from);
  }
  result.append(target, from, std::u16string::npos);
  target = std::move(result);
}

std::u16string EscapeHtml(std::u16string_view text) {
  std::u16string escaped(text);
  // The ampersand goes first: every later replacement starts with one.
  ReplaceAll(escaped, u"&", u"&amp;");
  ReplaceAll(escaped, u"\"", u"&quot;");
  ReplaceAll(escaped, u"<", u"&lt;");
  ReplaceAll(escaped, u">", u"&gt;");
  ReplaceAll(escaped, u" ", u"&nbsp;");
  return escaped;
}

}  // namespace sorowa

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

void AppendEscapedHtml(std::u16string& out, std::u16string_view text) {
  // One pass gives what the five passes give: no entity contains a character that a later
  // pass replaces, so each character maps to its entity independently.
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::u16string_view entity;
    switch (text[i]) {
      case u'&':
        entity = u"&amp;";
        break;
      case u'"':
        entity = u"&quot;";
        break;
      case u'<':
        entity = u"&lt;";
        break;
      case u'>':
        entity = u"&gt;";
        break;
      case u' ':
        entity = u"&nbsp;";
        break;
      default:
        continue;
    }
    out.append(text.substr(from, i - from));
    out.append(entity);
    from = i + 1;
  }
  out.append(text.substr(from));
}

}  // namespace sorowa

#include "base/quoted_name.h"

#include <cstdio>

namespace sorowa {

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    // U+0080 to U+009F are C2 80 to C2 9F in UTF-8; some terminals act on them as on ESC [.
    const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (byte >= 0x20 && byte != 0x7F && !c1) {
      out += static_cast<char>(byte);
      continue;
    }
    char escape[8];
    if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (c1) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(text[++i]));
      out += escape;
    } else {
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    }
  }
  return out;
}

std::string QuoteName(std::string_view name) { return "'" + EscapeControls(name) + "'"; }

}  // namespace sorowa

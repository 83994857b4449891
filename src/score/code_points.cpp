#include "score/code_points.h"

namespace sorowa {

void ToCodePoints(std::u16string_view text, std::vector<std::uint32_t>& out) {
  out.clear();
  out.reserve(text.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((static_cast<std::uint32_t>(c) - 0xD800) << 10) +
                    (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace sorowa

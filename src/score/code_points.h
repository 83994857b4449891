#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace sorowa {

// The elements that character scores count: code points. A surrogate pair is one element,
// its code point; a lone surrogate is an element of its own, its code unit's value, which
// no code point of a pair can equal. out is replaced.
void ToCodePoints(std::u16string_view text, std::vector<std::uint32_t>& out);

}  // namespace sorowa

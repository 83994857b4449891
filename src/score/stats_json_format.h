#pragma once

// What the JSON writer and reader of the stats documents share. Internal to score/.

#include <string>
#include <string_view>

#include "base/utf8.h"

namespace sorowa {

// The value of the "format" field that marks a stats document.
inline constexpr std::string_view kStatsFormatName = "sorowa-stats";

// A character as the confusion lists write it: its UTF-8.
inline std::string Utf8Char(char32_t c) {
  std::string out;
  AppendCodePointUtf8(out, c);
  return out;
}

}  // namespace sorowa

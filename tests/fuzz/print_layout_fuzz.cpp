// The report laid out for paper: any bytes in, never a crash, no character of the text lost
// or added, and no blow-up in size.
//
// Input: the bytes of report pairs as they lie between a report's head and foot; the seeds
// are real reports' pairs (every table kind, a line shown alone) and broken tables.

#include <algorithm>
#include <string>
#include <string_view>

#include "app/print_layout.h"
#include "fuzz_support.h"

namespace {

// The bytes outside tags, without white space, sorted: what the page shows, in any order
// (the columns interleave the two rows of a table).
std::string TextBytes(std::string_view html) {
  std::string text;
  bool inTag = false;
  for (const char c : html) {
    if (inTag) {
      inTag = c != '>';
    } else if (c == '<') {
      inTag = true;
    } else if (c != ' ' && c != '\n' && c != '\r' && c != '\t') {
      text += c;
    }
  }
  std::sort(text.begin(), text.end());
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view pairs(reinterpret_cast<const char*>(data), size);
  const std::string printed = sorowa::RewriteForPrint(pairs);
  FUZZ_CHECK(TextBytes(printed) == TextBytes(pairs), "the text changed on the way to paper");
  FUZZ_CHECK(printed.size() <= 2 * pairs.size() + 64, "the printed page grew out of bounds");
  return 0;
}

// Finding text in a report file as the page shows it: any bytes in, never a crash, and the
// same match as a plain search over the page's text, taken apart first.
//
// Input: one byte of flags (bit 0 backward, bit 1 a review page, the rest how many bytes to
// leave off the end), the needle up to the first line feed, then the report's bytes.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "app/report_text_search.h"
#include "fuzz_support.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string TagName(std::string_view tag) {
  std::string name;
  for (std::size_t i = tag.size() > 1 && tag[1] == '/' ? 2 : 1;
       i < tag.size() && std::isalnum(static_cast<unsigned char>(tag[i])); ++i) {
    name += Lower(tag[i]);
  }
  return name;
}

// The page's text as runs that nothing breaks, each byte with its offset in the file.
struct Run {
  std::string text;
  std::vector<std::size_t> offsets;
};

std::vector<Run> PageText(std::string_view bytes, std::size_t to, bool review) {
  const std::vector<std::string> breaking = {"tr",  "br",     "hr", "table", "p",
                                             "div", "header", "li", "tbody", "thead"};
  std::vector<Run> runs(1);
  std::size_t at = 0;
  while (at < to) {
    std::size_t end = at;
    if (bytes[at] == '<') {
      while (end < to && bytes[end] != '>') ++end;
      end = std::min(end + 1, to);
      const std::string name = TagName(bytes.substr(at, end - at));
      if (std::count(breaking.begin(), breaking.end(), name) > 0 ||
          (review && (name == "td" || name == "th"))) {
        runs.emplace_back();
      }
    } else {
      while (end < to && bytes[end] != '<') ++end;
      const std::string_view text = bytes.substr(at, end - at);
      if (text.find_first_not_of(" \n\r\t") != std::string_view::npos) {
        for (std::size_t k = at; k < end; ++k) {
          runs.back().text += Lower(bytes[k]);
          runs.back().offsets.push_back(k);
        }
      }
    }
    at = end;
  }
  return runs;
}

// Which bytes lie inside a character reference, after its '&' and at most 32 bytes on: read
// forwards, where the search looks backwards from a match.
std::vector<bool> InsideEntities(std::string_view bytes) {
  std::vector<bool> inside(bytes.size());
  std::size_t amp = std::string_view::npos;
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    const char c = bytes[k];
    const bool name = std::isalnum(static_cast<unsigned char>(c)) || c == '#';
    if (amp != std::string_view::npos && k - amp <= 32 && (name || c == ';')) inside[k] = true;
    if (c == '&') {
      amp = k;
    } else if (!name) {
      amp = std::string_view::npos;
    }
  }
  return inside;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool backward = (data[0] & 1) != 0;
  const bool review = (data[0] & 2) != 0;
  const std::size_t feed = input.find('\n');
  if (feed == std::string_view::npos) return 0;
  const std::string_view needle = input.substr(0, feed);
  const std::string_view bytes = input.substr(feed + 1);
  const std::size_t to = bytes.size() - std::min<std::size_t>(data[0] >> 2, bytes.size());

  const std::size_t found = sorowa::FindReportText(
      bytes, needle, 0, to, backward,
      review ? sorowa::ReportTextLayout::Review : sorowa::ReportTextLayout::Tables);

  std::string wanted;
  for (const char c : needle) wanted += Lower(c);
  std::size_t expected = std::string_view::npos;
  if (!wanted.empty()) {
    const std::vector<bool> inside = InsideEntities(bytes);
    for (const Run& run : PageText(bytes, to, review)) {
      for (std::size_t at = run.text.find(wanted); at != std::string::npos;
           at = run.text.find(wanted, at + 1)) {
        const std::size_t offset = run.offsets[at];
        if (inside[offset]) continue;
        if (expected == std::string_view::npos || backward) expected = offset;
        if (!backward) break;
      }
      if (!backward && expected != std::string_view::npos) break;
    }
  }
  FUZZ_CHECK(found == expected,
             "found at " + std::to_string(found) + ", expected at " + std::to_string(expected));
  if (found != std::string_view::npos) {
    FUZZ_CHECK(found < to && Lower(bytes[found]) == wanted[0], "a match starts elsewhere");
  }
  return 0;
}

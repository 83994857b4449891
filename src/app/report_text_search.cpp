#include "app/report_text_search.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace sorowa {
namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Whether a tag (its bytes from '<') ends the text before it.
bool BreaksText(std::string_view tag, ReportTextLayout layout) {
  std::size_t i = 1;
  if (i < tag.size() && tag[i] == '/') ++i;
  std::size_t end = i;
  while (end < tag.size() &&
         ((tag[end] >= 'a' && tag[end] <= 'z') || (tag[end] >= 'A' && tag[end] <= 'Z') ||
          (tag[end] >= '0' && tag[end] <= '9'))) {
    ++end;
  }
  std::string name;
  for (std::size_t k = i; k < end; ++k) name += AsciiLower(tag[k]);
  constexpr std::array<std::string_view, 10> kBlocks{"tr",  "br",     "hr", "table", "p",
                                                     "div", "header", "li", "tbody", "thead"};
  if (std::find(kBlocks.begin(), kBlocks.end(), name) != kBlocks.end()) return true;
  return layout == ReportTextLayout::Review && (name == "td" || name == "th");
}

// Knuth-Morris-Pratt over the page's text bytes, fed one at a time with their offsets in
// the file, so that a match's start is known however many tags lie inside it.
class TextMatcher {
 public:
  explicit TextMatcher(std::string_view needle) : needle_(needle.size()), fail_(needle.size()) {
    std::transform(needle.begin(), needle.end(), needle_.begin(), AsciiLower);
    for (std::size_t i = 1, k = 0; i < needle_.size(); ++i) {
      while (k > 0 && needle_[i] != needle_[k]) k = fail_[k - 1];
      if (needle_[i] == needle_[k]) ++k;
      fail_[i] = k;
    }
    offsets_.resize(needle_.size());
  }

  // Takes the next text byte; returns whether a match ends with it.
  bool Feed(char c, std::size_t offset) {
    c = AsciiLower(c);
    while (state_ > 0 && needle_[state_] != c) state_ = fail_[state_ - 1];
    if (needle_[state_] == c) ++state_;
    offsets_[fed_++ % offsets_.size()] = offset;
    if (state_ < needle_.size()) return false;
    state_ = fail_[state_ - 1];
    return true;
  }
  // Where the match that just ended starts.
  std::size_t MatchStart() const { return offsets_[(fed_ - needle_.size()) % offsets_.size()]; }
  // The text breaks: nothing before can be part of a match.
  void Break() { state_ = 0; }

 private:
  std::vector<char> needle_;
  std::vector<std::size_t> fail_;
  std::vector<std::size_t> offsets_;  // of the last needle-length bytes fed, round
  std::size_t state_ = 0;
  std::size_t fed_ = 0;
};

bool IsEntityByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

// Whether the byte at `at` lies inside a character reference such as &amp; (after its '&'):
// a match cannot start there, or searching for "amp" would find every escaped '&'. Names
// longer than kLongestEntity are not references the report writes.
constexpr std::size_t kLongestEntity = 32;
bool InsideEntity(std::string_view bytes, std::size_t at) {
  if (!IsEntityByte(bytes[at]) && bytes[at] != ';') return false;
  for (std::size_t k = at; k > 0 && at - k < kLongestEntity; --k) {
    if (bytes[k - 1] == '&') return true;
    if (!IsEntityByte(bytes[k - 1])) return false;
  }
  return false;
}

}  // namespace

std::size_t FindReportText(std::string_view bytes, std::string_view needle, std::size_t from,
                           std::size_t to, bool backward, ReportTextLayout layout) {
  to = std::min(to, bytes.size());
  if (needle.empty() || from >= to) return std::string_view::npos;
  TextMatcher matcher(needle);
  std::size_t found = std::string_view::npos;
  std::size_t at = from;
  while (at < to) {
    if (bytes[at] == '<') {
      const std::size_t close = bytes.find('>', at);
      const std::size_t end = close == std::string_view::npos || close >= to ? to : close + 1;
      if (BreaksText(bytes.substr(at, end - at), layout)) matcher.Break();
      at = end;
      continue;
    }
    const std::size_t next = std::min(bytes.find('<', at), to);
    if (std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(next), IsSpace)) {
      at = next;
      continue;
    }
    for (; at < next; ++at) {
      if (!matcher.Feed(bytes[at], at) || InsideEntity(bytes, matcher.MatchStart())) continue;
      found = matcher.MatchStart();
      if (!backward) return found;
    }
  }
  return found;
}

}  // namespace sorowa

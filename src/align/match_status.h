#pragma once

#include <string_view>

namespace sorowa {

enum class MatchStatus { Same, Partial, Different };

// The CSS class the report's style sheet colours for this status.
constexpr std::string_view ClassName(MatchStatus status) {
  switch (status) {
    case MatchStatus::Same:
      return "same";
    case MatchStatus::Partial:
      return "partial";
    case MatchStatus::Different:
      break;
  }
  return "different";
}

}  // namespace sorowa

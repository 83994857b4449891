#pragma once

#include <string_view>

namespace sorowa {

enum class MatchStatus { Same, Partial, Different };

// The CSS class the report's style sheet colours for this status.
constexpr std::u16string_view ClassName(MatchStatus status) {
  switch (status) {
    case MatchStatus::Same:
      return u"same";
    case MatchStatus::Partial:
      return u"partial";
    case MatchStatus::Different:
      break;
  }
  return u"different";
}

}  // namespace sorowa

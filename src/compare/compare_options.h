#pragma once

namespace sorowa {

// Which tables each line pair gets, in the order the tables appear in the report, and how the
// lines are paired.
struct CompareOptions {
  bool charDp = false;
  bool morphemeDp = true;
  bool pseudoBunsetsuDp = true;
  bool pseudoBunsetsuMatch = true;
  bool morphemeMatch = true;
  // Pair lines by content (inserted, deleted, split and merged lines) instead of line i with
  // line i. Not a table: switching all tables on or off leaves it as it is.
  bool alignLines = false;
};

}  // namespace sorowa

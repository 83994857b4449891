#pragma once

namespace sorowa {

// Which tables each line pair gets, in the order the tables appear in the report.
struct CompareOptions {
  bool charDp = false;
  bool morphemeDp = true;
  bool pseudoBunsetsuDp = true;
  bool pseudoBunsetsuMatch = true;
  bool morphemeMatch = true;
};

}  // namespace sorowa

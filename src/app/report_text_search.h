#pragma once

#include <cstddef>
#include <string_view>

namespace sorowa {

// How a report file's text is laid out, for telling where the text the browser shows runs on
// and where it breaks.
enum class ReportTextLayout {
  Tables,  // the tables: a row's cells run on into each other
  Review,  // the review page: every cell stands on its own
};

// Finds text in a report file as the page shows it, not as the file holds it: tags are
// skipped, so text split over table cells or marks is found, while a table row, a table, a
// line break or a rule ends the text before it (and, on a review page, a cell). Runs of
// white space between tags, which only lay out the file, are no text.
//
// needle is the text as the file holds it (escaped as its cells are); Latin letters match in
// either case. Looks in bytes[from, to), from a place outside any tag, and returns where the
// first match starts (the last when backward), or npos.
std::size_t FindReportText(std::string_view bytes, std::string_view needle, std::size_t from,
                           std::size_t to, bool backward, ReportTextLayout layout);

}  // namespace sorowa

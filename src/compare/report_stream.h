#pragma once

#include <string>
#include <string_view>

#include "compare/compare_options.h"
#include "compare/report_store.h"

namespace sorowa {

// Writes a whole report to a ReportWriter as its bytes arrive: for the tables, the head
// first, then the pairs' bytes, then the foot; a review page comes whole from the Compare,
// head and foot included. Runs of very short pairs come in small pieces; they are gathered
// so that each write is worth its system call, while larger pieces go straight on.
class ReportStream {
 public:
  explicit ReportStream(ReportWriter& writer, ReportKind kind = ReportKind::Tables);

  // The pairs' bytes, in order. Throws what the writer throws.
  void Append(std::string_view bytes);
  // Writes what is gathered and the foot; the caller then commits the writer.
  void Finish();

 private:
  ReportWriter& writer_;
  std::string pending_;
  bool foot_;
};

}  // namespace sorowa

#pragma once

#include <string>
#include <string_view>

#include "compare/report_store.h"

namespace sorowa {

// Writes a whole report to a ReportWriter as its bytes arrive: the head first, then the
// pairs' bytes, then the foot. Runs of very short pairs come in small pieces; they are
// gathered so that each write is worth its system call, while larger pieces go straight on.
class ReportStream {
 public:
  explicit ReportStream(ReportWriter& writer);

  // The pairs' bytes, in order. Throws what the writer throws.
  void Append(std::string_view bytes);
  // Writes what is gathered and the foot; the caller then commits the writer.
  void Finish();

 private:
  ReportWriter& writer_;
  std::string pending_;
};

}  // namespace sorowa

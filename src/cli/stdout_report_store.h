#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "compare/report_store.h"

namespace sorowa {

// Sends the report to a file descriptor that is already open, standard output by default.
// A failed write (a full disk) throws ReportWriteError; what was written before cannot be
// taken back, but the exit status tells the reader not to trust it. A reader that has gone
// away (EPIPE) ends the program quietly by SIGPIPE, as it ends the rest of a pipeline.
class StdoutReportStore : public ReportStore {
 public:
  // noun names what is written in error messages.
  explicit StdoutReportStore(int fd = 1, std::string noun = "the report")
      : fd_(fd), noun_(std::move(noun)) {}
  std::filesystem::path Write(std::string_view utf8) override;

 private:
  int fd_;
  std::string noun_;
};

}  // namespace sorowa

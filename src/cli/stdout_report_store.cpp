#include "stdout_report_store.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "compare/compare_errors.h"

namespace sorowa {

std::filesystem::path StdoutReportStore::Write(std::string_view utf8) {
  while (!utf8.empty()) {
    const ssize_t written = ::write(fd_, utf8.data(), utf8.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      throw ReportWriteError(
          ErrorKind::ReportNotWritten, "-", error,
          "cannot write " + noun_ + " to standard output: " + ErrorDescription(error));
    }
    utf8.remove_prefix(static_cast<std::size_t>(written));
  }
  return "-";
}

}  // namespace sorowa

#include "stdout_report_store.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "compare/compare_errors.h"
#include "process/stop_signals.h"

namespace sorowa {

std::filesystem::path StdoutReportStore::Write(std::string_view utf8) {
  while (!utf8.empty()) {
    const ssize_t written = ::write(fd_, utf8.data(), utf8.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      // The reader has gone away (head, a closed pager): nothing to remove, nothing to say.
      if (error == EPIPE) EndBySignal(SIGPIPE);
      throw ReportWriteError(
          ErrorKind::ReportNotWritten, "-", error,
          "cannot write " + noun_ + " to standard output: " + ErrorDescription(error));
    }
    utf8.remove_prefix(static_cast<std::size_t>(written));
  }
  return "-";
}

}  // namespace sorowa

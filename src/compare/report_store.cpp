#include "compare/report_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "compare/compare_errors.h"

namespace sorowa {
namespace fs = std::filesystem;

namespace {

// Always English: the Japanese locale may be installed by then, and these messages are not.
std::string Reason(int error) {
  const char* description = ::strerrordesc_np(error);
  return description ? description : "error " + std::to_string(error);
}

std::string Base32(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value % 32]);
    value /= 32;
  } while (value != 0);
  return digits;
}

// Closes fd; on any failure removes the file so no half report is left behind.
void FinishOrRemove(int fd, std::string_view bytes, const fs::path& path) {
  try {
    WriteAllOrThrow(fd, bytes, path);
  } catch (...) {
    ::close(fd);
    ::unlink(path.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(path.c_str());
    throw ReportWriteError("cannot write the report " + path.string() + ": " + Reason(error));
  }
}

}  // namespace

void WriteAllOrThrow(int fd, std::string_view bytes, const fs::path& what) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw ReportWriteError("cannot write the report " + what.string() + ": " + Reason(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

TempReportStore::TempReportStore(fs::path directory) : directory_(std::move(directory)) {}

std::string TempReportStore::FileName(std::uint64_t processId, std::uint32_t sequence) {
  return "s" + Base32(processId) + "." + (sequence == 0 ? std::string() : Base32(sequence)) +
         ".htm";
}

fs::path TempReportStore::Write(std::string_view utf8) {
  fs::path directory = directory_;
  if (directory.empty()) {
    std::error_code error;
    directory = fs::temp_directory_path(error);
    if (error) {
      throw ReportWriteError("cannot use the temporary directory (" +
                             std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                             "): " + error.message());
    }
  }
  const auto processId = static_cast<std::uint64_t>(::getpid());
  for (std::uint32_t sequence = nextSequence_; sequence <= kMaxSequence; ++sequence) {
    const fs::path path = directory / FileName(processId, sequence);
    // Exclusive and without following links: a name someone else holds, file or symlink,
    // is skipped rather than truncated or written through.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      throw ReportWriteError("cannot create the report " + path.string() + ": " + Reason(errno));
    }
    nextSequence_ = sequence + 1;
    FinishOrRemove(fd, utf8, path);
    return path;
  }
  nextSequence_ = kMaxSequence + 1;
  throw ReportWriteError("no unused report name is left in " + directory.string() +
                         "; remove old reports (s*.htm) from there and compare again");
}

TempReportStore& ProcessReportStore() {
  static TempReportStore store;
  return store;
}

fs::path FileReportStore::Write(std::string_view utf8) {
  fs::path target = path_;
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(target, error))) {
    // Replace what the link points at, not the link itself.
    const fs::path resolved = fs::weakly_canonical(target, error);
    if (!error) target = resolved;
  }
  struct stat info {};
  const bool exists = ::stat(target.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    // A device or a pipe (/dev/stdout, a FIFO) cannot be replaced by a rename.
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      throw ReportWriteError("cannot open " + target.string() + " for writing: " + Reason(errno));
    }
    WriteAllOrThrow(fd, utf8, target);
    if (::close(fd) != 0) {
      throw ReportWriteError("cannot write the report " + target.string() + ": " + Reason(errno));
    }
    return target;
  }

  fs::path directory = target.parent_path();
  if (directory.empty()) directory = ".";
  std::string temporary = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    throw ReportWriteError("cannot create a file in " + directory.string() + ": " + Reason(errno));
  }
  mode_t mode = exists ? (info.st_mode & 07777) : 0;
  if (!exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) {
    const int fchmodError = errno;
    ::close(fd);
    ::unlink(temporary.c_str());
    throw ReportWriteError("cannot write the report " + target.string() + ": " +
                           Reason(fchmodError));
  }
  FinishOrRemove(fd, utf8, temporary);
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int renameError = errno;
    ::unlink(temporary.c_str());
    throw ReportWriteError("cannot replace " + target.string() + ": " + Reason(renameError));
  }
  return target;
}

}  // namespace sorowa

#include "compare/report_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "base/quoted_name.h"
#include "compare/compare_errors.h"

namespace sorowa {
namespace fs = std::filesystem;

namespace {

// The process's umask, which a new file's mode must honour. Read from /proc where the
// kernel shows it: the only other way, setting it and putting it back, would leave it at 0
// for a moment in which another thread's new files (a run over many documents writes
// reports on every core) could be made writable by all.
mode_t ProcessFileMask() {
  static const mode_t mask = [] {
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
      char line[256];
      unsigned value = 0;
      bool found = false;
      while (!found && std::fgets(line, sizeof line, status) != nullptr) {
        found = std::sscanf(line, "Umask: %o", &value) == 1;
      }
      std::fclose(status);
      if (found) return static_cast<mode_t>(value);
    }
    const mode_t current = ::umask(0);
    ::umask(current);
    return current;
  }();
  return mask;
}

// The temporary file a named report is written to before it is renamed over its name.
constexpr char kTemporaryPattern[] = ".sorowa-XXXXXX";

std::string Base32(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value % 32]);
    value /= 32;
  } while (value != 0);
  return digits;
}

// Writes into a file it created; unless committed, the file is removed again. The rename
// target, when there is one, is only replaced at Commit.
class FileWriter : public ReportWriter {
 public:
  FileWriter(int fd, fs::path path, fs::path renameTo, bool removeOnAbandon,
             std::string noun = "the report")
      : fd_(fd),
        path_(std::move(path)),
        renameTo_(std::move(renameTo)),
        removeOnAbandon_(removeOnAbandon),
        noun_(std::move(noun)) {}
  ~FileWriter() override {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && removeOnAbandon_) ::unlink(path_.c_str());
  }

  void Append(std::string_view bytes) override {
    if (fd_ < 0) {
      throw ReportWriteError(ErrorKind::ReportNotWritten, Shown().string(), EBADF,
                             noun_ + " " + Shown().string() + " was already closed");
    }
    WriteAllOrThrow(fd_, bytes, Shown(), noun_);
    written_ += bytes.size();
    // A big report's pages are sent on their way to the disk a stretch at a time, behind
    // the writing, while the rest is still being compared. Left to the end, they would all
    // be written at once with the program waiting: ext4 starts that at the rename when the
    // report replaces an earlier one. Only a hint, so its errors do not count; on tmpfs it
    // does nothing.
    if (written_ - flushed_ >= kFlushStretch) {
      ::sync_file_range(fd_, static_cast<off_t>(flushed_), static_cast<off_t>(written_ - flushed_),
                        SYNC_FILE_RANGE_WRITE);
      flushed_ = written_;
    }
  }

  fs::path Commit() override {
    const int fd = std::exchange(fd_, -1);
    if (fd < 0 || ::close(fd) != 0) {
      const int error = fd < 0 ? EBADF : errno;
      throw ReportWriteError(
          ErrorKind::ReportNotWritten, Shown().string(), error,
          "cannot write " + noun_ + " " + Shown().string() + ": " + ErrorDescription(error));
    }
    if (!renameTo_.empty() && ::rename(path_.c_str(), renameTo_.c_str()) != 0) {
      const int error = errno;
      throw ReportWriteError(
          ErrorKind::ReportNotReplaced, renameTo_.string(), error,
          "cannot replace " + renameTo_.string() + ": " + ErrorDescription(error));
    }
    committed_ = true;
    return Shown();
  }

 private:
  const fs::path& Shown() const { return renameTo_.empty() ? path_ : renameTo_; }

  int fd_;
  fs::path path_;
  fs::path renameTo_;
  bool removeOnAbandon_;
  std::string noun_;
  bool committed_ = false;
  static constexpr std::size_t kFlushStretch = std::size_t{8} << 20;
  std::size_t written_ = 0;
  std::size_t flushed_ = 0;
};

// Collects the pieces for a store that can only take a whole report.
class CollectingWriter : public ReportWriter {
 public:
  explicit CollectingWriter(ReportStore& store) : store_(store) {}
  void Append(std::string_view bytes) override { bytes_.append(bytes); }
  fs::path Commit() override { return store_.Write(std::exchange(bytes_, std::string())); }

 private:
  ReportStore& store_;
  std::string bytes_;
};

fs::path WriteWhole(ReportStore& store, std::string_view utf8) {
  std::unique_ptr<ReportWriter> writer = store.Begin();
  writer->Append(utf8);
  return writer->Commit();
}

}  // namespace

void WriteAllOrThrow(int fd, std::string_view bytes, const fs::path& what,
                     const std::string& noun) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      throw ReportWriteError(
          ErrorKind::ReportNotWritten, what.string(), error,
          "cannot write " + noun + " " + what.string() + ": " + ErrorDescription(error));
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

fs::path TemporaryDirectory() {
  // The variables std::filesystem::temp_directory_path reads, in its order; but a variable
  // that is set and empty counts as unset, as for the C library and mktemp, instead of
  // naming the current directory's empty path.
  fs::path directory = "/tmp";
  for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
    const char* value = ::secure_getenv(name);
    if (value != nullptr && *value != '\0') {
      directory = value;
      break;
    }
  }
  struct stat info {};
  const bool found = ::stat(directory.c_str(), &info) == 0;
  if (!found || !S_ISDIR(info.st_mode)) {
    const int error = found ? ENOTDIR : errno;
    throw ReportWriteError(ErrorKind::TemporaryFolderUnusable, directory.string(), error,
                           "cannot use the temporary directory (" + directory.string() +
                               "): " + ErrorDescription(error));
  }
  return directory;
}

TempReportStore::TempReportStore(fs::path directory) : directory_(std::move(directory)) {}

std::string TempReportStore::FileName(std::uint64_t processId, std::uint32_t sequence) {
  return "s" + Base32(processId) + "." + (sequence == 0 ? std::string() : Base32(sequence)) +
         ".htm";
}

fs::path TempReportStore::Write(std::string_view utf8) { return WriteWhole(*this, utf8); }

std::unique_ptr<ReportWriter> TempReportStore::Begin() {
  const fs::path directory = directory_.empty() ? TemporaryDirectory() : directory_;
  const auto processId = static_cast<std::uint64_t>(::getpid());
  for (std::uint32_t sequence = nextSequence_; sequence <= kMaxSequence; ++sequence) {
    const fs::path path = directory / FileName(processId, sequence);
    // Exclusive and without following links: a name someone else holds, file or symlink,
    // is skipped rather than truncated or written through.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      const int error = errno;
      throw ReportWriteError(
          ErrorKind::ReportNotCreated, path.string(), error,
          "cannot create the report " + path.string() + ": " + ErrorDescription(error));
    }
    nextSequence_ = sequence + 1;
    return std::make_unique<FileWriter>(fd, path, fs::path(), /*removeOnAbandon=*/true);
  }
  nextSequence_ = kMaxSequence + 1;
  throw ReportWriteError(ErrorKind::NoReportNameLeft, directory.string(), 0,
                         "no unused report name is left in " + directory.string() +
                             "; remove old reports (s*.htm) from there and compare again");
}

TempReportStore& ProcessReportStore() {
  static TempReportStore store;
  return store;
}

std::unique_ptr<ReportWriter> ReportStore::Begin() {
  return std::make_unique<CollectingWriter>(*this);
}

fs::path FileReportStore::Write(std::string_view utf8) { return WriteWhole(*this, utf8); }

fs::path ResolveOutputLinks(const fs::path& path) {
  // As many links as the kernel itself follows before it gives up with ELOOP.
  constexpr int kMaxLinks = 40;
  fs::path resolved = path;
  for (int hop = 0;; ++hop) {
    struct stat info {};
    if (::lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return resolved;
    if (hop == kMaxLinks) {
      throw ReportWriteError(
          ErrorKind::ReportNotCreated, path.string(), ELOOP,
          "cannot write to " + QuoteName(path.string()) + ": " + ErrorDescription(ELOOP));
    }
    std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t length = ::readlink(resolved.c_str(), link.data(), link.size());
    if (length < 0 || static_cast<std::size_t>(length) >= link.size()) return resolved;
    link.resize(static_cast<std::size_t>(length));
    const fs::path next = link;
    resolved = next.is_absolute() ? next : resolved.parent_path() / next;
  }
}

std::unique_ptr<ReportWriter> FileReportStore::Begin() {
  // A link is followed, dangling or not, as the shell's > follows it: the report replaces
  // (or creates) the file the link names, and the link stays.
  const fs::path target = ResolveOutputLinks(path_);
  struct stat info {};
  const bool exists = ::stat(target.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    // A device or a pipe (/dev/stdout, a FIFO) cannot be replaced by a rename.
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      throw ReportWriteError(
          ErrorKind::ReportNotCreated, target.string(), error,
          "cannot open " + target.string() + " for writing: " + ErrorDescription(error));
    }
    return std::make_unique<FileWriter>(fd, target, fs::path(), /*removeOnAbandon=*/false, noun_);
  }

  fs::path directory = target.parent_path();
  if (directory.empty()) directory = ".";
  // A short name of its own rather than the target's name with a suffix: a target name near
  // the system's limit of 255 bytes must not fail for want of room in the temporary one.
  std::string temporary = (directory / kTemporaryPattern).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw ReportWriteError(
        ErrorKind::ReportNotCreated, directory.string(), error,
        "cannot create a file in " + directory.string() + ": " + ErrorDescription(error));
  }
  auto writer =
      std::make_unique<FileWriter>(fd, temporary, target, /*removeOnAbandon=*/true, noun_);
  // The replaced file's permissions stay, except set-user-ID and set-group-ID: a report
  // written over a program must not become one that runs with its owner's rights.
  mode_t mode = exists ? (info.st_mode & 07777 & ~mode_t{S_ISUID | S_ISGID}) : 0;
  if (!exists) mode = 0666 & ~ProcessFileMask();
  if (::fchmod(fd, mode) != 0) {
    const int error = errno;
    throw ReportWriteError(
        ErrorKind::ReportNotWritten, target.string(), error,
        "cannot write " + noun_ + " " + target.string() + ": " + ErrorDescription(error));
  }
  return writer;
}

}  // namespace sorowa

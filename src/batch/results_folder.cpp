#include "batch/results_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <system_error>
#include <utility>

#include "base/quoted_name.h"
#include "compare/compare_errors.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

std::vector<std::string> Parts(const std::string& name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = name.find('/', start);
    parts.push_back(name.substr(start, slash - start));
    if (slash == std::string::npos) return parts;
    start = slash + 1;
  }
}

// What an entry is, for a message about one that is not what was needed.
std::string KindOf(mode_t mode) {
  if (S_ISREG(mode)) return "a file";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "neither a file nor a folder";
}

[[noreturn]] void Fail(ErrorKind kind, const fs::path& path, int error, const std::string& text) {
  throw ReportWriteError(kind, path.string(), error, text);
}

// Short, hidden and random: a final name of up to 255 bytes must not fail for want of room
// in its temporary one, and two runs must not pick the same.
std::string TemporaryName() {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::uint64_t bits = random();
  std::string name = ".sorowa-";
  for (int k = 0; k < 8; ++k, bits >>= 5) name += kDigits[bits & 31];
  return name;
}

// A file being written under a temporary name in folder, to be renamed over its name.
class FolderWriter : public ReportWriter {
 public:
  FolderWriter(Descriptor folder, std::string name, fs::path shown, std::string noun,
               std::optional<mode_t> keepMode)
      : folder_(std::move(folder)),
        name_(std::move(name)),
        shown_(std::move(shown)),
        noun_(std::move(noun)) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      temporary_ = TemporaryName();
      file_ = Descriptor(::openat(folder_.get(), temporary_.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
      if (file_.get() >= 0 || errno != EEXIST) break;
    }
    if (file_.get() < 0) {
      const int error = errno;
      temporary_.clear();
      Fail(ErrorKind::ReportNotCreated, shown_, error,
           "cannot create " + noun_ + " " + QuoteName(shown_.string()) + ": " +
               ErrorDescription(error));
    }
    // The file replaced keeps its permissions, except set-user-ID and set-group-ID; a new
    // one gets the umask's.
    if (keepMode && ::fchmod(file_.get(), *keepMode & 07777 & ~mode_t{S_ISUID | S_ISGID}) != 0) {
      const int error = errno;
      // No destructor runs for an object whose constructor throws.
      file_.Reset();
      ::unlinkat(folder_.get(), temporary_.c_str(), 0);
      FailWrite(error);
    }
  }

  ~FolderWriter() override {
    file_.Reset();
    if (!temporary_.empty()) ::unlinkat(folder_.get(), temporary_.c_str(), 0);
  }

  void Append(std::string_view bytes) override {
    if (file_.get() < 0) FailWrite(EBADF);
    WriteAllOrThrow(file_.get(), bytes, shown_, noun_);
    written_ += bytes.size();
    // The pages of a long report go on their way to the disk behind the writing (see
    // FileWriter); only a hint.
    if (written_ - flushed_ >= kFlushStretch) {
      ::sync_file_range(file_.get(), static_cast<off_t>(flushed_),
                        static_cast<off_t>(written_ - flushed_), SYNC_FILE_RANGE_WRITE);
      flushed_ = written_;
    }
  }

  // Closes the file; what a full disk held back shows here at the latest.
  void Close() {
    const int fd = file_.Release();
    if (fd < 0 || ::close(fd) != 0) FailWrite(fd < 0 ? EBADF : errno);
  }

  void Rename() {
    if (::renameat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str()) != 0) {
      const int error = errno;
      Fail(ErrorKind::ReportNotReplaced, shown_, error,
           "cannot replace " + QuoteName(shown_.string()) + ": " + ErrorDescription(error));
    }
    temporary_.clear();
  }

  fs::path Commit() override {
    Close();
    Rename();
    return shown_;
  }

 private:
  [[noreturn]] void FailWrite(int error) {
    Fail(ErrorKind::ReportNotWritten, shown_, error,
         "cannot write " + noun_ + " " + QuoteName(shown_.string()) + ": " +
             ErrorDescription(error));
  }

  Descriptor folder_;
  std::string name_;
  fs::path shown_;
  std::string noun_;
  std::string temporary_;
  Descriptor file_;
  static constexpr std::size_t kFlushStretch = std::size_t{8} << 20;
  std::size_t written_ = 0;
  std::size_t flushed_ = 0;
};

}  // namespace

ResultsFolder::ResultsFolder(fs::path path) : path_(std::move(path)) {
  std::error_code error;
  fs::create_directories(path_, error);
  Descriptor folder(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) {
    // Why it could not be opened, unless it is missing because it could not be made.
    const int code = errno == ENOENT && error ? error.value() : errno;
    throw ResultsFolderError("cannot make the results folder " + QuoteName(path_.string()) + ": " +
                             ErrorDescription(code));
  }
  // A lock on the folder itself, so nothing is left behind. A file system that cannot lock
  // (some network ones) is used unlocked.
  if (::flock(folder.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    throw ResultsFolderError("another run is writing into the results folder " +
                             QuoteName(path_.string()) +
                             "; wait for it to end or choose another folder");
  }
  fd_ = folder.Release();
}

ResultsFolder::~ResultsFolder() {
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<ReportWriter> ResultsFolder::Begin(const std::string& name,
                                                   const std::string& noun) {
  const fs::path shown = path_ / name;
  const std::vector<std::string> parts = Parts(name);
  Descriptor folder(::dup(fd_));
  if (folder.get() < 0) {
    const int error = errno;
    Fail(
        ErrorKind::ReportNotCreated, shown, error,
        "cannot create " + noun + " " + QuoteName(shown.string()) + ": " + ErrorDescription(error));
  }
  fs::path reached = path_;
  for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
    reached /= parts[k];
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int next = ::openat(folder.get(), parts[k].c_str(), flags);
    if (next < 0 && errno == ENOENT) {
      if (::mkdirat(folder.get(), parts[k].c_str(), 0777) == 0 || errno == EEXIST) {
        next = ::openat(folder.get(), parts[k].c_str(), flags);
      }
    }
    if (next < 0) {
      const int error = errno;
      struct stat info {};
      std::string why = ErrorDescription(error);
      if (::fstatat(folder.get(), parts[k].c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode)) {
          why = "it is a symbolic link, which is not followed inside the results folder";
        } else if (!S_ISDIR(info.st_mode)) {
          why = "it is " + KindOf(info.st_mode) + ", not a folder";
        }
      }
      Fail(ErrorKind::ReportNotCreated, reached, error,
           "cannot write " + noun + " " + QuoteName(shown.string()) + ": " +
               QuoteName(reached.string()) + ": " + why);
    }
    folder = Descriptor(next);
  }
  struct stat info {};
  std::optional<mode_t> keepMode;
  if (::fstatat(folder.get(), parts.back().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISREG(info.st_mode)) {
      keepMode = info.st_mode;
    } else if (!S_ISLNK(info.st_mode)) {
      Fail(ErrorKind::ReportNotReplaced, shown, 0,
           "cannot write " + noun + " " + QuoteName(shown.string()) + ": it is " +
               KindOf(info.st_mode) + ", which is left as it is");
    }
  }
  return std::make_unique<FolderWriter>(std::move(folder), parts.back(), shown, noun, keepMode);
}

void ResultsFolder::WriteTogether(const std::vector<ResultFile>& files) {
  std::vector<std::unique_ptr<ReportWriter>> writers;
  for (const ResultFile& file : files) {
    writers.push_back(Begin(file.name, file.noun));
    writers.back()->Append(file.bytes);
  }
  for (auto& writer : writers) static_cast<FolderWriter&>(*writer).Close();
  for (auto& writer : writers) static_cast<FolderWriter&>(*writer).Rename();
}

std::optional<struct stat> ResultsFolder::Entry(const std::string& name) const {
  const std::vector<std::string> parts = Parts(name);
  Descriptor folder;
  int at = fd_;
  for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
    folder =
        Descriptor(::openat(at, parts[k].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0) return std::nullopt;
    at = folder.get();
  }
  struct stat info {};
  if (::fstatat(at, parts.back().c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return info;
}

}  // namespace sorowa

#include "text/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/engine_error.h"
#include "base/quoted_name.h"
#include "text/input_decoding.h"

namespace sorowa {
namespace {

[[noreturn]] void FailToRead(const std::string& path, int error) {
  throw EngineError(PathErrorDetails(ErrorKind::FileNotReadable, path, error),
                    "cannot read " + QuoteName(path) + ": " + ErrorDescription(error));
}

std::string MegabytesText(std::uint64_t bytes) {
  return std::to_string(bytes / (std::uint64_t{1} << 20)) + " MiB";
}

[[noreturn]] void FailTooLarge(const std::string& path, std::uint64_t size, std::uint64_t limit) {
  ErrorDetails details = PathErrorDetails(ErrorKind::FileTooLarge, path);
  details.size = size;
  details.limit = limit;
  throw EngineError(std::move(details), QuoteName(path) + " is " + std::to_string(size) +
                                            " bytes, more than the limit of " +
                                            MegabytesText(limit));
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// What an entry is when it is not a regular file, for the message that refuses it.
std::string KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return " (a FIFO)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return " (a device)";
  if (S_ISSOCK(mode)) return " (a socket)";
  return "";
}

std::string ReadOpened(const FileDescriptor& file, const std::string& path, std::uint64_t limit,
                       const struct stat& info) {
  if (S_ISDIR(info.st_mode)) FailToRead(path, EISDIR);
  const bool regular = S_ISREG(info.st_mode);
  if (regular && limit != 0 && static_cast<std::uint64_t>(info.st_size) > limit) {
    FailTooLarge(path, static_cast<std::uint64_t>(info.st_size), limit);
  }

  std::string bytes;
  if (regular) bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      FailToRead(path, errno);
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
    // A pipe or a file that grows while it is read is held to the same limit.
    if (limit != 0 && bytes.size() > limit) FailTooLarge(path, bytes.size(), limit);
  }
  return bytes;
}

}  // namespace

std::string ReadFileBytes(const std::string& path, std::uint64_t limit) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) FailToRead(path, errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) FailToRead(path, errno);
  return ReadOpened(file, path, limit, info);
}

std::string ReadRegularFileBytes(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) FailToRead(path, errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) FailToRead(path, errno);
  if (S_ISDIR(info.st_mode)) FailToRead(path, EISDIR);
  if (!S_ISREG(info.st_mode)) {
    throw EngineError(
        PathErrorDetails(ErrorKind::FileNotReadable, path),
        "cannot read " + QuoteName(path) + ": not a regular file" + KindOf(info.st_mode));
  }
  return ReadOpened(file, path, 0, info);
}

DecodedText ReadTextFile(const std::string& path, std::optional<TextEncoding> encoding,
                         std::uint64_t limit) {
  const std::string bytes = ReadFileBytes(path, limit);
  try {
    return encoding ? DecodeAs(bytes, *encoding) : DecodeDetected(bytes);
  } catch (const InputDecodingError& error) {
    throw error.InFile(path);
  }
}

bool IsAutoEncoding(std::string_view encoding) {
  return encoding.size() == 4 && (encoding[0] | 0x20) == 'a' && (encoding[1] | 0x20) == 'u' &&
         (encoding[2] | 0x20) == 't' && (encoding[3] | 0x20) == 'o';
}

std::u16string DecodeAsAsked(std::string_view bytes, const std::string& encoding,
                             const std::string& name) {
  try {
    if (IsAutoEncoding(encoding)) return DecodeDetected(bytes).text;
    return DecodeInput(bytes, encoding);
  } catch (const InputDecodingError& e) {
    std::string hint;
    if (encoding.empty()) {
      hint =
          "; if the file is not UTF-8, name its encoding with --encoding (for example "
          "--encoding CP932, or --encoding auto)";
    } else if (IsAutoEncoding(encoding)) {
      hint = "; the file is in none of the encodings --encoding auto finds: name its encoding";
    } else {
      hint = "; check that --encoding " + encoding + " is the file's encoding";
    }
    throw e.InFile(name, hint);
  }
}

}  // namespace sorowa

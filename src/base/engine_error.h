#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace sorowa {

// The system's description of an errno value, in English whatever the locale: the engine
// installs a Japanese one, and these texts end up in English messages.
inline std::string ErrorDescription(int error) {
  const char* description = ::strerrordesc_np(error);
  return description != nullptr ? description : "error " + std::to_string(error);
}

// The same for a std::error_code (filesystem errors, a thread that could not start): its own
// message() comes from strerror, which speaks the process's locale.
inline std::string ErrorCodeDescription(const std::error_code& error) {
  if (error.category() == std::generic_category() || error.category() == std::system_category()) {
    return ErrorDescription(error.value());
  }
  return error.message();
}

// What kind of failure ended a command, so that each front end can word it in its own
// language. The English message of the exception stays what the command line prints.
enum class ErrorKind {
  Unspecified,              // nothing more is known than the English message
  OutOfMemory,              //
  TemporaryFolderUnusable,  // path, systemError
  ReportNotCreated,         // path, systemError
  ReportNotWritten,         // path, systemError
  ReportNotReplaced,        // path, systemError
  NoReportNameLeft,         // path (the folder)
  TableTooLarge,            // pair (0: not known), sourceLength, targetLength, size, limit,
                            // seconds
  FileNotReadable,          // path, systemError
  FileTooLarge,             // path, size, limit
  Undecodable,              // path, offset, encoding
  DocumentDamaged,          // path, format: the file is not what its format says
  DocumentEncrypted,        // path, format: the text cannot be read without a password
  DocumentUnsupported,      // path, format, item (what is not supported)
  DocumentLimitExceeded,    // path, format, item (what was counted), size, limit
  NoTextLayer,              // path: a PDF whose pages are images only
  ThreadNotStarted,         // systemError
};

// The parameters of a failure; which fields mean something depends on the kind.
struct ErrorDetails {
  ErrorKind kind = ErrorKind::Unspecified;
  std::string path;      // a file or folder, as the system names it
  std::string encoding;  // the encoding the bytes were decoded as
  std::string format;    // a document format as the window names it ("PDF", "Word (.docx)")
  std::string item;      // what a limit counted or what is not supported, in English
  int systemError = 0;   // errno, 0 when the system gave none
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t limit = 0;
  std::size_t pair = 0;  // line pair, counted from 1
  std::size_t sourceLength = 0;
  std::size_t targetLength = 0;
  double seconds = -1;  // how long the work was expected to take; negative when not known
};

// Details of a failure about one file or folder.
inline ErrorDetails PathErrorDetails(ErrorKind kind, std::string path, int systemError = 0) {
  ErrorDetails details;
  details.kind = kind;
  details.path = std::move(path);
  details.systemError = systemError;
  return details;
}

// A failure of the engine that carries its kind and parameters besides the English message.
class EngineError : public std::runtime_error {
 public:
  EngineError(ErrorDetails details, const std::string& message)
      : std::runtime_error(message), details_(std::move(details)) {}
  const ErrorDetails& details() const { return details_; }

 protected:
  ErrorDetails& MutableDetails() { return details_; }

 private:
  ErrorDetails details_;
};

// The system gave no thread for the work. std::thread throws std::system_error, whose
// message is in the process's language and says nothing of what the thread was for.
class ThreadNotStartedError : public EngineError {
 public:
  // purpose completes "cannot start a thread ...", e.g. "to compare the line pairs".
  ThreadNotStartedError(const std::system_error& error, const std::string& purpose)
      : EngineError(Details(error.code().value()), "cannot start a thread " + purpose + ": " +
                                                       ErrorCodeDescription(error.code())) {}

 private:
  static ErrorDetails Details(int systemError) {
    ErrorDetails details;
    details.kind = ErrorKind::ThreadNotStarted;
    details.systemError = systemError;
    return details;
  }
};

// The details of any exception: those an EngineError carries, OutOfMemory for bad_alloc,
// otherwise Unspecified.
inline ErrorDetails DetailsOf(const std::exception& error) {
  if (const auto* engine = dynamic_cast<const EngineError*>(&error)) return engine->details();
  ErrorDetails details;
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) details.kind = ErrorKind::OutOfMemory;
  return details;
}

}  // namespace sorowa

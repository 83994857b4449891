#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace sorowa {

// One report being stored piece by piece. Nothing counts until Commit; a writer destroyed
// without a successful Commit removes whatever it had written, so no half report is left.
class ReportWriter {
 public:
  virtual ~ReportWriter() = default;
  // Throws ReportWriteError.
  virtual void Append(std::string_view bytes) = 0;
  // Finishes the report and returns where it went. Throws ReportWriteError.
  virtual std::filesystem::path Commit() = 0;
};

// Where a finished report goes. Write either stores all of utf8 and returns where it went,
// or throws ReportWriteError and leaves no partial file behind.
class ReportStore {
 public:
  virtual ~ReportStore() = default;
  virtual std::filesystem::path Write(std::string_view utf8) = 0;
  // Starts a report that arrives in pieces. By default the pieces are collected and handed to
  // Write at Commit; stores that own a file stream them into it instead.
  virtual std::unique_ptr<ReportWriter> Begin();
};

// New files in the temporary directory: s<pid in base 32>.<sequence>.htm, the sequence
// empty for the first report of a process. Files are created exclusively with mode 0600,
// so an existing file or a planted symlink is never written through; a taken name is
// skipped.
class TempReportStore : public ReportStore {
 public:
  // An empty directory means TemporaryDirectory() at each write.
  explicit TempReportStore(std::filesystem::path directory = {});
  std::filesystem::path Write(std::string_view utf8) override;
  std::unique_ptr<ReportWriter> Begin() override;

  // The file name for a sequence number (0 for the first report).
  static std::string FileName(std::uint64_t processId, std::uint32_t sequence);
  static constexpr std::uint32_t kMaxSequence = 32766;

 private:
  std::filesystem::path directory_;
  std::uint32_t nextSequence_ = 0;
};

// The user's temporary directory: the first of TMPDIR, TMP, TEMP and TEMPDIR that is set to
// something, else /tmp. Throws ReportWriteError when that is not a directory one can reach.
std::filesystem::path TemporaryDirectory();

// The store shared by every Compare of this process, so names keep counting up.
TempReportStore& ProcessReportStore();

// Replaces path atomically: a temporary file beside it, then a rename. A symbolic link is
// followed, whether its target exists or not, and the file it names is replaced (or made);
// the replaced file keeps its permissions, less set-user-ID and set-group-ID. A path that
// names a device or a pipe is written directly instead. noun names the file in error
// messages.
class FileReportStore : public ReportStore {
 public:
  explicit FileReportStore(std::filesystem::path path, std::string noun = "the report")
      : path_(std::move(path)), noun_(std::move(noun)) {}
  std::filesystem::path Write(std::string_view utf8) override;
  std::unique_ptr<ReportWriter> Begin() override;

 private:
  std::filesystem::path path_;
  std::string noun_;
};

// The file a FileReportStore for path writes: path with its symbolic links followed (up to the
// kernel's limit), whether the last of them names an existing file or not. Throws
// ReportWriteError for a loop of links.
std::filesystem::path ResolveOutputLinks(const std::filesystem::path& path);

// Writes all bytes to fd, retrying short writes. Throws ReportWriteError naming noun and what.
void WriteAllOrThrow(int fd, std::string_view bytes, const std::filesystem::path& what,
                     const std::string& noun = "the report");

}  // namespace sorowa

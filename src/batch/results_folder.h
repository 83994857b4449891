#pragma once

// The folder a batch writes its results into, held open and locked for the run.

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "compare/report_store.h"

namespace sorowa {

// The results folder cannot be made, opened or locked.
class ResultsFolderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A whole file for ResultsFolder::WriteTogether.
struct ResultFile {
  std::string name;  // in the folder itself
  std::string noun;  // "the stats", for messages
  std::string bytes;
};

// Everything is written relative to the folder's descriptor, and no symbolic link inside it
// is ever followed: a file is written under a short temporary name in its own folder and
// renamed over its name, which replaces a link planted there instead of writing through it;
// subfolders are opened with O_NOFOLLOW, so a linked subfolder is refused rather than
// entered. An entry that is neither a regular file nor a link (a folder, a FIFO, a device)
// is never replaced. The folder is locked (flock) while this object lives, so that two runs
// into it cannot mix their files.
class ResultsFolder {
 public:
  // Makes the folder when missing (links in the path the user gave are followed: that is the
  // folder the user named), opens and locks it. Throws ResultsFolderError.
  explicit ResultsFolder(std::filesystem::path path);
  ~ResultsFolder();
  ResultsFolder(const ResultsFolder&) = delete;
  ResultsFolder& operator=(const ResultsFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Starts the file name ('/'-separated parts below the folder), making its subfolders as
  // needed. Nothing takes the name before Commit; an abandoned writer removes its temporary
  // file. Throws ReportWriteError.
  std::unique_ptr<ReportWriter> Begin(const std::string& name, const std::string& noun);

  // Writes every file under a temporary name first and renames them only once all are
  // written, so a failure (a full disk, say) leaves the earlier files of the same names as
  // they were, all of them. Throws ReportWriteError.
  void WriteTogether(const std::vector<ResultFile>& files);

  // The entry at name as it is, without following any link; nothing when there is none (or
  // a part of the way is not a plain folder).
  std::optional<struct stat> Entry(const std::string& name) const;

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace sorowa

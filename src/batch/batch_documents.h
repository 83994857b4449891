#pragma once

// The documents of a run over many: pairs of a Source and a Target file, each with the name
// its report goes under, found in two folders or read from a list.

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sorowa {

struct BatchDocument {
  // Where the results go: a relative path of '/'-separated parts, none empty, "." or "..";
  // the report is <results folder>/<name>.htm. Unique within a run.
  std::string name;
  std::string source;
  std::string target;
  // Why the document cannot be compared at all (a file found on one side only); empty
  // otherwise.
  std::string error;
  friend bool operator==(const BatchDocument&, const BatchDocument&) = default;
};

// The folders or the list cannot be read, or a line of the list is not a document.
class BatchListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every file under sourceDir with the file of the same relative path under targetDir, in the
// order of the names (byte order). Every entry that is not a folder counts as a file (a FIFO
// or a dangling link fails later as what it is); links to folders are followed, each folder
// entered once. A file found on one side only becomes a document with an error. excluded
// (the results folder, should a link lead into it) is not searched. Throws BatchListError
// naming the folder, or the subfolder, that cannot be read.
std::vector<BatchDocument> ListFolderDocuments(const std::filesystem::path& sourceDir,
                                               const std::filesystem::path& targetDir,
                                               const std::filesystem::path& excluded = {});

// Reads a list of documents: one per line, the Source path, a tab and the Target path, taken
// byte for byte; lines end in LF or CR LF, empty lines are skipped, and a UTF-8 byte order
// mark at the start is dropped (a UTF-16 or UTF-32 one is refused). Relative paths are taken
// from the current folder. The names are the Source paths made relative (a leading '/' and
// parts "." and ".." dropped), a name taken already getting "~2", "~3"... in list order.
// The documents come in the order of their names. Throws BatchListError naming listName
// and the line.
std::vector<BatchDocument> ReadBatchList(std::string_view text, const std::string& listName);

// Shard index (from 1) of count: a fixed run of consecutive documents, so that shards 1 to
// count, one after the other, are all the documents in their order.
std::vector<BatchDocument> SelectShard(const std::vector<BatchDocument>& documents,
                                       std::size_t index, std::size_t count);

}  // namespace sorowa

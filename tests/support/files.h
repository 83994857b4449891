#pragma once

// Files and folders as the tests handle them: whole files as bytes, and private folders that
// go away with everything in them.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sorowa::testing_support {

// The file's bytes; a file that cannot be read reads as empty.
std::string ReadFile(const std::filesystem::path& path);

// Replaces the file's content with bytes.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// The names in folder, sorted, so that a test can compare them with a list.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

// A fresh folder in the temporary directory, named prefix-XXXXXX, removed with everything in
// it at the end of the scope. path() is empty when no folder could be made; the test checks
// that before it writes anywhere.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "sorowa-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace sorowa::testing_support

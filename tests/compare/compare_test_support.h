#pragma once

// What the Compare tests share: a window stand-in, a private folder, and file reading.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compare/compare_ui.h"

namespace sorowa::testing_support {

// Records what the Compare command did to the "window". All five tables start checked, line
// pairing by content does not.
class FakeUi : public CompareUi {
 public:
  std::u16string texts[2];
  bool options[6] = {true, true, true, true, true, false};
  std::vector<std::filesystem::path> shown;
  std::vector<std::string> errors;
  std::vector<UserMessage> messages;
  std::vector<CompareResult> results;
  std::size_t cancelAt = static_cast<std::size_t>(-1);  // the pair at which Cancel is pressed

  std::u16string EditorText(Editor editor) const override {
    return texts[static_cast<int>(editor)];
  }
  void SetEditorText(Editor editor, const std::u16string& text) override {
    texts[static_cast<int>(editor)] = text;
  }
  bool IsOptionChecked(OptionId option) const override { return options[static_cast<int>(option)]; }
  void ShowReport(const std::filesystem::path& path) override { shown.push_back(path); }
  void ReportError(const std::string& message) override { errors.push_back(message); }
  void ShowMessage(const UserMessage& message) override { messages.push_back(message); }
  void ShowResult(const CompareResult& result) override { results.push_back(result); }
  bool ReportProgress(std::size_t done, std::size_t) override { return done < cancelAt; }
};

// A fresh folder under /tmp, removed with everything in it at the end of the scope.
class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/sorowa-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace sorowa::testing_support

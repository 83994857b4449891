#pragma once

// What the Compare tests share: a window stand-in. The private folder and file reading come
// from tests/support, in the same namespace.

#include <filesystem>
#include <string>
#include <vector>

#include "compare/compare_ui.h"
#include "support/files.h"

namespace sorowa::testing_support {

// Records what the Compare command did to the "window". All five tables start checked, line
// pairing by content and the other options do not.
class FakeUi : public CompareUi {
 public:
  std::u16string texts[2];
  bool options[kOptionIdCount] = {true, true, true, true, true, false};
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

}  // namespace sorowa::testing_support

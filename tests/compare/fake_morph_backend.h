#pragma once

// A deterministic stand-in for the morphological analyser: every run of code units of the
// same character class is one word. It counts its own life so tests can check the analyser's.

#include <atomic>
#include <memory>

#include "segment/char_class.h"
#include "segment/morph_backend.h"

namespace sorowa::testing_support {

struct BackendLog {
  int created = 0;    // by the factory, once per Compare
  int destroyed = 0;  // the factory's back-end only
  std::atomic<int> analyzed{0};
};

class ClassRunBackend : public MorphBackend {
 public:
  explicit ClassRunBackend(BackendLog* log, bool isClone = false) : log_(log), isClone_(isClone) {
    if (!isClone_) ++log_->created;
  }
  ~ClassRunBackend() override {
    if (!isClone_) ++log_->destroyed;
  }
  std::unique_ptr<MorphBackend> Clone() const override {
    return std::make_unique<ClassRunBackend>(log_, true);
  }
  bool Analyze(std::u16string_view text, std::vector<std::uint32_t>& wordIndex) override {
    ++log_->analyzed;
    wordIndex.clear();
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (i > 0 && ClassifyChar(text[i]) != ClassifyChar(text[i - 1])) ++word;
      wordIndex.push_back(word);
    }
    return true;
  }

 private:
  BackendLog* log_;
  bool isClone_;
};

inline MorphBackendFactory ClassRunFactory(BackendLog* log, std::string startupMessage = {}) {
  return [log, startupMessage](const MessageSink& show) -> std::unique_ptr<MorphBackend> {
    if (!startupMessage.empty() && show) show({"MeCab", startupMessage});
    return std::make_unique<ClassRunBackend>(log);
  };
}

inline MorphBackendFactory AbsentFactory(BackendLog* log) {
  return [log](const MessageSink&) -> std::unique_ptr<MorphBackend> {
    ++log->created;
    ++log->destroyed;
    return nullptr;
  };
}

}  // namespace sorowa::testing_support

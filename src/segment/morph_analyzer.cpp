#include "segment/morph_analyzer.h"

#include "segment/char_class.h"

namespace sorowa {

MorphAnalyzer::MorphAnalyzer(const MessageSink& showMessage, const MorphBackendFactory& factory)
    : backend_(factory ? factory(showMessage) : CreateDefaultMorphBackend(showMessage)) {}

MorphAnalyzer::MorphAnalyzer(std::unique_ptr<MorphBackend> backend, std::int32_t language)
    : language_(language), backend_(std::move(backend)) {}

MorphAnalyzer::~MorphAnalyzer() = default;

std::unique_ptr<MorphAnalyzer> MorphAnalyzer::CloneForThread() const {
  std::unique_ptr<MorphBackend> backend;
  if (backend_) {
    backend = backend_->Clone();
    if (!backend) return nullptr;
  }
  return std::unique_ptr<MorphAnalyzer>(new MorphAnalyzer(std::move(backend), language_));
}

void MorphAnalyzer::SetLanguage(std::int32_t language) { language_ = language; }

int MorphAnalyzer::RunMorphAnalysis(std::u16string_view text) {
  splitLine_.clear();
  if (!backend_) return 1;
  lastResult_.clear();
  haveResult_ = false;
  if (!backend_->Analyze(text, lastResult_)) return 1;
  // A result that does not cover the text exactly cannot be cut into segments safely.
  if (lastResult_.size() != text.size()) return 1;
  haveResult_ = true;
  return 0;
}

void MorphAnalyzer::SplitMorphemes(const std::u16string& line, SegmentList& list) {
  if (language_ != 0) return;
  // A pair's Target line is most often its Source line unchanged, whose analysis is still
  // at hand: the back-end would only find the same words again.
  if (!haveResult_ || line != splitLine_) {
    if (RunMorphAnalysis(line) != 0 || !haveResult_) return;
    splitLine_ = line;
  }
  const std::vector<std::uint32_t>& word = lastResult_;
  if (line.empty()) return;
  std::size_t start = 0;
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (word[i - 1] != word[i]) {
      list.emplace_back(line, start, i - start);
      start = i;
    }
  }
  list.emplace_back(line, start, std::u16string::npos);
}

void MorphAnalyzer::SplitPseudoBunsetsu(const std::u16string& line, SegmentList& list) const {
  if (language_ != 0 || line.empty()) return;
  std::size_t start = 0;
  CharClass previous = ClassifyChar(line[0]);
  for (std::size_t i = 1; i < line.size(); ++i) {
    const CharClass current = ClassifyChar(line[i]);
    if (IsUnitBoundary(previous, current)) {
      list.emplace_back(line, start, i - start);
      start = i;
    }
    previous = current;
  }
  list.emplace_back(line, start, std::u16string::npos);
}

}  // namespace sorowa

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/segment.h"
#include "segment/morph_backend.h"

namespace sorowa {

// Splits lines into units for one Compare. Holds the morphological back-end, which is set
// up once per Compare and released with the analyser.
class MorphAnalyzer {
 public:
  // An empty factory means CreateDefaultMorphBackend.
  explicit MorphAnalyzer(const MessageSink& showMessage = {},
                         const MorphBackendFactory& factory = {});
  ~MorphAnalyzer();

  // An analyser for another thread, sharing this one's loaded model and language; null when
  // the back-end cannot be shared.
  std::unique_ptr<MorphAnalyzer> CloneForThread() const;
  MorphAnalyzer(const MorphAnalyzer&) = delete;
  MorphAnalyzer& operator=(const MorphAnalyzer&) = delete;

  // 0 selects Japanese, the only language that segments.
  void SetLanguage(std::int32_t language);
  std::int32_t language() const { return language_; }

  // Analyses text with the back-end; 0 on success, when lastResult() holds one word index
  // per code unit of text. Non-zero when there is no back-end or it failed.
  int RunMorphAnalysis(std::u16string_view text);
  const std::vector<std::uint32_t>& lastResult() const { return lastResult_; }
  bool hasBackend() const { return backend_ != nullptr; }

  // Morphemes: runs of equal adjacent word index. The list stays empty on any failure.
  void SplitMorphemes(const std::u16string& line, SegmentList& list);
  // Pseudo-bunsetsu by character classes; needs no back-end and cannot fail.
  void SplitPseudoBunsetsu(const std::u16string& line, SegmentList& list) const;

 private:
  explicit MorphAnalyzer(std::unique_ptr<MorphBackend> backend, std::int32_t language);

  std::int32_t language_ = -1;
  std::unique_ptr<MorphBackend> backend_;
  std::vector<std::uint32_t> lastResult_;
  bool haveResult_ = false;
  // The line whose analysis lastResult_ holds when SplitMorphemes made it; empty otherwise.
  std::u16string splitLine_;
};

}  // namespace sorowa

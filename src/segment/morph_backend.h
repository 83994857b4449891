#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_message.h"

namespace sorowa {

// A morphological analyser. Analyze splits text into consecutive words and gives one word
// index per UTF-16 code unit; false means the text could not be analysed.
class MorphBackend {
 public:
  virtual ~MorphBackend() = default;
  virtual bool Analyze(std::u16string_view text, std::vector<std::uint32_t>& wordIndex) = 0;
  // Another analyser over the same loaded model, for use on another thread at the same time
  // as this one; null when the back-end cannot be shared that way.
  virtual std::unique_ptr<MorphBackend> Clone() const { return nullptr; }
};

// Creates the back-end for one Compare. May report problems through showMessage and may
// return null when no analyser is usable; it never throws for a missing analyser.
using MorphBackendFactory =
    std::function<std::unique_ptr<MorphBackend>(const MessageSink& showMessage)>;

// The analyser this build links in.
std::unique_ptr<MorphBackend> CreateDefaultMorphBackend(const MessageSink& showMessage);

}  // namespace sorowa

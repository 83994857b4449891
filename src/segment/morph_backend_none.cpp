#include "segment/morph_backend.h"

namespace sorowa {

// This build has no morphological analyser: morpheme lists stay empty.
std::unique_ptr<MorphBackend> CreateDefaultMorphBackend(const MessageSink&) { return nullptr; }

}  // namespace sorowa

#include "segment/morph_backend_preload.h"

#include <system_error>
#include <utility>

namespace sorowa {

MorphBackendPreload::MorphBackendPreload() {
  try {
    loaded_ = std::async(std::launch::async, [] {
      Loaded loaded;
      loaded.backend = CreateDefaultMorphBackend(
          [&loaded](const UserMessage& message) { loaded.messages.push_back(message); });
      return loaded;
    });
  } catch (const std::system_error&) {
    // No thread: the Compare sets the analyser up itself.
  }
}

MorphBackendPreload::~MorphBackendPreload() {
  if (loaded_.valid()) loaded_.wait();
}

MorphBackendFactory MorphBackendPreload::Factory() {
  return [this](const MessageSink& showMessage) -> std::unique_ptr<MorphBackend> {
    if (!loaded_.valid()) return CreateDefaultMorphBackend(showMessage);
    Loaded loaded = loaded_.get();
    if (showMessage) {
      for (const UserMessage& message : loaded.messages) showMessage(message);
    }
    return std::move(loaded.backend);
  };
}

}  // namespace sorowa

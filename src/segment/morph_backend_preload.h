#pragma once

#include <future>
#include <memory>
#include <vector>

#include "segment/morph_backend.h"

namespace sorowa {

// Sets the default analyser up on a thread of its own (MeCab maps its dictionary and reads
// its tables) while the caller does something else, typically reading the files. The
// Compare takes it through Factory(); what the set-up had to say reaches the Compare's
// message sink then, so the user sees the same messages at the same point as without it.
class MorphBackendPreload {
 public:
  // Starts the set-up; without a thread to be had, Factory() sets up as usual instead.
  MorphBackendPreload();
  // Waits for a set-up still running.
  ~MorphBackendPreload();
  MorphBackendPreload(const MorphBackendPreload&) = delete;
  MorphBackendPreload& operator=(const MorphBackendPreload&) = delete;

  // Hands over the preloaded back-end once; a later call sets one up as usual. The factory
  // refers to this object, which must outlive its use.
  MorphBackendFactory Factory();

 private:
  struct Loaded {
    std::unique_ptr<MorphBackend> backend;
    std::vector<UserMessage> messages;
  };
  std::future<Loaded> loaded_;
};

}  // namespace sorowa

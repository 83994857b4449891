#pragma once

#include <functional>
#include <string>

namespace sorowa {

// A message that an engine component wants the user to see, e.g. MeCab's start-up error.
struct UserMessage {
  std::string origin;  // short name of the component, e.g. "MeCab"; may be empty
  std::string text;    // UTF-8
};
using MessageSink = std::function<void(const UserMessage&)>;

}  // namespace sorowa

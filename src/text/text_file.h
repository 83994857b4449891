#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "text/text_encoding.h"

namespace sorowa {

// The largest file the window opens into an editor.
inline constexpr std::uint64_t kMaxOpenedFileBytes = std::uint64_t{256} << 20;

// Reads the whole file. limit 0 means no limit; a larger file is refused before it is read.
// Throws EngineError (FileNotReadable, FileTooLarge).
std::string ReadFileBytes(const std::string& path, std::uint64_t limit = 0);

// Reads the file and decodes it, in the given encoding or, without one, in the one found by
// DecodeDetected. Throws EngineError, or InputDecodingError naming the path.
DecodedText ReadTextFile(const std::string& path, std::optional<TextEncoding> encoding,
                         std::uint64_t limit = kMaxOpenedFileBytes);

}  // namespace sorowa

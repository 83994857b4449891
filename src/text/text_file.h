#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text_encoding.h"

namespace sorowa {

// The largest file the window opens into an editor.
inline constexpr std::uint64_t kMaxOpenedFileBytes = std::uint64_t{256} << 20;

// Reads the whole file. limit 0 means no limit; a larger file is refused before it is read.
// Throws EngineError (FileNotReadable, FileTooLarge).
std::string ReadFileBytes(const std::string& path, std::uint64_t limit = 0);

// Reads a file that has to be a regular one: it is opened without waiting (a FIFO with no
// writer, a device that blocks) and looked at before a byte is read, so that a run over many
// files never hangs on one that is not a document. Anything else fails with "not a regular
// file". Throws EngineError (FileNotReadable).
std::string ReadRegularFileBytes(const std::string& path);

// Reads the file and decodes it, in the given encoding or, without one, in the one found by
// DecodeDetected. Throws EngineError, or InputDecodingError naming the path.
DecodedText ReadTextFile(const std::string& path, std::optional<TextEncoding> encoding,
                         std::uint64_t limit = kMaxOpenedFileBytes);

// Whether an encoding value of the command line asks for detection ("auto", in any case).
bool IsAutoEncoding(std::string_view encoding);

// Decodes a file's bytes as the command line's encoding value asks: empty for UTF-8 (or
// UTF-16 by its byte order mark), "auto" to detect the encoding, otherwise a name iconv
// knows. On failure throws InputDecodingError whose message starts with name and ends with
// what to try instead.
std::u16string DecodeAsAsked(std::string_view bytes, const std::string& encoding,
                             const std::string& name);

}  // namespace sorowa

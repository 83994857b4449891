#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/engine_error.h"
#include "formats/input_format.h"

namespace sorowa {

// How much of a hostile file the readers take on before they refuse it. The defaults open
// any real document; the tests lower them.
struct FormatLimits {
  std::uint64_t zipEntries = 20'000;                 // entries in a .docx or .odt archive
  std::uint64_t zipPartBytes = 64ull << 20;          // one unpacked part (word/document.xml…)
  std::uint64_t xmlElements = 16'000'000;            // markup items of one XML file or part
  std::size_t xmlDepth = 256;                        // elements nested in one another
  std::uint64_t pages = 100'000;                     // pages of a PDF, hOCR or ALTO file
  std::uint64_t textUnits = std::uint64_t{1} << 28;  // UTF-16 code units extracted
};

struct ReadOptions {
  // Keep ruby (furigana) of .docx and .odt files, in full-width parentheses after the text
  // it annotates: 漢字（かんじ）. Left out otherwise, as a reader does not read it twice.
  bool keepRuby = false;
  FormatLimits limits;
};

// The text of a document, one entry per line in reading order. No line holds CR or LF.
struct ExtractedText {
  InputFormat format = InputFormat::Text;
  std::vector<std::u16string> lines;
  // The page of each line, from 1; empty for a format without pages (.docx, .odt).
  std::vector<std::uint32_t> pages;
  std::uint32_t pageCount = 0;
};

// The lines joined by LF, without one after the last line: what an editor shows, line i of
// the editor being lines[i - 1].
std::u16string JoinLines(const ExtractedText& text);

// A document that could not be read. The message starts with the file's name and says what
// to do; the details carry the kind, the format and, for a limit, what it counted.
class DocumentError : public EngineError {
 public:
  using EngineError::EngineError;
};

// Reads a document of the given format (not Text) from its bytes. name is the path that
// messages name. Throws DocumentError, or WorkStopped when the thread's stop flag is set.
ExtractedText ReadDocument(std::string_view bytes, InputFormat format, const std::string& name,
                           const ReadOptions& options = {});

}  // namespace sorowa

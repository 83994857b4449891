#include "document_fuzz.h"

#include <string>

#include "document_writers.h"
#include "formats/read_document.h"
#include "fuzz_support.h"

namespace sorowa::fuzz {

namespace {

constexpr const char* kName = "fuzz.input";

bool IsDocumentKind(ErrorKind kind) {
  return kind == ErrorKind::DocumentDamaged || kind == ErrorKind::DocumentEncrypted ||
         kind == ErrorKind::DocumentUnsupported || kind == ErrorKind::DocumentLimitExceeded ||
         kind == ErrorKind::NoTextLayer;
}

void CheckText(const ExtractedText& text, InputFormat format, const ReadOptions& options) {
  FUZZ_CHECK(text.format == format, "the result names another format");
  std::uint64_t units = 0;
  for (const std::u16string& line : text.lines) {
    FUZZ_CHECK(line.find_first_of(u"\r\n") == std::u16string::npos,
               "a line holds a line break: " + Printable(line));
    units += line.size();
  }
  FUZZ_CHECK(units <= options.limits.textUnits, "more text than the limit");
  if (!HasPages(format)) {
    FUZZ_CHECK(text.pages.empty() && text.pageCount == 0, "pages for a format without pages");
    return;
  }
  FUZZ_CHECK(text.pages.size() == text.lines.size(), "not one page per line");
  FUZZ_CHECK(text.pageCount <= options.limits.pages, "more pages than the limit");
  std::uint32_t previous = 1;
  for (const std::uint32_t page : text.pages) {
    FUZZ_CHECK(page >= previous && page <= text.pageCount, "page " + std::to_string(page) +
                                                               " out of order or beyond " +
                                                               std::to_string(text.pageCount));
    previous = page;
  }
}

}  // namespace

void FuzzDocument(const std::uint8_t* data, std::size_t size, InputFormat format) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if ((format == InputFormat::Docx || format == InputFormat::Odt) && !bytes.empty()) {
    const bool wrap = (bytes[0] & 1) != 0;
    bytes.erase(0, 1);
    if (wrap && format == InputFormat::Docx) {
      bytes = testdocs::WriteZip({{"word/document.xml", bytes}});
    } else if (wrap) {
      bytes = testdocs::WriteZip(
          {{"mimetype", "application/vnd.oasis.opendocument.text", false}, {"content.xml", bytes}});
    }
  }
  (void)DetectInputFormat(bytes);

  ReadOptions options;
  options.keepRuby = size % 2 == 0;
  options.limits.zipEntries = 64;
  options.limits.zipPartBytes = 1 << 20;
  options.limits.xmlElements = 100'000;
  options.limits.xmlDepth = 64;
  options.limits.pages = 200;
  options.limits.textUnits = 1 << 20;
  try {
    const ExtractedText text = ReadDocument(bytes, format, kName, options);
    CheckText(text, format, options);
    const ExtractedText again = ReadDocument(bytes, format, kName, options);
    FUZZ_CHECK(again.lines == text.lines && again.pages == text.pages, "a second reading differs");
  } catch (const DocumentError& error) {
    const std::string message = error.what();
    FUZZ_CHECK(message.starts_with(std::string(kName) + ": "), "unnamed file: " + message);
    FUZZ_CHECK(error.details().path == kName, "the details name no file: " + message);
    FUZZ_CHECK(IsDocumentKind(error.details().kind), "not a document error: " + message);
    if (error.details().kind == ErrorKind::DocumentLimitExceeded) {
      FUZZ_CHECK(!error.details().item.empty() && error.details().limit > 0,
                 "a limit that does not say what it counted: " + message);
      FUZZ_CHECK(error.details().size == 0 || error.details().size > error.details().limit,
                 "a limit refused what it allows: " + message);
    }
  }
}

}  // namespace sorowa::fuzz

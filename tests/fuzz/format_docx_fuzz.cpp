// The Word reader on any bytes: a .docx archive, or (first byte odd) the XML of
// word/document.xml packed into one. The checks are in document_fuzz.h.

#include "document_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sorowa::fuzz::FuzzDocument(data, size, sorowa::InputFormat::Docx);
  return 0;
}

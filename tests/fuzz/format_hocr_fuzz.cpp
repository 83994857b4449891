// The hOCR reader on any bytes. The checks are in document_fuzz.h.

#include "document_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sorowa::fuzz::FuzzDocument(data, size, sorowa::InputFormat::Hocr);
  return 0;
}

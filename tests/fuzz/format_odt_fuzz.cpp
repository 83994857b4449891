// The OpenDocument reader on any bytes: an .odt archive, or (first byte odd) the XML of
// content.xml packed into one. The checks are in document_fuzz.h.

#include "document_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sorowa::fuzz::FuzzDocument(data, size, sorowa::InputFormat::Odt);
  return 0;
}

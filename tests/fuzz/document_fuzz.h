#pragma once

// The promises every document reader keeps, checked on any input: it gives lines without
// line breaks in them, each with a page between 1 and the page count where the format has
// pages, and the same result when read twice; or it throws DocumentError naming the file,
// one of the document kinds and, for a limit, what it counted. Any other exception, a crash
// or a hang is a fault. The limits are lowered so that each input runs fast.
//
// For the zipped formats the first byte chooses what the rest is: the archive itself (even)
// or the XML of the main part (odd), packed into an archive here, so that the fuzzer works
// on the markup without having to find the zip format first.

#include <cstddef>
#include <cstdint>

#include "formats/input_format.h"

namespace sorowa::fuzz {

void FuzzDocument(const std::uint8_t* data, std::size_t size, InputFormat format);

}  // namespace sorowa::fuzz

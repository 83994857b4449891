#pragma once

// One reader per format, each in a file of its own. ReadDocument (read_document.cpp) picks
// one.

#include <string_view>

#include "formats/reader_support.h"

namespace sorowa::formats {

ExtractedText ReadPdf(std::string_view bytes, const ReadContext& context);
ExtractedText ReadDocx(std::string_view bytes, const ReadContext& context);
ExtractedText ReadOdt(std::string_view bytes, const ReadContext& context);
ExtractedText ReadHocr(std::string_view bytes, const ReadContext& context);
ExtractedText ReadAlto(std::string_view bytes, const ReadContext& context);
ExtractedText ReadPageXml(std::string_view bytes, const ReadContext& context);

}  // namespace sorowa::formats

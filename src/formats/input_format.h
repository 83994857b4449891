#pragma once

#include <optional>
#include <string_view>

namespace sorowa {

// What an input file is. Text goes through the encodings of text/; the others through the
// readers of this folder.
enum class InputFormat { Text, Pdf, Docx, Odt, Hocr, Alto, Page };

// The name the command line uses: text, pdf, docx, odt, hocr, alto, page.
std::string_view InputFormatName(InputFormat format);

// The name a person knows the format by: "PDF", "Word (.docx)", "PAGE-XML"…
std::string_view InputFormatLabel(InputFormat format);

// The format a command-line name stands for; nothing for "auto" or an unknown name.
std::optional<InputFormat> ParseInputFormat(std::string_view name);

// Whether the format has pages, so that lines can carry page numbers.
bool HasPages(InputFormat format);

// The format of a file, from its content alone: the PDF header, a zip archive holding a
// Word or an OpenDocument text document (or the compound file that holds an encrypted or an
// old Word document), the root element of hOCR, ALTO and PAGE-XML. Anything else is Text,
// so that every text file (an HTML page, an unrelated XML file) is read as it always was.
InputFormat DetectInputFormat(std::string_view bytes);

}  // namespace sorowa

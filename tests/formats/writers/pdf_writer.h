#pragma once

// Typesets known text into a PDF with Qt (QPdfWriter, Noto Serif CJK JP), as a proof is
// typeset: a running head on every page, the text in lines that fit the measure, the page
// number at the foot. Needs a QGuiApplication (the offscreen platform will do).

#include <string>
#include <vector>

namespace sorowa::testdocs {

struct TypesetPdf {
  std::string bytes;
  // The lines as they stand on each page, head and number included: what extraction has to
  // give back.
  std::vector<std::vector<std::u16string>> pages;
};

// Breaks the paragraphs into lines of the measure and sets linesPerPage of them on a page.
TypesetPdf TypesetPdfDocument(const std::vector<std::u16string>& paragraphs,
                              std::size_t linesPerPage);

// A PDF of pages with nothing but an image: what a scanner gives before OCR.
std::string ImageOnlyPdf();

}  // namespace sorowa::testdocs

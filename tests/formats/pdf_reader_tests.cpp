// The PDF reader on PDFs typeset here with a Japanese font: every page's lines in reading
// order, the running head and the page number lines of their own; an image-only PDF, a
// password-protected one and a damaged one refused with a clear error.

// qpdf without its deprecated smart pointer.
#define POINTERHOLDER_TRANSITION 4
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <algorithm>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include "distance/levenshtein.h"
#include "document_writers.h"
#include "formats/read_document.h"
#include "pdf_writer.h"
#include "score/code_points.h"

namespace sorowa {
namespace {

TEST(PdfReader, GivesBackEachPageLineForLine) {
  const std::vector<std::u16string> paragraphs = testdocs::SampleLines(60, 3, true);
  const testdocs::TypesetPdf pdf = testdocs::TypesetPdfDocument(paragraphs, 25);
  ASSERT_GT(pdf.pages.size(), 2u);
  EXPECT_EQ(DetectInputFormat(pdf.bytes), InputFormat::Pdf);
  const ExtractedText text = ReadDocument(pdf.bytes, InputFormat::Pdf, "proof.pdf");
  EXPECT_EQ(text.pageCount, pdf.pages.size());
  std::vector<std::u16string> expected;
  std::vector<std::uint32_t> expectedPages;
  for (std::size_t p = 0; p < pdf.pages.size(); ++p) {
    expected.insert(expected.end(), pdf.pages[p].begin(), pdf.pages[p].end());
    expectedPages.insert(expectedPages.end(), pdf.pages[p].size(), p + 1);
  }
  ASSERT_EQ(text.lines.size(), expected.size());
  // Qt's PDF writer maps glyphs back to text through the font's character map, which loses
  // characters beyond the BMP (𠮷): those lines are held to the error rate, all others must
  // come back exactly.
  std::vector<std::uint32_t> got, want;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const bool beyondBmp = std::any_of(expected[i].begin(), expected[i].end(),
                                       [](char16_t c) { return c >= 0xD800 && c < 0xDC00; });
    if (!beyondBmp) {
      EXPECT_EQ(testdocs::Utf8(text.lines[i]), testdocs::Utf8(expected[i])) << "line " << i + 1;
    }
    std::vector<std::uint32_t> a, b;
    ToCodePoints(text.lines[i] + u"\n", a);
    ToCodePoints(expected[i] + u"\n", b);
    got.insert(got.end(), a.begin(), a.end());
    want.insert(want.end(), b.begin(), b.end());
  }
  LevenshteinAligner aligner;
  const double errorRate = static_cast<double>(aligner.Distance(want, got)) / want.size();
  EXPECT_LE(errorRate, 0.005);
  EXPECT_EQ(text.pages, expectedPages);
}

std::string Encrypt(const std::string& bytes) {
  QPDF in;
  in.processMemoryFile("proof.pdf", bytes.data(), bytes.size());
  QPDFWriter writer(in);
  writer.setOutputMemory();
  writer.setR6EncryptionParameters("secret", "owner", true, true, true, true, true, true,
                                   qpdf_r3p_full, true);
  writer.write();
  std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
  return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

TEST(PdfReader, RefusesWhatHasNoReadableText) {
  const testdocs::TypesetPdf pdf = testdocs::TypesetPdfDocument({u"本文の一行"}, 10);
  std::string garbage = "%PDF-1.7\n";
  for (int i = 0; i < 4000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 251));
  garbage += "\n%%EOF\n";
  const struct {
    const char* name;
    std::string bytes;
    ErrorKind kind;
    const char* says;
  } cases[] = {
      {"image only", testdocs::ImageOnlyPdf(), ErrorKind::NoTextLayer,
       "no text layer; run OCR first"},
      {"password", Encrypt(pdf.bytes), ErrorKind::DocumentEncrypted, "protected by a password"},
      {"damaged", garbage, ErrorKind::DocumentDamaged, "not a readable PDF"},
      {"cut short", pdf.bytes.substr(0, 300), ErrorKind::DocumentDamaged, "not a readable PDF"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    try {
      ReadDocument(test.bytes, InputFormat::Pdf, "scan.pdf");
      ADD_FAILURE() << "read without complaint";
    } catch (const DocumentError& error) {
      EXPECT_EQ(error.details().kind, test.kind) << error.what();
      EXPECT_NE(std::string(error.what()).find(test.says), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace sorowa

int main(int argc, char** argv) {
  // Typesetting needs fonts, not a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

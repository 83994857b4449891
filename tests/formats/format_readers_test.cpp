// The readers of document formats, on documents written by tests/formats/writers with a
// known text: each comes back line for line, with its pages, and is told from text by its
// content. Hostile files are refused by the limit or the rule they break, saying which.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "document_writers.h"
#include "formats/input_format.h"
#include "formats/read_document.h"

namespace sorowa {
namespace {

using testdocs::Utf16;
using testdocs::Utf8;

std::vector<std::vector<std::u16string>> Pages(const std::vector<std::u16string>& lines,
                                               std::size_t perPage) {
  std::vector<std::vector<std::u16string>> pages;
  for (std::size_t i = 0; i < lines.size(); i += perPage) {
    pages.emplace_back(
        lines.begin() + static_cast<std::ptrdiff_t>(i),
        lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), i + perPage)));
  }
  return pages;
}

struct RoundTrip {
  const char* name;
  InputFormat format;
  std::string bytes;
  std::vector<std::u16string> lines;
  std::vector<std::uint32_t> pages;  // empty: the format has none
  std::vector<std::u16string> linesWithRuby;
};

std::vector<RoundTrip> RoundTrips() {
  std::vector<RoundTrip> cases;
  const std::vector<std::u16string> editorText = testdocs::SampleLines(90, 7, false);
  const testdocs::WrittenDocument docx = testdocs::WriteDocx(editorText, true);
  cases.push_back({"docx", InputFormat::Docx, docx.bytes, docx.lines, {}, docx.linesWithRuby});
  const testdocs::WrittenDocument odt = testdocs::WriteOdt(editorText, true);
  cases.push_back({"odt", InputFormat::Odt, odt.bytes, odt.lines, {}, odt.linesWithRuby});

  const std::vector<std::u16string> ocrText = testdocs::SampleLines(70, 11, true);
  const auto pages = Pages(ocrText, 9);
  std::vector<std::uint32_t> pageOfLine;
  for (std::size_t p = 0; p < pages.size(); ++p)
    pageOfLine.insert(pageOfLine.end(), pages[p].size(), p + 1);
  cases.push_back({"hocr", InputFormat::Hocr, testdocs::WriteHocr(pages), ocrText, pageOfLine, {}});
  cases.push_back({"alto", InputFormat::Alto, testdocs::WriteAlto(pages), ocrText, pageOfLine, {}});
  cases.push_back({"page",
                   InputFormat::Page,
                   testdocs::WritePageXml(ocrText),
                   ocrText,
                   std::vector<std::uint32_t>(ocrText.size(), 1),
                   {}});
  return cases;
}

TEST(FormatReaders, GiveBackTheWrittenTextLineForLine) {
  for (const RoundTrip& test : RoundTrips()) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(DetectInputFormat(test.bytes), test.format);
    const ExtractedText text = ReadDocument(test.bytes, test.format, "in");
    EXPECT_EQ(text.format, test.format);
    ASSERT_EQ(text.lines.size(), test.lines.size());
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
      ASSERT_EQ(Utf8(text.lines[i]), Utf8(test.lines[i])) << "line " << i + 1;
    }
    EXPECT_EQ(text.pages, test.pages);
    EXPECT_EQ(text.pageCount, test.pages.empty() ? 0u : test.pages.back());
    if (!test.linesWithRuby.empty()) {
      ReadOptions options;
      options.keepRuby = true;
      const ExtractedText ruby = ReadDocument(test.bytes, test.format, "in", options);
      EXPECT_EQ(ruby.lines, test.linesWithRuby);
      EXPECT_NE(ruby.lines, test.lines) << "the sample has no ruby";
    }
  }
}

TEST(FormatReaders, DetectionLeavesEveryTextFileText) {
  const std::string hocrHead = testdocs::WriteHocr({{u"行"}}).substr(0, 400);
  const struct {
    const char* name;
    std::string bytes;
  } texts[] = {
      {"Japanese text", Utf8(u"吾輩は猫である。\n名前はまだ無い。\n")},
      {"a web page", "<!DOCTYPE html>\n<html><body><p>ocr は文字認識</p></body></html>"},
      {"an unrelated XML file", "<?xml version=\"1.0\"?><book><title>本</title></book>"},
      {"text quoting a PDF header", "This is how a PDF starts: %PDF-1.7\n"},
      {"text naming a Word part", "PK is not at the start; word/document.xml\n"},
      {"empty", ""},
  };
  for (const auto& text : texts) {
    EXPECT_EQ(DetectInputFormat(text.bytes), InputFormat::Text) << text.name;
  }
  EXPECT_EQ(DetectInputFormat("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"), InputFormat::Pdf);
  EXPECT_EQ(DetectInputFormat("\xEF\xBB\xBF<?xml version='1.0'?><!-- x --><alto:alto "
                              "xmlns:alto='http://www.loc.gov/standards/alto/ns-v4#'/>"),
            InputFormat::Alto);
  EXPECT_EQ(
      DetectInputFormat(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + std::string(512, '\0')),
      InputFormat::Docx);
  for (const char* name : {"text", "pdf", "docx", "odt", "hocr", "alto", "page"}) {
    const std::optional<InputFormat> format = ParseInputFormat(name);
    ASSERT_TRUE(format) << name;
    EXPECT_EQ(InputFormatName(*format), name);
  }
  EXPECT_FALSE(ParseInputFormat("auto"));
}

std::string DocxPackage(const std::string& document) {
  return testdocs::WriteZip({{"word/document.xml", document}});
}

std::string BillionLaughs() {
  std::string out = "<?xml version=\"1.0\"?>\n<!DOCTYPE alto [\n <!ENTITY lol0 \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    out += " <!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) out += "&lol" + std::to_string(i - 1) + ";";
    out += "\">\n";
  }
  return out +
         "]>\n<alto><Layout><Page><TextLine><String "
         "CONTENT=\"&lol9;\"/></TextLine></Page></Layout></alto>\n";
}

TEST(FormatReaders, RefuseHostileFilesSayingWhy) {
  // Found to be ALTO past its internal subset, so that the reader refuses it by name.
  EXPECT_EQ(DetectInputFormat(BillionLaughs()), InputFormat::Alto);
  FormatLimits small;
  small.zipEntries = 5;
  small.xmlDepth = 40;
  small.xmlElements = 1000;
  small.pages = 3;
  small.textUnits = 5000;
  const std::string wordOpen =
      "<w:document "
      "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
  std::string deep = wordOpen;
  for (int i = 0; i < 100; ++i) deep += "<w:sdt><w:sdtContent>";
  for (int i = 0; i < 100; ++i) deep += "</w:sdtContent></w:sdt>";
  deep += "</w:body></w:document>";
  std::vector<testdocs::ZipEntry> manyEntries;
  for (int i = 0; i < 6; ++i) manyEntries.push_back({"e" + std::to_string(i), "x"});
  std::string manyPages = "<alto><Layout>";
  for (int i = 0; i < 4; ++i) manyPages += "<Page/>";
  manyPages += "</Layout></alto>";
  const std::string odsMimetype =
      testdocs::WriteZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
                          {"content.xml", "<x/>"}});
  const std::string honestBomb =
      testdocs::WriteZipBomb({}, "word/document.xml", 1ull << 30, 1ull << 30);
  const std::string lyingBomb = testdocs::WriteZipBomb({}, "word/document.xml", 1ull << 30, 4096);
  std::string encrypted = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + std::string(504, '\0');
  const char16_t stream[] = u"EncryptedPackage";
  encrypted.append(reinterpret_cast<const char*>(stream), 32);

  const struct {
    const char* name;
    InputFormat format;
    std::string bytes;
    ErrorKind kind;
    const char* says;  // part of the message
    bool smallLimits = false;
  } cases[] = {
      {"a zip bomb that declares its size", InputFormat::Docx, honestBomb,
       ErrorKind::DocumentLimitExceeded, "word/document.xml (bytes) is 1,073,741,824"},
      {"a zip bomb that lies about its size", InputFormat::Docx, lyingBomb,
       ErrorKind::DocumentDamaged, "word/document.xml"},
      {"too many zip entries", InputFormat::Docx, testdocs::WriteZip(manyEntries),
       ErrorKind::DocumentLimitExceeded, "number of entries in the archive is 6", true},
      {"the billion laughs", InputFormat::Alto, BillionLaughs(), ErrorKind::DocumentUnsupported,
       "internal document type subset"},
      {"an external entity", InputFormat::Hocr,
       "<?xml version=\"1.0\"?><!DOCTYPE html [<!ENTITY x SYSTEM "
       "\"file:///etc/passwd\">]><html>&x;</html>",
       ErrorKind::DocumentUnsupported, "internal document type subset"},
      {"elements nested too deep", InputFormat::Docx, DocxPackage(deep),
       ErrorKind::DocumentLimitExceeded, "nesting of elements in word/document.xml", true},
      {"too much markup", InputFormat::Page, "<PcGts>" + std::string(2000, '<'),
       ErrorKind::DocumentLimitExceeded, "the markup of the file (tags) is 2,001", true},
      {"too many pages", InputFormat::Alto, manyPages, ErrorKind::DocumentLimitExceeded,
       "number of pages is 4, over the limit of 3", true},
      {"too much text", InputFormat::Hocr,
       "<html><span class='ocr_line'>" + std::string(6000, 'a') + "</span></html>",
       ErrorKind::DocumentLimitExceeded, "extracted text", true},
      {"an encrypted Word document", InputFormat::Docx, encrypted, ErrorKind::DocumentEncrypted,
       "protected by a password"},
      {"an old Word document", InputFormat::Docx,
       "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + std::string(600, '\0'), ErrorKind::DocumentUnsupported,
       "old Word document"},
      {"a spreadsheet", InputFormat::Odt, odsMimetype, ErrorKind::DocumentUnsupported,
       "opendocument.spreadsheet"},
      {"a truncated archive", InputFormat::Docx, DocxPackage(wordOpen).substr(0, 40),
       ErrorKind::DocumentDamaged, "not a zip archive"},
      {"broken XML", InputFormat::Page, "<PcGts><Page></PcGts>", ErrorKind::DocumentDamaged,
       "the file:"},
      {"text that is not UTF-8", InputFormat::Alto,
       "<alto><Page><TextLine><String CONTENT=\"\x93\xFA\"/></TextLine></Page></alto>",
       ErrorKind::DocumentDamaged, "UTF-8"},
      {"XML in another encoding", InputFormat::Hocr,
       "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><html/>", ErrorKind::DocumentUnsupported,
       "encoding Shift_JIS"},
      {"a PDF that is no PDF", InputFormat::Pdf, "%PDF-1.7\nnothing else",
       ErrorKind::DocumentDamaged, "not a readable PDF"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    ReadOptions options;
    if (test.smallLimits) options.limits = small;
    const auto start = std::chrono::steady_clock::now();
    try {
      ReadDocument(test.bytes, test.format, "hostile.file", options);
      ADD_FAILURE() << "read without complaint";
    } catch (const DocumentError& error) {
      EXPECT_EQ(error.details().kind, test.kind) << error.what();
      EXPECT_EQ(error.details().path, "hostile.file");
      const std::string message = error.what();
      EXPECT_TRUE(message.starts_with("hostile.file: ")) << message;
      EXPECT_NE(message.find(test.says), std::string::npos) << message;
      if (test.kind == ErrorKind::DocumentLimitExceeded) {
        EXPECT_FALSE(error.details().item.empty());
        EXPECT_GT(error.details().limit, 0u);
      }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
}

}  // namespace
}  // namespace sorowa

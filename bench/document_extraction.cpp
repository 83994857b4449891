// Measures the document readers on documents of a known text (docs/performance.md):
//
//   document_bench write DIR       writes the benchmark documents and their known text:
//                                  proof.pdf (300 pages typeset from prose), manuscript.docx
//                                  and manuscript.odt (1,000 paragraphs), ocr.hocr and
//                                  ocr.alto (500 pages), ocr.page.xml, bomb.docx (1 GB from
//                                  about 1 MB), bomb-lying.docx (the same declaring 4 KB),
//                                  laughs.xml (the billion laughs); FILE.txt is FILE's text
//   document_bench read FORMAT FILE [RUNS]
//                                  reads FILE RUNS times (default 5) and prints the fastest
//                                  and the median time, the lines and pages, and, when
//                                  FILE.txt exists, the lines that differ from it and the
//                                  character error rate; a refused file prints the error
//   document_bench seeds DIR       writes small documents of each format as fuzz seeds into
//                                  DIR/format_FORMAT/
//
// Writing typesets with Qt (offscreen); reading uses the readers alone.

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "bench_text.h"
#include "distance/levenshtein.h"
#include "document_writers.h"
#include "formats/read_document.h"
#include "pdf_writer.h"
#include "score/code_points.h"

namespace {

using namespace sorowa;
namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteTruth(const fs::path& path, const std::vector<std::u16string>& lines) {
  std::string text;
  for (const std::u16string& line : lines) text += ToUtf8(line) + "\n";
  WriteFile(path.string() + ".txt", text);
}

bool IsWide(char16_t c) { return c >= 0x3000; }

// Prose as OCR output can carry it: words are joined without a space next to Japanese, so
// the known text has none there either, and no runs of spaces.
std::u16string OcrForm(const std::u16string& line) {
  std::u16string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == u' ' || line[i] == u'\t' || line[i] == u'\u3000') {
      const bool before = !out.empty() && !IsWide(out.back()) && out.back() != u' ';
      std::size_t j = i;
      while (j < line.size() && (line[j] == u' ' || line[j] == u'\t' || line[j] == u'\u3000')) ++j;
      const bool after = j < line.size() && !IsWide(line[j]);
      if (before && after) out.push_back(u' ');
      i = j - 1;
    } else {
      out.push_back(line[i]);
    }
  }
  return out;
}

// Lines of about width characters cut from the prose, for OCR pages.
std::vector<std::u16string> OcrLines(std::size_t count, std::size_t width) {
  std::vector<std::u16string> lines;
  std::u16string pending;
  for (std::size_t s = 0; lines.size() < count; ++s) {
    const auto& sentences = bench::ProseSentences();
    pending += OcrForm(sentences[s % sentences.size()]);
    while (pending.size() >= width && lines.size() < count) {
      std::size_t cut = width;
      if (pending[cut - 1] >= 0xD800 && pending[cut - 1] < 0xDC00) --cut;
      std::u16string line = OcrForm(pending.substr(0, cut));
      while (!line.empty() && line.back() == u' ') line.pop_back();
      while (!line.empty() && line.front() == u' ') line.erase(0, 1);
      pending.erase(0, cut);
      if (!line.empty()) lines.push_back(std::move(line));
    }
  }
  return lines;
}

std::vector<std::vector<std::u16string>> Paginate(const std::vector<std::u16string>& lines,
                                                  std::size_t perPage) {
  std::vector<std::vector<std::u16string>> pages;
  for (std::size_t i = 0; i < lines.size(); i += perPage) {
    pages.emplace_back(
        lines.begin() + static_cast<std::ptrdiff_t>(i),
        lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), i + perPage)));
  }
  return pages;
}

std::vector<std::u16string> Flatten(const std::vector<std::vector<std::u16string>>& pages) {
  std::vector<std::u16string> lines;
  for (const auto& page : pages) lines.insert(lines.end(), page.begin(), page.end());
  return lines;
}

std::string BillionLaughs() {
  std::string out = "<?xml version=\"1.0\"?>\n<!DOCTYPE alto [\n <!ENTITY lol0 \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    out += " <!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) out += "&lol" + std::to_string(i - 1) + ";";
    out += "\">\n";
  }
  return out +
         "]>\n<alto><Layout><Page><PrintSpace><TextBlock><TextLine><String CONTENT=\"&lol9;\"/>"
         "</TextLine></TextBlock></PrintSpace></Page></Layout></alto>\n";
}

int Write(const fs::path& dir) {
  fs::create_directories(dir);
  const auto& sentences = bench::ProseSentences();

  // 300 pages of 40 lines: typeset once, then again with the paragraphs scaled to fit.
  constexpr std::size_t kPages = 300, kLinesPerPage = 40;
  std::size_t count = 6000;
  std::vector<std::u16string> paragraphs;
  testdocs::TypesetPdf pdf;
  for (int attempt = 0; attempt < 4; ++attempt) {
    paragraphs.assign(sentences.begin(), sentences.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                 count, sentences.size())));
    while (paragraphs.size() < count)
      paragraphs.push_back(sentences[paragraphs.size() % sentences.size()]);
    pdf = testdocs::TypesetPdfDocument(paragraphs, kLinesPerPage);
    if (pdf.pages.size() == kPages) break;
    count = count * kPages / pdf.pages.size() + (pdf.pages.size() > kPages ? 0 : 1);
  }
  std::printf("proof.pdf: %zu pages, %zu bytes\n", pdf.pages.size(), pdf.bytes.size());
  WriteFile(dir / "proof.pdf", pdf.bytes);
  WriteTruth(dir / "proof.pdf", Flatten(pdf.pages));

  std::vector<std::u16string> manuscript;
  for (std::size_t i = 0; i < 1000; ++i) manuscript.push_back(bench::ProseLine(i * 3, 120));
  const testdocs::WrittenDocument docx = testdocs::WriteDocx(manuscript, true);
  WriteFile(dir / "manuscript.docx", docx.bytes);
  WriteTruth(dir / "manuscript.docx", docx.lines);
  const testdocs::WrittenDocument odt = testdocs::WriteOdt(manuscript, true);
  WriteFile(dir / "manuscript.odt", odt.bytes);
  WriteTruth(dir / "manuscript.odt", odt.lines);

  const auto ocrPages = Paginate(OcrLines(500 * 40, 38), 40);
  const std::string hocr = testdocs::WriteHocr(ocrPages);
  std::printf("ocr.hocr: %zu pages, %zu bytes\n", ocrPages.size(), hocr.size());
  WriteFile(dir / "ocr.hocr", hocr);
  WriteTruth(dir / "ocr.hocr", Flatten(ocrPages));
  WriteFile(dir / "ocr.alto", testdocs::WriteAlto(ocrPages));
  WriteTruth(dir / "ocr.alto", Flatten(ocrPages));
  const std::vector<std::u16string> pageLines(ocrPages[0].begin(), ocrPages[0].end());
  WriteFile(dir / "ocr.page.xml", testdocs::WritePageXml(pageLines));
  WriteTruth(dir / "ocr.page.xml", pageLines);

  const std::vector<testdocs::ZipEntry> package = {
      {"[Content_Types].xml",
       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"}};
  const std::string bomb =
      testdocs::WriteZipBomb(package, "word/document.xml", 1ull << 30, 1ull << 30);
  std::printf("bomb.docx: %zu bytes, unpacks to %llu\n", bomb.size(), 1ull << 30);
  WriteFile(dir / "bomb.docx", bomb);
  WriteFile(dir / "bomb-lying.docx",
            testdocs::WriteZipBomb(package, "word/document.xml", 1ull << 30, 4096));
  WriteFile(dir / "laughs.xml", BillionLaughs());
  return 0;
}

int Read(const std::string& formatName, const fs::path& file, int runs) {
  const std::optional<InputFormat> format = ParseInputFormat(formatName);
  if (!format || *format == InputFormat::Text)
    throw std::runtime_error("no reader for " + formatName);
  const std::string bytes = ReadFile(file);
  std::vector<double> seconds;
  ExtractedText text;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    try {
      text = ReadDocument(bytes, *format, file.string());
    } catch (const DocumentError& error) {
      const double took =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("refused in %.4f s: %s\n", took, error.what());
      return 0;
    }
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("%s: %zu lines, %u pages; fastest %.4f s, median %.4f s of %d runs\n",
              file.filename().c_str(), text.lines.size(), text.pageCount, seconds.front(),
              seconds[seconds.size() / 2], runs);
  const fs::path truthPath = file.string() + ".txt";
  if (!fs::exists(truthPath)) return 0;
  std::vector<std::u16string> truth;
  const std::u16string truthText = DecodeUtf8(ReadFile(truthPath));
  for (std::size_t start = 0; start < truthText.size();) {
    const std::size_t end = truthText.find(u'\n', start);
    truth.push_back(truthText.substr(start, end - start));
    start = end + 1;
  }
  std::size_t differing = 0;
  for (std::size_t i = 0; i < std::min(truth.size(), text.lines.size()); ++i) {
    differing += truth[i] != text.lines[i];
  }
  std::vector<std::uint32_t> want, got;
  ToCodePoints(truthText, want);
  std::u16string joined;
  for (const std::u16string& line : text.lines) joined += line + u"\n";
  ToCodePoints(joined, got);
  LevenshteinAligner aligner;
  const std::size_t distance = aligner.Distance(want, got);
  std::printf(
      "known text: %zu lines (%s), %zu lines differ; CER %.4f %% (%zu edits in %zu "
      "characters, line ends included)\n",
      truth.size(), truth.size() == text.lines.size() ? "same count" : "count differs", differing,
      100.0 * static_cast<double>(distance) / static_cast<double>(want.size()), distance,
      want.size());
  return 0;
}

int Seeds(const fs::path& dir) {
  const std::vector<std::u16string> lines = testdocs::SampleLines(10, 5, false);
  const std::vector<std::u16string> ocr = testdocs::SampleLines(8, 6, true);
  const auto pages = Paginate(ocr, 3);
  auto seed = [&dir](const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir / target);
    WriteFile(dir / target / name, bytes);
  };
  seed("format_pdf", "seed-typeset", testdocs::TypesetPdfDocument(ocr, 3).bytes);
  seed("format_pdf", "seed-image-only", testdocs::ImageOnlyPdf());
  const testdocs::WrittenDocument docx = testdocs::WriteDocx(lines, true);
  seed("format_docx", "seed-archive", std::string(1, '\0') + docx.bytes);
  const testdocs::WrittenDocument odt = testdocs::WriteOdt(lines, true);
  seed("format_odt", "seed-archive", std::string(1, '\0') + odt.bytes);
  // Main parts alone, which the fuzz targets pack themselves (document_fuzz.h).
  seed("format_docx", "seed-part",
       "\x01<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
       "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"><w:body><w:p><w:r>"
       "<w:t>本文</w:t><w:tab/><w:br/></w:r><w:ins><w:r><w:t>挿入</w:t></w:r></w:ins><w:del><w:r>"
       "<w:delText>削除</w:delText></w:r></w:del><w:r><w:ruby><w:rt><w:r><w:t>かん</w:t></w:r></"
       "w:rt>"
       "<w:rubyBase><w:r><w:t>漢</w:t></w:r></w:rubyBase></w:ruby></w:r></w:p><w:p><w:pPr><w:rPr>"
       "<w:del/></w:rPr></w:pPr><w:r><w:t>前半</w:t></w:r></w:p><w:tbl><w:tr><w:tc><w:p><w:r><w:t>"
       "表</w:t></w:r></w:p></w:tc></w:tr></w:tbl></w:body></w:document>");
  seed("format_odt", "seed-part",
       "\x01<office:document-content "
       "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
       " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text>"
       "<text:h>見出し</text:h><text:p>本文 <text:s "
       "text:c=\"3\"/>と<text:tab/><text:span>字</text:span>"
       "<text:line-break/><text:ruby><text:ruby-base>漢</text:ruby-base><text:ruby-text>かん"
       "</text:ruby-text></text:ruby><text:note text:note-class=\"footnote\"><text:note-citation>1"
       "</text:note-citation><text:note-body><text:p>注</text:p></text:note-body></text:note></"
       "text:p>"
       "</office:text></office:body></office:document-content>");
  seed("format_hocr", "seed-pages", testdocs::WriteHocr(pages));
  seed("format_alto", "seed-pages", testdocs::WriteAlto(pages));
  seed("format_alto", "seed-laughs", BillionLaughs());
  seed("format_page", "seed-reading-order", testdocs::WritePageXml(ocr));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "read" && (argc == 4 || argc == 5)) {
      return Read(argv[2], argv[3], argc == 5 ? std::max(1, std::atoi(argv[4])) : 5);
    }
    if ((command == "write" || command == "seeds") && argc == 3) {
      if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
      QGuiApplication application(argc, argv);
      return command == "write" ? Write(argv[2]) : Seeds(argv[2]);
    }
    std::fprintf(stderr, "usage: document_bench write DIR | read FORMAT FILE [RUNS] | seeds DIR\n");
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "document_bench: %s\n", error.what());
    return 1;
  }
}

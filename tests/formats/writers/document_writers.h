#pragma once

// Writers of the documents the format readers are tested and measured on: Word, OpenDocument,
// hOCR, ALTO and PAGE-XML files of a known text, each dressed in the markup that real files
// carry (runs, styles, tables, tracked changes, ruby, notes, text boxes, reading orders), and
// zip bombs. Every writer is deterministic, so a failing case can be written again.

#include <cstdint>
#include <string>
#include <vector>

namespace sorowa::testdocs {

struct ZipEntry {
  std::string name;
  std::string data;
  bool compress = true;
};

// A zip archive of the entries, in order, deflated unless compress is false.
std::string WriteZip(const std::vector<ZipEntry>& entries);

// A zip archive holding the entries and, last, an entry named bombName that inflates to
// unpacked zero bytes from about unpacked / 1000 bytes. The directory declares declared
// bytes: equal to unpacked for an honest bomb, less for one that lies.
std::string WriteZipBomb(const std::vector<ZipEntry>& entries, const std::string& bombName,
                         std::uint64_t unpacked, std::uint64_t declared);

// count lines of Japanese text with Latin words, deterministic for a seed. Spaces stand only
// between two Latin words, one at a time, as OCR words are joined. Without ocrSafe some lines
// also hold what only an editor keeps: runs of spaces, a leading space, a tab.
std::vector<std::u16string> SampleLines(std::size_t count, std::uint64_t seed, bool ocrSafe);

// A document and the lines a reader must give back.
struct WrittenDocument {
  std::string bytes;
  std::vector<std::u16string> lines;          // ruby left out
  std::vector<std::u16string> linesWithRuby;  // ruby kept as 漢（かん）
};

// The lines as paragraphs of a Word document. With dressed, lines are spread over headings,
// table cells, tracked insertions and deletions, paragraphs whose mark was deleted, ruby,
// footnotes and text boxes; the reading order stays that of lines.
WrittenDocument WriteDocx(const std::vector<std::u16string>& lines, bool dressed);

// The same for an OpenDocument text.
WrittenDocument WriteOdt(const std::vector<std::u16string>& lines, bool dressed);

// OCR results: pages of lines split into words (kana and kanji in pieces of one to three
// characters, Latin text at its spaces).
std::string WriteHocr(const std::vector<std::vector<std::u16string>>& pages);
std::string WriteAlto(const std::vector<std::vector<std::u16string>>& pages);
// One page whose regions are written in a shuffled order and put back in order by the
// ReadingOrder; some lines give their text through words only, some have a worse
// alternative beside the best one.
std::string WritePageXml(const std::vector<std::u16string>& lines);

// The words an OCR engine would give for a line.
std::vector<std::u16string> SplitWords(const std::u16string& line);

std::string Utf8(const std::u16string& text);
std::u16string Utf16(const std::string& text);

}  // namespace sorowa::testdocs

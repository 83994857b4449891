#include "document_writers.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "base/utf8.h"

namespace sorowa::testdocs {

namespace {

void Put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// Raw deflate, as zip entries hold it. flush Z_FULL_FLUSH leaves the stream open and byte
// aligned, so that pieces can be repeated.
std::string Deflate(const char* data, std::size_t size, int flush) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, size) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream.avail_in = static_cast<uInt>(size);
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, flush);
  if (status != Z_STREAM_END && status != Z_OK) throw std::runtime_error("deflate failed");
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

struct Stored {
  std::string name;
  std::string data;  // as stored
  std::uint16_t method;
  std::uint32_t crc;
  std::uint64_t size;
};

std::string Archive(const std::vector<Stored>& entries) {
  std::string out, directory;
  for (const Stored& entry : entries) {
    const auto offset = static_cast<std::uint32_t>(out.size());
    for (std::string* target : {&out, &directory}) {
      const bool central = target == &directory;
      Put32(*target, central ? 0x02014b50 : 0x04034b50);
      if (central) Put16(*target, 20);
      Put16(*target, 20);
      Put16(*target, 0x0800);  // names in UTF-8
      Put16(*target, entry.method);
      Put16(*target, 0);
      Put16(*target, 0x5821);  // 2024-01-01
      Put32(*target, entry.crc);
      Put32(*target, static_cast<std::uint32_t>(entry.data.size()));
      Put32(*target, static_cast<std::uint32_t>(entry.size));
      Put16(*target, static_cast<std::uint32_t>(entry.name.size()));
      Put16(*target, 0);
      if (central) {
        Put16(*target, 0);
        Put16(*target, 0);
        Put16(*target, 0);
        Put32(*target, 0);
        Put32(*target, offset);
      }
      *target += entry.name;
    }
    out += entry.data;
  }
  const auto directoryOffset = static_cast<std::uint32_t>(out.size());
  out += directory;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put32(out, static_cast<std::uint32_t>(directory.size()));
  Put32(out, directoryOffset);
  Put16(out, 0);
  return out;
}

Stored Store(const ZipEntry& entry) {
  const auto crc = static_cast<std::uint32_t>(crc32(
      0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
  if (!entry.compress) return {entry.name, entry.data, 0, crc, entry.data.size()};
  return {entry.name, Deflate(entry.data.data(), entry.data.size(), Z_FINISH), 8, crc,
          entry.data.size()};
}

std::string Escape(const std::u16string& text) {
  std::string out;
  for (char c : Utf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

bool IsKanji(char16_t c) { return c >= 0x4E00 && c <= 0x9FFF; }
// The sample text's own split: its Japanese is all at U+3000 and above, its Latin ASCII.
bool IsWide(char16_t c) { return c >= 0x3000; }

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

const char16_t* const kPhrases[] = {
    u"今日は良い天気です",
    u"東京都の人口は増えている",
    u"原稿と校正刷りを比べる",
    u"ふりがなを付けた漢字",
    u"図書館で本を借りた",
    u"新しい版では改められた",
    u"第三章の見出し",
    u"句読点、括弧「」と記号・",
    u"ｶﾀｶﾅの半角",
    u"全角のＡＢＣと１２３",
    u"漢字仮名交じり文",
    u"令和五年十二月一日",
    u"表の中の文字",
    u"脚注を参照のこと",
    u"行ごとに比較します",
    u"読み順を保つ",
    u"頁番号は別の行になる",
    u"ぱぴぷぺぽ",
    u"𠮷野家の牛丼",
    u"〜から〜まで",
    u"ヴァイオリンを弾く",
    u"一、二、三。",
};
const char* const kLatin[] = {"Sorowa", "PDF",   "OCR",  "version", "2.5",     "text", "apt-get",
                              "A&B",    "x<y>z", "page", "line",    "Unicode", "hOCR", "ALTO"};

}  // namespace

std::string Utf8(const std::u16string& text) { return ToUtf8(text); }
std::u16string Utf16(const std::string& text) { return DecodeUtf8(text); }

std::string WriteZip(const std::vector<ZipEntry>& entries) {
  std::vector<Stored> stored;
  for (const ZipEntry& entry : entries) stored.push_back(Store(entry));
  return Archive(stored);
}

std::string WriteZipBomb(const std::vector<ZipEntry>& entries, const std::string& bombName,
                         std::uint64_t unpacked, std::uint64_t declared) {
  std::vector<Stored> stored;
  for (const ZipEntry& entry : entries) stored.push_back(Store(entry));
  // A megabyte of zeros deflated once with a full flush is a byte-aligned piece that any
  // number of copies of continues; an empty final block closes the stream.
  constexpr std::size_t kChunk = 1 << 20;
  const std::string zeros(kChunk, '\0');
  const std::string piece = Deflate(zeros.data(), kChunk, Z_FULL_FLUSH);
  const auto pieceCrc = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), kChunk);
  std::string data;
  uLong crc = 0;
  std::uint64_t left = unpacked;
  for (; left >= kChunk; left -= kChunk) {
    data += piece;
    crc = crc32_combine(crc, pieceCrc, kChunk);
  }
  if (left > 0) {
    data += Deflate(zeros.data(), left, Z_FULL_FLUSH);
    crc = crc32_combine(
        crc, crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(left)),
        static_cast<z_off_t>(left));
  }
  data += std::string("\x03\x00", 2);
  stored.push_back({bombName, std::move(data), 8, static_cast<std::uint32_t>(crc), declared});
  return Archive(stored);
}

std::vector<std::u16string> SampleLines(std::size_t count, std::uint64_t seed, bool ocrSafe) {
  std::vector<std::u16string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint64_t state = Mix(seed * 1'000'003 + i);
    auto next = [&state](std::size_t n) {
      state = Mix(state);
      return static_cast<std::size_t>(state % n);
    };
    std::u16string line;
    const std::size_t segments = 1 + next(4);
    bool latin = next(3) == 0;
    for (std::size_t s = 0; s < segments; ++s, latin = !latin) {
      if (latin) {
        const std::size_t words = 1 + next(3);
        for (std::size_t w = 0; w < words; ++w) {
          if (w > 0) line += !ocrSafe && i % 7 == 3 ? u"  " : u" ";
          line += Utf16(kLatin[next(std::size(kLatin))]);
        }
      } else {
        line += kPhrases[next(std::size(kPhrases))];
      }
    }
    if (!latin && next(2) == 0) line += u"。";
    if (ocrSafe && latin && next(4) == 0) line += u"-";  // a word hyphenated at the line end
    if (!ocrSafe && i % 11 == 5) line = u" " + line;
    if (!ocrSafe && i % 13 == 6) line += u"\t終わり";
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::u16string> SplitWords(const std::u16string& line) {
  std::vector<std::u16string> words;
  std::u16string word;
  std::size_t wideRun = 0;
  auto finish = [&] {
    if (!word.empty()) words.push_back(std::move(word));
    word.clear();
    wideRun = 0;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c == u' ') {
      finish();
      continue;
    }
    const bool low = c >= 0xDC00 && c < 0xE000;  // the second half of a pair stays with it
    if (!word.empty() && !low && IsWide(c) != IsWide(word.back())) finish();
    if (!low && IsWide(c) && wideRun >= 1 + (i * 7 + 3) % 3) finish();
    word.push_back(c);
    if (IsWide(c) && !low) ++wideRun;
  }
  finish();
  return words;
}

// ---- Word ----------------------------------------------------------------------------

namespace {

constexpr const char* kWordNamespaces =
    " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
    " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\""
    " xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\""
    " xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\""
    " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
    " xmlns:v=\"urn:schemas-microsoft-com:vml\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
constexpr const char* kTracked = " w:author=\"校正者\" w:date=\"2024-01-01T00:00:00Z\"";

// Runs of a text, tabs as w:tab, spaces kept.
std::string WordRuns(const std::u16string& text, const char* properties = "") {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t tab = std::min(text.find(u'\t', start), text.size());
    out += std::string("<w:r>") + properties;
    if (tab > start) {
      out += "<w:t xml:space=\"preserve\">" + Escape(text.substr(start, tab - start)) + "</w:t>";
    }
    if (tab < text.size()) out += "<w:tab/>";
    out += "</w:r>";
    start = tab + 1;
  }
  return out;
}

// Inserts into a chunk of paragraphs, before the end of its last paragraph.
void AppendToLastParagraph(std::string& chunk, const std::string& runs, const char* close) {
  const std::size_t at = chunk.rfind(close);
  chunk.insert(at, runs);
}

}  // namespace

WrittenDocument WriteDocx(const std::vector<std::u16string>& lines, bool dressed) {
  WrittenDocument result;
  std::vector<std::string> chunks;
  std::string footnotes;
  int nextId = 1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::u16string& line = lines[i];
    std::u16string withRuby = line;
    const std::size_t dressing = dressed ? i % 8 : 0;
    const std::size_t half =
        line.size() / 2 -
        (line.size() / 2 > 0 && line[line.size() / 2] >= 0xDC00 && line[line.size() / 2] < 0xE000
             ? 1
             : 0);
    const std::u16string first = line.substr(0, half), second = line.substr(half);
    std::string chunk;
    if (dressing == 0 && dressed && i % 16 == 0) {
      // The vocabulary in the default namespace, as a file may have it.
      chunk =
          "<p xmlns=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><r><t "
          "xml:space=\"preserve\">" +
          Escape(line) + "</t></r></p>";
      if (line.find(u'\t') != std::u16string::npos) chunk = "<w:p>" + WordRuns(line) + "</w:p>";
    } else if (dressing == 1) {
      chunk =
          "<w:p><w:pPr><w:pStyle w:val=\"Heading1\"/></w:pPr><w:proofErr w:type=\"spellStart\"/>"
          "<w:bookmarkStart w:id=\"0\" w:name=\"_Toc1\"/>" +
          WordRuns(first, "<w:rPr><w:b/></w:rPr>") + "<w:proofErr w:type=\"spellEnd\"/>" +
          WordRuns(second) + "<w:bookmarkEnd w:id=\"0\"/></w:p>";
    } else if (dressing == 2) {
      chunk =
          "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid><w:gridCol/>"
          "</w:tblGrid><w:tr><w:trPr><w:del w:id=\"" +
          std::to_string(nextId++) + "\"" + kTracked +
          "/></w:trPr><w:tc><w:p><w:r><w:t>削除された行</w:t></w:r></w:p></w:tc></w:tr><w:tr><w:tc>"
          "<w:tcPr><w:tcW w:w=\"0\"/></w:tcPr><w:p>" +
          WordRuns(line) + "</w:p></w:tc></w:tr></w:tbl>";
    } else if (dressing == 3) {
      const std::string ids[] = {std::to_string(nextId), std::to_string(nextId + 1),
                                 std::to_string(nextId + 2)};
      nextId += 3;
      chunk = "<w:p>" + WordRuns(first) + "<w:del w:id=\"" + ids[0] + "\"" + kTracked +
              "><w:r><w:delText>消した語</w:delText></w:r></w:del><w:moveFrom w:id=\"" + ids[1] +
              "\"" + kTracked + "><w:r><w:t>移した語</w:t></w:r></w:moveFrom><w:ins w:id=\"" +
              ids[2] + "\"" + kTracked + ">" + WordRuns(second) + "</w:ins></w:p>";
    } else if (dressing == 4) {
      chunk = "<w:p><w:pPr><w:rPr><w:del w:id=\"" + std::to_string(nextId++) + "\"" + kTracked +
              "/></w:rPr></w:pPr>" + WordRuns(first) + "</w:p><w:p>" + WordRuns(second) + "</w:p>";
    } else if (dressing == 5 && std::any_of(line.begin(), line.end(), IsKanji)) {
      const std::size_t at =
          static_cast<std::size_t>(std::find_if(line.begin(), line.end(), IsKanji) - line.begin());
      chunk = "<w:p>" + WordRuns(line.substr(0, at)) +
              "<w:r><w:ruby><w:rubyPr><w:rubyAlign w:val=\"distributeSpace\"/><w:hps w:val=\"10\"/>"
              "</w:rubyPr><w:rt><w:r><w:t>るび</w:t></w:r></w:rt><w:rubyBase><w:r><w:t>" +
              Escape(line.substr(at, 1)) + "</w:t></w:r></w:rubyBase></w:ruby></w:r>" +
              WordRuns(line.substr(at + 1)) + "</w:p>";
      withRuby.insert(at + 1, u"（るび）");
    } else if (dressing == 6 && !chunks.empty()) {
      const int id = nextId++;
      footnotes += "<w:footnote w:id=\"" + std::to_string(id) +
                   "\"><w:p><w:pPr><w:pStyle w:val=\"FootnoteText\"/></w:pPr><w:r><w:rPr><w:rStyle "
                   "w:val=\"FootnoteReference\"/></w:rPr><w:footnoteRef/></w:r>" +
                   WordRuns(line) + "</w:p></w:footnote>";
      AppendToLastParagraph(chunks.back(),
                            "<w:r><w:rPr><w:rStyle w:val=\"FootnoteReference\"/></w:rPr>"
                            "<w:footnoteReference w:id=\"" +
                                std::to_string(id) + "\"/></w:r>",
                            "</w:p>");
    } else if (dressing == 7 && !chunks.empty()) {
      const std::string paragraph = "<w:p>" + WordRuns(line) + "</w:p>";
      AppendToLastParagraph(
          chunks.back(),
          "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wp:anchor><a:graphic>"
          "<a:graphicData><wps:wsp><wps:txbx><w:txbxContent>" +
              paragraph +
              "</w:txbxContent></wps:txbx></wps:wsp></a:graphicData></a:graphic></wp:anchor>"
              "</w:drawing></mc:Choice><mc:Fallback><w:pict><v:rect><v:textbox><w:txbxContent>" +
              paragraph +
              "</w:txbxContent></v:textbox></v:rect></w:pict></mc:Fallback>"
              "</mc:AlternateContent></w:r>",
          "</w:p>");
    } else {
      chunk = "<w:p>" + WordRuns(line) + "</w:p>";
    }
    if (!chunk.empty()) chunks.push_back(std::move(chunk));
    result.lines.push_back(line);
    result.linesWithRuby.push_back(withRuby);
  }
  std::string document = std::string(
                             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                             "<w:document") +
                         kWordNamespaces + " mc:Ignorable=\"w14\"><w:body>";
  for (const std::string& chunk : chunks) document += chunk;
  document += "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body></w:document>";

  std::vector<ZipEntry> entries = {
      {"[Content_Types].xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas.openxmlformats.org/"
       "package/2006/content-types\"><Default Extension=\"rels\" ContentType=\"application/"
       "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" ContentType=\""
       "application/xml\"/><Override PartName=\"/word/document.xml\" ContentType=\"application/"
       "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"},
      {"_rels/.rels",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas."
       "openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"http://"
       "schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\""
       "word/document.xml\"/></Relationships>"},
      {"word/document.xml", document},
      {"word/_rels/document.xml.rels",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas."
       "openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId2\" Type=\"http://"
       "schemas.openxmlformats.org/officeDocument/2006/relationships/footnotes\" Target=\""
       "footnotes.xml\"/></Relationships>"},
      {"word/footnotes.xml",
       std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:footnotes") + kWordNamespaces +
           "><w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p>"
           "</w:footnote><w:footnote w:type=\"continuationSeparator\" w:id=\"0\"><w:p><w:r>"
           "<w:continuationSeparator/></w:r></w:p></w:footnote>" +
           footnotes + "</w:footnotes>"},
  };
  result.bytes = WriteZip(entries);
  return result;
}

// ---- OpenDocument --------------------------------------------------------------------

namespace {

// Text as content.xml holds it: single spaces between words as they are, every space the
// collapsing of white space would lose as text:s, tabs as text:tab.
std::string OdfText(const std::u16string& text, bool& afterSpace) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u' ') {
      std::size_t n = 0;
      while (i + n < text.size() && text[i + n] == u' ') ++n;
      std::size_t literal = afterSpace ? 0 : 1;
      if (literal) out += ' ';
      if (n > literal) out += "<text:s text:c=\"" + std::to_string(n - literal) + "\"/>";
      afterSpace = n == literal;
      i += n;
    } else if (text[i] == u'\t') {
      out += "<text:tab/>";
      afterSpace = false;
      ++i;
    } else {
      std::size_t end = i;
      while (end < text.size() && text[end] != u' ' && text[end] != u'\t') ++end;
      out += Escape(text.substr(i, end - i));
      afterSpace = false;
      i = end;
    }
  }
  return out;
}

std::string OdfParagraph(const std::u16string& text, const char* element = "text:p") {
  bool afterSpace = true;
  return std::string("<") + element + " text:style-name=\"P1\">" + OdfText(text, afterSpace) +
         "</" + element + ">";
}

void AppendToLastOdfParagraph(std::string& chunk, const std::string& content) {
  const std::size_t p = chunk.rfind("</text:p>");
  const std::size_t h = chunk.rfind("</text:h>");
  const std::size_t at = p == std::string::npos ? h : h == std::string::npos ? p : std::max(p, h);
  chunk.insert(at, content);
}

}  // namespace

WrittenDocument WriteOdt(const std::vector<std::u16string>& lines, bool dressed) {
  WrittenDocument result;
  std::vector<std::string> chunks;
  std::string changes;
  int nextId = 1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::u16string& line = lines[i];
    std::u16string withRuby = line;
    const std::size_t dressing = dressed ? i % 8 : 0;
    std::size_t half = line.size() / 2;
    if (half > 0 && line[half] >= 0xDC00 && line[half] < 0xE000) --half;
    const std::u16string first = line.substr(0, half), second = line.substr(half);
    std::string chunk;
    // Both halves in order: the second's spaces depend on how the first ended.
    bool afterSpace = true;
    const std::string firstText = OdfText(first, afterSpace);
    const std::string secondText = OdfText(second, afterSpace);
    if (dressing == 1) {
      chunk =
          "<text:h text:style-name=\"H1\" text:outline-level=\"1\"><text:bookmark-start "
          "text:name=\"_1\"/><text:span text:style-name=\"T1\">" +
          firstText + "</text:span><text:soft-page-break/>" + secondText +
          "<text:bookmark-end text:name=\"_1\"/></text:h>";
    } else if (dressing == 2) {
      chunk =
          "<table:table table:name=\"T1\"><table:table-column/><table:table-row>"
          "<table:table-cell office:value-type=\"string\">" +
          OdfParagraph(line) +
          "</table:table-cell><table:covered-table-cell/></table:table-row></table:table>";
    } else if (dressing == 3) {
      const std::string deleted = "ct" + std::to_string(nextId++);
      const std::string inserted = "ct" + std::to_string(nextId++);
      changes += "<text:changed-region xml:id=\"" + deleted + "\" text:id=\"" + deleted +
                 "\"><text:deletion><office:change-info><dc:creator>校正者</dc:creator><dc:date>"
                 "2024-01-01T00:00:00</dc:date></office:change-info><text:p>消した文</text:p>"
                 "</text:deletion></text:changed-region><text:changed-region text:id=\"" +
                 inserted +
                 "\"><text:insertion><office:change-info><dc:creator>校正者</dc:creator>"
                 "</office:change-info></text:insertion></text:changed-region>";
      chunk = "<text:p text:style-name=\"P1\">" + firstText + "<text:change text:change-id=\"" +
              deleted + "\"/><text:change-start text:change-id=\"" + inserted + "\"/>" +
              secondText + "<text:change-end text:change-id=\"" + inserted + "\"/></text:p>";
    } else if (dressing == 4) {
      chunk = "<text:list text:style-name=\"L1\"><text:list-item>" + OdfParagraph(line) +
              "</text:list-item></text:list>";
    } else if (dressing == 5 && std::any_of(line.begin(), line.end(), IsKanji)) {
      const std::size_t at =
          static_cast<std::size_t>(std::find_if(line.begin(), line.end(), IsKanji) - line.begin());
      afterSpace = true;
      chunk = "<text:p text:style-name=\"P1\">" + OdfText(line.substr(0, at), afterSpace) +
              "<text:ruby text:style-name=\"Ru1\"><text:ruby-base>" + Escape(line.substr(at, 1)) +
              "</text:ruby-base><text:ruby-text>るび</text:ruby-text></text:ruby>";
      afterSpace = false;
      chunk += OdfText(line.substr(at + 1), afterSpace) + "</text:p>";
      withRuby.insert(at + 1, u"（るび）");
    } else if (dressing == 6 && !chunks.empty()) {
      const int id = nextId++;
      AppendToLastOdfParagraph(chunks.back(),
                               "<text:note text:id=\"ftn" + std::to_string(id) +
                                   "\" text:note-class=\"footnote\"><text:note-citation>" +
                                   std::to_string(id) + "</text:note-citation><text:note-body>" +
                                   OdfParagraph(line) + "</text:note-body></text:note>");
    } else if (dressing == 7 && !chunks.empty()) {
      AppendToLastOdfParagraph(chunks.back(),
                               "<draw:frame draw:name=\"F" + std::to_string(nextId++) +
                                   "\" text:anchor-type=\"paragraph\" svg:width=\"5cm\"><svg:title>"
                                   "枠の題</svg:title><draw:text-box>" +
                                   OdfParagraph(line) + "</draw:text-box></draw:frame>");
    } else {
      chunk = OdfParagraph(line);
    }
    if (!chunk.empty()) chunks.push_back(std::move(chunk));
    result.lines.push_back(line);
    result.linesWithRuby.push_back(withRuby);
  }
  std::string content =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
      "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" office:version=\"1.3\"><office:body>"
      "<office:text><text:sequence-decls><text:sequence-decl text:display-outline-level=\"0\" "
      "text:name=\"Table\"/></text:sequence-decls>";
  if (!changes.empty()) content += "<text:tracked-changes>" + changes + "</text:tracked-changes>";
  for (const std::string& chunk : chunks) content += chunk;
  content += "</office:text></office:body></office:document-content>";
  result.bytes = WriteZip({
      {"mimetype", "application/vnd.oasis.opendocument.text", false},
      {"content.xml", content},
      {"META-INF/manifest.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest xmlns:manifest=\"urn:oasis:"
       "names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.3\"><manifest:file-entry "
       "manifest:full-path=\"/\" manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>"
       "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
       "</manifest:manifest>"},
  });
  return result;
}

// ---- OCR -----------------------------------------------------------------------------

std::string WriteHocr(const std::vector<std::vector<std::u16string>>& pages) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 "
      "Transitional//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
      "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"ja\" lang=\"ja\">\n <head>\n  "
      "<title></title>\n  <meta http-equiv=\"Content-Type\" content=\"text/html;charset=utf-8\"/>\n"
      "  <meta name='ocr-capabilities' content='ocr_page ocr_carea ocr_par ocr_line ocrx_word'/>\n"
      " </head>\n <body>\n";
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const std::string page = std::to_string(p + 1);
    out += "  <div class='ocr_page' id='page_" + page + "' title='image \"p" + page +
           ".png\"; bbox 0 0 2480 3508; ppageno " + std::to_string(p) +
           "'>\n   <div "
           "class='ocr_carea' id='block_" +
           page +
           "_1' title=\"bbox 100 100 2380 3400\">\n    <p "
           "class='ocr_par' id='par_" +
           page + "_1' lang='jpn' title=\"bbox 100 100 2380 3400\">\n";
    for (std::size_t l = 0; l < pages[p].size(); ++l) {
      const std::string y = std::to_string(100 + 80 * l);
      const char* kind = l == 0 ? "ocr_header" : "ocr_line";
      out += "     <span class='" + std::string(kind) + "' id='line_" + page + "_" +
             std::to_string(l + 1) + "' title=\"bbox 100 " + y + " 2380 " + y +
             "; baseline 0 -8; x_size 60; x_descenders 8; x_ascenders 12\">\n";
      std::size_t x = 100;
      for (const std::u16string& word : SplitWords(pages[p][l])) {
        out += "      <span class='ocrx_word' id='word_" + page + "_" + std::to_string(x) +
               "' title='bbox " + std::to_string(x) + " " + y + " " + std::to_string(x + 60) + " " +
               y + "; x_wconf 96'>" + Escape(word) + "</span>\n";
        x += 62;
      }
      out += "     </span>\n";
    }
    out += "    </p>\n   </div>\n  </div>\n";
  }
  out += " </body>\n</html>\n";
  return out;
}

std::string WriteAlto(const std::vector<std::vector<std::u16string>>& pages) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<alto xmlns=\"http://www.loc.gov/standards/"
      "alto/ns-v3#\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n <Description>\n  "
      "<MeasurementUnit>pixel</MeasurementUnit>\n </Description>\n <Layout>\n";
  for (std::size_t p = 0; p < pages.size(); ++p) {
    out += "  <Page WIDTH=\"2480\" HEIGHT=\"3508\" PHYSICAL_IMG_NR=\"" + std::to_string(p + 1) +
           "\" ID=\"page_" + std::to_string(p) +
           "\">\n   <PrintSpace HPOS=\"0\" VPOS=\"0\" "
           "WIDTH=\"2480\" HEIGHT=\"3508\">\n    <TextBlock ID=\"block_" +
           std::to_string(p) + "\">\n";
    for (std::size_t l = 0; l < pages[p].size(); ++l) {
      out += "     <TextLine ID=\"line_" + std::to_string(p) + "_" + std::to_string(l) +
             "\" HPOS=\"100\" VPOS=\"" + std::to_string(100 + 80 * l) +
             "\" WIDTH=\"2280\" "
             "HEIGHT=\"60\">\n";
      std::vector<std::u16string> words = SplitWords(pages[p][l]);
      std::u16string hyphen;
      if (!words.empty() && words.back().size() > 1 && words.back().back() == u'-' &&
          !IsWide(words.back()[words.back().size() - 2])) {
        words.back().pop_back();
        hyphen = u"-";
      }
      for (std::size_t w = 0; w < words.size(); ++w) {
        if (w > 0) out += "      <SP WIDTH=\"10\" VPOS=\"0\" HPOS=\"0\"/>\n";
        out += "      <String ID=\"s" + std::to_string(w) + "\" HPOS=\"" +
               std::to_string(100 + 70 * w) +
               "\" VPOS=\"0\" WIDTH=\"60\" HEIGHT=\"60\" WC=\"0.96\" CONTENT=\"" +
               Escape(words[w]) + "\"/>\n";
      }
      if (!hyphen.empty()) out += "      <HYP CONTENT=\"-\"/>\n";
      out += "     </TextLine>\n";
    }
    out += "    </TextBlock>\n   </PrintSpace>\n  </Page>\n";
  }
  out += " </Layout>\n</alto>\n";
  return out;
}

std::string WritePageXml(const std::vector<std::u16string>& lines) {
  // Regions of one to four lines, in reading order r0, r1, …
  std::vector<std::vector<std::size_t>> regions;
  for (std::size_t i = 0; i < lines.size();) {
    const std::size_t size = std::min<std::size_t>(1 + Mix(i) % 4, lines.size() - i);
    regions.emplace_back();
    for (std::size_t k = 0; k < size; ++k) regions.back().push_back(i + k);
    i += size;
  }
  // Written in another order: the reading order has to put them back.
  std::vector<std::size_t> written(regions.size());
  for (std::size_t r = 0; r < written.size(); ++r) written[r] = r;
  for (std::size_t r = written.size(); r > 1; --r) std::swap(written[r - 1], written[Mix(r) % r]);

  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PcGts xmlns=\"http://schema.primaresearch.org/"
      "PAGE/gts/pagecontent/2019-07-15\">\n <Metadata>\n  <Creator>writer</Creator>\n  <Created>"
      "2024-01-01T00:00:00</Created>\n  <LastChange>2024-01-01T00:00:00</LastChange>\n "
      "</Metadata>\n"
      " <Page imageFilename=\"page.png\" imageWidth=\"2480\" imageHeight=\"3508\">\n  "
      "<ReadingOrder>\n"
      "   <OrderedGroup id=\"ro\" caption=\"Regions reading order\">\n";
  // The members are listed backwards, so that only their indexes give the order.
  for (std::size_t r = regions.size(); r-- > 0;) {
    out += "    <RegionRefIndexed index=\"" + std::to_string(r) + "\" regionRef=\"r" +
           std::to_string(r) + "\"/>\n";
  }
  out += "   </OrderedGroup>\n  </ReadingOrder>\n";
  for (const std::size_t r : written) {
    out += "  <TextRegion id=\"r" + std::to_string(r) +
           "\" type=\"paragraph\">\n   <Coords "
           "points=\"0,0 10,0 10,10 0,10\"/>\n";
    std::u16string regionText;
    for (const std::size_t i : regions[r]) {
      out += "   <TextLine id=\"r" + std::to_string(r) + "l" + std::to_string(i) +
             "\">\n    <Coords "
             "points=\"0,0 10,0 10,10 0,10\"/>\n    <Baseline points=\"0,9 10,9\"/>\n";
      const std::vector<std::u16string> words = SplitWords(lines[i]);
      for (std::size_t w = 0; w < words.size(); ++w) {
        out += "    <Word id=\"r" + std::to_string(r) + "l" + std::to_string(i) + "w" +
               std::to_string(w) + "\"><Coords points=\"0,0 1,0 1,1\"/><TextEquiv><Unicode>" +
               Escape(words[w]) + "</Unicode></TextEquiv></Word>\n";
      }
      const std::size_t kind = Mix(i * 31) % 3;
      if (kind == 1) {
        out +=
            "    <TextEquiv index=\"0\"><Unicode>" + Escape(lines[i]) + "</Unicode></TextEquiv>\n";
      } else if (kind == 2) {
        // A worse alternative first; the lowest index is the text.
        out +=
            "    <TextEquiv index=\"2\" conf=\"0.4\"><Unicode>誤読された行</Unicode></TextEquiv>\n"
            "    <TextEquiv index=\"1\" conf=\"0.9\"><Unicode>" +
            Escape(lines[i]) + "</Unicode></TextEquiv>\n";
      }  // kind 0: the words alone carry the text
      out += "   </TextLine>\n";
      regionText += lines[i] + u"\n";
    }
    out += "   <TextEquiv><Unicode>" + Escape(regionText) +
           "</Unicode></TextEquiv>\n  </TextRegion>\n";
  }
  out += " </Page>\n</PcGts>\n";
  return out;
}

}  // namespace sorowa::testdocs

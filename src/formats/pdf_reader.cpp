// PDF through poppler: each page's words in poppler's reading order (its flows, blocks and
// lines), cut into lines where the next word does not stand on the same line as the last
// one, so that a running head and a page number stay lines of their own. A space poppler
// finds between two Japanese characters is read as the full-width space. poppler's own text
// output is not used: it joins a line that ends in a hyphen to the next, which suits English
// prose but loses a line of the page. Kangxi radicals, which fonts often share a glyph with
// the ideograph and so come out of the glyph map instead of it, are read as the ideograph
// (radical_ideographs.h).

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <mutex>

#include "base/stop_request.h"
#include "formats/radical_ideographs.h"
#include "formats/readers.h"

namespace sorowa::formats {

namespace {

// poppler reports what it finds wrong through one function for the whole process, which
// would otherwise print to standard error. The first message a thread gets while it reads
// a document says why the document could not be opened.
thread_local std::string firstPopplerMessage;
thread_local bool collectingPopplerMessages = false;

void CollectPopplerMessage(const std::string& message, void*) {
  if (collectingPopplerMessages && firstPopplerMessage.empty()) {
    firstPopplerMessage = message.substr(0, 200);
  }
}

class PopplerMessages {
 public:
  PopplerMessages() {
    static std::once_flag installed;
    std::call_once(installed,
                   [] { poppler::set_debug_error_function(&CollectPopplerMessage, nullptr); });
    firstPopplerMessage.clear();
    collectingPopplerMessages = true;
  }
  ~PopplerMessages() { collectingPopplerMessages = false; }
  PopplerMessages(const PopplerMessages&) = delete;
  PopplerMessages& operator=(const PopplerMessages&) = delete;
};

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\f' || c == u'\r' || c == 0xA0;
}

// Appends c, or the ideograph a CJK radical or stroke stands for.
void AppendCharacter(std::u16string& line, char16_t c) {
  if (c >= 0x2E80 && c <= 0x31EF) {
    const auto found = std::lower_bound(
        kRadicalIdeographs.begin(), kRadicalIdeographs.end(), c,
        [](const std::pair<char16_t, char32_t>& entry, char16_t key) { return entry.first < key; });
    if (found != kRadicalIdeographs.end() && found->first == c) {
      const char32_t ideograph = found->second;
      if (ideograph < 0x10000) {
        line.push_back(static_cast<char16_t>(ideograph));
      } else {
        line.push_back(static_cast<char16_t>(0xD800 + ((ideograph - 0x10000) >> 10)));
        line.push_back(static_cast<char16_t>(0xDC00 + ((ideograph - 0x10000) & 0x3FF)));
      }
      return;
    }
  }
  line.push_back(c);
}

// The gap between two words along the line, in the direction of writing.
double Gap(const poppler::rectf& last, const poppler::rectf& next, int rotation) {
  switch (rotation) {
    case 1:
      return next.y() - (last.y() + last.height());
    case 2:
      return last.x() - (next.x() + next.width());
    case 3:
      return last.y() - (next.y() + next.height());
    default:
      return next.x() - (last.x() + last.width());
  }
}

// Whether a word continues the line whose last word had the box last: on the same baseline
// (or, in vertical writing, the same column) within half the text's size, and in horizontal
// writing not back at the start of the measure.
bool OnSameLine(const poppler::rectf& last, int lastRotation, const poppler::rectf& next,
                int rotation) {
  if (rotation != lastRotation) return false;
  const bool vertical = rotation == 1 || rotation == 3;
  const double lastSize = vertical ? last.width() : last.height();
  const double nextSize = vertical ? next.width() : next.height();
  const double lastCenter = vertical ? last.x() + last.width() / 2 : last.y() + last.height() / 2;
  const double nextCenter = vertical ? next.x() + next.width() / 2 : next.y() + next.height() / 2;
  if (std::abs(nextCenter - lastCenter) > std::max(lastSize, nextSize) / 2) return false;
  if (rotation == 0) return next.x() + next.width() / 2 > last.x();
  if (rotation == 2) return next.x() + next.width() / 2 < last.x() + last.width();
  return true;
}

}  // namespace

ExtractedText ReadPdf(std::string_view bytes, const ReadContext& context) {
  const PopplerMessages messages;
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    context.LimitExceeded("the size of the PDF file (bytes)", bytes.size(), INT_MAX);
  }
  std::unique_ptr<poppler::document> document(
      poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size())));
  if (!document) {
    std::string reason = firstPopplerMessage;
    if (reason.starts_with("error: ")) reason.erase(0, 7);
    if (bytes.substr(0, 1024).find("%PDF-") == std::string_view::npos) {
      reason = "it has no PDF header";
    } else if (reason.empty()) {
      reason = "it cannot be opened";
    }
    context.Damaged(reason);
  }
  if (document->is_locked()) {
    context.Encrypted("open it in a PDF viewer with its password and save a copy without one");
  }
  const int pageCount = document->pages();
  if (pageCount <= 0) context.Damaged("it has no pages");
  if (static_cast<std::uint64_t>(pageCount) > context.limits().pages) {
    context.LimitExceeded("the number of pages", static_cast<std::uint64_t>(pageCount),
                          context.limits().pages);
  }

  LineCollector lines(context);
  bool anyText = false;
  for (int index = 0; index < pageCount; ++index) {
    ThrowIfStopped();
    lines.NewPage();
    const std::unique_ptr<poppler::page> page(document->create_page(index));
    if (!page) continue;
    const std::vector<poppler::text_box> words = page->text_list();
    std::u16string& line = lines.current();
    bool spaceAfter = false;
    poppler::rectf lastBox;
    int lastRotation = -1;
    auto endLine = [&] {
      while (!line.empty() && IsBlank(line.back())) line.pop_back();
      if (!line.empty()) {
        anyText = true;
        lines.EndLine();
      }
    };
    for (const poppler::text_box& word : words) {
      const poppler::ustring text = word.text();
      const poppler::rectf box = word.bbox();
      const int rotation = word.rotation();
      if (!line.empty() && !OnSameLine(lastBox, lastRotation, box, rotation)) {
        endLine();
      } else if (!line.empty() && spaceAfter) {
        // poppler turns a space into a gap between words. Between two Japanese characters a
        // gap of most of an em is a full-width space; a narrower one is a space.
        const bool vertical = rotation == 1 || rotation == 3;
        const double em = std::max(vertical ? lastBox.width() : lastBox.height(),
                                   vertical ? box.width() : box.height());
        const bool fullWidth = !text.empty() && IsJapaneseChar(line.back()) &&
                               IsJapaneseChar(static_cast<char16_t>(text.front())) &&
                               Gap(lastBox, box, rotation) > 0.6 * em;
        line.push_back(fullWidth ? u'\u3000' : u' ');
      }
      for (const unsigned short unit : text) {
        const char16_t c = static_cast<char16_t>(unit);
        if (line.empty() && IsBlank(c)) continue;
        AppendCharacter(line, c == u'\n' || c == u'\r' ? u' ' : c);
      }
      spaceAfter = word.has_space_after();
      lastBox = box;
      lastRotation = rotation;
    }
    endLine();
  }
  if (!anyText) context.NoTextLayer();
  return lines.Finish(true);
}

}  // namespace sorowa::formats

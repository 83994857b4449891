#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string_view>

#include "base/utf8.h"

namespace sorowa {

// Bytes with room to spare, kept and handed on whole so that their room is used again.
struct ReportBytes {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  std::size_t capacity = 0;
  std::string_view view() const { return {data.get(), size}; }
};

// Markup of a cell's either side, at most 32 bytes, kept in a fixed array so that it is
// copied in one move of constant size: the bytes past its end are written over next.
struct ShortMarkup {
  static constexpr std::size_t kCapacity = 32;
  template <std::size_t N>
  consteval ShortMarkup(const char (&text)[N]) : size(N - 1) {  // NOLINT: literals convert
    static_assert(N - 1 <= kCapacity, "markup too long for ShortMarkup");
    for (std::size_t k = 0; k + 1 < N; ++k) bytes[k] = text[k];
  }
  std::string_view view() const { return {bytes, size}; }

  char bytes[kCapacity] = {};
  std::size_t size = 0;
};

// A report being written, as UTF-8. The markup is ASCII (captions UTF-8) and is copied as it
// is; the user's texts are UTF-16 and are converted as they are appended, a cell's text
// escaped in the same pass. Each unpaired surrogate becomes U+FFFD, so a text must be
// appended whole: a pair split over two appends would give two of them.
//
// The table of one long line pair runs to hundreds of megabytes. Given a receiver, the
// buffer hands its bytes on whenever they reach a threshold (checked after each text, and
// every few thousand code units within one), so that such a table never sits whole in
// memory; the bytes reach the receiver in order.
class ReportBuffer {
 public:
  // Takes the bytes and leaves an empty ReportBytes in their place, ideally one with room.
  using Receiver = std::function<void(ReportBytes& bytes)>;

  ReportBuffer() = default;
  explicit ReportBuffer(std::string_view utf8) { Append(utf8); }

  // Markup, already UTF-8.
  void Append(std::string_view utf8) {
    if (utf8.empty()) return;
    std::memcpy(Room(utf8.size()), utf8.data(), utf8.size());
    bytes_.size += utf8.size();
  }
  ReportBuffer& operator+=(std::string_view utf8) {
    Append(utf8);
    return *this;
  }
  // Text, converted.
  void AppendText(std::u16string_view text) { Convert<false>(text); }
  // A cell's text: & " < > and the space become &amp; &quot; &lt; &gt; &nbsp;, converted.
  void AppendEscaped(std::u16string_view text) { Convert<true>(text); }
  // open, then text escaped, then close: every cell of every table, so inline.
  void AppendCell(const ShortMarkup& open, std::u16string_view text, const ShortMarkup& close) {
    if (text.size() > kCellOnOnePath) return AppendLongCell(open, text, close);
    char* p = Room(2 * ShortMarkup::kCapacity + kEscapedUtf8BytesPerUnit * text.size());
    char* const start = p;
    std::memcpy(p, open.bytes, ShortMarkup::kCapacity);
    p += open.size;
    // Most cells hold a few kana or kanji: those are written here, and the general loop
    // takes over at the first code unit of another kind (never inside a pair: a surrogate
    // stops this loop).
    const char16_t* s = text.data();
    const char16_t* const end = s + text.size();
    for (; s < end; ++s) {
      const char32_t c = *s;
      if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) break;
      p[0] = static_cast<char>(0xE0 | (c >> 12));
      p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      p[2] = static_cast<char>(0x80 | (c & 0x3F));
      p += 3;
    }
    if (s < end) p = EncodeRest(s, end, p);
    std::memcpy(p, close.bytes, ShortMarkup::kCapacity);
    p += close.size;
    bytes_.size += static_cast<std::size_t>(p - start);
    Checkpoint();
  }

  // The bytes not handed on yet.
  std::string_view bytes() const { return bytes_.view(); }
  std::size_t size() const { return bytes_.size; }
  bool empty() const { return bytes_.size == 0; }
  void clear() { bytes_.size = 0; }

  // How many bytes were appended in all, those handed on included: a position in the report.
  std::size_t written() const { return handedOver_ + bytes_.size; }
  // Appends again what was written from position from to position to, and returns true;
  // returns false, appending nothing, when part of it has been handed on.
  bool AppendCopy(std::size_t from, std::size_t to);

  // From now on the bytes go to receiver whenever there are threshold or more.
  void HandOverAt(std::size_t threshold, Receiver receiver) {
    threshold_ = threshold;
    receiver_ = std::move(receiver);
  }
  // Hands the bytes on now, if there are any and a receiver.
  void HandOver();
  // Hands them on if they have reached the threshold, as every text appended does: for a
  // writer that converts the user's text itself and appends it as markup.
  void HandOverIfDue() { Checkpoint(); }

 private:
  // Cells up to this many code units are written in one go; longer ones in stretches.
  static constexpr std::size_t kCellOnOnePath = std::size_t{1} << 14;

  void AppendLongCell(const ShortMarkup& open, std::u16string_view text, const ShortMarkup& close);
  // The escaped UTF-8 of [s, end) at p; returns the end of what it wrote.
  static char* EncodeRest(const char16_t* s, const char16_t* end, char* p);
  char* Room(std::size_t bytes) {
    if (bytes_.capacity - bytes_.size < bytes) Grow(bytes);
    return bytes_.data.get() + bytes_.size;
  }
  void Grow(std::size_t bytes);
  void Checkpoint() {
    if (bytes_.size >= threshold_) HandOver();
  }
  template <bool kEscape>
  void Convert(std::u16string_view text);

  ReportBytes bytes_;
  std::size_t handedOver_ = 0;
  std::size_t threshold_ = std::numeric_limits<std::size_t>::max();
  Receiver receiver_;
};

}  // namespace sorowa

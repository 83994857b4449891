#include "align/report_buffer.h"

#include <algorithm>

#include "compare/utf8.h"

namespace sorowa {
namespace {

// Texts are converted this many code units at a time (one more to keep a pair whole), which
// bounds the room asked for at once and lets a long text be handed on in parts.
constexpr std::size_t kStretch = std::size_t{1} << 14;

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

void ReportBuffer::Grow(std::size_t bytes) {
  const std::size_t capacity =
      std::max({bytes_.capacity * 2, bytes_.size + bytes, std::size_t{4096}});
  std::unique_ptr<char[]> data = std::make_unique_for_overwrite<char[]>(capacity);
  if (bytes_.size > 0) std::memcpy(data.get(), bytes_.data.get(), bytes_.size);
  bytes_.data = std::move(data);
  bytes_.capacity = capacity;
}

template <bool kEscape>
void ReportBuffer::Convert(std::u16string_view text) {
  constexpr std::size_t kPerUnit = kEscape ? kEscapedUtf8BytesPerUnit : kUtf8BytesPerUnit;
  while (!text.empty()) {
    std::size_t length = std::min(text.size(), kStretch);
    if (length < text.size() && IsHigh(text[length - 1]) && IsLow(text[length])) ++length;
    char* const start = Room(kPerUnit * length);
    const std::u16string_view stretch = text.substr(0, length);
    char* const end = kEscape ? EncodeEscapedUtf8(stretch, start) : EncodeUtf8(stretch, start);
    bytes_.size += static_cast<std::size_t>(end - start);
    text.remove_prefix(length);
    Checkpoint();
  }
}

template void ReportBuffer::Convert<false>(std::u16string_view);
template void ReportBuffer::Convert<true>(std::u16string_view);

void ReportBuffer::AppendCell(const ShortMarkup& open, std::u16string_view text,
                              const ShortMarkup& close) {
  if (text.size() > kStretch) {
    Append(open.view());
    AppendEscaped(text);
    Append(close.view());
    return;
  }
  char* p = Room(2 * ShortMarkup::kCapacity + kEscapedUtf8BytesPerUnit * text.size());
  char* const start = p;
  std::memcpy(p, open.bytes, ShortMarkup::kCapacity);
  p += open.size;
  // Most cells hold a few kana or kanji: those are written here, and the general loop takes
  // over at the first code unit of another kind (never inside a pair: a surrogate stops
  // this loop).
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
  if (s < end) p = EncodeEscapedUtf8(std::u16string_view(s, static_cast<std::size_t>(end - s)), p);
  std::memcpy(p, close.bytes, ShortMarkup::kCapacity);
  p += close.size;
  bytes_.size += static_cast<std::size_t>(p - start);
  Checkpoint();
}

bool ReportBuffer::AppendCopy(std::size_t from, std::size_t to) {
  if (from < handedOver_) return false;
  const std::size_t length = to - from;
  char* const target = Room(length);  // may move the bytes: the source is found after it
  std::memcpy(target, bytes_.data.get() + (from - handedOver_), length);
  bytes_.size += length;
  Checkpoint();
  return true;
}

void ReportBuffer::HandOver() {
  if (!receiver_ || bytes_.size == 0) return;
  handedOver_ += bytes_.size;
  receiver_(bytes_);
  bytes_.size = 0;
}

}  // namespace sorowa

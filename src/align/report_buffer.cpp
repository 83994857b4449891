#include "align/report_buffer.h"

#include <algorithm>

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

void ReportBuffer::AppendLongCell(const ShortMarkup& open, std::u16string_view text,
                                  const ShortMarkup& close) {
  Append(open.view());
  AppendEscaped(text);
  Append(close.view());
}

char* ReportBuffer::EncodeRest(const char16_t* s, const char16_t* end, char* p) {
  return EncodeEscapedUtf8(std::u16string_view(s, static_cast<std::size_t>(end - s)), p);
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

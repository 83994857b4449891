#include "segment/mecab_char_table.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace sorowa {
namespace {

constexpr std::size_t kCodePoints = 0xFFFF;
constexpr std::size_t kNameBytes = 32;
// The categories are bits of an 18-bit field.
constexpr std::uint32_t kMaxCategories = 18;
constexpr std::uint32_t kCategoryMask = (1u << 18) - 1;
constexpr std::uint32_t kGroupBit = 1u << 30;

std::uint32_t ReadWord(std::string_view bytes, std::size_t at) {
  std::uint32_t word;
  std::memcpy(&word, bytes.data() + at, sizeof word);
  return word;
}

}  // namespace

std::unique_ptr<MecabCharTable> MecabCharTable::Load(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return nullptr;
  // A quarter of a megabyte, read in one go into room of its size while MeCab starts: a
  // character at a time it took longer than the rest of MeCab's set-up.
  const std::streamoff size = in.tellg();
  // No table MeCab accepts is larger; anything else (a directory, a device) is not one.
  constexpr std::streamoff kLargest = static_cast<std::streamoff>(
      sizeof(std::uint32_t) * (1 + kCodePoints) + kNameBytes * kMaxCategories);
  if (size < 0 || size > kLargest || !in.seekg(0)) return nullptr;
  const auto count = static_cast<std::size_t>(size);
  const std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(count);
  if (!in.read(bytes.get(), size) || in.gcount() != size) return nullptr;
  return Parse(std::string_view(bytes.get(), count));
}

std::unique_ptr<MecabCharTable> MecabCharTable::Parse(std::string_view bytes) {
  // MeCab maps the file and uses its words as they are, so they are in this machine's byte
  // order; the bit fields above are laid out from the low end only on little-endian ones.
  if constexpr (std::endian::native != std::endian::little) return nullptr;
  if (bytes.size() < sizeof(std::uint32_t)) return nullptr;
  const std::uint32_t count = ReadWord(bytes, 0);
  if (count == 0 || count > kMaxCategories) return nullptr;
  const std::size_t first = sizeof(std::uint32_t) + kNameBytes * count;
  // The size MeCab checks before it uses the file.
  if (bytes.size() != first + sizeof(std::uint32_t) * kCodePoints) return nullptr;
  std::vector<std::uint32_t> entries(kCodePoints);
  for (std::size_t cp = 0; cp < kCodePoints; ++cp) {
    entries[cp] = ReadWord(bytes, first + sizeof(std::uint32_t) * cp);
    if ((entries[cp] & kCategoryMask) >> count != 0) return nullptr;
  }
  return std::unique_ptr<MecabCharTable>(new MecabCharTable(std::move(entries)));
}

MecabCharTable::MecabCharTable(std::vector<std::uint32_t> entries)
    : entries_(std::move(entries)), spaceCategories_(entries_[0x20] & kCategoryMask) {}

MecabCharTable::Entry MecabCharTable::Lookup(char32_t codePoint) const {
  std::uint32_t raw = 0;
  if (codePoint < kCodePoints) {
    raw = entries_[codePoint];
  } else if (codePoint > 0xFFFF) {
    raw = entries_[0];
  }
  return Entry{raw & kCategoryMask, (raw & kGroupBit) != 0};
}

}  // namespace sorowa

#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace sorowa {

// MeCab's character categories as the loaded dictionary defines them: the compiled table
// char.bin that MeCab reads from the dictionary's folder (written by mecab-dict-index from
// the dictionary's char.def). It tells which characters MeCab treats as one kind when it
// makes unknown words, which is where its running time can grow with the square of a run.
//
// The file holds a 32-bit count of categories, their names in 32 bytes each, and one 32-bit
// entry for each code point U+0000 to U+FFFE: in its low 18 bits the categories the
// character belongs to, above them its own category, its length limit, and the category's
// "group" and "invoke" flags (bits 30 and 31).
class MecabCharTable {
 public:
  struct Entry {
    // One bit for every category the character belongs to.
    std::uint32_t categories = 0;
    // Whether the character's own category makes unknown words of whole runs of its kind.
    bool groups = false;
  };

  // Null when the file is missing, unreadable or not a table MeCab itself would accept.
  static std::unique_ptr<MecabCharTable> Load(const std::filesystem::path& file);
  // The same from the file's bytes.
  static std::unique_ptr<MecabCharTable> Parse(std::string_view bytes);

  // What MeCab finds for a character: it looks up code points of the BMP directly and every
  // other one (four bytes of UTF-8) as U+0000. U+FFFF lies past the table; MeCab reads
  // beyond it, here it belongs to no category.
  Entry Lookup(char32_t codePoint) const;
  // The categories of U+0020: characters sharing one of them are skipped before each word.
  std::uint32_t spaceCategories() const { return spaceCategories_; }

 private:
  explicit MecabCharTable(std::vector<std::uint32_t> entries);

  std::vector<std::uint32_t> entries_;
  std::uint32_t spaceCategories_ = 0;
};

}  // namespace sorowa

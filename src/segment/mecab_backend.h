#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "segment/mecab_char_table.h"
#include "segment/mecab_pieces.h"
#include "segment/morph_backend.h"

namespace MeCab {
class Model;
class Tagger;
class Lattice;
}  // namespace MeCab

namespace sorowa {

// Morphemes from MeCab with its default resource file and dictionary (MECABRC, ~/.mecabrc or
// /etc/mecabrc, as MeCab itself chooses). One instance lives for one Compare; it keeps the
// lattice and the conversion buffers from line to line.
class MecabBackend : public MorphBackend {
 public:
  // Sets up MeCab. When it cannot be used, reports why through showMessage once and returns
  // null; it never throws for a missing or broken MeCab set-up.
  static std::unique_ptr<MecabBackend> Create(const MessageSink& showMessage);

  ~MecabBackend() override;
  MecabBackend(const MecabBackend&) = delete;
  MecabBackend& operator=(const MecabBackend&) = delete;

  // Every node's surface is one word, and every run of characters MeCab passes over (the
  // dictionary's whitespace) is a word of its own, so the words always cover the whole text.
  bool Analyze(std::u16string_view text, std::vector<std::uint32_t>& wordIndex) override;
  // A tagger and lattice of its own over the shared model: MeCab's model may serve several
  // threads, each parsing with its own lattice.
  std::unique_ptr<MorphBackend> Clone() const override;
  // The dictionary's character table that long runs are cut by; null if it was unreadable.
  const MecabCharTable* charTable() const { return charTable_.get(); }

 private:
  MecabBackend(std::shared_ptr<MeCab::Model> model, std::shared_ptr<const MecabCharTable> charTable,
               std::unique_ptr<MeCab::Tagger> tagger, std::unique_ptr<MeCab::Lattice> lattice);
  void Encode(std::u16string_view text);
  // Parses utf8_[from, to) and gives its words the next indices.
  bool ParsePiece(std::size_t from, std::size_t to, std::vector<std::uint32_t>& wordIndex);
  void AddWord(std::size_t fromByte, std::size_t toByte, std::vector<std::uint32_t>& wordIndex);

  // Declared first so that it goes last: the tagger and the lattice refer to it.
  std::shared_ptr<MeCab::Model> model_;
  // The dictionary's character table, for cutting long runs (see PlanMecabPieces); null
  // when it could not be read, and then such runs are parsed whole, only more slowly.
  std::shared_ptr<const MecabCharTable> charTable_;
  std::unique_ptr<MeCab::Tagger> tagger_;
  std::unique_ptr<MeCab::Lattice> lattice_;
  std::string utf8_;
  // For every byte of utf8_, the first code unit of the character it encodes; one more entry
  // at the end holds the text's length.
  std::vector<std::size_t> unitOfByte_;
  std::vector<MecabPiece> pieces_;
  std::uint32_t nextWord_ = 0;
};

// Whether a dictionary charset name means UTF-8 ("UTF-8", "utf8", any case).
bool IsUtf8CharsetName(std::string_view charset);

}  // namespace sorowa

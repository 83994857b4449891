#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

 private:
  MecabBackend(std::shared_ptr<MeCab::Model> model, std::unique_ptr<MeCab::Tagger> tagger,
               std::unique_ptr<MeCab::Lattice> lattice);
  void Encode(std::u16string_view text);
  // Parses utf8_[from, to) and gives its words the next indices.
  bool ParsePiece(std::size_t from, std::size_t to, std::vector<std::uint32_t>& wordIndex);
  // The same for a stretch of any length, parsed a sentence or so at a time.
  bool ParseStretch(std::size_t from, std::size_t to, std::vector<std::uint32_t>& wordIndex);
  // Where to end a piece that starts at from and may reach limit: after the last
  // sentence-final mark in its second half, or else at the last character boundary.
  std::size_t FindCut(std::size_t from, std::size_t limit) const;
  void AddWord(std::size_t fromByte, std::size_t toByte, std::vector<std::uint32_t>& wordIndex);

  // Declared first so that it goes last: the tagger and the lattice refer to it.
  std::shared_ptr<MeCab::Model> model_;
  std::unique_ptr<MeCab::Tagger> tagger_;
  std::unique_ptr<MeCab::Lattice> lattice_;
  std::string utf8_;
  // For every byte of utf8_, the first code unit of the character it encodes; one more entry
  // at the end holds the text's length.
  std::vector<std::size_t> unitOfByte_;
  std::uint32_t nextWord_ = 0;
};

// Whether a dictionary charset name means UTF-8 ("UTF-8", "utf8", any case).
bool IsUtf8CharsetName(std::string_view charset);

}  // namespace sorowa

#pragma once

// Optional normalisation of the texts before they are compared, so that differences the user
// does not care about (composed or decomposed characters, full-width letters, katakana for
// hiragana, spaces, punctuation) count as none. Everything is off by default.

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sorowa {

enum class UnicodeForm { None, Nfc, Nfkc };

struct NormalizationOptions {
  UnicodeForm form = UnicodeForm::None;  // Unicode normalisation form
  bool foldKana = false;                 // katakana letters become hiragana; ー stays
  bool ignoreSpace = false;              // characters with the White_Space property removed
  bool ignorePunctuation = false;        // characters of the general category P removed

  bool any() const {
    return form != UnicodeForm::None || foldKana || ignoreSpace || ignorePunctuation;
  }
  friend bool operator==(const NormalizationOptions&, const NormalizationOptions&) = default;
};

// ICU could not provide a normaliser or the transliterator (a broken installation).
class NormalizationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Applies the options to lines, in this order: the normalisation form, kana folding, then
// the removal of spaces and punctuation. Setting up the transliterator takes a while, so
// one object serves many lines; it is not meant to be shared between threads.
class TextNormalizer {
 public:
  // Throws NormalizationError.
  explicit TextNormalizer(const NormalizationOptions& options);
  ~TextNormalizer();
  TextNormalizer(const TextNormalizer&) = delete;
  TextNormalizer& operator=(const TextNormalizer&) = delete;

  const NormalizationOptions& options() const { return options_; }
  // line normalised; unchanged when no option is on. A lone surrogate is kept as it is.
  std::u16string Apply(std::u16string_view line) const;

 private:
  class Icu;
  NormalizationOptions options_;
  std::unique_ptr<Icu> icu_;
};

}  // namespace sorowa

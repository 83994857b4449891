#include "text/text_normalizer.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

namespace sorowa {

class TextNormalizer::Icu {
 public:
  explicit Icu(const NormalizationOptions& options) {
    UErrorCode status = U_ZERO_ERROR;
    if (options.form == UnicodeForm::Nfc) {
      normalizer = icu::Normalizer2::getNFCInstance(status);
    } else if (options.form == UnicodeForm::Nfkc) {
      normalizer = icu::Normalizer2::getNFKCInstance(status);
    }
    if (U_FAILURE(status)) {
      throw NormalizationError(std::string("ICU has no Unicode normaliser: ") +
                               u_errorName(status));
    }
    if (options.foldKana) {
      // Filtered to the Katakana script, so that the prolonged sound mark (script Common)
      // stays as it is: unfiltered, the transliterator spells it as the vowel before it
      // (コーヒー becomes こおひい), which would hide real differences.
      kanaToHiragana.reset(icu::Transliterator::createInstance("[:Katakana:] Katakana-Hiragana",
                                                               UTRANS_FORWARD, status));
      if (U_FAILURE(status) || kanaToHiragana == nullptr) {
        throw NormalizationError(std::string("ICU has no Katakana-Hiragana transliterator: ") +
                                 u_errorName(status));
      }
    }
  }

  const icu::Normalizer2* normalizer = nullptr;
  std::unique_ptr<icu::Transliterator> kanaToHiragana;
};

TextNormalizer::TextNormalizer(const NormalizationOptions& options)
    : options_(options), icu_(options.any() ? std::make_unique<Icu>(options) : nullptr) {}

TextNormalizer::~TextNormalizer() = default;

std::u16string TextNormalizer::Apply(std::u16string_view line) const {
  if (!icu_) return std::u16string(line);
  icu::UnicodeString text(false, line.data(), static_cast<int32_t>(line.size()));
  if (icu_->normalizer != nullptr) {
    UErrorCode status = U_ZERO_ERROR;
    // Most lines are normalised already; only the rest is copied.
    if (!icu_->normalizer->isNormalized(text, status) || U_FAILURE(status)) {
      status = U_ZERO_ERROR;
      icu::UnicodeString normalized = icu_->normalizer->normalize(text, status);
      if (U_FAILURE(status)) {
        throw NormalizationError(std::string("Unicode normalisation failed: ") +
                                 u_errorName(status));
      }
      text = std::move(normalized);
    }
  }
  if (icu_->kanaToHiragana) icu_->kanaToHiragana->transliterate(text);

  std::u16string out;
  out.reserve(static_cast<std::size_t>(text.length()));
  const char16_t* units = text.getBuffer();
  const int32_t length = text.length();
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U16_NEXT(units, i, length, c);
    if (options_.ignoreSpace && u_isUWhiteSpace(c)) continue;
    if (options_.ignorePunctuation && U_GET_GC_MASK(c) & U_GC_P_MASK) continue;
    out.append(units + start, units + i);
  }
  return out;
}

}  // namespace sorowa

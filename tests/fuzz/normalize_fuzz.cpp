// Normalisation of a line through ICU: any text, lone surrogates and raw code units
// included, gives a line, never an exception. With every option off the line is unchanged;
// with space or punctuation removal none is left; kana folding leaves no katakana letter;
// the line is never longer than NFKC can make it; and without removal, the number of lone
// surrogates is kept.
//
// Input: one byte of options (bits 0-1: none, NFC, NFKC, none; bit 2: fold kana; bit 3:
// no space; bit 4: no punctuation), then the line, drawn as the other targets draw text.

#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/utf16.h>

#include "fuzz_support.h"
#include "text/text_normalizer.h"

namespace {

// Code points of text, a lone surrogate as itself.
std::vector<UChar32> CodePoints(const std::u16string& text) {
  std::vector<UChar32> out;
  for (int32_t i = 0, n = static_cast<int32_t>(text.size()); i < n;) {
    UChar32 c;
    U16_NEXT(text.data(), i, n, c);
    out.push_back(c);
  }
  return out;
}

std::size_t LoneSurrogates(const std::u16string& text) {
  std::size_t count = 0;
  for (UChar32 c : CodePoints(text)) count += U_IS_SURROGATE(c) ? 1 : 0;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa;
  using sorowa::fuzz::Printable;
  fuzz::ByteReader in(data, size);
  const std::uint8_t switches = in.Byte();
  NormalizationOptions options;
  options.form = (switches & 3) == 1   ? UnicodeForm::Nfc
                 : (switches & 3) == 2 ? UnicodeForm::Nfkc
                                       : UnicodeForm::None;
  options.foldKana = (switches & 4) != 0;
  options.ignoreSpace = (switches & 8) != 0;
  options.ignorePunctuation = (switches & 16) != 0;
  const std::u16string line = fuzz::ReadText(in, 4000, /*allowLineBreaks=*/true);

  const TextNormalizer normalizer(options);
  const std::u16string out = normalizer.Apply(line);
  if (!options.any()) FUZZ_CHECK(out == line, "no option changed the line");
  // NFKC expands a code unit into at most 18 (U+FDFA); folding and removal add nothing.
  FUZZ_CHECK(out.size() <= 18 * line.size(), "the line grew too much: " + Printable(line));
  for (UChar32 c : CodePoints(out)) {
    if (options.ignoreSpace) FUZZ_CHECK(!u_isUWhiteSpace(c), "space left: " + Printable(out));
    if (options.ignorePunctuation) {
      FUZZ_CHECK((U_GET_GC_MASK(c) & U_GC_P_MASK) == 0, "punctuation left: " + Printable(out));
    }
    if (options.foldKana) {
      UErrorCode status = U_ZERO_ERROR;
      const bool katakanaLetter = uscript_getScript(c, &status) == USCRIPT_KATAKANA &&
                                  u_isalpha(c) && c != 0x30FF && !(c >= 0x30F7 && c <= 0x30FA) &&
                                  !(c >= 0x31F0 && c <= 0x31FF) && !(c >= 0x32D0 && c <= 0x32FE) &&
                                  !(c >= 0x3300 && c <= 0x3357) && c < 0xFF00;
      FUZZ_CHECK(!katakanaLetter, "katakana left: " + Printable(out));
    }
  }
  if (!options.ignoreSpace && !options.ignorePunctuation) {
    FUZZ_CHECK(LoneSurrogates(out) == LoneSurrogates(line), "lone surrogates lost");
  }
  return 0;
}

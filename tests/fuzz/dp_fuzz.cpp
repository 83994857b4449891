// Differential check of the alignment: whatever DpAlign runs for an input must give exactly
// the column starts of the plain full-table reference, for both element types the tables use.
// The bit vectors (when a side is short enough), the SIMD full table, the band and the
// bounded pass are also run on their own, with the instruction set, the cost width, the first
// band width and the follower's width the input asks for, so that every path is reached
// whatever DpAlign would pick; on request also with only checkpoints, close together and
// thinned early, so that the traceback recomputes.
//
// Input: one byte choosing the element type (bit 7), whether unit ids are spread over the
// whole 32-bit range (bit 6), checkpoints (bit 5) and the alphabet size (bits 0-4, 2 to 33
// symbols; small alphabets give many ties, where alignments differ most easily), two bytes
// of Source length, one byte for the fast paths (bit 0: SSE2 rather than the best
// instruction set, bit 1: 32-bit costs, bits 2-7: first band width and follower width, 0 for
// automatic; with checkpoints they also set their spacing and budget), then one element per
// byte, Source first.

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "align/dp_align.h"
#include "fuzz_support.h"

namespace sorowa::fuzz {
namespace {

template <class T>
void CheckAgainst(const ColumnStarts& expected, const ColumnStarts& actual, const char* path,
                  const std::vector<T>& source, const std::vector<T>& target);

template <class T>
void CheckAlignment(const std::vector<T>& source, const std::vector<T>& target,
                    DpFastOptions options, bool checkpoints) {
  const std::span<const T> s(source);
  const std::span<const T> t(target);
  const ColumnStarts expected = DpAlignReference(s, t);
  CheckAgainst(expected, DpAlign(s, t), "DpAlign", source, target);
  if (std::min(s.size(), t.size()) <= kBitParallelLength) {
    CheckAgainst(expected, DpAlignBitParallel(s, t), "DpAlignBitParallel", source, target);
  }
  CheckAgainst(expected, DpAlignSimd(s, t, options), "DpAlignSimd", source, target);
  CheckAgainst(expected, DpAlignBand(s, t, options), "DpAlignBand", source, target);
  CheckAgainst(expected, DpAlignBounded(s, t, options), "DpAlignBounded", source, target);
  if (!checkpoints) return;
  options.checkpointInterval = 2 + options.firstBandWidth % 7;
  options.checkpointBytes = 64 * (1 + options.firstBandWidth % 4);
  CheckAgainst(expected, DpAlignSimd(s, t, options), "DpAlignSimd checkpoints", source, target);
  CheckAgainst(expected, DpAlignBand(s, t, options), "DpAlignBand checkpoints", source, target);
  CheckAgainst(expected, DpAlignBounded(s, t, options), "DpAlignBounded checkpoints", source,
               target);
}

template <class T>
void CheckAgainst(const ColumnStarts& expected, const ColumnStarts& actual, const char* path,
                  const std::vector<T>& source, const std::vector<T>& target) {
  FUZZ_CHECK(actual.size() == target.size() + 1,
             std::string(path) + ": wrong number of column starts");
  if (actual != expected) {
    std::string detail = std::string(path) + ": n=" + std::to_string(source.size()) +
                         " m=" + std::to_string(target.size()) + " first difference at column ";
    std::size_t k = 0;
    while (k < actual.size() && actual[k] == expected[k]) ++k;
    detail += std::to_string(k) + ": " + std::to_string(actual[k]) + " instead of " +
              std::to_string(expected[k]);
    FUZZ_CHECK(actual == expected, detail);
  }
  // Column starts never go back, and the pieces they cut give back the whole Source.
  for (std::size_t k = 1; k < actual.size(); ++k) {
    FUZZ_CHECK(actual[k - 1] <= actual[k], "column starts go back at " + std::to_string(k));
  }
  FUZZ_CHECK(actual.front() == 0 && actual.back() <= static_cast<std::int32_t>(source.size()),
             "column starts outside the Source");
  std::vector<T> joined;
  for (std::size_t k = 0; k + 1 < actual.size(); ++k) {
    const std::size_t end = k + 2 < actual.size() ? actual[k + 1] : source.size();
    for (std::size_t x = actual[k]; x < end; ++x) joined.push_back(source[x]);
  }
  FUZZ_CHECK(joined == source, "the columns do not cover the Source exactly once");
}

}  // namespace
}  // namespace sorowa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa::fuzz;
  ByteReader in(data, size);
  const std::uint8_t header = in.Byte();
  const unsigned alphabet = 2 + (header & 0x1F);
  const bool asUnits = (header & 0x80) != 0;
  const std::size_t n = in.Word() % (in.remaining() + 1);
  const std::uint8_t paths = in.Byte();
  sorowa::DpFastOptions options;
  options.instructionSet = (paths & 1) != 0 || !sorowa::DpHasAvx2()
                               ? sorowa::DpInstructionSet::Sse2
                               : sorowa::DpInstructionSet::Avx2;
  options.wideCosts = (paths & 2) != 0;
  options.firstBandWidth = paths >> 2;
  options.followWidth = paths >> 2;
  const bool checkpoints = (header & 0x20) != 0;
  std::vector<std::uint32_t> source;
  std::vector<std::uint32_t> target;
  for (std::size_t i = 0; i < n; ++i) source.push_back(in.Byte() % alphabet);
  while (!in.empty()) target.push_back(in.Byte() % alphabet);
  // Both tables return early for an empty side, so DpAlign is never asked to align one.
  if (source.empty() || target.empty()) return 0;

  if (asUnits) {
    if ((header & 0x40) != 0) {
      // Ids above 16 bits, as a line with very many distinct units would have.
      for (auto* ids : {&source, &target}) {
        for (std::uint32_t& x : *ids) x = x * 0x9E3779B1u;
      }
    }
    CheckAlignment(source, target, options, checkpoints);
    // The unit tables hand a short list's texts to the bit vectors as they are.
    if (std::min(source.size(), target.size()) <= sorowa::kBitParallelLength) {
      const auto texts = [](const std::vector<std::uint32_t>& ids) {
        std::vector<std::u16string> out;
        for (std::uint32_t id : ids) {
          out.emplace_back();
          for (; id != 0; id /= 7) out.back() += static_cast<char16_t>(u'あ' + id % 7);
        }
        return out;
      };
      const std::vector<std::u16string> sourceTexts = texts(source);
      const std::vector<std::u16string> targetTexts = texts(target);
      const std::vector<std::u16string_view> s(sourceTexts.begin(), sourceTexts.end());
      const std::vector<std::u16string_view> t(targetTexts.begin(), targetTexts.end());
      CheckAgainst(sorowa::DpAlignReference(std::span<const std::uint32_t>(source),
                                            std::span<const std::uint32_t>(target)),
                   sorowa::DpAlignBitParallel(std::span<const std::u16string_view>(s),
                                              std::span<const std::u16string_view>(t)),
                   "DpAlignBitParallel on texts", source, target);
    }
  } else {
    // Code units near the top of the range catch sign and width slips in a vectorised path.
    std::vector<char16_t> s;
    std::vector<char16_t> t;
    for (std::uint32_t x : source) s.push_back(static_cast<char16_t>(x == 0 ? 0xFFFF : 0x3040 + x));
    for (std::uint32_t x : target) t.push_back(static_cast<char16_t>(x == 0 ? 0xFFFF : 0x3040 + x));
    CheckAlignment(s, t, options, checkpoints);
  }
  return 0;
}

// The anti-diagonal fill with AVX2: twice the lanes of SSE2. This file alone is compiled with
// -mavx2, and it only runs after the processor has been asked whether it has AVX2.

#include <immintrin.h>

#include "align/dp_diagonal_kernel.h"

namespace sorowa::detail {
namespace {

inline unsigned SpreadNibble(unsigned x) {
  x = (x | (x << 2)) & 0x33u;
  return (x | (x << 1)) & 0x55u;
}

struct Avx2Lanes16 {
  using Lane = std::int16_t;
  using V = __m256i;
  static constexpr int kLanes = 16;
  static V Load(const Lane* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(Lane* p, V v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static V Set1(int x) { return _mm256_set1_epi16(static_cast<short>(x)); }
  static V Add(V a, V b) { return _mm256_add_epi16(a, b); }
  static V CmpEq(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
  static V CmpGt(V a, V b) { return _mm256_cmpgt_epi16(a, b); }
  static V Min(V a, V b) { return _mm256_min_epi16(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
  // As with SSE2: low byte carries bit 0, high byte bit 1, and the byte mask is the codes.
  static void StoreSteps(V bit0, V bit1, std::uint8_t* out) {
    const V bytes =
        _mm256_or_si256(_mm256_and_si256(bit0, _mm256_set1_epi16(0x00FF)),
                        _mm256_and_si256(bit1, _mm256_set1_epi16(static_cast<short>(0xFF00))));
    const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
    __builtin_memcpy(out, &mask, sizeof mask);
  }
};

struct Avx2Lanes32 {
  using Lane = std::int32_t;
  using V = __m256i;
  static constexpr int kLanes = 8;
  static V Load(const Lane* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(Lane* p, V v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static V Set1(int x) { return _mm256_set1_epi32(x); }
  static V Add(V a, V b) { return _mm256_add_epi32(a, b); }
  static V CmpEq(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
  static V CmpGt(V a, V b) { return _mm256_cmpgt_epi32(a, b); }
  static V Min(V a, V b) { return _mm256_min_epi32(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
  static void StoreSteps(V bit0, V bit1, std::uint8_t* out) {
    for (int half = 0; half < 2; ++half) {
      const __m128i b0 =
          half == 0 ? _mm256_castsi256_si128(bit0) : _mm256_extracti128_si256(bit0, 1);
      const __m128i b1 =
          half == 0 ? _mm256_castsi256_si128(bit1) : _mm256_extracti128_si256(bit1, 1);
      const __m128i words = _mm_packs_epi32(b0, b1);
      const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(words, words)));
      out[half] = static_cast<std::uint8_t>(SpreadNibble(mask & 0xFu) |
                                            (SpreadNibble((mask >> 4) & 0xFu) << 1));
    }
  }
};

}  // namespace

std::int64_t FillDiagonalsAvx2(const DiagonalJob<std::int16_t>& job) {
  return FillDiagonals<Avx2Lanes16>(job);
}

std::int64_t FillDiagonalsAvx2(const DiagonalJob<std::int32_t>& job) {
  return FillDiagonals<Avx2Lanes32>(job);
}

void FillDiagonalAvx2(const DiagonalJob<std::int16_t>& job, std::ptrdiff_t d, std::ptrdiff_t lo,
                      std::ptrdiff_t hi, std::uint8_t* steps) {
  FillDiagonalMaybeSteps<Avx2Lanes16>(job, d, lo, hi, steps);
}

void FillDiagonalAvx2(const DiagonalJob<std::int32_t>& job, std::ptrdiff_t d, std::ptrdiff_t lo,
                      std::ptrdiff_t hi, std::uint8_t* steps) {
  FillDiagonalMaybeSteps<Avx2Lanes32>(job, d, lo, hi, steps);
}

}  // namespace sorowa::detail

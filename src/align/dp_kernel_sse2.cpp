// The anti-diagonal fill with SSE2, which every x86-64 processor has.

#include <emmintrin.h>

#include "align/dp_diagonal_kernel.h"

namespace sorowa::detail {
namespace {

// Spreads the four low bits of x to the even bits of a byte.
inline unsigned SpreadNibble(unsigned x) {
  x = (x | (x << 2)) & 0x33u;
  return (x | (x << 1)) & 0x55u;
}

struct Sse2Lanes16 {
  using Lane = std::int16_t;
  using V = __m128i;
  static constexpr int kLanes = 8;
  static V Load(const Lane* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(Lane* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static V Set1(int x) { return _mm_set1_epi16(static_cast<short>(x)); }
  static V Add(V a, V b) { return _mm_add_epi16(a, b); }
  static V CmpEq(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  static V CmpGt(V a, V b) { return _mm_cmpgt_epi16(a, b); }
  static V Min(V a, V b) { return _mm_min_epi16(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
  // Bit 0 of a lane's code from its low byte, bit 1 from its high byte: one byte mask gives
  // the 2-bit codes of all lanes in order.
  static void StoreSteps(V bit0, V bit1, std::uint8_t* out) {
    const V bytes = _mm_or_si128(_mm_and_si128(bit0, _mm_set1_epi16(0x00FF)),
                                 _mm_and_si128(bit1, _mm_set1_epi16(static_cast<short>(0xFF00))));
    const auto mask = static_cast<std::uint16_t>(_mm_movemask_epi8(bytes));
    __builtin_memcpy(out, &mask, sizeof mask);
  }
};

struct Sse2Lanes32 {
  using Lane = std::int32_t;
  using V = __m128i;
  static constexpr int kLanes = 4;
  static V Load(const Lane* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(Lane* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static V Set1(int x) { return _mm_set1_epi32(x); }
  static V Add(V a, V b) { return _mm_add_epi32(a, b); }
  static V CmpEq(V a, V b) { return _mm_cmpeq_epi32(a, b); }
  static V CmpGt(V a, V b) { return _mm_cmpgt_epi32(a, b); }
  static V Min(V a, V b) {
    const V aGreater = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(aGreater, b), _mm_andnot_si128(aGreater, a));
  }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
  static void StoreSteps(V bit0, V bit1, std::uint8_t* out) {
    const V words = _mm_packs_epi32(bit0, bit1);
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(words, words)));
    *out = static_cast<std::uint8_t>(SpreadNibble(mask & 0xFu) |
                                     (SpreadNibble((mask >> 4) & 0xFu) << 1));
  }
};

}  // namespace

std::int64_t FillDiagonalsSse2(const DiagonalJob<std::int16_t>& job) {
  return FillDiagonals<Sse2Lanes16>(job);
}

std::int64_t FillDiagonalsSse2(const DiagonalJob<std::int32_t>& job) {
  return FillDiagonals<Sse2Lanes32>(job);
}

void FillDiagonalSse2(const DiagonalJob<std::int16_t>& job, std::ptrdiff_t d, std::ptrdiff_t lo,
                      std::ptrdiff_t hi, std::uint8_t* steps) {
  FillDiagonalMaybeSteps<Sse2Lanes16>(job, d, lo, hi, steps);
}

void FillDiagonalSse2(const DiagonalJob<std::int32_t>& job, std::ptrdiff_t d, std::ptrdiff_t lo,
                      std::ptrdiff_t hi, std::uint8_t* steps) {
  FillDiagonalMaybeSteps<Sse2Lanes32>(job, d, lo, hi, steps);
}

}  // namespace sorowa::detail

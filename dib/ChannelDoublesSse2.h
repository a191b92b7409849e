#pragma once
// A pixel's four bytes as doubles in two 128-bit registers, for the SSE2 kernels that do
// the double-precision bilinear rule two channels at a time.

#if defined(__x86_64__) && defined(__GNUC__)
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

namespace moirelle {

// The four channels of a pixel as doubles: blue and green, red and alpha.
struct Channels2 {
    __m128d lo, hi;
};

inline Channels2 ChannelsOf(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    const __m128i zero = _mm_setzero_si128();
    const __m128i i32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero), zero);
    return {_mm_cvtepi32_pd(i32), _mm_cvtepi32_pd(_mm_srli_si128(i32, 8))};
}

} // namespace moirelle
#endif

#pragma once
// floor(x / 255) for every unsigned 16-bit lane: (x * 0x8081) >> 23, exact for x < 66052.
// The SSE2 form for the SSE2 kernels, the AVX2 form (carrying its own target, so it is
// never compiled for another level) for the AVX2 kernels.

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

namespace moirelle {

inline __m128i Div255x8(__m128i x) {
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}

__attribute__((target("avx2"))) inline __m256i Div255x16(__m256i x) {
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(0x8081))),
                             7);
}

} // namespace moirelle
#endif

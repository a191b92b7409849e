// The double-precision rule for the pixels the float form leaves, a pixel's four
// channels per 256-bit register. Only the function here carries the AVX2 target; the
// Windows build assembles the file with -muse-unaligned-vector-move (see CMakeLists.txt).
#include "dib/BilinearFloat.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define MOIRELLE_AVX2 __attribute__((target("avx2")))

namespace moirelle {
namespace {

MOIRELLE_AVX2 inline __m256d Channels(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(v)));
}

MOIRELLE_AVX2 inline __m256d Pass(__m256d a, __m256d b, __m256d w0, __m256d w1) {
    return _mm256_add_pd(_mm256_mul_pd(a, w0), _mm256_mul_pd(b, w1));
}

} // namespace

MOIRELLE_AVX2 void BilinearExactPixelsAvx2(const uint8_t* row0, const uint8_t* row1,
                                           const int32_t* taps, const double* weights, double r0,
                                           double r1, const uint32_t* pixels, size_t count,
                                           uint8_t* out) {
    const __m256d vr0 = _mm256_set1_pd(r0), vr1 = _mm256_set1_pd(r1);
    for (size_t k = 0; k < count; ++k) {
        const size_t i = pixels[k];
        const size_t x0 = static_cast<size_t>(taps[2 * i]) * 4;
        const size_t x1 = static_cast<size_t>(taps[2 * i + 1]) * 4;
        const __m256d w0 = _mm256_broadcast_sd(weights + 2 * i);
        const __m256d w1 = _mm256_broadcast_sd(weights + 2 * i + 1);
        const __m256d v = Pass(Pass(Channels(row0 + x0), Channels(row0 + x1), w0, w1),
                               Pass(Channels(row1 + x0), Channels(row1 + x1), w0, w1), vr0, vr1);
        const __m128i q = _mm256_cvttpd_epi32(v);
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(q, q), q));
        std::memcpy(out + 4 * i, &bytes, 4);
    }
}

} // namespace moirelle

#endif

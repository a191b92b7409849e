// The double-precision rule for the pixels the float form leaves, two channels per
// 128-bit register.
#include "dib/BilinearFloat.h"
#include "dib/ChannelDoublesSse2.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>

namespace moirelle {
namespace {

inline __m128d Pass(__m128d a, __m128d b, __m128d w0, __m128d w1) {
    return _mm_add_pd(_mm_mul_pd(a, w0), _mm_mul_pd(b, w1));
}

} // namespace

void BilinearExactPixelsSse2(const uint8_t* row0, const uint8_t* row1, const int32_t* taps,
                             const double* weights, double r0, double r1, const uint32_t* pixels,
                             size_t count, uint8_t* out) {
    const __m128d vr0 = _mm_set1_pd(r0), vr1 = _mm_set1_pd(r1);
    for (size_t k = 0; k < count; ++k) {
        const size_t i = pixels[k];
        const size_t x0 = static_cast<size_t>(taps[2 * i]) * 4;
        const size_t x1 = static_cast<size_t>(taps[2 * i + 1]) * 4;
        const __m128d w0 = _mm_set1_pd(weights[2 * i]), w1 = _mm_set1_pd(weights[2 * i + 1]);
        const Channels2 a = ChannelsOf(row0 + x0), b = ChannelsOf(row0 + x1);
        const Channels2 d = ChannelsOf(row1 + x0), e = ChannelsOf(row1 + x1);
        const __m128i lo =
            _mm_cvttpd_epi32(Pass(Pass(a.lo, b.lo, w0, w1), Pass(d.lo, e.lo, w0, w1), vr0, vr1));
        const __m128i hi =
            _mm_cvttpd_epi32(Pass(Pass(a.hi, b.hi, w0, w1), Pass(d.hi, e.hi, w0, w1), vr0, vr1));
        const __m128i q = _mm_unpacklo_epi64(lo, hi);
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(q, q), q));
        std::memcpy(out + 4 * i, &bytes, 4);
    }
}

} // namespace moirelle

#endif

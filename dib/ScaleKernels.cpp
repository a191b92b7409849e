#include "dib/ScaleKernels.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include "dib/VectorPaths.h"
#ifdef MOIRELLE_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace moirelle {

void NearestGather(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; ++i, out += 4)
        std::memcpy(out, src + static_cast<size_t>(columns[i]) * 4, 4);
}

void BilinearHorizontal128Scalar(const uint8_t* src, const int32_t* taps, const int32_t* k,
                                 size_t count, int16_t* A) {
    for (size_t i = 0; i < count; ++i, A += 4) {
        const uint8_t* a = src + static_cast<size_t>(taps[2 * i]) * 4;
        const uint8_t* b = src + static_cast<size_t>(taps[2 * i + 1]) * 4;
        const int32_t k0 = k[2 * i], k1 = k[2 * i + 1];
        for (int c = 0; c < 4; ++c)
            A[c] = static_cast<int16_t>(a[c] * k0 + b[c] * k1);
    }
}

void BilinearVertical128Scalar(const int16_t* A0, const int16_t* A1, int32_t k0, int32_t k1,
                               size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>((A0[i] * k0 + A1[i] * k1) >> 14);
}

void BilinearHorizontal128(const uint8_t* src, const int32_t* taps, const int32_t* k, size_t count,
                           int16_t* A) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 2 <= count; i += 2, A += 8) {
        __m128i sums[2];
        for (int p = 0; p < 2; ++p) {
            int32_t a, b;
            std::memcpy(&a, src + static_cast<size_t>(taps[2 * (i + p)]) * 4, 4);
            std::memcpy(&b, src + static_cast<size_t>(taps[2 * (i + p) + 1]) * 4, 4);
            // a0 b0 a1 b1 a2 b2 a3 b3 as 16-bit values, times k0 k1 pairwise.
            const __m128i ab = _mm_unpacklo_epi8(
                _mm_unpacklo_epi8(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b)), zero);
            const __m128i kk = _mm_set1_epi32((k[2 * (i + p) + 1] << 16) | k[2 * (i + p)]);
            sums[p] = _mm_madd_epi16(ab, kk);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(A), _mm_packs_epi32(sums[0], sums[1]));
    }
    BilinearHorizontal128Scalar(src, taps + 2 * i, k + 2 * i, count - i, A);
#else
    BilinearHorizontal128Scalar(src, taps, k, count, A);
#endif
}

void BilinearVertical128(const int16_t* A0, const int16_t* A1, int32_t k0, int32_t k1, size_t count,
                         uint8_t* out) {
#ifdef __SSE2__
    const __m128i kk = _mm_set1_epi32((k1 << 16) | k0);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i words[2];
        for (int p = 0; p < 2; ++p) {
            const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A0 + i + 8 * p));
            const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A1 + i + 8 * p));
            const __m128i lo = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(a0, a1), kk), 14);
            const __m128i hi = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(a0, a1), kk), 14);
            words[p] = _mm_packs_epi32(lo, hi);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words[0], words[1]));
    }
    BilinearVertical128Scalar(A0 + i, A1 + i, k0, k1, count - i, out + i);
#else
    BilinearVertical128Scalar(A0, A1, k0, k1, count, out);
#endif
}

void BilinearHorizontalScalar(const uint8_t* src, const int32_t* taps, const double* weights,
                              size_t count, double* h) {
    for (size_t i = 0; i < count; ++i, h += 4) {
        const uint8_t* a = src + static_cast<size_t>(taps[2 * i]) * 4;
        const uint8_t* b = src + static_cast<size_t>(taps[2 * i + 1]) * 4;
        const double w0 = weights[2 * i], w1 = weights[2 * i + 1];
        for (int c = 0; c < 4; ++c)
            h[c] = a[c] * w0 + b[c] * w1;
    }
}

void BilinearVerticalScalar(const double* h0, const double* h1, double w0, double w1, size_t count,
                            uint8_t* out) {
    for (size_t k = 0; k < count; ++k)
        out[k] = static_cast<uint8_t>(static_cast<int32_t>(h0[k] * w0 + h1[k] * w1));
}

namespace {

#ifdef MOIRELLE_HAVE_AVX2_PATHS

__attribute__((target("avx2"))) void HorizontalAvx2(const uint8_t* src, const int32_t* taps,
                                                    const double* weights, size_t count,
                                                    double* h) {
    for (size_t i = 0; i < count; ++i, h += 4) {
        int32_t a, b;
        std::memcpy(&a, src + static_cast<size_t>(taps[2 * i]) * 4, 4);
        std::memcpy(&b, src + static_cast<size_t>(taps[2 * i + 1]) * 4, 4);
        const __m256d da = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(a)));
        const __m256d db = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(b)));
        const __m256d w0 = _mm256_broadcast_sd(weights + 2 * i);
        const __m256d w1 = _mm256_broadcast_sd(weights + 2 * i + 1);
        _mm256_storeu_pd(h, _mm256_add_pd(_mm256_mul_pd(da, w0), _mm256_mul_pd(db, w1)));
    }
}

__attribute__((target("avx2"))) void VerticalAvx2(const double* h0, const double* h1, double w0,
                                                  double w1, size_t count, uint8_t* out) {
    const __m256d vw0 = _mm256_set1_pd(w0), vw1 = _mm256_set1_pd(w1);
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        __m128i q[4];
        for (int p = 0; p < 4; ++p) {
            const __m256d v = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(h0 + k + 4 * p), vw0),
                                            _mm256_mul_pd(_mm256_loadu_pd(h1 + k + 4 * p), vw1));
            q[p] = _mm256_cvttpd_epi32(v);
        }
        const __m128i w01 = _mm_packs_epi32(q[0], q[1]);
        const __m128i w23 = _mm_packs_epi32(q[2], q[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(w01, w23));
    }
    BilinearVerticalScalar(h0 + k, h1 + k, w0, w1, count - k, out + k);
}
#endif

#ifdef __SSE2__
void HorizontalSse2(const uint8_t* src, const int32_t* taps, const double* weights, size_t count,
                    double* h) {
    const __m128i zero = _mm_setzero_si128();
    for (size_t i = 0; i < count; ++i, h += 4) {
        int32_t a, b;
        std::memcpy(&a, src + static_cast<size_t>(taps[2 * i]) * 4, 4);
        std::memcpy(&b, src + static_cast<size_t>(taps[2 * i + 1]) * 4, 4);
        const __m128i ia = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(a), zero), zero);
        const __m128i ib = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(b), zero), zero);
        const __m128d w0 = _mm_set1_pd(weights[2 * i]);
        const __m128d w1 = _mm_set1_pd(weights[2 * i + 1]);
        const __m128d lo =
            _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(ia), w0), _mm_mul_pd(_mm_cvtepi32_pd(ib), w1));
        const __m128d hi = _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(ia, 8)), w0),
                                      _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(ib, 8)), w1));
        _mm_storeu_pd(h, lo);
        _mm_storeu_pd(h + 2, hi);
    }
}

void VerticalSse2(const double* h0, const double* h1, double w0, double w1, size_t count,
                  uint8_t* out) {
    const __m128d vw0 = _mm_set1_pd(w0), vw1 = _mm_set1_pd(w1);
    size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        __m128i q[4];
        for (int p = 0; p < 4; ++p) {
            const __m128d v = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(h0 + k + 2 * p), vw0),
                                         _mm_mul_pd(_mm_loadu_pd(h1 + k + 2 * p), vw1));
            q[p] = _mm_cvttpd_epi32(v); // two values in the low half
        }
        const __m128i a = _mm_unpacklo_epi64(q[0], q[1]);
        const __m128i b = _mm_unpacklo_epi64(q[2], q[3]);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), bytes);
    }
    BilinearVerticalScalar(h0 + k, h1 + k, w0, w1, count - k, out + k);
}
#endif

} // namespace

void BilinearHorizontal(const uint8_t* src, const int32_t* taps, const double* weights,
                        size_t count, double* h) {
#ifdef MOIRELLE_HAVE_AVX2_PATHS
    if (Use256BitPaths()) return HorizontalAvx2(src, taps, weights, count, h);
#endif
#ifdef __SSE2__
    return HorizontalSse2(src, taps, weights, count, h);
#else
    return BilinearHorizontalScalar(src, taps, weights, count, h);
#endif
}

void BilinearVertical(const double* h0, const double* h1, double w0, double w1, size_t count,
                      uint8_t* out) {
#ifdef MOIRELLE_HAVE_AVX2_PATHS
    if (Use256BitPaths()) return VerticalAvx2(h0, h1, w0, w1, count, out);
#endif
#ifdef __SSE2__
    return VerticalSse2(h0, h1, w0, w1, count, out);
#else
    return BilinearVerticalScalar(h0, h1, w0, w1, count, out);
#endif
}

} // namespace moirelle

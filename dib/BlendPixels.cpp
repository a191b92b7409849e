#include "dib/BlendPixels.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include "dib/VectorPaths.h"
#ifdef MOIRELLE_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace moirelle {
namespace {

void BlendRow32Scalar(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op,
                      const modParsers::GrayWeights* gray) {
    for (size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        const uint8_t a = src[3];
        if (a == 0) continue;
        if (a == 255 && op == 255 && !gray) {
            std::memcpy(dst, src, 4);
            continue;
        }
        BlendPixel(src, dst, 4, op, gray);
    }
}

#ifdef __SSE2__
// floor(x / 255) for every unsigned 16-bit lane: (x * 0x8081) >> 23, exact for x < 66052.
inline __m128i Div255x8(__m128i x) {
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Alpha of each of two pixels (16-bit lanes) broadcast to its four lanes.
inline __m128i BroadcastAlpha(__m128i px16) {
    px16 = _mm_shufflelo_epi16(px16, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm_shufflehi_epi16(px16, _MM_SHUFFLE(3, 3, 3, 3));
}

// op = 255: d * (255 - a) / 255 + s on every lane (the alpha lane's s is a itself).
inline __m128i OverOpaque(__m128i s16, __m128i d16) {
    const __m128i a = BroadcastAlpha(s16);
    const __m128i ia = _mm_sub_epi16(_mm_set1_epi16(255), a);
    return _mm_add_epi16(Div255x8(_mm_mullo_epi16(d16, ia)), s16);
}

// op < 255: (d * k + s * op) / 255 with k = 255 - a * op / 255. The sum saturates at
// 65535, which still divides to more than 255, so the packed byte is 255 exactly when
// the formula's value is above 255.
inline __m128i OverConstant(__m128i s16, __m128i d16, __m128i op16) {
    const __m128i a = BroadcastAlpha(s16);
    const __m128i k = _mm_sub_epi16(_mm_set1_epi16(255), Div255x8(_mm_mullo_epi16(a, op16)));
    const __m128i sum = _mm_adds_epu16(_mm_mullo_epi16(d16, k), _mm_mullo_epi16(s16, op16));
    return Div255x8(sum);
}

void BlendRow32Sse2(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i op16 = _mm_set1_epi16(static_cast<short>(op));
    size_t i = 0;
    for (; i + 4 <= count; i += 4, src += 16, dst += 16) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i sa = _mm_and_si128(s, alphaBytes);
        const __m128i keep = _mm_cmpeq_epi32(sa, zero); // alpha 0: the pixel stays
        if (_mm_movemask_epi8(keep) == 0xFFFF) continue;
        if (op == 255 && _mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaBytes)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s);
            continue;
        }
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
        const __m128i sLo = _mm_unpacklo_epi8(s, zero);
        const __m128i sHi = _mm_unpackhi_epi8(s, zero);
        const __m128i dLo = _mm_unpacklo_epi8(d, zero);
        const __m128i dHi = _mm_unpackhi_epi8(d, zero);
        __m128i r;
        if (op == 255)
            r = _mm_packus_epi16(OverOpaque(sLo, dLo), OverOpaque(sHi, dHi));
        else
            r = _mm_packus_epi16(OverConstant(sLo, dLo, op16), OverConstant(sHi, dHi, op16));
        r = _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), r);
    }
    BlendRow32Scalar(src, dst, count - i, op, nullptr);
}
#endif

#ifdef MOIRELLE_HAVE_AVX2_PATHS

// The same operations as the 128-bit form, eight pixels at a time.
__attribute__((target("avx2"))) inline __m256i Div255x16(__m256i x) {
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(0x8081))),
                             7);
}

__attribute__((target("avx2"))) inline __m256i BroadcastAlpha16(__m256i px16) {
    px16 = _mm256_shufflelo_epi16(px16, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm256_shufflehi_epi16(px16, _MM_SHUFFLE(3, 3, 3, 3));
}

__attribute__((target("avx2"))) void BlendRow32Avx2(const uint8_t* src, uint8_t* dst, size_t count,
                                                    uint32_t op) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i op16 = _mm256_set1_epi16(static_cast<short>(op));
    const __m256i c255 = _mm256_set1_epi16(255);
    size_t i = 0;
    for (; i + 8 <= count; i += 8, src += 32, dst += 32) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
        const __m256i sa = _mm256_and_si256(s, alphaBytes);
        const __m256i keep = _mm256_cmpeq_epi32(sa, zero);
        const uint32_t transparent = static_cast<uint32_t>(_mm256_movemask_epi8(keep));
        if (transparent == 0xFFFFFFFFu) continue;
        if (op == 255 && transparent == 0 &&
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaBytes))) ==
                0xFFFFFFFFu) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), s);
            continue;
        }
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
        const __m256i sLo = _mm256_unpacklo_epi8(s, zero);
        const __m256i sHi = _mm256_unpackhi_epi8(s, zero);
        const __m256i dLo = _mm256_unpacklo_epi8(d, zero);
        const __m256i dHi = _mm256_unpackhi_epi8(d, zero);
        const __m256i aLo = BroadcastAlpha16(sLo);
        const __m256i aHi = BroadcastAlpha16(sHi);
        __m256i rLo, rHi;
        if (op == 255) {
            rLo = _mm256_add_epi16(Div255x16(_mm256_mullo_epi16(dLo, _mm256_sub_epi16(c255, aLo))),
                                   sLo);
            rHi = _mm256_add_epi16(Div255x16(_mm256_mullo_epi16(dHi, _mm256_sub_epi16(c255, aHi))),
                                   sHi);
        } else {
            const __m256i kLo = _mm256_sub_epi16(c255, Div255x16(_mm256_mullo_epi16(aLo, op16)));
            const __m256i kHi = _mm256_sub_epi16(c255, Div255x16(_mm256_mullo_epi16(aHi, op16)));
            rLo = Div255x16(
                _mm256_adds_epu16(_mm256_mullo_epi16(dLo, kLo), _mm256_mullo_epi16(sLo, op16)));
            rHi = Div255x16(
                _mm256_adds_epu16(_mm256_mullo_epi16(dHi, kHi), _mm256_mullo_epi16(sHi, op16)));
        }
        const __m256i r = _mm256_packus_epi16(rLo, rHi); // lane-wise, matching the unpacks
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_blendv_epi8(r, d, keep));
    }
    BlendRow32Sse2(src, dst, count - i, op);
}
#endif

} // namespace

void BlendRow32(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op,
                const modParsers::GrayWeights* gray) {
#ifdef __SSE2__
    if (!gray) {
#ifdef MOIRELLE_HAVE_AVX2_PATHS
        if (Use256BitPaths()) return BlendRow32Avx2(src, dst, count, op);
#endif
        BlendRow32Sse2(src, dst, count, op);
        return;
    }
#endif
    BlendRow32Scalar(src, dst, count, op, gray);
}

void BlendRow24(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op,
                const modParsers::GrayWeights* gray) {
    for (size_t i = 0; i < count; ++i, src += 4, dst += 3) {
        const uint8_t a = src[3];
        if (a == 0) continue;
        if (a == 255 && op == 255 && !gray) {
            std::memcpy(dst, src, 3);
            continue;
        }
        BlendPixel(src, dst, 3, op, gray);
    }
}

} // namespace moirelle

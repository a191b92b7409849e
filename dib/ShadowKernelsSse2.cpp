// The SSE2 drop shadow: eight pixels a step, in 16-bit lanes where the values allow.
#include "dib/ShadowKernels.h"
#include "dib/ShadowRowFrame.h"

#ifdef __SSE2__
#include <emmintrin.h>

namespace moirelle {
namespace {

// floor(x / 255) for every unsigned 16-bit lane: (x * 0x8081) >> 23, exact for x < 66052.
inline __m128i Div255x8(__m128i x) {
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Eight alphas from eight pixels, in 16-bit lanes.
inline __m128i Alphas8(const uint8_t* p) {
    return _mm_packs_epi32(
        _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), 24),
        _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), 24));
}

void PrefixSse2(const uint8_t* pixels, uint16_t* prefix, size_t count, uint16_t& run) {
    __m128i carry = _mm_set1_epi16(static_cast<short>(run));
    auto step = [&](size_t x) {
        __m128i a = Alphas8(pixels + x * 4);
        a = _mm_add_epi16(a, _mm_slli_si128(a, 2));
        a = _mm_add_epi16(a, _mm_slli_si128(a, 4));
        a = _mm_add_epi16(a, _mm_slli_si128(a, 8));
        // The running sum waits for one addition per step, not for the shuffles.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(prefix + x), _mm_add_epi16(a, carry));
        carry = _mm_add_epi16(carry, _mm_shuffle_epi32(_mm_shufflehi_epi16(a, 0xFF), 0xFF));
    };
    size_t x = 0;
    for (; x + 16 <= count; x += 16) { // one cache line of source pixels
        _mm_prefetch(reinterpret_cast<const char*>(pixels + x * 4 + kShadowPrefetch), _MM_HINT_T0);
        step(x), step(x + 8);
    }
    if (x < count) step(x);
    run = static_cast<uint16_t>(_mm_cvtsi128_si32(carry));
}

// The pixels of eight alphas q (16-bit lanes): colour bytes q * byte / 255 by their
// factors, or, with a byte of 255 among them, by the product and the division by 255.
template <bool kFull> inline void Colour8(const ShadowRow& row, __m128i q, uint8_t* dst) {
    __m128i b, g, r;
    if constexpr (kFull) {
        b = Div255x8(_mm_mullo_epi16(q, _mm_set1_epi16(static_cast<short>(row.bytes[0]))));
        g = Div255x8(_mm_mullo_epi16(q, _mm_set1_epi16(static_cast<short>(row.bytes[1]))));
        r = Div255x8(_mm_mullo_epi16(q, _mm_set1_epi16(static_cast<short>(row.bytes[2]))));
    } else {
        b = _mm_mulhi_epu16(q, _mm_set1_epi16(static_cast<short>(row.factor[0])));
        g = _mm_mulhi_epu16(q, _mm_set1_epi16(static_cast<short>(row.factor[1])));
        r = _mm_mulhi_epu16(q, _mm_set1_epi16(static_cast<short>(row.factor[2])));
    }
    const __m128i bg = _mm_or_si128(b, _mm_slli_epi16(g, 8));
    const __m128i rq = _mm_or_si128(r, _mm_slli_epi16(q, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi16(bg, rq));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_unpackhi_epi16(bg, rq));
}

template <bool kWide, bool kFull> void PixelsSse2(const ShadowRow& row) {
    const uint16_t* prefix = row.prefix;
    const size_t n = row.n;
    const __m128i multiplier = _mm_set1_epi16(static_cast<short>(row.narrow.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(row.narrow.shift));
    const __m128 reciprocal = _mm_set1_ps(row.reciprocal);
    for (size_t x = 0; x < row.columns; x += 8) {
        const __m128i h =
            _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(prefix + n + x)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(prefix + x)));
        __m128i* ring = reinterpret_cast<__m128i*>(row.ring + x);
        const __m128i change = _mm_sub_epi16(h, _mm_loadu_si128(ring));
        _mm_storeu_si128(ring, h);
        __m128i q;
        if constexpr (kWide) {
            __m128i* sums = reinterpret_cast<__m128i*>(static_cast<uint32_t*>(row.sums) + x);
            const __m128i sign = _mm_cmpgt_epi16(_mm_setzero_si128(), change);
            const __m128i s0 =
                _mm_add_epi32(_mm_loadu_si128(sums), _mm_unpacklo_epi16(change, sign));
            const __m128i s1 =
                _mm_add_epi32(_mm_loadu_si128(sums + 1), _mm_unpackhi_epi16(change, sign));
            _mm_storeu_si128(sums, s0);
            _mm_storeu_si128(sums + 1, s1);
            q = _mm_packs_epi32(_mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(s0), reciprocal)),
                                _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(s1), reciprocal)));
        } else {
            __m128i* sums = reinterpret_cast<__m128i*>(static_cast<uint16_t*>(row.sums) + x);
            const __m128i s = _mm_add_epi16(_mm_loadu_si128(sums), change);
            _mm_storeu_si128(sums, s);
            q = _mm_srl_epi16(_mm_mulhi_epu16(s, multiplier), shift);
        }
        Colour8<kFull>(row, q,
                       x < row.outFull ? row.out + x * 4 : row.outTail + (x - row.outFull) * 4);
    }
}

constexpr ShadowRowStages kStagesSse2 = {8,
                                         PrefixSse2,
                                         {{PixelsSse2<false, false>, PixelsSse2<false, true>},
                                          {PixelsSse2<true, false>, PixelsSse2<true, true>}}};

} // namespace

bool DropShadowSse2(const ShadowJob& job) {
    return RunShadowRows(job, kStagesSse2);
}

} // namespace moirelle

#else

namespace moirelle {
bool DropShadowSse2(const ShadowJob& job) {
    return DropShadowPortable(job);
}
} // namespace moirelle

#endif

// The AVX2 drop shadow: sixteen pixels a step, the SSE2 level's operations in 256-bit
// registers. Only the functions here carry the AVX2 target, as in RenderKernelsAvx2.cpp.
#include "dib/ShadowKernels.h"
#include "dib/ShadowRowFrame.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define MOIRELLE_AVX2 __attribute__((target("avx2")))

namespace moirelle {
namespace {

MOIRELLE_AVX2 inline __m256i Div255x16(__m256i x) {
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(0x8081))),
                             7);
}

// Every 16-bit lane set to lane 7 of its 128-bit half.
MOIRELLE_AVX2 inline __m256i HalfTotals(__m256i v) {
    return _mm256_shuffle_epi32(_mm256_shufflehi_epi16(v, 0xFF), 0xFF);
}

MOIRELLE_AVX2 void PrefixAvx2(const uint8_t* pixels, uint16_t* prefix, size_t count,
                              uint16_t& run) {
    __m256i carry = _mm256_set1_epi16(static_cast<short>(run));
    for (size_t x = 0; x < count; x += 16) {
        const uint8_t* p = pixels + x * 4;
        _mm_prefetch(reinterpret_cast<const char*>(p + kShadowPrefetch), _MM_HINT_T0);
        // Pixels 0-3, 8-11 | 4-7, 12-15 once packed: put back in order.
        __m256i a = _mm256_permute4x64_epi64(
            _mm256_packs_epi32(
                _mm256_srli_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), 24),
                _mm256_srli_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)),
                                  24)),
            0xD8);
        a = _mm256_add_epi16(a, _mm256_slli_si256(a, 2)); // within each half
        a = _mm256_add_epi16(a, _mm256_slli_si256(a, 4));
        a = _mm256_add_epi16(a, _mm256_slli_si256(a, 8));
        // Each half's total into the high half and into both: the running sum waits for
        // one addition per step, not for the shuffles.
        const __m256i totals = HalfTotals(a);
        a = _mm256_add_epi16(a, _mm256_permute2x128_si256(totals, totals, 0x08));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(prefix + x), _mm256_add_epi16(a, carry));
        carry = _mm256_add_epi16(
            carry, _mm256_add_epi16(totals, _mm256_permute2x128_si256(totals, totals, 0x01)));
    }
    run = static_cast<uint16_t>(_mm256_cvtsi256_si32(carry));
}

template <bool kFull>
MOIRELLE_AVX2 inline void Colour16(const ShadowRow& row, __m256i q, uint8_t* dst) {
    __m256i b, g, r;
    if constexpr (kFull) {
        b = Div255x16(_mm256_mullo_epi16(q, _mm256_set1_epi16(static_cast<short>(row.bytes[0]))));
        g = Div255x16(_mm256_mullo_epi16(q, _mm256_set1_epi16(static_cast<short>(row.bytes[1]))));
        r = Div255x16(_mm256_mullo_epi16(q, _mm256_set1_epi16(static_cast<short>(row.bytes[2]))));
    } else {
        b = _mm256_mulhi_epu16(q, _mm256_set1_epi16(static_cast<short>(row.factor[0])));
        g = _mm256_mulhi_epu16(q, _mm256_set1_epi16(static_cast<short>(row.factor[1])));
        r = _mm256_mulhi_epu16(q, _mm256_set1_epi16(static_cast<short>(row.factor[2])));
    }
    const __m256i bg = _mm256_or_si256(b, _mm256_slli_epi16(g, 8));
    const __m256i rq = _mm256_or_si256(r, _mm256_slli_epi16(q, 8));
    const __m256i lo = _mm256_unpacklo_epi16(bg, rq); // pixels 0-3 | 8-11
    const __m256i hi = _mm256_unpackhi_epi16(bg, rq); // pixels 4-7 | 12-15
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32),
                        _mm256_permute2x128_si256(lo, hi, 0x31));
}

template <bool kWide, bool kFull> MOIRELLE_AVX2 void PixelsAvx2(const ShadowRow& row) {
    const uint16_t* prefix = row.prefix;
    const size_t n = row.n;
    const __m256i multiplier = _mm256_set1_epi16(static_cast<short>(row.narrow.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(row.narrow.shift));
    const __m256 reciprocal = _mm256_set1_ps(row.reciprocal);
    for (size_t x = 0; x < row.columns; x += 16) {
        const __m256i h =
            _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(prefix + n + x)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prefix + x)));
        __m256i* ring = reinterpret_cast<__m256i*>(row.ring + x);
        const __m256i change = _mm256_sub_epi16(h, _mm256_loadu_si256(ring));
        _mm256_storeu_si256(ring, h);
        __m256i q;
        if constexpr (kWide) {
            __m256i* sums = reinterpret_cast<__m256i*>(static_cast<uint32_t*>(row.sums) + x);
            const __m256i s0 = _mm256_add_epi32(
                _mm256_loadu_si256(sums), _mm256_cvtepi16_epi32(_mm256_castsi256_si128(change)));
            const __m256i s1 =
                _mm256_add_epi32(_mm256_loadu_si256(sums + 1),
                                 _mm256_cvtepi16_epi32(_mm256_extracti128_si256(change, 1)));
            _mm256_storeu_si256(sums, s0);
            _mm256_storeu_si256(sums + 1, s1);
            q = _mm256_permute4x64_epi64(
                _mm256_packs_epi32(
                    _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(s0), reciprocal)),
                    _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(s1), reciprocal))),
                0xD8);
        } else {
            __m256i* sums = reinterpret_cast<__m256i*>(static_cast<uint16_t*>(row.sums) + x);
            const __m256i s = _mm256_add_epi16(_mm256_loadu_si256(sums), change);
            _mm256_storeu_si256(sums, s);
            q = _mm256_srl_epi16(_mm256_mulhi_epu16(s, multiplier), shift);
        }
        Colour16<kFull>(row, q,
                        x < row.outFull ? row.out + x * 4 : row.outTail + (x - row.outFull) * 4);
    }
}

} // namespace

bool DropShadowAvx2(const ShadowJob& job) {
    static constexpr ShadowRowStages kStages = {
        16,
        PrefixAvx2,
        {{PixelsAvx2<false, false>, PixelsAvx2<false, true>},
         {PixelsAvx2<true, false>, PixelsAvx2<true, true>}}};
    return RunShadowRows(job, kStages);
}

} // namespace moirelle

#else

namespace moirelle {
bool DropShadowAvx2(const ShadowJob& job) {
    return DropShadowSse2(job);
}
} // namespace moirelle

#endif

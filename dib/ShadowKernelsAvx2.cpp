// The AVX2 drop shadow: sixteen pixels a step, the SSE2 level's operations in 256-bit
// registers. Only the functions here carry the AVX2 target, as in RenderKernelsAvx2.cpp.
#include "dib/Divide255Lanes.h"
#include "dib/ShadowKernels.h"
#include "dib/ShadowRowFrame.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define MOIRELLE_AVX2 __attribute__((target("avx2")))

namespace moirelle {
namespace {

// Every 16-bit lane set to lane 7 of its 128-bit half.
MOIRELLE_AVX2 inline __m256i HalfTotals(__m256i v) {
    return _mm256_shuffle_epi32(_mm256_shufflehi_epi16(v, 0xFF), 0xFF);
}

// The running sums of sixteen pixels after `carry`, stored to `prefix`; answers the new
// carry.
MOIRELLE_AVX2 inline __m256i PrefixStep(const uint8_t* p, uint16_t* prefix, __m256i carry) {
    // Pixels 0-3, 8-11 | 4-7, 12-15 once packed: put back in order.
    __m256i a = _mm256_permute4x64_epi64(
        _mm256_packs_epi32(
            _mm256_srli_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), 24),
            _mm256_srli_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), 24)),
        0xD8);
    a = _mm256_add_epi16(a, _mm256_slli_si256(a, 2)); // within each half
    a = _mm256_add_epi16(a, _mm256_slli_si256(a, 4));
    a = _mm256_add_epi16(a, _mm256_slli_si256(a, 8));
    // Each half's total into the high half and into both: the running sum waits for one
    // addition per step, not for the shuffles.
    const __m256i totals = HalfTotals(a);
    a = _mm256_add_epi16(a, _mm256_permute2x128_si256(totals, totals, 0x08));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(prefix), _mm256_add_epi16(a, carry));
    return _mm256_add_epi16(
        carry, _mm256_add_epi16(totals, _mm256_permute2x128_si256(totals, totals, 0x01)));
}

MOIRELLE_AVX2 void PrefixAvx2(const uint8_t* pixels, uint16_t* prefix, size_t count,
                              uint16_t& run) {
    __m256i carry = _mm256_set1_epi16(static_cast<short>(run));
    for (size_t x = 0; x < count; x += 16)
        carry = PrefixStep(pixels + x * 4, prefix + x, carry);
    run = static_cast<uint16_t>(_mm256_cvtsi256_si32(carry));
}

// The pixels of sixteen alphas q, as Colour8 of the SSE2 level.
template <int kColour> class Colour16 {
  public:
    MOIRELLE_AVX2 explicit Colour16(const ShadowRow& row)
        : blue_(Splat(row.blue)), green_(Splat(row.green)), red_(Splat(row.red)) {}

    MOIRELLE_AVX2 void operator()(__m256i q, uint8_t* dst) const {
        const __m256i q8 = _mm256_slli_epi16(q, 8);
        __m256i bg, rq;
        if constexpr (kColour == kShadowGrey) {
            const __m256i c = _mm256_mulhi_epu16(q, blue_);
            bg = _mm256_mullo_epi16(c, _mm256_set1_epi16(0x101));
            rq = _mm256_or_si256(c, q8);
        } else if constexpr (kColour == kShadowFactors) {
            const __m256i g8 =
                _mm256_and_si256(_mm256_mulhi_epu16(q8, green_), _mm256_set1_epi16(-256));
            bg = _mm256_or_si256(_mm256_mulhi_epu16(q, blue_), g8);
            rq = _mm256_or_si256(_mm256_mulhi_epu16(q, red_), q8);
        } else {
            bg = _mm256_or_si256(Div255x16(_mm256_mullo_epi16(q, blue_)),
                                 _mm256_slli_epi16(Div255x16(_mm256_mullo_epi16(q, green_)), 8));
            rq = _mm256_or_si256(Div255x16(_mm256_mullo_epi16(q, red_)), q8);
        }
        const __m256i lo = _mm256_unpacklo_epi16(bg, rq); // pixels 0-3 | 8-11
        const __m256i hi = _mm256_unpackhi_epi16(bg, rq); // pixels 4-7 | 12-15
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst),
                            _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32),
                            _mm256_permute2x128_si256(lo, hi, 0x31));
    }

  private:
    MOIRELLE_AVX2 static __m256i Splat(uint16_t v) {
        return _mm256_set1_epi16(static_cast<short>(v));
    }
    __m256i blue_, green_, red_;
};

template <bool kWide, int kColour, bool kNext> MOIRELLE_AVX2 void PixelsAvx2(const ShadowRow& row) {
    // Everything in locals: the stores below could otherwise be the row's own fields.
    const uint16_t* prefix = row.prefix;
    const uint16_t* entering = row.prefix + row.n;
    uint16_t* ring = row.ring;
    uint16_t* sums16 = static_cast<uint16_t*>(row.sums);
    uint32_t* sums32 = static_cast<uint32_t*>(row.sums);
    uint8_t* out = row.out;
    uint8_t* outTail = row.outTail;
    const size_t outFull = row.outFull, columns = row.columns;
    const uint8_t* next = row.next;
    const uint8_t* nextTail = row.nextTail;
    const size_t nextFull = row.nextFull;
    uint16_t* nextPrefix = row.nextPrefix;
    const __m256i multiplier = _mm256_set1_epi16(static_cast<short>(row.narrow.multiplier));
    const __m256i shift = _mm256_set1_epi16(static_cast<short>(row.narrow.ShiftFactor()));
    const __m256 reciprocal = _mm256_set1_ps(row.reciprocal);
    const Colour16<kColour> colour(row);
    __m256i carry = _mm256_setzero_si256();
    for (size_t x = 0; x < columns; x += 16) {
        if constexpr (kNext) {
            const uint8_t* p = x < nextFull ? next + x * 4 : nextTail + (x - nextFull) * 4;
            _mm_prefetch(reinterpret_cast<const char*>(p + kShadowPrefetch), _MM_HINT_T0);
            carry = PrefixStep(p, nextPrefix + x, carry);
        }
        _mm_prefetch(reinterpret_cast<const char*>(out + x * 4 + kShadowWriteAhead), _MM_HINT_T0);
        const __m256i h =
            _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(entering + x)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prefix + x)));
        __m256i* slot = reinterpret_cast<__m256i*>(ring + x);
        const __m256i change = _mm256_sub_epi16(h, _mm256_loadu_si256(slot));
        _mm256_storeu_si256(slot, h);
        __m256i q;
        if constexpr (kWide) {
            __m256i* sums = reinterpret_cast<__m256i*>(sums32 + x);
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
            __m256i* sums = reinterpret_cast<__m256i*>(sums16 + x);
            const __m256i s = _mm256_add_epi16(_mm256_loadu_si256(sums), change);
            _mm256_storeu_si256(sums, s);
            q = _mm256_mulhi_epu16(_mm256_mulhi_epu16(s, multiplier), shift);
        }
        colour(q, x < outFull ? out + x * 4 : outTail); // one step at most past outFull
    }
}

} // namespace

bool DropShadowAvx2(const ShadowJob& job) {
    static constexpr ShadowRowStages kStages = {
        16,
        PrefixAvx2,
        {{{PixelsAvx2<false, kShadowFactors, false>, PixelsAvx2<false, kShadowFactors, true>},
          {PixelsAvx2<false, kShadowGrey, false>, PixelsAvx2<false, kShadowGrey, true>},
          {PixelsAvx2<false, kShadowFullByte, false>, PixelsAvx2<false, kShadowFullByte, true>}},
         {{PixelsAvx2<true, kShadowFactors, false>, PixelsAvx2<true, kShadowFactors, true>},
          {PixelsAvx2<true, kShadowGrey, false>, PixelsAvx2<true, kShadowGrey, true>},
          {PixelsAvx2<true, kShadowFullByte, false>, PixelsAvx2<true, kShadowFullByte, true>}}}};
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

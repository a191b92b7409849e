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

// The running sums of eight pixels after `carry` (every lane the sum so far), stored to
// `prefix`; answers the new carry. The carry waits for one addition per step, not for the
// shuffles.
inline __m128i PrefixStep(const uint8_t* pixels, uint16_t* prefix, __m128i carry) {
    __m128i a = Alphas8(pixels);
    a = _mm_add_epi16(a, _mm_slli_si128(a, 2));
    a = _mm_add_epi16(a, _mm_slli_si128(a, 4));
    a = _mm_add_epi16(a, _mm_slli_si128(a, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(prefix), _mm_add_epi16(a, carry));
    return _mm_add_epi16(carry, _mm_shuffle_epi32(_mm_shufflehi_epi16(a, 0xFF), 0xFF));
}

void PrefixSse2(const uint8_t* pixels, uint16_t* prefix, size_t count, uint16_t& run) {
    __m128i carry = _mm_set1_epi16(static_cast<short>(run));
    for (size_t x = 0; x < count; x += 8)
        carry = PrefixStep(pixels + x * 4, prefix + x, carry);
    run = static_cast<uint16_t>(_mm_cvtsi128_si32(carry));
}

// The pixels of eight alphas q (16-bit lanes): colour bytes q * byte / 255 by their
// factors, or, with a byte of 255 among them, by the product and the division by 255.
template <bool kFull> class Colour8 {
  public:
    explicit Colour8(const ShadowRow& row)
        : blue_(Splat(row, 0)), green_(Splat(row, 1)), red_(Splat(row, 2)) {}

    void operator()(__m128i q, uint8_t* dst) const {
        // Green straight into the high byte: the high half of the product with q << 8 is
        // green << 8 plus the fraction's bits below.
        const __m128i q8 = _mm_slli_epi16(q, 8);
        const __m128i g8 = kFull ? _mm_slli_epi16(Byte(q, green_), 8)
                                 : _mm_and_si128(_mm_mulhi_epu16(q8, green_), _mm_set1_epi16(-256));
        const __m128i bg = _mm_or_si128(Byte(q, blue_), g8);
        const __m128i rq = _mm_or_si128(Byte(q, red_), q8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi16(bg, rq));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_unpackhi_epi16(bg, rq));
    }

  private:
    static __m128i Splat(const ShadowRow& row, int c) {
        return _mm_set1_epi16(static_cast<short>(kFull ? row.bytes[c] : row.factor[c]));
    }
    static __m128i Byte(__m128i q, __m128i k) {
        if constexpr (kFull)
            return Div255x8(_mm_mullo_epi16(q, k));
        else
            return _mm_mulhi_epu16(q, k);
    }
    __m128i blue_, green_, red_;
};

template <bool kWide, bool kFull, bool kNext> void PixelsSse2(const ShadowRow& row) {
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
    const __m128i multiplier = _mm_set1_epi16(static_cast<short>(row.narrow.multiplier));
    const __m128i shift = _mm_set1_epi16(static_cast<short>(row.narrow.ShiftFactor()));
    const __m128 reciprocal = _mm_set1_ps(row.reciprocal);
    const Colour8<kFull> colour(row);
    __m128i carry = _mm_setzero_si128();
    for (size_t x = 0; x < columns; x += 8) {
        if constexpr (kNext) {
            const uint8_t* p = x < nextFull ? next + x * 4 : nextTail + (x - nextFull) * 4;
            if ((x & 15) == 0) // once per cache line of source pixels
                _mm_prefetch(reinterpret_cast<const char*>(p + kShadowPrefetch), _MM_HINT_T0);
            carry = PrefixStep(p, nextPrefix + x, carry);
        }
        const __m128i h =
            _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(entering + x)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(prefix + x)));
        __m128i* slot = reinterpret_cast<__m128i*>(ring + x);
        const __m128i change = _mm_sub_epi16(h, _mm_loadu_si128(slot));
        _mm_storeu_si128(slot, h);
        __m128i q;
        if constexpr (kWide) {
            __m128i* sums = reinterpret_cast<__m128i*>(sums32 + x);
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
            __m128i* sums = reinterpret_cast<__m128i*>(sums16 + x);
            const __m128i s = _mm_add_epi16(_mm_loadu_si128(sums), change);
            _mm_storeu_si128(sums, s);
            q = _mm_mulhi_epu16(_mm_mulhi_epu16(s, multiplier), shift);
        }
        colour(q, x < outFull ? out + x * 4 : outTail + (x - outFull) * 4);
    }
}

constexpr ShadowRowStages kStagesSse2 = {
    8,
    PrefixSse2,
    {{{PixelsSse2<false, false, false>, PixelsSse2<false, false, true>},
      {PixelsSse2<false, true, false>, PixelsSse2<false, true, true>}},
     {{PixelsSse2<true, false, false>, PixelsSse2<true, false, true>},
      {PixelsSse2<true, true, false>, PixelsSse2<true, true, true>}}}};

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

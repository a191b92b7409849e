// The SSE2 drop shadow: eight pixels a step, in 16-bit lanes where the values allow.
#include "dib/Divide255Lanes.h"
#include "dib/ShadowKernels.h"
#include "dib/ShadowRowFrame.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>

namespace moirelle {
namespace {

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
// factors (one product for a grey), or, with a byte of 255, by the product and the
// division by 255.
template <int kColour> class Colour8 {
  public:
    explicit Colour8(const ShadowRow& row)
        : blue_(Splat(row.blue)), green_(Splat(row.green)), red_(Splat(row.red)) {}

    void operator()(__m128i q, uint8_t* dst) const {
        const __m128i q8 = _mm_slli_epi16(q, 8);
        __m128i bg, rq;
        if constexpr (kColour == kShadowGrey) {
            const __m128i c = _mm_mulhi_epu16(q, blue_);
            bg = _mm_mullo_epi16(c, _mm_set1_epi16(0x101));
            rq = _mm_or_si128(c, q8);
        } else if constexpr (kColour == kShadowFactors) {
            // Green straight into the high byte: the high half of the product with q << 8
            // is green << 8 plus the fraction's bits below.
            const __m128i g8 = _mm_and_si128(_mm_mulhi_epu16(q8, green_), _mm_set1_epi16(-256));
            bg = _mm_or_si128(_mm_mulhi_epu16(q, blue_), g8);
            rq = _mm_or_si128(_mm_mulhi_epu16(q, red_), q8);
        } else {
            bg = _mm_or_si128(Div255x8(_mm_mullo_epi16(q, blue_)),
                              _mm_slli_epi16(Div255x8(_mm_mullo_epi16(q, green_)), 8));
            rq = _mm_or_si128(Div255x8(_mm_mullo_epi16(q, red_)), q8);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi16(bg, rq));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_unpackhi_epi16(bg, rq));
    }

  private:
    static __m128i Splat(uint16_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    __m128i blue_, green_, red_;
};

template <bool kWide, int kColour, bool kNext> void PixelsSse2(const ShadowRow& row) {
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
    const Colour8<kColour> colour(row);
    __m128i carry = _mm_setzero_si128();
    auto step = [&](size_t x, const uint8_t* src, uint8_t* dst) {
        if constexpr (kNext) carry = PrefixStep(src, nextPrefix + x, carry);
        const __m128i h =
            _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(entering + x)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(prefix + x)));
        __m128i* slot = reinterpret_cast<__m128i*>(ring + x);
        const __m128i change = _mm_sub_epi16(h, _mm_loadu_si128(slot));
        _mm_storeu_si128(slot, h);
        __m128i q;
        if constexpr (kWide) {
            // The even and the odd columns' sums, each widened by a multiply-add (no
            // shuffle); their quotients go back to 16-bit lanes by a shift.
            __m128i* sums = reinterpret_cast<__m128i*>(sums32 + x);
            const __m128i even =
                _mm_add_epi32(_mm_loadu_si128(sums), _mm_madd_epi16(change, _mm_set1_epi32(1)));
            const __m128i odd = _mm_add_epi32(_mm_loadu_si128(sums + 1),
                                              _mm_madd_epi16(change, _mm_set1_epi32(0x10000)));
            _mm_storeu_si128(sums, even);
            _mm_storeu_si128(sums + 1, odd);
            q = _mm_or_si128(
                _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(even), reciprocal)),
                _mm_slli_epi32(_mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(odd), reciprocal)), 16));
        } else {
            __m128i* sums = reinterpret_cast<__m128i*>(sums16 + x);
            const __m128i s = _mm_add_epi16(_mm_loadu_si128(sums), change);
            _mm_storeu_si128(sums, s);
            q = _mm_mulhi_epu16(_mm_mulhi_epu16(s, multiplier), shift);
        }
        colour(q, dst);
    };
    // Whole cache lines of source pixels read and of shadow pixels written in place, then
    // the steps that take the tails.
    const size_t inPlace = std::min(kNext ? nextFull : columns, outFull) & ~size_t{15};
    size_t x = 0;
    for (; x < inPlace; x += 16) {
        const uint8_t* src = nullptr;
        if constexpr (kNext) {
            src = next + x * 4;
            _mm_prefetch(reinterpret_cast<const char*>(src + kShadowPrefetch), _MM_HINT_T0);
        }
        _mm_prefetch(reinterpret_cast<const char*>(out + x * 4 + kShadowWriteAhead), _MM_HINT_T0);
        step(x, src, out + x * 4);
        step(x + 8, kNext ? src + 32 : nullptr, out + x * 4 + 32);
    }
    for (; x < columns; x += 8) {
        const uint8_t* src = nullptr;
        if constexpr (kNext) src = x < nextFull ? next + x * 4 : nextTail + (x - nextFull) * 4;
        step(x, src, x < outFull ? out + x * 4 : outTail); // one step at most past outFull
    }
}

constexpr ShadowRowStages kStagesSse2 = {
    8,
    PrefixSse2,
    {{{PixelsSse2<false, kShadowFactors, false>, PixelsSse2<false, kShadowFactors, true>},
      {PixelsSse2<false, kShadowGrey, false>, PixelsSse2<false, kShadowGrey, true>},
      {PixelsSse2<false, kShadowFullByte, false>, PixelsSse2<false, kShadowFullByte, true>}},
     {{PixelsSse2<true, kShadowFactors, false>, PixelsSse2<true, kShadowFactors, true>},
      {PixelsSse2<true, kShadowGrey, false>, PixelsSse2<true, kShadowGrey, true>},
      {PixelsSse2<true, kShadowFullByte, false>, PixelsSse2<true, kShadowFullByte, true>}}}};

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

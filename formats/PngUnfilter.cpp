#include "formats/PngUnfilter.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace moirelle::png {
namespace {

void SubScalar(uint8_t* row, size_t length, size_t d) {
    for (size_t i = d; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + row[i - d]);
}

void AverageScalar(uint8_t* row, const uint8_t* prior, size_t length, size_t d) {
    const size_t head = d < length ? d : length;
    for (size_t i = 0; i < head; ++i)
        row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
    for (size_t i = d; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - d] + prior[i]) >> 1));
}

void PaethScalar(uint8_t* row, const uint8_t* prior, size_t length, size_t d) {
    const size_t head = d < length ? d : length;
    for (size_t i = 0; i < head; ++i)
        row[i] = static_cast<uint8_t>(row[i] + prior[i]);
    for (size_t i = d; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + PaethPredictor(row[i - d], prior[i], prior[i - d]));
}

#ifdef __SSE2__

// One pixel of D bytes (3, 4, 6 or 8) into the low bytes of a register, and back.
// Pixels of 3 and 6 bytes are assembled in general registers: going through memory
// would stall on store forwarding.
template <int D> __m128i LoadPixel(const uint8_t* p) {
    if constexpr (D == 4) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(v);
    } else if constexpr (D == 8) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    } else if constexpr (D == 3) {
        uint16_t lo;
        std::memcpy(&lo, p, 2);
        return _mm_cvtsi32_si128(static_cast<int32_t>(lo | static_cast<uint32_t>(p[2]) << 16));
    } else {
        uint32_t lo;
        uint16_t hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 2);
        return _mm_cvtsi64_si128(static_cast<int64_t>(lo | static_cast<uint64_t>(hi) << 32));
    }
}
template <int D> void StorePixel(uint8_t* p, __m128i v) {
    if constexpr (D == 4) {
        const int32_t x = _mm_cvtsi128_si32(v);
        std::memcpy(p, &x, 4);
    } else if constexpr (D == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    } else if constexpr (D == 3) {
        const uint32_t x = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
        const uint16_t lo = static_cast<uint16_t>(x);
        std::memcpy(p, &lo, 2);
        p[2] = static_cast<uint8_t>(x >> 16);
    } else {
        const uint64_t x = static_cast<uint64_t>(_mm_cvtsi128_si64(v));
        const uint32_t lo = static_cast<uint32_t>(x);
        const uint16_t hi = static_cast<uint16_t>(x >> 32);
        std::memcpy(p, &lo, 4);
        std::memcpy(p + 4, &hi, 2);
    }
}

template <int D> void SubSimd(uint8_t* row, size_t length) {
    const size_t pixels = length / D;
    __m128i left = _mm_setzero_si128();
    for (size_t i = 0; i < pixels; ++i) {
        uint8_t* p = row + i * D;
        left = _mm_add_epi8(LoadPixel<D>(p), left);
        StorePixel<D>(p, left);
    }
}

template <int D> void AverageSimd(uint8_t* row, const uint8_t* prior, size_t length) {
    const size_t pixels = length / D;
    const __m128i one = _mm_set1_epi8(1);
    __m128i left = _mm_setzero_si128();
    for (size_t i = 0; i < pixels; ++i) {
        uint8_t* p = row + i * D;
        const __m128i above = LoadPixel<D>(prior + i * D);
        // floor((left + above) / 2): the rounded-up average less the dropped low bit.
        const __m128i avg =
            _mm_sub_epi8(_mm_avg_epu8(left, above), _mm_and_si128(_mm_xor_si128(left, above), one));
        left = _mm_add_epi8(LoadPixel<D>(p), avg);
        StorePixel<D>(p, left);
    }
}

inline __m128i Abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

template <int D> void PaethSimd(uint8_t* row, const uint8_t* prior, size_t length) {
    const size_t pixels = length / D;
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowBytes = _mm_set1_epi16(0xFF);
    __m128i a = zero; // left, unfiltered, 16-bit lanes
    __m128i c = zero; // upper-left
    for (size_t i = 0; i < pixels; ++i) {
        uint8_t* p = row + i * D;
        const __m128i b = _mm_unpacklo_epi8(LoadPixel<D>(prior + i * D), zero);
        const __m128i raw = _mm_unpacklo_epi8(LoadPixel<D>(p), zero);
        const __m128i bc = _mm_sub_epi16(b, c);
        const __m128i ac = _mm_sub_epi16(a, c);
        const __m128i pa = Abs16(bc);
        const __m128i pb = Abs16(ac);
        const __m128i pc = Abs16(_mm_add_epi16(ac, bc));
        // c when pb > pc, else b; then a unless pa exceeds pb or pc.
        const __m128i useC = _mm_cmpgt_epi16(pb, pc);
        __m128i pred = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, b));
        const __m128i notA = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
        pred = _mm_or_si128(_mm_and_si128(notA, pred), _mm_andnot_si128(notA, a));
        // The sum stays in 16-bit lanes (modulo 256) for the next pixel; packing is
        // only for the store.
        a = _mm_and_si128(_mm_add_epi16(raw, pred), lowBytes);
        StorePixel<D>(p, _mm_packus_epi16(a, zero));
        c = b;
    }
}

template <int D>
bool DispatchSimd(uint8_t type, uint8_t* row, const uint8_t* prior, size_t length) {
    if (length % D != 0) return false;
    switch (type) {
    case filterSub:
        SubSimd<D>(row, length);
        return true;
    case filterAverage:
        AverageSimd<D>(row, prior, length);
        return true;
    case filterPaeth:
        PaethSimd<D>(row, prior, length);
        return true;
    default:
        return false;
    }
}

// The per-pixel SIMD routines for the common pixel sizes; false when none applies.
bool UnfilterSimd(uint8_t type, uint8_t* row, const uint8_t* prior, size_t length, int32_t d) {
    switch (d) {
    case 3:
        return DispatchSimd<3>(type, row, prior, length);
    case 4:
        return DispatchSimd<4>(type, row, prior, length);
    case 6:
        return DispatchSimd<6>(type, row, prior, length);
    case 8:
        return DispatchSimd<8>(type, row, prior, length);
    default:
        return false;
    }
}

#endif

} // namespace

void UnfilterSub(uint8_t* row, size_t length, int32_t distance) {
#ifdef __SSE2__
    if (UnfilterSimd(filterSub, row, nullptr, length, distance)) return;
#endif
    SubScalar(row, length, static_cast<size_t>(distance));
}

void UnfilterUp(uint8_t* row, const uint8_t* prior, size_t length) {
    size_t i = 0;
#ifdef __SSE2__
    for (; i + 16 <= length; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(x, b));
    }
#endif
    for (; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

void UnfilterAverage(uint8_t* row, const uint8_t* prior, size_t length, int32_t distance) {
#ifdef __SSE2__
    if (UnfilterSimd(filterAverage, row, prior, length, distance)) return;
#endif
    AverageScalar(row, prior, length, static_cast<size_t>(distance));
}

void UnfilterPaeth(uint8_t* row, const uint8_t* prior, size_t length, int32_t distance) {
#ifdef __SSE2__
    if (UnfilterSimd(filterPaeth, row, prior, length, distance)) return;
#endif
    PaethScalar(row, prior, length, static_cast<size_t>(distance));
}

bool UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prior, size_t length,
                 int32_t distance) {
    switch (type) {
    case filterNone:
        return true;
    case filterSub:
        UnfilterSub(row, length, distance);
        return true;
    case filterUp:
        UnfilterUp(row, prior, length);
        return true;
    case filterAverage:
        UnfilterAverage(row, prior, length, distance);
        return true;
    case filterPaeth:
        UnfilterPaeth(row, prior, length, distance);
        return true;
    default:
        return false;
    }
}

} // namespace moirelle::png

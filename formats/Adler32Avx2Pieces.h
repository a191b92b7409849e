#pragma once
// Adler-32's AVX2 step over pieces of 64 bytes, for the checksum's block loop. Per piece the low
// sum grows by the bytes' sum and the high sum by 64 times the low sum before the piece plus the
// bytes weighted 64, 63, ..., 1. The weights are taken less 32, from 32 down to -31, and 32 times
// the bytes' sum is added back at the end: byte products of one piece summed in fours then lie
// within 255 × ±63, so two pieces add up in 16 bits and one widening step serves 128 bytes.
//
// Only these functions carry the AVX2 target; the Windows build assembles the files that
// include this one with -muse-unaligned-vector-move (see CMakeLists.txt), as the Windows
// x86-64 compiler cannot align the stack to 32 bytes.

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cstdint>
#include <immintrin.h>

#define MOIRELLE_ADLER_AVX2 __attribute__((target("avx2"))) inline

namespace moirelle::adler {

MOIRELLE_ADLER_AVX2 uint32_t Sum32(__m256i v) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(s));
}

MOIRELLE_ADLER_AVX2 __m256i Load32(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The lanes' sums since Clear. `pairs` counts the low sum before every second piece
// (times 128 in the high sum), `firsts` the first piece of each pair (it comes before the
// second: times 64).
struct Avx2Pieces {
    __m256i low, pairs, firsts, weighted;

    MOIRELLE_ADLER_AVX2 void Clear() { low = pairs = firsts = weighted = _mm256_setzero_si256(); }

    // The 64 bytes in d0, d1 weighted, in 16-bit lanes.
    MOIRELLE_ADLER_AVX2 static __m256i Weighted64(__m256i d0, __m256i d1) {
        const __m256i w0 =
            _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                             14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
        const __m256i w1 = _mm256_setr_epi8(0, -1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12,
                                            -13, -14, -15, -16, -17, -18, -19, -20, -21, -22, -23,
                                            -24, -25, -26, -27, -28, -29, -30, -31);
        return _mm256_add_epi16(_mm256_maddubs_epi16(d0, w0), _mm256_maddubs_epi16(d1, w1));
    }

    MOIRELLE_ADLER_AVX2 static __m256i BytesSum(__m256i d0, __m256i d1) {
        const __m256i zero = _mm256_setzero_si256();
        return _mm256_add_epi32(_mm256_sad_epu8(d0, zero), _mm256_sad_epu8(d1, zero));
    }

    // Two pieces: the 128 bytes at p.
    MOIRELLE_ADLER_AVX2 void Add128(const uint8_t* p) {
        const __m256i d0 = Load32(p), d1 = Load32(p + 32), d2 = Load32(p + 64), d3 = Load32(p + 96);
        const __m256i s01 = BytesSum(d0, d1);
        pairs = _mm256_add_epi32(pairs, low);
        firsts = _mm256_add_epi32(firsts, s01);
        low = _mm256_add_epi32(low, _mm256_add_epi32(s01, BytesSum(d2, d3)));
        const __m256i m = _mm256_add_epi16(Weighted64(d0, d1), Weighted64(d2, d3));
        weighted = _mm256_add_epi32(weighted, _mm256_madd_epi16(m, _mm256_set1_epi16(1)));
    }

    // One last piece of 64 bytes at p; answers the low sum before it (times 64 in the
    // high sum).
    MOIRELLE_ADLER_AVX2 uint32_t Add64(const uint8_t* p) {
        const __m256i d0 = Load32(p), d1 = Load32(p + 32);
        const uint32_t before = Sum32(low);
        low = _mm256_add_epi32(low, BytesSum(d0, d1));
        weighted =
            _mm256_add_epi32(weighted, _mm256_madd_epi16(Weighted64(d0, d1), _mm256_set1_epi16(1)));
        return before;
    }

    // What the pieces add to the high sum, beyond `a` times their length.
    MOIRELLE_ADLER_AVX2 uint32_t HighPart(uint32_t total) const {
        return 128 * Sum32(pairs) + 64 * Sum32(firsts) + 32 * total + Sum32(weighted);
    }
};

} // namespace moirelle::adler
#endif

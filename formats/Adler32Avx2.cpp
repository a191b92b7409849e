// The AVX2 form of Adler-32's block step. Only this function carries the AVX2 target;
// the Windows build assembles the file with -muse-unaligned-vector-move (see
// CMakeLists.txt), as the Windows x86-64 compiler cannot align the stack to 32 bytes.
#include "formats/Adler32Kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

namespace moirelle::adler {
namespace {

__attribute__((target("avx2"))) inline uint32_t Sum32(__m256i v) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(s));
}

__attribute__((target("avx2"))) inline __m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

} // namespace

// Pieces of 64 bytes: the low sum grows by the bytes' sum, the high sum by 64 times the
// low sum before the piece plus the bytes weighted 64, 63, ..., 1. The weights are taken
// less 32, from 32 down to -31, and 32 times the bytes' sum added back at the end: byte
// products of one piece summed in fours then lie within 255 × ±63, so two pieces add up
// in 16 bits and one widening step serves 128 bytes.
__attribute__((target("avx2"))) void BlockAvx2(uint32_t& a, uint32_t& b, const uint8_t* p,
                                               size_t n) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i w0 = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18,
                                        17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m256i w1 =
        _mm256_setr_epi8(0, -1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12, -13, -14, -15, -16,
                         -17, -18, -19, -20, -21, -22, -23, -24, -25, -26, -27, -28, -29, -30, -31);
    // `pairs` counts the low sum before every second piece (times 128), `firsts` the first
    // piece of each pair (it comes before the second: times 64).
    __m256i low = zero, pairs = zero, firsts = zero, weighted = zero;
    b += a * static_cast<uint32_t>(n);
    const uint8_t* const end = p + n;
    for (; end - p >= 128; p += 128) {
        const __m256i d0 = Load(p), d1 = Load(p + 32), d2 = Load(p + 64), d3 = Load(p + 96);
        const __m256i s01 = _mm256_add_epi32(_mm256_sad_epu8(d0, zero), _mm256_sad_epu8(d1, zero));
        const __m256i s23 = _mm256_add_epi32(_mm256_sad_epu8(d2, zero), _mm256_sad_epu8(d3, zero));
        pairs = _mm256_add_epi32(pairs, low);
        firsts = _mm256_add_epi32(firsts, s01);
        low = _mm256_add_epi32(low, _mm256_add_epi32(s01, s23));
        const __m256i m01 =
            _mm256_add_epi16(_mm256_maddubs_epi16(d0, w0), _mm256_maddubs_epi16(d1, w1));
        const __m256i m23 =
            _mm256_add_epi16(_mm256_maddubs_epi16(d2, w0), _mm256_maddubs_epi16(d3, w1));
        weighted = _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_add_epi16(m01, m23), ones));
    }
    uint32_t single = 0; // the low sum before a last piece of 64, times 64
    if (p != end) {
        const __m256i d0 = Load(p), d1 = Load(p + 32);
        single = Sum32(low);
        low = _mm256_add_epi32(
            low, _mm256_add_epi32(_mm256_sad_epu8(d0, zero), _mm256_sad_epu8(d1, zero)));
        weighted = _mm256_add_epi32(
            weighted, _mm256_madd_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(d0, w0),
                                                         _mm256_maddubs_epi16(d1, w1)),
                                        ones));
    }
    const uint32_t total = Sum32(low);
    a += total;
    b += 128 * Sum32(pairs) + 64 * Sum32(firsts) + 64 * single + 32 * total + Sum32(weighted);
}

__attribute__((target("avx"))) void ClearUpperHalves() {
    _mm256_zeroupper();
}

} // namespace moirelle::adler
#endif

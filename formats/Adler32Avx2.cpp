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

} // namespace

// Pieces of 64 bytes: the low sum grows by the bytes' sum, the high sum by 64 times the
// low sum before the piece plus the bytes weighted 64, 63, ..., 1 (byte products summed
// in pairs stay below 2^15: 255 × (64 + 63)).
__attribute__((target("avx2"))) void BlockAvx2(uint32_t& a, uint32_t& b, const uint8_t* p,
                                               size_t n) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i w0 =
        _mm256_setr_epi8(64, 63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46,
                         45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33);
    const __m256i w1 = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18,
                                        17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    __m256i low = zero, before = zero, weighted = zero;
    b += a * static_cast<uint32_t>(n);
    for (const uint8_t* end = p + n; p != end; p += 64) {
        const __m256i d0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i d1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        before = _mm256_add_epi32(before, low);
        low = _mm256_add_epi32(
            low, _mm256_add_epi32(_mm256_sad_epu8(d0, zero), _mm256_sad_epu8(d1, zero)));
        const __m256i m = _mm256_maddubs_epi16(d0, w0);
        weighted = _mm256_add_epi32(
            weighted, _mm256_add_epi32(_mm256_madd_epi16(m, ones),
                                       _mm256_madd_epi16(_mm256_maddubs_epi16(d1, w1), ones)));
    }
    a += Sum32(low);
    b += 64 * Sum32(before) + Sum32(weighted);
}

__attribute__((target("avx"))) void ClearUpperHalves() {
    _mm256_zeroupper();
}

} // namespace moirelle::adler
#endif

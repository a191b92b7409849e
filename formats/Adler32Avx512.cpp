// Adler-32's block step with 512-bit registers and the byte dot product (VNNI).
//
// Per piece of 64 bytes the low sum grows by the bytes' sum and the high sum by 64 times
// the low sum before the piece plus the bytes weighted 64, 63, ..., 1. Four pieces are
// taken per step, each with its own weighted sum (the dot product's latency is several
// steps of the others), and nothing is reduced modulo 65521 inside the block: the byte
// sums lie in 64-bit lanes, the weighted sums in 32-bit lanes (at most 4 × 255 × 64 per
// piece and lane, so below 2^32 for a block of up to 2^20 bytes), and the caller's final
// sums are formed and reduced in 64 bits.
//
// Like the AVX2 file, the Windows build assembles this one with
// -muse-unaligned-vector-move (see CMakeLists.txt).
#include "formats/Adler32Kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
// GCC 12's 512-bit intrinsics start from a deliberately undefined register value, which its
// own uninitialised-use warning then reports inside the header.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace moirelle::adler {
namespace {

constexpr uint64_t kBase = 65521;

#define MOIRELLE_ADLER_AVX512 __attribute__((target("avx512f,avx512bw,avx512vnni")))

MOIRELLE_ADLER_AVX512 inline __m512i Load64(const uint8_t* p) {
    return _mm512_loadu_si512(p);
}

} // namespace

MOIRELLE_ADLER_AVX512 void BlockAvx512(uint32_t& a, uint32_t& b, const uint8_t* p, size_t n) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i weights = _mm512_set_epi8(
        1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
        26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48,
        49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64);
    // low: the bytes' sum so far; lows: the sum of `low` before every step of four pieces;
    // c0, c1, c2: the sums of a step's first, second and third pieces, which come before
    // three, two and one more of its pieces.
    __m512i low = zero, lows = zero, c0 = zero, c1 = zero, c2 = zero;
    __m512i w0 = zero, w1 = zero, w2 = zero, w3 = zero;
    const uint8_t* const end = p + n;
    for (; end - p >= 256; p += 256) {
        const __m512i d0 = Load64(p), d1 = Load64(p + 64), d2 = Load64(p + 128),
                      d3 = Load64(p + 192);
        const __m512i s0 = _mm512_sad_epu8(d0, zero), s1 = _mm512_sad_epu8(d1, zero);
        const __m512i s2 = _mm512_sad_epu8(d2, zero), s3 = _mm512_sad_epu8(d3, zero);
        w0 = _mm512_dpbusd_epi32(w0, d0, weights);
        w1 = _mm512_dpbusd_epi32(w1, d1, weights);
        w2 = _mm512_dpbusd_epi32(w2, d2, weights);
        w3 = _mm512_dpbusd_epi32(w3, d3, weights);
        lows = _mm512_add_epi64(lows, low);
        c0 = _mm512_add_epi64(c0, s0);
        c1 = _mm512_add_epi64(c1, s1);
        c2 = _mm512_add_epi64(c2, s2);
        low = _mm512_add_epi64(
            low, _mm512_add_epi64(_mm512_add_epi64(s0, s1), _mm512_add_epi64(s2, s3)));
    }
    // The sum of `low` before every piece so far.
    __m512i before =
        _mm512_add_epi64(_mm512_add_epi64(_mm512_slli_epi64(lows, 2), _mm512_add_epi64(c0, c0)),
                         _mm512_add_epi64(_mm512_add_epi64(c0, c1), _mm512_add_epi64(c1, c2)));
    for (; p != end; p += 64) {
        const __m512i d = Load64(p);
        w0 = _mm512_dpbusd_epi32(w0, d, weights);
        before = _mm512_add_epi64(before, low);
        low = _mm512_add_epi64(low, _mm512_sad_epu8(d, zero));
    }
    const __m512i weighted = _mm512_add_epi32(_mm512_add_epi32(w0, w1), _mm512_add_epi32(w2, w3));
    const uint64_t total = static_cast<uint64_t>(_mm512_reduce_add_epi64(low));
    const uint64_t high =
        64 * static_cast<uint64_t>(_mm512_reduce_add_epi64(before)) +
        static_cast<uint64_t>(_mm512_reduce_add_epi64(_mm512_add_epi64(
            _mm512_unpacklo_epi32(weighted, zero), _mm512_unpackhi_epi32(weighted, zero))));
    const uint64_t a0 = a;
    a = static_cast<uint32_t>((a0 + total) % kBase);
    b = static_cast<uint32_t>((b + a0 * n + high) % kBase);
}

bool HasAvx512() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_OSXSAVE)) return false;
    uint32_t lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    // The system saves the XMM, YMM, mask and both halves of the ZMM registers.
    if ((lo & 0xE6) != 0xE6 || __get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_AVX512F) && (ebx & bit_AVX512BW) && (ecx & bit_AVX512VNNI);
}

} // namespace moirelle::adler
#endif

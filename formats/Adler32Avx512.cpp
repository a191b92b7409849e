// Adler-32's block step with 512-bit registers and the byte dot product (VNNI).
//
// Per step of 256 bytes the low sum grows by the bytes' sum and the high sum by 256 times
// the low sum before the step plus the bytes weighted 256, 255, ..., 1. The dot product
// takes signed byte weights, so the weights are taken less 129 (127 down to -128) and 129
// times the bytes' sum is added back at the end. Each of the four pieces of 64 bytes of a
// step has its own weighted sum (the dot product's latency spans several steps), and
// nothing is reduced modulo 65521 inside the block: the byte sums lie in 64-bit lanes, the
// weighted sums in signed 32-bit lanes, added together before they are widened. A lane of
// the four together moves per step by at most 255 × (127 + 126 + 125 + 124 + 63 + ... + 60)
// = 190,740 up (its bytes in the first two pieces) or 255 × (61 + ... + 64 + 125 + ... + 128)
// = 192,780 down, so a block of 2^21 bytes (8192 steps, and at most three last pieces)
// stays within 2^31; twice that would not. The final sums are formed and reduced in 64 bits. A
// block's last pieces of 64 bytes, fewer than four, are weighted 64, ..., 1 on their own.
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

// The 64 byte weights first, first - 1, ..., first - 63.
MOIRELLE_ADLER_AVX512 inline __m512i Weights(char first) {
    const __m512i index = _mm512_set_epi64(
        0x3F3E3D3C3B3A3938, 0x3736353433323130, 0x2F2E2D2C2B2A2928, 0x2726252423222120,
        0x1F1E1D1C1B1A1918, 0x1716151413121110, 0x0F0E0D0C0B0A0908, 0x0706050403020100);
    return _mm512_sub_epi8(_mm512_set1_epi8(first), index);
}

// The lanes' sum, in 64 bits (wrapping: the sums formed from it are right modulo 2^64).
MOIRELLE_ADLER_AVX512 inline uint64_t Sum(__m512i v) {
    return static_cast<uint64_t>(_mm512_reduce_add_epi64(v));
}

} // namespace

MOIRELLE_ADLER_AVX512 void BlockAvx512(uint32_t& a, uint32_t& b, const uint8_t* p, size_t n) {
    const __m512i zero = _mm512_setzero_si512();
    // Byte j of a step weighted 127 - j; byte i of a last piece 64 - i.
    const __m512i k0 = Weights(127), k1 = Weights(63), k2 = Weights(-1), k3 = Weights(-65);
    const __m512i single = Weights(64);
    // low: the bytes' sum so far; steps: the sum of `low` before every step.
    __m512i low = zero, steps = zero;
    __m512i w0 = zero, w1 = zero, w2 = zero, w3 = zero;
    for (size_t left = n / 256; left != 0; --left, p += 256) {
        const __m512i d0 = Load64(p), d1 = Load64(p + 64), d2 = Load64(p + 128),
                      d3 = Load64(p + 192);
        w0 = _mm512_dpbusd_epi32(w0, d0, k0);
        w1 = _mm512_dpbusd_epi32(w1, d1, k1);
        w2 = _mm512_dpbusd_epi32(w2, d2, k2);
        w3 = _mm512_dpbusd_epi32(w3, d3, k3);
        steps = _mm512_add_epi64(steps, low);
        low = _mm512_add_epi64(
            low, _mm512_add_epi64(
                     _mm512_add_epi64(_mm512_sad_epu8(d0, zero), _mm512_sad_epu8(d1, zero)),
                     _mm512_add_epi64(_mm512_sad_epu8(d2, zero), _mm512_sad_epu8(d3, zero))));
    }
    const __m512i inSteps = low;
    // pieces: the sum of `low` before every last piece; wl: their weighted sum.
    __m512i pieces = zero, wl = zero;
    for (size_t left = n / 64 % 4; left != 0; --left, p += 64) {
        const __m512i d = Load64(p);
        wl = _mm512_dpbusd_epi32(wl, d, single);
        pieces = _mm512_add_epi64(pieces, low);
        low = _mm512_add_epi64(low, _mm512_sad_epu8(d, zero));
    }
    const __m512i weighted =
        _mm512_add_epi32(_mm512_add_epi32(_mm512_add_epi32(w0, w1), _mm512_add_epi32(w2, w3)), wl);
    const __m512i wide =
        _mm512_add_epi64(_mm512_cvtepi32_epi64(_mm512_castsi512_si256(weighted)),
                         _mm512_cvtepi32_epi64(_mm512_extracti64x4_epi64(weighted, 1)));
    const uint64_t total = Sum(low);
    const uint64_t high = 256 * Sum(steps) + 129 * Sum(inSteps) + 64 * Sum(pieces) + Sum(wide);
    const uint64_t a0 = a;
    a = static_cast<uint32_t>((a0 + total) % kBase);
    b = static_cast<uint32_t>((b + a0 * n + high) % kBase);
}

bool HasAvx512() {
    unsigned eax, ebx, ecx, edx;
    __cpuid(1, eax, ebx, ecx, edx);
    if (!(ecx & bit_OSXSAVE)) return false;
    uint32_t lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    // The system saves the XMM, YMM, mask and both halves of the ZMM registers (only a
    // processor with AVX-512, and so with leaf 7, lets it).
    if ((lo & 0xE6) != 0xE6) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_AVX512F) && (ebx & bit_AVX512BW) && (ecx & bit_AVX512VNNI);
}

} // namespace moirelle::adler
#endif

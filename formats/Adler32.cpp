#include "formats/Adler32.h"

#include "dib/VectorLevel.h"
#include "formats/Adler32Kernels.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Both sums are kept modulo 65521. Between reductions the high sum grows by at most
// 255 × n(n + 1) / 2 + (n + 1) × 65520 for n bytes, which stays below 2^32 for n up to
// 5552 (zlib's bound); the SSE2 loop takes blocks of 4096 bytes (128 pieces of 32, so
// that its 16-bit column sums stay below 2^15), the AVX2 one blocks of 5504 (86 pieces of
// 64). Both are exact: wrapping 32-bit sums are right whenever the true sum fits. At the AVX2
// level a processor with AVX-512 (F, BW and the byte dot product) takes blocks of up to 2 MiB
// instead, summed in 64 bits (formats/Adler32Avx512.cpp).

namespace moirelle {
namespace {

constexpr uint32_t kBase = 65521;
constexpr size_t kBlock = 5536;
constexpr size_t kSse2Block = 4096;

void Scalar(uint32_t& a, uint32_t& b, const uint8_t* p, size_t n) {
    while (n >= 4) {
        a += p[0];
        b += a;
        a += p[1];
        b += a;
        a += p[2];
        b += a;
        a += p[3];
        b += a;
        p += 4;
        n -= 4;
    }
    while (n--) {
        a += *p++;
        b += a;
    }
}

#ifdef __SSE2__
inline uint32_t Sum32(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

// One block of n bytes, n a multiple of 32 and at most kSse2Block. Per piece of 32 bytes
// the low sum grows by the bytes' sum and the high sum by 32 times the low sum before the
// piece plus the bytes weighted 32, 31, ..., 1. The weighting is left to the end: each of
// the 32 byte positions keeps its column sum (at most 255 × 128, a signed 16-bit value),
// multiplied by its weight once per block.
void Block(uint32_t& a, uint32_t& b, const uint8_t* p, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i low = zero, before = zero;
    __m128i c0 = zero, c1 = zero, c2 = zero, c3 = zero;
    b += a * static_cast<uint32_t>(n);
    for (const uint8_t* end = p + n; p != end; p += 32) {
        const __m128i d0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i d1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        before = _mm_add_epi32(before, low);
        low = _mm_add_epi32(low, _mm_add_epi32(_mm_sad_epu8(d0, zero), _mm_sad_epu8(d1, zero)));
        c0 = _mm_add_epi16(c0, _mm_unpacklo_epi8(d0, zero));
        c1 = _mm_add_epi16(c1, _mm_unpackhi_epi8(d0, zero));
        c2 = _mm_add_epi16(c2, _mm_unpacklo_epi8(d1, zero));
        c3 = _mm_add_epi16(c3, _mm_unpackhi_epi8(d1, zero));
    }
    const __m128i weighted = _mm_add_epi32(
        _mm_add_epi32(_mm_madd_epi16(c0, _mm_setr_epi16(32, 31, 30, 29, 28, 27, 26, 25)),
                      _mm_madd_epi16(c1, _mm_setr_epi16(24, 23, 22, 21, 20, 19, 18, 17))),
        _mm_add_epi32(_mm_madd_epi16(c2, _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9)),
                      _mm_madd_epi16(c3, _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1))));
    a += Sum32(low);
    b += 32 * Sum32(before) + Sum32(weighted);
}
#endif

} // namespace

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    const VectorLevel level = size >= 32 ? ActiveVectorLevel() : VectorLevel::Portable;
    // Runs `block` over whole blocks of at most `most` bytes, in multiples of `piece`.
    auto blocks = [&](auto block, size_t most, size_t piece) {
        while (size >= piece) {
            const size_t n = (size < most ? size : most) & ~(piece - 1);
            block(a, b, data, n);
            a %= kBase;
            b %= kBase;
            data += n;
            size -= n;
        }
    };
#if defined(__x86_64__) && defined(__GNUC__)
    if (level >= VectorLevel::Avx2) {
        static const bool wide = adler::HasAvx512();
        if (wide) {
            blocks(adler::BlockAvx512, adler::kAvx512Most, 64);
        } else {
            blocks(adler::BlockAvx2, 5504, 64);
        }
    }
#endif
#ifdef __SSE2__
    if (level >= VectorLevel::Sse2) {
#if defined(__x86_64__) && defined(__GNUC__)
        if (level == VectorLevel::Sse2 && ProcessorVectorLevel() >= VectorLevel::Avx2)
            adler::ClearUpperHalves();
#endif
        blocks(Block, kSse2Block, 32);
    }
#endif
    blocks(Scalar, kBlock, 1);
    return (b << 16) | a;
}

} // namespace moirelle

#include "formats/Crc32.h"

#include "dib/VectorLevel.h"

#include <array>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#define MOIRELLE_CRC_CLMUL 1
#endif

// Two routes with the same result. Tables, eight bytes a step (eight 256-entry tables:
// table k gives the effect of a byte followed by k zero bytes). On processors with the
// carry-less multiply (and a vector level above portable), the data are folded 64 bytes a
// step in four 128-bit lanes: each lane times x^(512+32) and x^(512-32) modulo the
// polynomial carries it 64 bytes on; the lanes are then folded into one, that one into 64
// bits, and a Barrett reduction gives the 32-bit remainder. The constants are those
// powers of x modulo the polynomial, bit-reflected.

namespace moirelle {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (kPolynomial & (0u - (c & 1)));
        t[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (uint32_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr Tables kTables = MakeTables();

// `c` is the running register (not complemented).
uint32_t ByTables(uint32_t c, const uint8_t* p, size_t n) {
    for (; n >= 8; n -= 8, p += 8) {
        const uint32_t lo = c ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                                 uint32_t{p[3]} << 24);
        c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
            kTables[4][lo >> 24] ^ kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^
            kTables[0][p[7]];
    }
    for (; n; --n, ++p)
        c = (c >> 8) ^ kTables[0][(c ^ *p) & 0xFF];
    return c;
}

#ifdef MOIRELLE_CRC_CLMUL
bool ProcessorHasClmul() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) && (c & bit_SSE4_1);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// n is a multiple of 16 and at least 64; `c` the running register.
__attribute__((target("pclmul,sse4.1"))) uint32_t ByClmul(uint32_t c, const uint8_t* p, size_t n) {
    auto load = [](const uint8_t* q) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    };
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);

    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
    p += 64;
    n -= 64;
    for (; n >= 64; n -= 64, p += 64) {
        x1 = Fold(x1, k1k2, load(p));
        x2 = Fold(x2, k1k2, load(p + 16));
        x3 = Fold(x3, k1k2, load(p + 32));
        x4 = Fold(x4, k1k2, load(p + 48));
    }
    x1 = Fold(x1, k3k4, x2);
    x1 = Fold(x1, k3k4, x3);
    x1 = Fold(x1, k3k4, x4);
    for (; n >= 16; n -= 16, p += 16)
        x1 = Fold(x1, k3k4, load(p));

    // 128 bits to 64.
    __m128i x2r = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2r);
    x2r = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), x2r);
    // Barrett reduction to 32 bits.
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}
#endif

} // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
    uint32_t c = ~crc;
#ifdef MOIRELLE_CRC_CLMUL
    static const bool clmul = ProcessorHasClmul();
    if (size >= 64 && clmul && ActiveVectorLevel() != VectorLevel::Portable) {
        const size_t whole = size & ~size_t{15};
        c = ByClmul(c, data, whole);
        data += whole;
        size -= whole;
    }
#endif
    return ~ByTables(c, data, size);
}

} // namespace moirelle

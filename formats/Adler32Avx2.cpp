// The AVX2 form of Adler-32's block step (formats/Adler32Avx2Pieces.h).
#include "formats/Adler32Avx2Pieces.h"
#include "formats/Adler32Kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
namespace moirelle::adler {

__attribute__((target("avx2"))) void BlockAvx2(uint32_t& a, uint32_t& b, const uint8_t* p,
                                               size_t n) {
    Avx2Pieces pieces;
    pieces.Clear();
    b += a * static_cast<uint32_t>(n);
    const uint8_t* const end = p + n;
    for (; end - p >= 128; p += 128)
        pieces.Add128(p);
    const uint32_t single = p != end ? pieces.Add64(p) : 0;
    const uint32_t total = Sum32(pieces.low);
    a += total;
    b += 64 * single + pieces.HighPart(total);
}

__attribute__((target("avx"))) void ClearUpperHalves() {
    _mm256_zeroupper();
}

} // namespace moirelle::adler
#endif

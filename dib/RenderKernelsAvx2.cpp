// The AVX2 level: 256-bit forms of the portable loops, giving their bytes exactly. Only
// the functions here carry the AVX2 target (no file-wide -mavx2), so inline functions
// from shared headers are never compiled for AVX2 and picked by the linker for the other
// levels. The Windows build assembles this file with -muse-unaligned-vector-move (see
// CMakeLists.txt): the Windows x86-64 compiler cannot align the stack to 32 bytes.
#include "dib/BilinearTaps.h"
#include "dib/RenderKernels.h"
#include "dib/ScaleKernels.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define MOIRELLE_AVX2 __attribute__((target("avx2")))

namespace moirelle {
namespace {

// The same operations as the 128-bit form, eight pixels at a time.
MOIRELLE_AVX2 inline __m256i Div255x16(__m256i x) {
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(0x8081))),
                             7);
}

MOIRELLE_AVX2 inline __m256i BroadcastAlpha16(__m256i px16) {
    px16 = _mm256_shufflelo_epi16(px16, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm256_shufflehi_epi16(px16, _MM_SHUFFLE(3, 3, 3, 3));
}

MOIRELLE_AVX2 void BlendRow32Avx2(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i op16 = _mm256_set1_epi16(static_cast<short>(op));
    const __m256i c255 = _mm256_set1_epi16(255);
    // The destination's first pixels up to a 32-byte boundary by the 128-bit form, so that
    // the wide stores never straddle two cache lines.
    size_t i = ((32 - (reinterpret_cast<uintptr_t>(dst) & 31)) & 31) / 4;
    if (i > count) i = count;
    Sse2RenderKernels().blendRow32(src, dst, i, op);
    src += 4 * i;
    dst += 4 * i;
    for (; i + 8 <= count; i += 8, src += 32, dst += 32) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
        const __m256i sa = _mm256_and_si256(s, alphaBytes);
        const __m256i keep = _mm256_cmpeq_epi32(sa, zero);
        const uint32_t transparent = static_cast<uint32_t>(_mm256_movemask_epi8(keep));
        if (transparent == 0xFFFFFFFFu) continue;
        if (op == 255 && transparent == 0 &&
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaBytes))) ==
                0xFFFFFFFFu) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), s);
            continue;
        }
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
        const __m256i sLo = _mm256_unpacklo_epi8(s, zero);
        const __m256i sHi = _mm256_unpackhi_epi8(s, zero);
        const __m256i dLo = _mm256_unpacklo_epi8(d, zero);
        const __m256i dHi = _mm256_unpackhi_epi8(d, zero);
        const __m256i aLo = BroadcastAlpha16(sLo);
        const __m256i aHi = BroadcastAlpha16(sHi);
        __m256i rLo, rHi;
        if (op == 255) {
            rLo = _mm256_add_epi16(Div255x16(_mm256_mullo_epi16(dLo, _mm256_sub_epi16(c255, aLo))),
                                   sLo);
            rHi = _mm256_add_epi16(Div255x16(_mm256_mullo_epi16(dHi, _mm256_sub_epi16(c255, aHi))),
                                   sHi);
        } else {
            const __m256i kLo = _mm256_sub_epi16(c255, Div255x16(_mm256_mullo_epi16(aLo, op16)));
            const __m256i kHi = _mm256_sub_epi16(c255, Div255x16(_mm256_mullo_epi16(aHi, op16)));
            rLo = Div255x16(
                _mm256_adds_epu16(_mm256_mullo_epi16(dLo, kLo), _mm256_mullo_epi16(sLo, op16)));
            rHi = Div255x16(
                _mm256_adds_epu16(_mm256_mullo_epi16(dHi, kHi), _mm256_mullo_epi16(sHi, op16)));
        }
        const __m256i r = _mm256_packus_epi16(rLo, rHi); // lane-wise, matching the unpacks
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_blendv_epi8(r, d, keep));
    }
    Sse2RenderKernels().blendRow32(src, dst, count - i, op);
}

MOIRELLE_AVX2 void HorizontalAvx2(const uint8_t* src, const int32_t* taps, const double* weights,
                                  size_t count, double* h) {
    for (size_t i = 0; i < count; ++i, h += 4) {
        int32_t a, b;
        std::memcpy(&a, src + static_cast<size_t>(taps[2 * i]) * 4, 4);
        std::memcpy(&b, src + static_cast<size_t>(taps[2 * i + 1]) * 4, 4);
        const __m256d da = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(a)));
        const __m256d db = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(b)));
        const __m256d w0 = _mm256_broadcast_sd(weights + 2 * i);
        const __m256d w1 = _mm256_broadcast_sd(weights + 2 * i + 1);
        _mm256_storeu_pd(h, _mm256_add_pd(_mm256_mul_pd(da, w0), _mm256_mul_pd(db, w1)));
    }
}

MOIRELLE_AVX2 void VerticalAvx2(const double* h0, const double* h1, double w0, double w1,
                                size_t count, uint8_t* out) {
    const __m256d vw0 = _mm256_set1_pd(w0), vw1 = _mm256_set1_pd(w1);
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        __m128i q[4];
        for (int p = 0; p < 4; ++p) {
            const __m256d v = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(h0 + k + 4 * p), vw0),
                                            _mm256_mul_pd(_mm256_loadu_pd(h1 + k + 4 * p), vw1));
            q[p] = _mm256_cvttpd_epi32(v);
        }
        const __m128i w01 = _mm_packs_epi32(q[0], q[1]);
        const __m128i w23 = _mm_packs_epi32(q[2], q[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(w01, w23));
    }
    BilinearVerticalScalar(h0 + k, h1 + k, w0, w1, count - k, out + k);
}

MOIRELLE_AVX2 inline __m256d Channels(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(v)));
}

// SampleBilinear's operations on the four channels at once.
MOIRELLE_AVX2 void RotateRowBilinearAvx2(const PixelView& src, RotateWalk w, uint8_t* out,
                                         int32_t count) {
    for (int32_t u = 0; u < count; ++u, out += 4, w.sx += w.stepX, w.sy += w.stepY) {
        if (!(w.sx >= w.left && w.sx < w.right && w.sy >= w.bottom && w.sy < w.top)) continue;
        const ColumnTaps c = ColumnTapsAt(w.sx, w.lastColumn);
        const RowTaps r = RowTapsAt(w.sy, w.lastRow);
        const uint8_t* row0 = src.row(r.y0);
        const uint8_t* row1 = src.row(r.y1);
        const __m256d cw0 = _mm256_set1_pd(c.w0), cw1 = _mm256_set1_pd(c.w1);
        const __m256d h0 = _mm256_add_pd(_mm256_mul_pd(Channels(row0 + c.x0 * size_t{4}), cw0),
                                         _mm256_mul_pd(Channels(row0 + c.x1 * size_t{4}), cw1));
        const __m256d h1 = _mm256_add_pd(_mm256_mul_pd(Channels(row1 + c.x0 * size_t{4}), cw0),
                                         _mm256_mul_pd(Channels(row1 + c.x1 * size_t{4}), cw1));
        const __m256d v = _mm256_add_pd(_mm256_mul_pd(h0, _mm256_set1_pd(r.w0)),
                                        _mm256_mul_pd(h1, _mm256_set1_pd(r.w1)));
        const __m128i q = _mm256_cvttpd_epi32(v);
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(q, q), q));
        std::memcpy(out, &bytes, 4);
    }
}

} // namespace

const RenderKernels& Avx2RenderKernels() {
    static const RenderKernels table{
        VectorLevel::Avx2,
        BlendRow32Avx2,
        HorizontalAvx2,
        VerticalAvx2,
        Sse2RenderKernels().bilinearHorizontal128,
        Sse2RenderKernels().bilinearVertical128,
        RotateRowBilinearAvx2,
    };
    return table;
}

} // namespace moirelle

#else

namespace moirelle {
const RenderKernels& Avx2RenderKernels() {
    return Sse2RenderKernels();
}
} // namespace moirelle

#endif

// The AVX2 level: 256-bit forms of the portable loops, giving their bytes exactly. Only
// the functions here carry the AVX2 target (no file-wide -mavx2), so inline functions
// from shared headers are never compiled for AVX2 and picked by the linker for the other
// levels. The Windows build assembles this file with -muse-unaligned-vector-move (see
// CMakeLists.txt): the Windows x86-64 compiler cannot align the stack to 32 bytes.
#include "dib/BilinearFloat.h"
#include "dib/BilinearTaps.h"
#include "dib/Divide255Lanes.h"
#include "dib/RenderKernels.h"
#include "dib/ScaleKernels.h"
#include "dib/ShadowKernels.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define MOIRELLE_AVX2 __attribute__((target("avx2")))

namespace moirelle {
namespace {

MOIRELLE_AVX2 void BlendRow32Avx2(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i op16 = _mm256_set1_epi16(static_cast<short>(op));
    const __m256i c255 = _mm256_set1_epi16(255);
    const __m256i ones = _mm256_set1_epi8(-1);
    // Each pixel's alpha byte spread to its four 16-bit lanes, for the pixels that the
    // low and the high unpacks take (bytes 0-7 and 8-15 of each 128-bit lane).
    const __m256i alphaLo =
        _mm256_setr_epi8(3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1, 3, -1, 3, -1, 3,
                         -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1);
    const __m256i alphaHi = _mm256_add_epi8(alphaLo, _mm256_set1_epi16(8));
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
        __m256i rLo, rHi;
        if (op == 255) {
            // 255 - a is the complement of the alpha byte.
            const __m256i inverse = _mm256_xor_si256(s, ones);
            const __m256i iaLo = _mm256_shuffle_epi8(inverse, alphaLo);
            const __m256i iaHi = _mm256_shuffle_epi8(inverse, alphaHi);
            rLo = _mm256_add_epi16(Div255x16(_mm256_mullo_epi16(dLo, iaLo)), sLo);
            rHi = _mm256_add_epi16(Div255x16(_mm256_mullo_epi16(dHi, iaHi)), sHi);
        } else {
            const __m256i aLo = _mm256_shuffle_epi8(s, alphaLo);
            const __m256i aHi = _mm256_shuffle_epi8(s, alphaHi);
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

MOIRELLE_AVX2 void TruncateAvx2(const double* h, size_t count, uint8_t* out) {
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        __m128i q[4];
        for (int p = 0; p < 4; ++p)
            q[p] = _mm256_cvttpd_epi32(_mm256_loadu_pd(h + k + 4 * p));
        const __m128i bytes =
            _mm_packus_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), bytes);
    }
    Sse2RenderKernels().bilinearTruncate(h + k, count - k, out + k);
}

MOIRELLE_AVX2 void Rows128Avx2(const uint8_t* row0, const uint8_t* row1, int32_t k0, int32_t k1,
                               size_t count, int16_t* B) {
    const __m256i vk0 = _mm256_set1_epi16(static_cast<short>(k0));
    const __m256i vk1 = _mm256_set1_epi16(static_cast<short>(k1));
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const __m256i a =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row0 + k)));
        const __m256i d =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row1 + k)));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(B + k),
            _mm256_add_epi16(_mm256_mullo_epi16(a, vk0), _mm256_mullo_epi16(d, vk1)));
    }
    Sse2RenderKernels().bilinearRows128(row0 + k, row1 + k, k0, k1, count - k, B + k);
}

// Two output pixels per register (one per 128-bit lane), as the 128-bit form.
MOIRELLE_AVX2 inline __m256i Columns128Pair(const int16_t* B, const int32_t* columns,
                                            __m256i pairs) {
    const __m256i v = _mm256_setr_m128i(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + static_cast<size_t>(columns[0]) * 4)),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + static_cast<size_t>(columns[1]) * 4)));
    // b0 c, b1 c per channel: 16-bit values 0 4 1 5 2 6 3 7 of each lane.
    const __m256i byChannel =
        _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15, 0, 1, 8, 9, 2, 3, 10,
                         11, 4, 5, 12, 13, 6, 7, 14, 15);
    return _mm256_srai_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(v, byChannel), pairs), 14);
}

MOIRELLE_AVX2 void Columns128Avx2(const int16_t* B, const int32_t* columns, const uint32_t* pairs,
                                  size_t count, uint8_t* out) {
    const __m256i spread[4] = {
        _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1), _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3),
        _mm256_setr_epi32(4, 4, 4, 4, 5, 5, 5, 5), _mm256_setr_epi32(6, 6, 6, 6, 7, 7, 7, 7)};
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + i));
        __m256i sums[4];
        for (int j = 0; j < 4; ++j)
            sums[j] =
                Columns128Pair(B, columns + i + 2 * j, _mm256_permutevar8x32_epi32(k, spread[j]));
        // Packs work within lanes: pixels 0 2 4 6 | 1 3 5 7, put back in order.
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(sums[0], sums[1]),
                                                  _mm256_packs_epi32(sums[2], sums[3]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i),
                            _mm256_permutevar8x32_epi32(bytes, order));
    }
    Sse2RenderKernels().bilinearColumns128(B, columns + i, pairs + i, count - i, out + 4 * i);
}

// Four output pixels per step: the eight neighbours in one register, each pixel's
// channels paired with its two weights and summed by one multiply-add.
MOIRELLE_AVX2 void ColumnsOneRow128Avx2(const uint8_t* row, const int32_t* columns,
                                        const uint32_t* pairs, size_t count, uint8_t* out) {
    const __m256i firstOfLane =
        _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1, 0, -1, 4, -1, 1,
                         -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m256i secondOfLane =
        _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1, 8, -1, 12,
                         -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
    const auto pair = [row](int32_t x) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + static_cast<size_t>(x) * 4));
    };
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const int32_t* c = columns + i;
        const __m256i px = _mm256_setr_m128i(_mm_unpacklo_epi64(pair(c[0]), pair(c[1])),
                                             _mm_unpacklo_epi64(pair(c[2]), pair(c[3])));
        // Weight pairs of pixels 0 1 | 2 3: each lane's first pixel in slot 0, second in 2.
        const __m256i k =
            _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + i)));
        const __m256i first = _mm256_srli_epi32(
            _mm256_madd_epi16(_mm256_shuffle_epi8(px, firstOfLane), _mm256_shuffle_epi32(k, 0x00)),
            7);
        const __m256i second = _mm256_srli_epi32(
            _mm256_madd_epi16(_mm256_shuffle_epi8(px, secondOfLane), _mm256_shuffle_epi32(k, 0xAA)),
            7);
        // Lanes: pixels 0 1 | 2 3 as bytes in the low quarter of each lane.
        const __m256i bytes =
            _mm256_packus_epi16(_mm256_packs_epi32(first, second), _mm256_setzero_si256());
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out + 4 * i),
            _mm_unpacklo_epi64(_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1)));
    }
    Sse2RenderKernels().bilinearColumnsOneRow128(row, columns + i, pairs + i, count - i,
                                                 out + 4 * i);
}

// Eight bytes as floats.
MOIRELLE_AVX2 inline __m256 Floats8(const uint8_t* p) {
    return _mm256_cvtepi32_ps(
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// The smaller of the two rows' bytes, 32 of them.
MOIRELLE_AVX2 inline __m256i Least32(const uint8_t* row0, const uint8_t* row1) {
    return _mm256_min_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row0)),
                           _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row1)));
}

MOIRELLE_AVX2 void RowsFloatAvx2(const uint8_t* row0, const uint8_t* row1, float r0, float r1,
                                 size_t count, float* P, uint8_t* L) {
    const __m256 vr0 = _mm256_set1_ps(r0), vr1 = _mm256_set1_ps(r1);
    size_t k = 0;
    for (; k + 36 <= count; k += 32) { // the next pixel's bytes too
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(L + k),
            _mm256_min_epu8(Least32(row0 + k, row1 + k), Least32(row0 + k + 4, row1 + k + 4)));
        for (size_t e = k; e < k + 32; e += 8)
            _mm256_storeu_ps(P + e, _mm256_add_ps(_mm256_mul_ps(Floats8(row0 + e), vr0),
                                                  _mm256_mul_ps(Floats8(row1 + e), vr1)));
    }
    Sse2RenderKernels().bilinearRowsFloat(row0 + k, row1 + k, r0, r1, count - k, P + k, L + k);
}

// Output pixels i and i + 1 (one per 128-bit lane): their values times 65536, rounded.
MOIRELLE_AVX2 inline __m256i ColumnsFloatPair(const float* P, const int32_t* columns,
                                              const float* weights) {
    const __m256 a = _mm256_mul_ps(_mm256_loadu_ps(P + static_cast<size_t>(columns[0]) * 4),
                                   _mm256_loadu_ps(weights));
    const __m256 b = _mm256_mul_ps(_mm256_loadu_ps(P + static_cast<size_t>(columns[1]) * 4),
                                   _mm256_loadu_ps(weights + 8));
    // (x taps of both pixels) + (x + 1 taps of both pixels).
    return _mm256_cvtps_epi32(
        _mm256_add_ps(_mm256_permute2f128_ps(a, b, 0x20), _mm256_permute2f128_ps(a, b, 0x31)));
}

MOIRELLE_AVX2 size_t ColumnsFloatAvx2(const float* P, const uint8_t* L, const int32_t* columns,
                                      const float* weights, size_t count, uint8_t* out,
                                      uint32_t* unresolved) {
    const __m256i eight = _mm256_set1_epi32(8), low = _mm256_set1_epi32(0xFFFF);
    const __m256i sixteen = _mm256_set1_epi32(16);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const auto least = [L](int32_t x) {
        int32_t v;
        std::memcpy(&v, L + static_cast<size_t>(x) * 4, 4);
        return v;
    };
    size_t left = 0;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const int32_t* c = columns + i;
        __m256i t[4], near[4];
        for (int p = 0; p < 4; ++p) {
            // t + 8: its high half is the byte, its low half below 16 near a whole number.
            const __m256i t8 =
                _mm256_add_epi32(ColumnsFloatPair(P, c + 2 * p, weights + 8 * (i + 2 * p)), eight);
            near[p] = _mm256_cmpgt_epi32(sixteen, _mm256_and_si256(t8, low));
            t[p] = _mm256_srli_epi32(t8, 16);
        }
        // The bytes and the near marks packed alike (within lanes: pixels 0 2 4 6 | 1 3 5 7),
        // put back in order, and compared with the pixels' least taps byte by byte.
        const __m256i bytes = _mm256_permutevar8x32_epi32(
            _mm256_packus_epi16(_mm256_packs_epi32(t[0], t[1]), _mm256_packs_epi32(t[2], t[3])),
            order);
        const __m256i nearBytes =
            _mm256_permutevar8x32_epi32(_mm256_packs_epi16(_mm256_packs_epi32(near[0], near[1]),
                                                           _mm256_packs_epi32(near[2], near[3])),
                                        order);
        const __m256i leastBytes =
            _mm256_setr_epi32(least(c[0]), least(c[1]), least(c[2]), least(c[3]), least(c[4]),
                              least(c[5]), least(c[6]), least(c[7]));
        const __m256i notAbove = _mm256_cmpeq_epi8(_mm256_max_epu8(bytes, leastBytes), leastBytes);
        // Four bits per pixel, the pixels in order.
        const uint32_t bad =
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_andnot_si256(notAbove, nearBytes)));
        if (bad != 0)
            for (uint32_t k = 0; k < 8; ++k) {
                unresolved[left] = static_cast<uint32_t>(i + k);
                left += (bad >> (4 * k) & 0xF) != 0;
            }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), bytes);
    }
    const size_t tail = Sse2RenderKernels().bilinearColumnsFloat(
        P, L, columns + i, weights + 8 * i, count - i, out + 4 * i, unresolved + left);
    for (size_t u = left; u < left + tail; ++u)
        unresolved[u] += static_cast<uint32_t>(i);
    return left + tail;
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
        .level = VectorLevel::Avx2,
        .nearestGather = Sse2RenderKernels().nearestGather, // loads and stores alone
        .nearestBlendRow32 = Sse2RenderKernels().nearestBlendRow32,
        .blendRow32 = BlendRow32Avx2,
        .bilinearHorizontal = HorizontalAvx2,
        .bilinearVertical = VerticalAvx2,
        .bilinearTruncate = TruncateAvx2,
        .bilinearRows128 = Rows128Avx2,
        .bilinearColumns128 = Columns128Avx2,
        .bilinearColumnsOneRow128 = ColumnsOneRow128Avx2,
        .bilinearRowsFloat = RowsFloatAvx2,
        .bilinearColumnsFloat = ColumnsFloatAvx2,
        .bilinearExactPixels = BilinearExactPixelsAvx2,
        .dropShadow = DropShadowAvx2,
        .rotateRowBilinear = RotateRowBilinearAvx2,
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

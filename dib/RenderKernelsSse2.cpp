// The SSE2 level: 128-bit forms of the portable loops, giving their bytes exactly.
#include "dib/BilinearFloat.h"
#include "dib/BilinearTaps.h"
#include "dib/ChannelDoublesSse2.h"
#include "dib/Divide255Lanes.h"
#include "dib/RenderKernels.h"
#include "dib/ScaleKernels.h"
#include "dib/ShadowKernels.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>

namespace moirelle {
namespace {

// Four pixels onto `dst`, each pixel's bytes taken as two 16-bit lanes per half: the
// even bytes (blue, red) and the odd ones (green, alpha), so that one factor per 32-bit
// lane serves all four channels without spreading it further. A transparent pixel's
// colour bytes count as 0 and its factor on the destination is 255 (255 - 0, or
// 255 - 0 * op / 255), so the formulas give d * 255 / 255 = d for it and no pixel needs
// picking afterwards.
//   op = 255: d * (255 - a) / 255 + s, limited to 255 by the saturating byte addition
//   (the alpha byte's s is a itself);
//   op < 255: (d * k + s * op) / 255 with k = 255 - a * op / 255. The sum saturates at
//   65535, which still divides to more than 255, so the packed byte is 255 exactly when
//   the formula's value is above 255.
template <bool kOpaque> inline void Over4(__m128i s, __m128i op16, uint8_t* dst) {
    const __m128i evenBytes = _mm_set1_epi16(0x00FF);
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    const __m128i a = _mm_srli_epi32(s, 24);
    s = _mm_andnot_si128(_mm_cmpeq_epi32(a, _mm_setzero_si128()), s);
    // The factor on the destination per pixel, in the low 16 bits of each 32-bit lane,
    // then in both.
    __m128i factor;
    if constexpr (kOpaque)
        factor = _mm_sub_epi16(_mm_set1_epi32(255), a);
    else
        factor = _mm_sub_epi16(_mm_set1_epi32(255), Div255x8(_mm_mullo_epi16(a, op16)));
    factor = _mm_or_si128(factor, _mm_slli_epi32(factor, 16));
    const __m128i dEven = _mm_and_si128(d, evenBytes), dOdd = _mm_srli_epi16(d, 8);
    __m128i r;
    if constexpr (kOpaque) {
        const __m128i qEven = Div255x8(_mm_mullo_epi16(dEven, factor));
        const __m128i qOdd = Div255x8(_mm_mullo_epi16(dOdd, factor));
        r = _mm_adds_epu8(_mm_or_si128(qEven, _mm_slli_epi16(qOdd, 8)), s);
    } else {
        const __m128i sEven = _mm_and_si128(s, evenBytes), sOdd = _mm_srli_epi16(s, 8);
        const __m128i qEven =
            Div255x8(_mm_adds_epu16(_mm_mullo_epi16(dEven, factor), _mm_mullo_epi16(sEven, op16)));
        const __m128i qOdd =
            Div255x8(_mm_adds_epu16(_mm_mullo_epi16(dOdd, factor), _mm_mullo_epi16(sOdd, op16)));
        const __m128i bytes = _mm_packus_epi16(qEven, qOdd); // even bytes, then odd ones
        r = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 8));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), r);
}

// Four pixels fetched one by one into a register.
inline __m128i Gather4(const uint8_t* src, const int32_t* columns) {
    auto pixel = [src](int32_t column) {
        int32_t v;
        std::memcpy(&v, src + static_cast<size_t>(column) * 4, 4);
        return _mm_cvtsi32_si128(v);
    };
    const __m128i p01 = _mm_unpacklo_epi32(pixel(columns[0]), pixel(columns[1]));
    const __m128i p23 = _mm_unpacklo_epi32(pixel(columns[2]), pixel(columns[3]));
    return _mm_unpacklo_epi64(p01, p23);
}

// Source pixels i .. i + 3: in a row, or picked from a row by column.
struct RowPixels {
    const uint8_t* src;
    __m128i operator()(size_t i) const {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
    }
};
struct ColumnPixels {
    const uint8_t* src;
    const int32_t* columns;
    __m128i operator()(size_t i) const { return Gather4(src, columns + i); }
};

// Eight pixels a step: all of them transparent (their alphas or-ed are 0) are skipped,
// all opaque (their alphas and-ed are 255, op 255) copied, any others blended by four.
// Answers the pixels done, a multiple of 4.
template <bool kOpaque, class Fetch>
size_t OverRowSse2(Fetch fetch, uint8_t* dst, size_t count, uint32_t op) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i op16 = _mm_set1_epi16(static_cast<short>(op));
    size_t i = 0;
    for (; i + 8 <= count; i += 8, dst += 32) {
        const __m128i s0 = fetch(i);
        const __m128i s1 = fetch(i + 4);
        const __m128i any = _mm_and_si128(_mm_or_si128(s0, s1), alphaBytes);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(any, zero)) == 0xFFFF) continue;
        if (kOpaque) {
            const __m128i all = _mm_and_si128(_mm_and_si128(s0, s1), alphaBytes);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(all, alphaBytes)) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s0);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), s1);
                continue;
            }
        }
        Over4<kOpaque>(s0, op16, dst);
        Over4<kOpaque>(s1, op16, dst + 16);
    }
    if (i + 4 <= count) {
        Over4<kOpaque>(fetch(i), op16, dst);
        i += 4;
    }
    return i;
}

void BlendRow32Sse2(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op) {
    const RowPixels fetch{src};
    const size_t i = op == 255 ? OverRowSse2<true>(fetch, dst, count, op)
                               : OverRowSse2<false>(fetch, dst, count, op);
    PortableRenderKernels().blendRow32(src + 4 * i, dst + 4 * i, count - i, op);
}

void NearestBlendRow32Sse2(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* dst,
                           uint32_t op) {
    const ColumnPixels fetch{src, columns};
    const size_t i = op == 255 ? OverRowSse2<true>(fetch, dst, count, op)
                               : OverRowSse2<false>(fetch, dst, count, op);
    PortableRenderKernels().nearestBlendRow32(src, columns + i, count - i, dst + 4 * i, op);
}

void NearestGatherSse2(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* out) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4, out += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Gather4(src, columns + i));
    PortableRenderKernels().nearestGather(src, columns + i, count - i, out);
}

void HorizontalSse2(const uint8_t* src, const int32_t* taps, const double* weights, size_t count,
                    double* h) {
    const __m128i zero = _mm_setzero_si128();
    for (size_t i = 0; i < count; ++i, h += 4) {
        int32_t a, b;
        std::memcpy(&a, src + static_cast<size_t>(taps[2 * i]) * 4, 4);
        std::memcpy(&b, src + static_cast<size_t>(taps[2 * i + 1]) * 4, 4);
        const __m128i ia = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(a), zero), zero);
        const __m128i ib = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(b), zero), zero);
        const __m128d w0 = _mm_set1_pd(weights[2 * i]);
        const __m128d w1 = _mm_set1_pd(weights[2 * i + 1]);
        const __m128d lo =
            _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(ia), w0), _mm_mul_pd(_mm_cvtepi32_pd(ib), w1));
        const __m128d hi = _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(ia, 8)), w0),
                                      _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(ib, 8)), w1));
        _mm_storeu_pd(h, lo);
        _mm_storeu_pd(h + 2, hi);
    }
}

void VerticalSse2(const double* h0, const double* h1, double w0, double w1, size_t count,
                  uint8_t* out) {
    const __m128d vw0 = _mm_set1_pd(w0), vw1 = _mm_set1_pd(w1);
    size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        __m128i q[4];
        for (int p = 0; p < 4; ++p) {
            const __m128d v = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(h0 + k + 2 * p), vw0),
                                         _mm_mul_pd(_mm_loadu_pd(h1 + k + 2 * p), vw1));
            q[p] = _mm_cvttpd_epi32(v); // two values in the low half
        }
        const __m128i a = _mm_unpacklo_epi64(q[0], q[1]);
        const __m128i b = _mm_unpacklo_epi64(q[2], q[3]);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), bytes);
    }
    BilinearVerticalScalar(h0 + k, h1 + k, w0, w1, count - k, out + k);
}

void TruncateSse2(const double* h, size_t count, uint8_t* out) {
    size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m128i a = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_loadu_pd(h + k)),
                                             _mm_cvttpd_epi32(_mm_loadu_pd(h + k + 2)));
        const __m128i b = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_loadu_pd(h + k + 4)),
                                             _mm_cvttpd_epi32(_mm_loadu_pd(h + k + 6)));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), bytes);
    }
    BilinearTruncateScalar(h + k, count - k, out + k);
}

void Rows128Sse2(const uint8_t* row0, const uint8_t* row1, int32_t k0, int32_t k1, size_t count,
                 int16_t* B) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i vk0 = _mm_set1_epi16(static_cast<short>(k0));
    const __m128i vk1 = _mm_set1_epi16(static_cast<short>(k1));
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row0 + k));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row1 + k));
        // Products and sums below 2^15: the low 16 bits are the values.
        const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), vk0),
                                         _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), vk1));
        const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), vk0),
                                         _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), vk1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(B + k), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(B + k + 8), hi);
    }
    BilinearRows128Scalar(row0 + k, row1 + k, k0, k1, count - k, B + k);
}

// The four sums of one output pixel: its two neighbours' values paired per channel
// (b0 c, b1 c) and multiplied by (k0, k1), given in every 32-bit lane of `pair`.
inline __m128i Columns128Pixel(const int16_t* B, int32_t column, __m128i pair) {
    const __m128i v =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + static_cast<size_t>(column) * 4));
    const __m128i paired = _mm_unpacklo_epi16(v, _mm_srli_si128(v, 8));
    return _mm_srai_epi32(_mm_madd_epi16(paired, pair), 14);
}

void Columns128Sse2(const int16_t* B, const int32_t* columns, const uint32_t* pairs, size_t count,
                    uint8_t* out) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + i));
        const __m128i p01 =
            _mm_packs_epi32(Columns128Pixel(B, columns[i], _mm_shuffle_epi32(k, 0x00)),
                            Columns128Pixel(B, columns[i + 1], _mm_shuffle_epi32(k, 0x55)));
        const __m128i p23 =
            _mm_packs_epi32(Columns128Pixel(B, columns[i + 2], _mm_shuffle_epi32(k, 0xAA)),
                            Columns128Pixel(B, columns[i + 3], _mm_shuffle_epi32(k, 0xFF)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), _mm_packus_epi16(p01, p23));
    }
    BilinearColumns128Scalar(B, columns + i, pairs + i, count - i, out + 4 * i);
}

// One output pixel from a row alone: a0 b0 a1 b1 a2 b2 a3 b3 as 16-bit values times
// (k0, k1), shifted right by 7.
inline __m128i OneRowPixel(const uint8_t* row, int32_t column, __m128i pair) {
    const __m128i v =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + static_cast<size_t>(column) * 4));
    const __m128i ab =
        _mm_unpacklo_epi8(_mm_unpacklo_epi8(v, _mm_srli_si128(v, 4)), _mm_setzero_si128());
    return _mm_srli_epi32(_mm_madd_epi16(ab, pair), 7);
}

void ColumnsOneRow128Sse2(const uint8_t* row, const int32_t* columns, const uint32_t* pairs,
                          size_t count, uint8_t* out) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + i));
        const __m128i p01 =
            _mm_packs_epi32(OneRowPixel(row, columns[i], _mm_shuffle_epi32(k, 0x00)),
                            OneRowPixel(row, columns[i + 1], _mm_shuffle_epi32(k, 0x55)));
        const __m128i p23 =
            _mm_packs_epi32(OneRowPixel(row, columns[i + 2], _mm_shuffle_epi32(k, 0xAA)),
                            OneRowPixel(row, columns[i + 3], _mm_shuffle_epi32(k, 0xFF)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), _mm_packus_epi16(p01, p23));
    }
    BilinearColumnsOneRow128Scalar(row, columns + i, pairs + i, count - i, out + 4 * i);
}

void RowsFloatSse2(const uint8_t* row0, const uint8_t* row1, float r0, float r1, size_t count,
                   float* P, uint8_t* L) {
    const __m128i zero = _mm_setzero_si128();
    const __m128 vr0 = _mm_set1_ps(r0), vr1 = _mm_set1_ps(r1);
    const auto load = [](const uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    size_t k = 0;
    for (; k + 20 <= count; k += 16) { // the next pixel's bytes too
        const __m128i a = load(row0 + k), d = load(row1 + k);
        const __m128i next = _mm_min_epu8(load(row0 + k + 4), load(row1 + k + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(L + k), _mm_min_epu8(_mm_min_epu8(a, d), next));
        const __m128i a16[] = {_mm_unpacklo_epi8(a, zero), _mm_unpackhi_epi8(a, zero)};
        const __m128i d16[] = {_mm_unpacklo_epi8(d, zero), _mm_unpackhi_epi8(d, zero)};
        for (int h = 0; h < 2; ++h) {
            const __m128 alo = _mm_cvtepi32_ps(_mm_unpacklo_epi16(a16[h], zero));
            const __m128 ahi = _mm_cvtepi32_ps(_mm_unpackhi_epi16(a16[h], zero));
            const __m128 dlo = _mm_cvtepi32_ps(_mm_unpacklo_epi16(d16[h], zero));
            const __m128 dhi = _mm_cvtepi32_ps(_mm_unpackhi_epi16(d16[h], zero));
            _mm_storeu_ps(P + k + 8 * h, _mm_add_ps(_mm_mul_ps(alo, vr0), _mm_mul_ps(dlo, vr1)));
            _mm_storeu_ps(P + k + 8 * h + 4,
                          _mm_add_ps(_mm_mul_ps(ahi, vr0), _mm_mul_ps(dhi, vr1)));
        }
    }
    BilinearRowsFloatScalar(row0 + k, row1 + k, r0, r1, count - k, P + k, L + k);
}

// One output pixel's four values times 65536, rounded to integers.
inline __m128i ColumnsFloatPixel(const float* P, int32_t column, const float* weights) {
    const float* p = P + static_cast<size_t>(column) * 4;
    const __m128 f = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(p), _mm_loadu_ps(weights)),
                                _mm_mul_ps(_mm_loadu_ps(p + 4), _mm_loadu_ps(weights + 4)));
    return _mm_cvtps_epi32(f);
}

// The least taps of the pixel whose left tap is `column`, in the low 32 bits.
inline __m128i ColumnsFloatLeast(const uint8_t* L, int32_t column) {
    int32_t v;
    std::memcpy(&v, L + static_cast<size_t>(column) * 4, 4);
    return _mm_cvtsi32_si128(v);
}

size_t ColumnsFloatSse2(const float* P, const uint8_t* L, const int32_t* columns,
                        const float* weights, size_t count, uint8_t* out, uint32_t* unresolved) {
    const __m128i eight = _mm_set1_epi32(8), low = _mm_set1_epi32(0xFFFF);
    const __m128i sixteen = _mm_set1_epi32(16);
    size_t left = 0;
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const int32_t* c = columns + i;
        __m128i t[4], near[4];
        for (int p = 0; p < 4; ++p) {
            // t + 8: its high half is the byte, its low half below 16 near a whole number.
            const __m128i t8 =
                _mm_add_epi32(ColumnsFloatPixel(P, c[p], weights + 8 * (i + p)), eight);
            near[p] = _mm_cmpgt_epi32(sixteen, _mm_and_si128(t8, low));
            t[p] = _mm_srli_epi32(t8, 16);
        }
        // The bytes and the near marks packed alike, compared with the pixels' least taps
        // byte by byte.
        const __m128i bytes =
            _mm_packus_epi16(_mm_packs_epi32(t[0], t[1]), _mm_packs_epi32(t[2], t[3]));
        const __m128i nearBytes =
            _mm_packs_epi16(_mm_packs_epi32(near[0], near[1]), _mm_packs_epi32(near[2], near[3]));
        const __m128i leastBytes = _mm_unpacklo_epi64(
            _mm_unpacklo_epi32(ColumnsFloatLeast(L, c[0]), ColumnsFloatLeast(L, c[1])),
            _mm_unpacklo_epi32(ColumnsFloatLeast(L, c[2]), ColumnsFloatLeast(L, c[3])));
        const __m128i notAbove = _mm_cmpeq_epi8(_mm_max_epu8(bytes, leastBytes), leastBytes);
        // Four bits per pixel, the pixels in order.
        const uint32_t bad =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_andnot_si128(notAbove, nearBytes)));
        if (bad != 0)
            for (uint32_t k = 0; k < 4; ++k) {
                unresolved[left] = static_cast<uint32_t>(i + k);
                left += (bad >> (4 * k) & 0xF) != 0;
            }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), bytes);
    }
    const size_t tail = BilinearColumnsFloatScalar(P, L, columns + i, weights + 8 * i, count - i,
                                                   out + 4 * i, unresolved + left);
    for (size_t u = left; u < left + tail; ++u)
        unresolved[u] += static_cast<uint32_t>(i);
    return left + tail;
}

// SampleBilinear's operations, two channels per register. The position (sx, sy) walks
// as one register, each lane added as the scalars are, and both taps come from it at
// once: inside a rectangle whose left and bottom are at least 0 the position is too, so
// truncation is FloorOf's floor.
void RotateRowBilinearSse2(const PixelView& src, RotateWalk w, uint8_t* out, int32_t count) {
    if (!(w.left >= 0 && w.bottom >= 0))
        return PortableRenderKernels().rotateRowBilinear(src, w, out, count);
    const __m128d step = _mm_set_pd(w.stepY, w.stepX);
    const __m128d low = _mm_set_pd(w.bottom, w.left), high = _mm_set_pd(w.top, w.right);
    const __m128d one = _mm_set1_pd(1.0), none = _mm_setzero_pd();
    __m128d pos = _mm_set_pd(w.sy, w.sx);
    for (int32_t u = 0; u < count; ++u, out += 4, pos = _mm_add_pd(pos, step)) {
        const __m128d inside = _mm_and_pd(_mm_cmpge_pd(pos, low), _mm_cmplt_pd(pos, high));
        if (_mm_movemask_pd(inside) != 3) continue;
        const __m128i whole = _mm_cvttpd_epi32(pos);
        const __m128d f = _mm_sub_pd(pos, _mm_cvtepi32_pd(whole));
        const __m128d w0 = _mm_sub_pd(one, f);
        int32_t x0 = _mm_cvtsi128_si32(whole), y0 = _mm_cvtsi128_si32(_mm_srli_si128(whole, 4));
        int32_t x1 = x0 + 1, y1 = y0 + 1;
        __m128d cw0 = _mm_unpacklo_pd(w0, w0), cw1 = _mm_unpacklo_pd(f, f);
        __m128d rw0 = _mm_unpackhi_pd(w0, w0), rw1 = _mm_unpackhi_pd(f, f);
        if (x0 >= w.lastColumn) { // the last column alone
            x0 = x1 = w.lastColumn;
            cw0 = one, cw1 = none;
        }
        if (y0 >= w.lastRow) { // the top row alone
            y0 = y1 = w.lastRow;
            rw0 = one, rw1 = none;
        }
        const uint8_t* row0 = src.row(y0);
        const uint8_t* row1 = src.row(y1);
        const Channels2 a = ChannelsOf(row0 + x0 * size_t{4});
        const Channels2 b = ChannelsOf(row0 + x1 * size_t{4});
        const Channels2 d = ChannelsOf(row1 + x0 * size_t{4});
        const Channels2 e = ChannelsOf(row1 + x1 * size_t{4});
        const __m128d h0lo = _mm_add_pd(_mm_mul_pd(a.lo, cw0), _mm_mul_pd(b.lo, cw1));
        const __m128d h0hi = _mm_add_pd(_mm_mul_pd(a.hi, cw0), _mm_mul_pd(b.hi, cw1));
        const __m128d h1lo = _mm_add_pd(_mm_mul_pd(d.lo, cw0), _mm_mul_pd(e.lo, cw1));
        const __m128d h1hi = _mm_add_pd(_mm_mul_pd(d.hi, cw0), _mm_mul_pd(e.hi, cw1));
        const __m128i qlo =
            _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(h0lo, rw0), _mm_mul_pd(h1lo, rw1)));
        const __m128i qhi =
            _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(h0hi, rw0), _mm_mul_pd(h1hi, rw1)));
        const __m128i q = _mm_unpacklo_epi64(qlo, qhi);
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(q, q), q));
        std::memcpy(out, &bytes, 4);
    }
}

} // namespace

const RenderKernels& Sse2RenderKernels() {
    static const RenderKernels table{
        .level = VectorLevel::Sse2,
        .nearestGather = NearestGatherSse2,
        .nearestBlendRow32 = NearestBlendRow32Sse2,
        .blendRow32 = BlendRow32Sse2,
        .bilinearHorizontal = HorizontalSse2,
        .bilinearVertical = VerticalSse2,
        .bilinearTruncate = TruncateSse2,
        .bilinearRows128 = Rows128Sse2,
        .bilinearColumns128 = Columns128Sse2,
        .bilinearColumnsOneRow128 = ColumnsOneRow128Sse2,
        .bilinearRowsFloat = RowsFloatSse2,
        .bilinearColumnsFloat = ColumnsFloatSse2,
        .bilinearExactPixels = BilinearExactPixelsSse2,
        .dropShadow = DropShadowSse2,
        .rotateRowBilinear = RotateRowBilinearSse2,
    };
    return table;
}

} // namespace moirelle

#else

namespace moirelle {
const RenderKernels& Sse2RenderKernels() {
    return PortableRenderKernels();
}
} // namespace moirelle

#endif

// The portable level: plain loops, the reference for every other level.
#include "dib/BilinearTaps.h"
#include "dib/BlendPixels.h"
#include "dib/RenderKernels.h"
#include "dib/ScaleKernels.h"
#include "dib/ShadowKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace moirelle {
namespace {

void BlendRow32Portable(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op) {
    for (size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        const uint8_t a = src[3];
        if (a == 0) continue;
        if (a == 255 && op == 255) {
            std::memcpy(dst, src, 4);
            continue;
        }
        BlendPixel(src, dst, 4, op, nullptr);
    }
}

void NearestGatherPortable(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; ++i, out += 4)
        std::memcpy(out, src + static_cast<size_t>(columns[i]) * 4, 4);
}

void NearestBlendRow32Portable(const uint8_t* src, const int32_t* columns, size_t count,
                               uint8_t* dst, uint32_t op) {
    for (size_t i = 0; i < count; ++i, dst += 4)
        BlendRow32Portable(src + static_cast<size_t>(columns[i]) * 4, dst, 1, op);
}

void RotateRowBilinearPortable(const PixelView& src, RotateWalk w, uint8_t* out, int32_t count) {
    for (int32_t u = 0; u < count; ++u, out += 4, w.sx += w.stepX, w.sy += w.stepY) {
        if (!(w.sx >= w.left && w.sx < w.right && w.sy >= w.bottom && w.sy < w.top)) continue;
        SampleBilinear(src, ColumnTapsAt(w.sx, w.lastColumn), RowTapsAt(w.sy, w.lastRow), out);
    }
}

} // namespace

void BilinearHorizontalScalar(const uint8_t* src, const int32_t* taps, const double* weights,
                              size_t count, double* h) {
    for (size_t i = 0; i < count; ++i, h += 4) {
        const uint8_t* a = src + static_cast<size_t>(taps[2 * i]) * 4;
        const uint8_t* b = src + static_cast<size_t>(taps[2 * i + 1]) * 4;
        const double w0 = weights[2 * i], w1 = weights[2 * i + 1];
        for (int c = 0; c < 4; ++c)
            h[c] = a[c] * w0 + b[c] * w1;
    }
}

void BilinearVerticalScalar(const double* h0, const double* h1, double w0, double w1, size_t count,
                            uint8_t* out) {
    for (size_t k = 0; k < count; ++k)
        out[k] = static_cast<uint8_t>(static_cast<int32_t>(h0[k] * w0 + h1[k] * w1));
}

void BilinearTruncateScalar(const double* h, size_t count, uint8_t* out) {
    for (size_t k = 0; k < count; ++k)
        out[k] = static_cast<uint8_t>(static_cast<int32_t>(h[k]));
}

void BilinearRows128Scalar(const uint8_t* row0, const uint8_t* row1, int32_t k0, int32_t k1,
                           size_t count, int16_t* B) {
    for (size_t k = 0; k < count; ++k)
        B[k] = static_cast<int16_t>(row0[k] * k0 + row1[k] * k1);
}

void BilinearColumns128Scalar(const int16_t* B, const int32_t* columns, const uint32_t* pairs,
                              size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; ++i, out += 4) {
        const int16_t* b = B + static_cast<size_t>(columns[i]) * 4;
        const int32_t k0 = static_cast<int32_t>(pairs[i] & 0xFFFF);
        const int32_t k1 = static_cast<int32_t>(pairs[i] >> 16);
        for (int c = 0; c < 4; ++c)
            out[c] = static_cast<uint8_t>((b[c] * k0 + b[c + 4] * k1) >> 14);
    }
}

void BilinearColumnsOneRow128Scalar(const uint8_t* row, const int32_t* columns,
                                    const uint32_t* pairs, size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; ++i, out += 4) {
        const uint8_t* a = row + static_cast<size_t>(columns[i]) * 4;
        const int32_t k0 = static_cast<int32_t>(pairs[i] & 0xFFFF);
        const int32_t k1 = static_cast<int32_t>(pairs[i] >> 16);
        for (int c = 0; c < 4; ++c)
            out[c] = static_cast<uint8_t>((a[c] * k0 + a[c + 4] * k1) >> 7);
    }
}

void BilinearRowsFloatScalar(const uint8_t* row0, const uint8_t* row1, float r0, float r1,
                             size_t count, float* P, uint8_t* L) {
    for (size_t k = 0; k < count; ++k) {
        P[k] = static_cast<float>(row0[k]) * r0 + static_cast<float>(row1[k]) * r1;
        L[k] = std::min(row0[k], row1[k]);
        if (k + 4 < count) L[k] = std::min({L[k], row0[k + 4], row1[k + 4]});
    }
}

size_t BilinearColumnsFloatScalar(const float* P, const uint8_t* L, const int32_t* columns,
                                  const float* weights, size_t count, uint8_t* out,
                                  uint32_t* unresolved) {
    size_t left = 0;
    for (size_t i = 0; i < count; ++i, out += 4) {
        const size_t x = static_cast<size_t>(columns[i]) * 4;
        const float W0 = weights[8 * i], W1 = weights[8 * i + 4];
        bool resolved = true;
        for (size_t c = 0; c < 4; ++c) {
            const int32_t t =
                static_cast<int32_t>(std::lrint(P[x + c] * W0 + P[x + 4 + c] * W1)) + 8;
            const int32_t n = t >> 16;
            out[c] = static_cast<uint8_t>(n);
            if ((t & 0xFFFF) < 16 && L[x + c] < n) resolved = false;
        }
        if (!resolved) unresolved[left++] = static_cast<uint32_t>(i);
    }
    return left;
}

const RenderKernels& PortableRenderKernels() {
    static const RenderKernels table{
        .level = VectorLevel::Portable,
        .nearestGather = NearestGatherPortable,
        .nearestBlendRow32 = NearestBlendRow32Portable,
        .blendRow32 = BlendRow32Portable,
        .bilinearHorizontal = BilinearHorizontalScalar,
        .bilinearVertical = BilinearVerticalScalar,
        .bilinearTruncate = BilinearTruncateScalar,
        .bilinearRows128 = BilinearRows128Scalar,
        .bilinearColumns128 = BilinearColumns128Scalar,
        .bilinearColumnsOneRow128 = BilinearColumnsOneRow128Scalar,
        .bilinearRowsFloat = BilinearRowsFloatScalar,
        .bilinearColumnsFloat = BilinearColumnsFloatScalar,
        .bilinearExactPixels = BilinearExactPixelsScalar,
        .dropShadow = DropShadowPortable,
        .rotateRowBilinear = RotateRowBilinearPortable,
    };
    return table;
}

} // namespace moirelle

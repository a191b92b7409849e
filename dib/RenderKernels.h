#pragma once
// The renderer's inner loops, one table per instruction-set level. Every entry of every
// table gives exactly the bytes of the portable entry (the same operations in the same
// order per value, or integer forms proven equal where noted); dib/VectorLevel.h picks
// the table. The tables live in RenderKernelsPortable.cpp, RenderKernelsSse2.cpp and
// RenderKernelsAvx2.cpp.

#include "dib/PixelView.h"
#include "dib/VectorLevel.h"

#include <cstddef>
#include <cstdint>

namespace moirelle {

// One row of the rotator's walk: the sample position (sx, sy) of the first pixel, in
// source pixels (sy counted in storage rows), advanced by (stepX, stepY) per pixel.
struct RotateWalk {
    double sx, sy, stepX, stepY;
    double left, right, bottom, top; // the source rectangle, storage rows
    int32_t lastColumn, lastRow;
};

// A whole drop shadow (dib/DropShadow.h): `out` is (source width + n - 1) x (source
// height + n - 1).
struct ShadowJob {
    PixelView source;
    PixelView out;
    int32_t n = 0; // box side: 1, 3, .. 21
    uint32_t blue = 0, green = 0, red = 0;
    bool stream = false; // write `out` past the caches (an output too large to stay there)
};

struct RenderKernels {
    VectorLevel level;
    // out pixel i = source pixel columns[i] (dib/ScaleKernels.h).
    void (*nearestGather)(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* out);
    // blendRow32 of the pixels that nearestGather picks, without a row between.
    void (*nearestBlendRow32)(const uint8_t* src, const int32_t* columns, size_t count,
                              uint8_t* dst, uint32_t op);
    // Source-over of `count` premultiplied pixels onto BGRA pixels at constant alpha op,
    // by the formulas of dib/BlendPixels.h (no grayscale).
    void (*blendRow32)(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op);
    // The bilinear rule's passes (dib/ScaleKernels.h).
    void (*bilinearHorizontal)(const uint8_t* src, const int32_t* taps, const double* weights,
                               size_t count, double* h);
    void (*bilinearVertical)(const double* h0, const double* h1, double w0, double w1, size_t count,
                             uint8_t* out);
    void (*bilinearTruncate)(const double* h, size_t count, uint8_t* out);
    void (*bilinearRows128)(const uint8_t* row0, const uint8_t* row1, int32_t k0, int32_t k1,
                            size_t count, int16_t* B);
    void (*bilinearColumns128)(const int16_t* B, const int32_t* columns, const uint32_t* pairs,
                               size_t count, uint8_t* out);
    void (*bilinearColumnsOneRow128)(const uint8_t* row, const int32_t* columns,
                                     const uint32_t* pairs, size_t count, uint8_t* out);
    void (*bilinearRowsFloat)(const uint8_t* row0, const uint8_t* row1, float r0, float r1,
                              size_t count, float* P, uint8_t* L);
    size_t (*bilinearColumnsFloat)(const float* P, const uint8_t* L, const int32_t* columns,
                                   const float* weights, size_t count, uint8_t* out,
                                   uint32_t* unresolved);
    void (*bilinearExactPixels)(const uint8_t* row0, const uint8_t* row1, const int32_t* taps,
                                const double* weights, double r0, double r1, const uint32_t* pixels,
                                size_t count, uint8_t* out);
    // The pixels of a drop shadow: pixel (x, y) has alpha floor(S / n^2), S the sum of the
    // source alpha over the source pixels (x - n + 1 .. x, y - n + 1 .. y) that exist, and
    // colour bytes alpha * byte / 255 (the byte itself at alpha 255). False when its
    // working rows cannot be had.
    bool (*dropShadow)(const ShadowJob& job);
    // `count` bilinear samples along a rotator row into `out`; positions outside the
    // rectangle leave their pixel as it is.
    void (*rotateRowBilinear)(const PixelView& src, RotateWalk w, uint8_t* out, int32_t count);
};

const RenderKernels& PortableRenderKernels();
const RenderKernels& Sse2RenderKernels();
const RenderKernels& Avx2RenderKernels();
// The table of the level in force.
const RenderKernels& ActiveRenderKernels();

} // namespace moirelle

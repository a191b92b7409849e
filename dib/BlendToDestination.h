#pragma once
// The last step of the software renderer: blending prepared source pixels onto the
// destination's pixels, a host image's 32-bit pixels or a 24-bit copy of a device
// context's pixels (dib/BlendPixels.h holds the formulas).

#include "dib/PixelView.h"
#include "dib/SourceRows.h"

#include <cstddef>
#include <cstdint>

namespace moirelle {

// Which source pixels land where, after clipping.
struct BlendPlan {
    int32_t srcX = 0; // first source pixel, picture coordinates of the source view
    int32_t srcY = 0;
    int32_t dstX = 0; // first destination pixel, picture coordinates of the destination
    int32_t dstY = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Clips a blend of the source block at (srcX, srcY) onto the destination rectangle
// (destX, destY, destWidth, destHeight): a destination origin left of or above 0 skips
// that part of the source and moves the origin to 0; the block never reads past the
// source view. With a host (hostWidth > 0) the size is capped at the host's and the
// block never writes past it. False when nothing is left to blend.
bool PlanBlend(const SourceRows& source, int32_t srcX, int32_t srcY, int32_t destX, int32_t destY,
               int32_t destWidth, int32_t destHeight, int32_t hostWidth, int32_t hostHeight,
               BlendPlan& plan);

// True when a destination rectangle that PlanBlend left nothing of lies wholly right of
// or below the host: all its pixels fall outside the host and are skipped, which is a
// successful draw. A rectangle that the left and top clipping leaves empty is not.
bool LiesBeyondHost(int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                    int32_t hostWidth, int32_t hostHeight);

// Blends the planned block onto a host image's pixels. grayScale -1 means none.
void BlendOntoHost(SourceRows& source, const BlendPlan& plan, const PixelView& host, uint32_t op,
                   int32_t grayScale);

// Blends the planned block onto a bottom-up 24-bit buffer of plan.width x plan.height
// pixels (rows of `stride` bytes) that holds the destination rectangle.
void BlendOnto24(SourceRows& source, const BlendPlan& plan, uint8_t* bits, size_t stride,
                 uint32_t op, int32_t grayScale);

// The same for pixels in memory.
inline bool PlanBlend(const PixelView& source, int32_t srcX, int32_t srcY, int32_t destX,
                      int32_t destY, int32_t destWidth, int32_t destHeight, int32_t hostWidth,
                      int32_t hostHeight, BlendPlan& plan) {
    return !source.empty() && PlanBlend(ViewRows(source), srcX, srcY, destX, destY, destWidth,
                                        destHeight, hostWidth, hostHeight, plan);
}
inline void BlendOntoHost(const PixelView& source, const BlendPlan& plan, const PixelView& host,
                          uint32_t op, int32_t grayScale) {
    ViewRows rows(source);
    BlendOntoHost(rows, plan, host, op, grayScale);
}

} // namespace moirelle

#pragma once
// The mirror step of the software renderer: a copy of a source rectangle cut from the
// mirrored picture.

#include "dib/PixelBuffer.h"
#include "dib/PixelView.h"

#include <cstdint>

namespace moirelle {

// Picture coordinates of a rectangle (top-left origin), as Render's source rectangle.
struct SourceRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// True when the rectangle is non-empty and lies inside a Width x Height picture.
bool RectInside(const SourceRect& rect, int32_t width, int32_t height);

// Copies `rect` of the picture mirrored as the signed destination size asks: a
// destination width below 1 mirrors left to right, a negative height top to bottom. The
// whole picture is mirrored first and the rectangle then cut from the mirrored picture.
// `out` must be rect.width x rect.height. Answers false, copying nothing, when neither
// size asks for a mirror or the rectangle or output do not fit. On success the
// rectangle's origin becomes 0, 0 and the destination sizes their absolute values; a
// non-zero `amount` is then applied to the copy (AdjustLight) and becomes 0.
bool MirrorSource(const PixelView& image, SourceRect& rect, int32_t& destWidth, int32_t& destHeight,
                  const PixelView& out, float& amount);

// The same into a new buffer of rect.width x rect.height.
bool MirrorSource(const PixelView& image, SourceRect& rect, int32_t& destWidth, int32_t& destHeight,
                  PixelBuffer& out, float& amount);

} // namespace moirelle

#pragma once
// In-place pixel effects of the image object: colour inversion, one colour made
// transparent (and back), whole-image mirroring and the checkerboard.

#include "dib/PixelView.h"

#include <cstddef>
#include <cstdint>

namespace moirelle {

// Every pixel of alpha a > 0 gets each colour byte c replaced by a - c (the inverse of
// the straight colour, still premultiplied).
void InvertColours(const PixelView& pixels);

// The opaque pixel of a colour value (red in the low byte) as stored bytes B, G, R, 255.
uint32_t OpaqueKey(uint32_t color);

// Pixels exactly equal to `key` become 0; answers how many changed.
size_t ClearKeyColour(const PixelView& pixels, uint32_t key);
// Pixels that are 0 become `key`.
void RestoreKeyColour(const PixelView& pixels, uint32_t key);

// Replaces the pixels by a copy mirrored left to right and/or top to bottom. False when
// neither is asked or memory runs out.
bool MirrorPixels(const PixelView& pixels, bool mirrorX, bool mirrorY);

// Paints squares of `size` pixels from the top-left corner, alternating the two colours
// (red in the low byte) along rows and from row to row, the top-left square in the
// first; every pixel ends fully opaque. False, changing nothing, for a size below 1.
bool PaintCheckerBoard(const PixelView& pixels, int32_t size, uint32_t firstColor,
                       uint32_t secondColor);

} // namespace moirelle

#pragma once
// The lightness change of the software renderer. An amount of -100..100 per cent moves
// every visible pixel's colour towards black (negative) or towards its alpha, that is
// white at full opacity (positive), keeping the premultiplied form.

#include "dib/PixelBuffer.h"
#include "dib/PixelView.h"

#include <array>
#include <cstdint>

namespace moirelle {

// The change added to each colour byte of a pixel of alpha a: round(f * a) / 255 with
// f = amount / 100 * 255 in single precision, rounding to nearest (ties to even) and the
// division truncating toward zero. Entry 0 is 0.
std::array<int32_t, 256> LightDeltas(float amount);

// Adjusts the pixels in place. Pixels of alpha 0 stay; an amount of 0 changes nothing.
void AdjustLight(float amount, const PixelView& pixels);

// Writes an adjusted copy of the whole image into `out` (same size); pixels of alpha 0
// are all zero there. False when the copy cannot be made.
bool AdjustLightCopy(float amount, const PixelView& source, PixelBuffer& out);

} // namespace moirelle

#pragma once
// Drop shadows: a blurred, single-colour silhouette of an image's alpha channel.

#include "dib/ImageTarget.h"
#include "dib/PixelView.h"

#include <cstdint>

namespace moirelle {

// Exact floor(S / divisor) by one multiplication, for S up to 255 * divisor and divisors
// up to 441 (the largest box, 21 x 21).
class BoxDivider {
  public:
    explicit BoxDivider(uint32_t divisor) : magic_(((uint64_t{1} << 40) + divisor - 1) / divisor) {}
    uint32_t operator()(uint32_t sum) const { return static_cast<uint32_t>((sum * magic_) >> 40); }

  private:
    uint64_t magic_;
};

// floor(S / divisor), for the same S and divisors, as the single-precision product
// S * BoxReciprocal(divisor) truncated (S < 2^24 converts exactly). The factor is
// (1 + e) / divisor with e within 2^-23 of 2^-20 (the float's own rounding). For
// S = q * divisor + m, 0 <= m < divisor, the exact product is at least q * (1 + e), which
// the product's rounding (2^-24 relative) cannot take below q, and at most
// q + 1 - 1/divisor + 256 * e, which stays below q + 1 by more than 2^-9 - 2^-11 (1/441 is
// above 2^-9, 256 * e below 2^-11), far more than that rounding at values below 256.
inline float BoxReciprocal(uint32_t divisor) {
    return static_cast<float>((1.0 + 0x1p-20) / divisor);
}

// Makes the shadow of `source` in `shadow`: blurDepth clamped to 0..10, r = 2 * depth,
// n = r + 1; the shadow is (Width + r) x (Height + r) and its alpha at (x, y) is the sum
// of the source alpha over source pixels (x - r .. x, y - r .. y) that exist, divided
// by n * n. Its colour bytes are the premultiplied colour (red in the low byte of
// `color`): the colour at alpha 255, alpha * byte / 255 below. The shadow gets the alpha
// flag and type imgAlphaPremultiplied. Running sums keep the cost independent of the
// depth. Every pixel is written, so a kept shadow image of the same size is reused as it
// is (InitializeDIBForOverwrite). False when the source is empty or the shadow cannot be
// made. `shadow` must not hold the source's pixels.
bool MakeDropShadow(const PixelView& source, int32_t blurDepth, uint32_t color,
                    IImageTarget& shadow);

} // namespace moirelle

#pragma once
// The layout of fuzz_render's input, shared with its seed writer: a fixed header of
// render parameters followed by the source pixels (BGRA, repeated when short).
//
//   0  image width - 1 (mod 24)      1  image height - 1 (mod 24)
//   2  host width - 1 (mod 40)       3  host height - 1 (mod 40)
//   4  destX (signed)                5  destY (signed)
//   6  destWidth: (byte mod 97) - 48    7  destHeight (same)
//   8  SrcX (signed)                 9  SrcY (signed)
//   10 srcWidth (signed)             11 srcHeight (signed)
//   12 Opacity (signed byte)         13 grayScale (mod 10 - 2)
//   14 LightAdjustment (signed)      15 Angle (byte * 3 - 384, whole degrees, or + 0.5 when
//                                       bit 0 of byte 16 is set)
//   16 flags: bit 0 half degree, bit 1 CenterOnDestXY, bit 2 bilinear, bit 3 no rotation
#include <cstddef>
#include <cstdint>

namespace moirelle::fuzz {

constexpr size_t kRenderHeaderSize = 17;

} // namespace moirelle::fuzz

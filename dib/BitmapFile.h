#pragma once
// Writes an image as the bytes of a Windows bitmap file: 32 bits per pixel
// (premultiplied BGRA as stored) when the image uses alpha, 24 bits otherwise.

#include "dib/PixelView.h"

#include <cstdint>
#include <vector>

namespace moirelle {

inline constexpr uint32_t kBitmapHeaderBytes = 54; // file header 14 + info header 40

// False, leaving `out` alone, for an empty image, a file too large for the format's
// 32-bit sizes, or when memory runs out.
bool BitmapFileBytes(const PixelView& pixels, bool alpha, std::vector<uint8_t>& out);

} // namespace moirelle

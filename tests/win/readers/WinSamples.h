#pragma once
// Windows-side sample makers for the reader tests: JPEG files through GDI+, bitmaps,
// icons and metafiles through GDI.

#include "platform/win/Handles.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace moirelle::test {

// A JPEG of a solid colour (0xRRGGBB) at the highest quality, or empty when GDI+ fails.
std::vector<uint8_t> MakeSolidJpeg(int width, int height, uint32_t rgb);

// A 32-bpp DIB section of straight BGRA pixels given top row first.
win::UniqueBitmap MakeDibSection32(int width, int height, const std::vector<uint32_t>& argbTopDown,
                                   bool topDown = false);

// An icon (or cursor) from a 32-bpp colour image and a 1-bit AND mask (rows top first,
// bit set = transparent).
win::UniqueIcon MakeIcon(int width, int height, const std::vector<uint32_t>& argbTopDown,
                         const std::vector<bool>& maskTopDown, bool icon = true);

} // namespace moirelle::test

#pragma once
// Routines that several readers, the image object and the GDI+ bridge share. The
// Windows-only ones (regions, picture objects) are in formats/win/modParsersWin.h; the
// zlib probe is in formats/ZlibAccess.h.

#include "dib/PixelView.h"

#include <cstdint>
#include <string>
#include <vector>

namespace moirelle::modParsers {

// Bytes per row of a bottom-up DIB of the given depth: rows padded to 4 bytes.
// 64-bit so that hostile headers cannot overflow it.
constexpr int64_t ScanWidth(int64_t bitsPerPixel, int64_t width) {
    return ((width * bitsPerPixel + 31) & ~int64_t{31}) / 8;
}

// Classifies the alpha channel of 32-bit pixels as none (imgBitmap), straight
// (imgAlphaStraight) or premultiplied (imgAlphaPremultiplied) and, with premultiply,
// rewrites the pixels into the premultiplied form. An imageType of -1 on entry skips the
// scan and takes the verdict "no alpha".
void AnalyseAlpha(const PixelView& pixels, bool premultiply, bool& hasAlpha, int32_t& imageType);

struct GrayWeights {
    float red, green, blue;
};
// Weights by which red, green and blue are summed to grey for a grayscale method.
GrayWeights GrayscaleWeights(int32_t method);

// Region styles for RegionFromAlpha.
inline constexpr int32_t regionBounds = 0; // the bounding rectangle of the visible pixels
inline constexpr int32_t regionSpans = 1;  // one span per row, gaps filled
inline constexpr int32_t regionExact = 2;  // one rectangle per run of visible pixels

struct RegionRect {
    int32_t left, top, right, bottom; // right and bottom exclusive; y from the top
    bool operator==(const RegionRect&) const = default;
};

// The rectangles of the region that covers the pixels whose alpha is not 0, rows
// visited from the top of the picture down. Without the alpha flag the whole image is
// one rectangle whatever the style. Empty when there is no shape (or no image, or an
// unknown style).
std::vector<RegionRect> RegionRectsFromAlpha(const PixelView& pixels, bool alphaFlag,
                                             int32_t style);

// True when the library loads and exports the function.
bool IsFunctionExported(const std::string& library, const std::string& function);

} // namespace moirelle::modParsers

#pragma once
// The PNG header values and the sizes derived from them: bytes per pixel and per row,
// the Adam7 passes and the size of the inflated image data.

#include <array>
#include <cstdint>

namespace moirelle::png {

inline constexpr uint8_t colorGrey = 0;
inline constexpr uint8_t colorTrue = 2;
inline constexpr uint8_t colorIndexed = 3;
inline constexpr uint8_t colorGreyAlpha = 4;
inline constexpr uint8_t colorTrueAlpha = 6;

// Images above this many pixels are refused: width * 32 * height must stay a signed
// 32-bit value.
inline constexpr int64_t maxPixels = 67108863;

struct Header {
    int32_t width = 0;
    int32_t height = 0;
    uint8_t bitDepth = 0;
    uint8_t colorType = 0;
    uint8_t interlace = 0;
};

// One pass over the image: the rows startRow, startRow + rowStep, ... and in each the
// columns startColumn, startColumn + columnStep, ...
struct Pass {
    int32_t startRow, startColumn, rowStep, columnStep;
};
// Entries 0..6 are the seven Adam7 passes; entry 7 is the whole image.
inline constexpr std::array<Pass, 8> passTable = {{{0, 0, 8, 8},
                                                   {0, 4, 8, 8},
                                                   {4, 0, 8, 4},
                                                   {0, 2, 4, 4},
                                                   {2, 0, 4, 2},
                                                   {0, 1, 2, 2},
                                                   {1, 0, 2, 1},
                                                   {0, 0, 1, 1}}};
inline constexpr int wholeImagePass = 7;

struct PixelSize {
    int32_t filterDistance; // bytes per complete pixel, at least 1 for valid headers
    int32_t bitsPerPixel;
};

// The combinations of colour type and bit depth that the PNG standard allows.
constexpr bool IsValidCombination(uint8_t colorType, uint8_t bitDepth) {
    switch (colorType) {
    case colorGrey:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case colorIndexed:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case colorTrue:
    case colorGreyAlpha:
    case colorTrueAlpha:
        return bitDepth == 8 || bitDepth == 16;
    default:
        return false;
    }
}

constexpr PixelSize PixelSizes(const Header& h) {
    const int32_t depth = h.bitDepth;
    switch (h.colorType) {
    case colorTrueAlpha:
        return {depth / 8 * 4, depth * 4};
    case colorGreyAlpha:
        return {depth / 8 * 2, depth * 2};
    case colorTrue:
        return {depth / 8 * 3, depth * 3};
    case colorGrey:
        return {depth < 8 ? 1 : depth / 8, depth};
    default:
        return {1, depth};
    }
}

// Bytes of one row's pixels (without the filter byte).
constexpr uint64_t RowBytes(int64_t width, int32_t bitsPerPixel) {
    return (static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel) + 7) / 8;
}

constexpr int32_t PassExtent(int32_t size, int32_t start, int32_t step) {
    return size / step + (start < size % step ? 1 : 0);
}
constexpr int32_t PassWidth(const Header& h, const Pass& p) {
    return PassExtent(h.width, p.startColumn, p.columnStep);
}
constexpr int32_t PassHeight(const Header& h, const Pass& p) {
    return PassExtent(h.height, p.startRow, p.rowStep);
}

// Bytes that the image data inflate to: every row with its filter byte, for each pass
// when interlaced (a pass without columns still counts one byte per row).
constexpr uint64_t ExpectedRawSize(const Header& h) {
    const int32_t bits = PixelSizes(h).bitsPerPixel;
    if (h.interlace == 0) return (RowBytes(h.width, bits) + 1) * static_cast<uint64_t>(h.height);
    uint64_t total = 0;
    for (int pass = 0; pass < wholeImagePass; ++pass) {
        const Pass& p = passTable[pass];
        total += (RowBytes(PassWidth(h, p), bits) + 1) * static_cast<uint64_t>(PassHeight(h, p));
    }
    return total;
}

} // namespace moirelle::png

#include "dib/PixelLayout.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace moirelle {
namespace {

// A premultiplied colour byte made straight; a byte above its alpha (outside the
// premultiplied rule) gives 255.
uint8_t Straight(uint8_t c, uint8_t a) {
    return static_cast<uint8_t>(std::min(c * 255 / a, 255));
}

} // namespace

int32_t ReadPixel(const PixelView& pixels, int32_t X, int32_t Y, int32_t& alpha,
                  bool premultiplied) {
    alpha = 0;
    if (pixels.empty() || X < 0 || X >= pixels.width || Y < 0 || Y >= pixels.height) return -1;
    const uint8_t* p = pixels.row(pixels.height - 1 - Y) + static_cast<size_t>(X) * 4;
    const int32_t a = p[3];
    alpha = a;
    int32_t b = p[0], g = p[1], r = p[2];
    if (!premultiplied && a != 0 && a != 255) {
        b = std::min(b * 255 / a, 255);
        g = std::min(g * 255 / a, 255);
        r = std::min(r * 255 / a, 255);
    }
    return r + g * 256 + b * 65536;
}

int64_t BlockRowLength(int32_t width, const BlockLayout& layout) {
    const int64_t w = width;
    const int64_t len = layout.bytes4        ? w * 4
                        : layout.wordAligned ? ((w * 24 + 31) / 32) * 4
                                             : w * 3;
    return len > std::numeric_limits<int32_t>::max() ? -1 : len;
}

bool ClipBlock(const PixelView& pixels, int32_t x, int32_t y, int32_t& width, int32_t& height) {
    if (pixels.empty() || x < 0 || y < 0) return false;
    if (width == 0) width = pixels.width;
    if (height == 0) height = pixels.height;
    if (x >= pixels.width || y >= pixels.height || width < 1 || height < 1) return false;
    if (width > pixels.width - x) width = pixels.width - x;
    if (height > pixels.height - y) height = pixels.height - y;
    return true;
}

bool ExportBlock(const PixelView& pixels, int32_t x, int32_t y, int32_t width, int32_t height,
                 const BlockLayout& layout, bool premultiplied, bool twoDimensional,
                 ByteArray& out) {
    if (!ClipBlock(pixels, x, y, width, height)) return false;
    const int64_t rowLength = BlockRowLength(width, layout);
    if (rowLength < 0) return false;
    ByteArray result;
    try {
        result.bytes.assign(static_cast<size_t>(rowLength) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (twoDimensional)
        result.bounds = {static_cast<int32_t>(rowLength), height};
    else
        result.bounds = {static_cast<int32_t>(result.bytes.size())};

    const bool whole = x == 0 && y == 0 && width == pixels.width && height == pixels.height;
    if (whole && layout.bytes4 && layout.bgr && layout.bottomUp && premultiplied) {
        std::memcpy(result.bytes.data(), pixels.bits, pixels.size());
    } else {
        const int bpp = layout.bytes4 ? 4 : 3;
        for (int32_t j = 0; j < height; ++j) {
            // j counts output rows; the block's bottom row is picture row y + height - 1.
            const int32_t pictureRow = layout.bottomUp ? y + height - 1 - j : y + j;
            const uint8_t* s =
                pixels.row(pixels.height - 1 - pictureRow) + static_cast<size_t>(x) * 4;
            uint8_t* d = result.bytes.data() + static_cast<size_t>(rowLength) * j;
            for (int32_t i = 0; i < width; ++i, s += 4, d += bpp) {
                const uint8_t a = s[3];
                uint8_t b = s[0], g = s[1], r = s[2];
                if (!premultiplied && a != 255) {
                    if (a == 0) continue; // stays all zero
                    b = Straight(b, a);
                    g = Straight(g, a);
                    r = Straight(r, a);
                }
                d[0] = layout.bgr ? b : r;
                d[1] = g;
                d[2] = layout.bgr ? r : b;
                if (bpp == 4) d[3] = a;
            }
        }
    }
    out = std::move(result);
    return true;
}

bool ImportBlock(const PixelView& pixels, std::span<const uint8_t> data, int32_t x, int32_t y,
                 int32_t width, int32_t height, const BlockLayout& layout) {
    if (data.empty() || !ClipBlock(pixels, x, y, width, height)) return false;
    const int64_t rowLength = BlockRowLength(width, layout);
    if (rowLength < 0) return false;
    if (static_cast<uint64_t>(data.size()) <
        static_cast<uint64_t>(rowLength) * static_cast<uint64_t>(pixels.height))
        return false;
    const int bpp = layout.bytes4 ? 4 : 3;
    for (int32_t j = 0; j < height; ++j) {
        const int32_t pictureRow = layout.bottomUp ? y + height - 1 - j : y + j;
        const uint8_t* s = data.data() + static_cast<size_t>(rowLength) * j;
        uint8_t* d = pixels.row(pixels.height - 1 - pictureRow) + static_cast<size_t>(x) * 4;
        for (int32_t i = 0; i < width; ++i, s += bpp, d += 4) {
            d[0] = layout.bgr ? s[0] : s[2];
            d[1] = s[1];
            d[2] = layout.bgr ? s[2] : s[0];
            if (bpp == 4) d[3] = s[3];
        }
    }
    return true;
}

} // namespace moirelle

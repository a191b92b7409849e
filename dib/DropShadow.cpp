#include "dib/DropShadow.h"

#include "dib/ImageType.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace moirelle {

bool MakeDropShadow(const PixelView& source, int32_t blurDepth, uint32_t color,
                    IImageTarget& shadow) {
    if (source.empty()) return false;
    const int32_t depth = std::clamp(blurDepth, 0, 10);
    const int32_t r = 2 * depth;
    const int32_t n = r + 1;
    const int32_t w = source.width;
    const int32_t h = source.height;
    if (w > INT32_MAX - r || h > INT32_MAX - r) return false;
    if (!shadow.InitializeDIB(w + r, h + r)) return false;
    const PixelView out{shadow.BitsPointer(), shadow.Width(), shadow.Height()};

    // The shadow pixel for every alpha, premultiplied.
    std::array<uint32_t, 256> pixelFor{};
    const uint32_t red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
    for (uint32_t a = 1; a < 256; ++a) {
        const uint32_t b = a == 255 ? blue : a * blue / 255;
        const uint32_t g = a == 255 ? green : a * green / 255;
        const uint32_t rr = a == 255 ? red : a * red / 255;
        pixelFor[a] = b | g << 8 | rr << 16 | a << 24;
    }
    const BoxDivider divide(static_cast<uint32_t>(n * n));

    std::vector<uint32_t> columnSums;
    try {
        columnSums.assign(static_cast<size_t>(w), 0);
    } catch (const std::bad_alloc&) {
        shadow.DestroyDIB();
        return false;
    }
    // Storage rows: shadow row y covers source rows y - r .. y (the box is symmetric, so
    // storage order and picture order give the same shadow).
    for (int32_t y = 0; y < out.height; ++y) {
        if (y < h) {
            const uint8_t* in = source.row(y) + 3;
            for (int32_t x = 0; x < w; ++x)
                columnSums[x] += in[x * 4];
        }
        if (y - n >= 0) {
            const uint8_t* in = source.row(y - n) + 3;
            for (int32_t x = 0; x < w; ++x)
                columnSums[x] -= in[x * 4];
        }
        uint8_t* dst = out.row(y);
        uint32_t sum = 0;
        for (int32_t x = 0; x < out.width; ++x, dst += 4) {
            if (x < w) sum += columnSums[x];
            if (x - n >= 0) sum -= columnSums[x - n];
            const uint32_t px = pixelFor[divide(sum)];
            std::memcpy(dst, &px, 4);
        }
    }
    shadow.SetAlphaFlag(true);
    shadow.SetImageType(imgAlphaPremultiplied);
    return true;
}

} // namespace moirelle

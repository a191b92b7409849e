#include "dib/PixelEffects.h"

#include "dib/MirrorSource.h"

#include <algorithm>
#include <cstring>

namespace moirelle {
namespace {

size_t PixelCount(const PixelView& p) {
    return p.empty() ? 0 : static_cast<size_t>(p.width) * static_cast<size_t>(p.height);
}

uint32_t Load(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

} // namespace

void InvertColours(const PixelView& pixels) {
    uint8_t* p = pixels.bits;
    for (size_t i = PixelCount(pixels); i; --i, p += 4) {
        const uint8_t a = p[3];
        if (a == 0) continue;
        // A colour above its alpha breaks the premultiplied rule; keep it in range.
        for (int c = 0; c < 3; ++c)
            p[c] = static_cast<uint8_t>(a - std::min(p[c], a));
    }
}

uint32_t OpaqueKey(uint32_t color) {
    const uint32_t red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
    return blue | green << 8 | red << 16 | 0xFF000000u;
}

size_t ClearKeyColour(const PixelView& pixels, uint32_t key) {
    size_t changed = 0;
    uint8_t* p = pixels.bits;
    for (size_t i = PixelCount(pixels); i; --i, p += 4) {
        if (Load(p) != key) continue;
        std::memset(p, 0, 4);
        ++changed;
    }
    return changed;
}

void RestoreKeyColour(const PixelView& pixels, uint32_t key) {
    uint8_t* p = pixels.bits;
    for (size_t i = PixelCount(pixels); i; --i, p += 4)
        if (Load(p) == 0) std::memcpy(p, &key, 4);
}

bool MirrorPixels(const PixelView& pixels, bool mirrorX, bool mirrorY) {
    if ((!mirrorX && !mirrorY) || pixels.empty()) return false;
    SourceRect rect{0, 0, pixels.width, pixels.height};
    int32_t w = mirrorX ? -pixels.width : pixels.width;
    int32_t h = mirrorY ? -pixels.height : pixels.height;
    float amount = 0;
    PixelBuffer copy;
    if (!MirrorSource(pixels, rect, w, h, copy, amount)) return false;
    std::memcpy(pixels.bits, copy.View().bits, pixels.size());
    return true;
}

bool PaintCheckerBoard(const PixelView& pixels, int32_t size, uint32_t firstColor,
                       uint32_t secondColor) {
    if (size < 1 || pixels.empty()) return false;
    const uint32_t colours[2] = {OpaqueKey(firstColor), OpaqueKey(secondColor)};
    for (int32_t y = 0; y < pixels.height; ++y) {
        const int32_t rowParity = (y / size) & 1;
        uint8_t* p = pixels.row(pixels.height - 1 - y);
        for (int32_t x = 0; x < pixels.width; ++x, p += 4)
            std::memcpy(p, &colours[((x / size) & 1) ^ rowParity], 4);
    }
    return true;
}

} // namespace moirelle

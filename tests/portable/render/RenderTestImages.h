#pragma once
// Small images for the renderer's tests.

#include "dib/PixelBuffer.h"

#include <cstdint>
#include <cstring>
#include <random>

namespace moirelle::test {

// Pixel at picture coordinates (top-left origin) as bytes B, G, R, A.
inline uint8_t* PixelAt(const PixelView& v, int32_t x, int32_t y) {
    return v.row(v.height - 1 - y) + static_cast<size_t>(x) * 4;
}

inline uint32_t Packed(const PixelView& v, int32_t x, int32_t y) {
    uint32_t p;
    std::memcpy(&p, PixelAt(v, x, y), 4);
    return p;
}

inline void SetPixel(const PixelView& v, int32_t x, int32_t y, uint8_t b, uint8_t g, uint8_t r,
                     uint8_t a) {
    uint8_t* p = PixelAt(v, x, y);
    p[0] = b, p[1] = g, p[2] = r, p[3] = a;
}

// Random premultiplied pixels; some fully transparent and some opaque.
inline void FillRandomPremultiplied(const PixelView& v, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < v.height; ++y)
        for (int32_t x = 0; x < v.width; ++x) {
            const uint32_t kind = rng() % 8;
            const uint8_t a = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(rng() % 256);
            auto c = [&] { return a == 0 ? uint8_t{0} : static_cast<uint8_t>(rng() % (a + 1u)); };
            SetPixel(v, x, y, c(), c(), c(), a);
        }
}

// Every pixel distinct: a code of its position, fully opaque.
inline void FillPositions(const PixelView& v) {
    for (int32_t y = 0; y < v.height; ++y)
        for (int32_t x = 0; x < v.width; ++x)
            SetPixel(v, x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                     static_cast<uint8_t>(x * 7 + y * 13), 255);
}

} // namespace moirelle::test

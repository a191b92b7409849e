#pragma once
// The blend formulas of the software renderer, per pixel and per row. Source pixels are
// premultiplied BGRA; `op` is the constant alpha 0..255; all divisions by 255 truncate;
// results are stored as bytes, limited to 255.
//
//   a = source alpha, s = source colour byte, d = destination byte, k = 255 - a * op / 255
//   op = 255, a = 255:       d = s                              host alpha 255
//   op = 255, 0 < a < 255:   d = d * (255 - a) / 255 + s        dA * (255 - a) / 255 + a
//   op < 255, a > 0:         d = (d * k + s * op) / 255         (dA * k + a * op) / 255
//   a = 0:                   unchanged
// With grayscale, s is replaced by g = round(gray) (low 8 bits), gray being
// blue * wb + green * wg + red * wr in single precision over the premultiplied bytes.

#include "formats/modParsers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace moirelle {

inline uint32_t Div255(uint32_t x) {
    return x / 255;
}
inline uint8_t Byte(uint32_t v) {
    return static_cast<uint8_t>(std::min<uint32_t>(v, 255));
}

// The grey byte of a premultiplied pixel.
inline uint32_t GrayOf(const uint8_t* px, const modParsers::GrayWeights& w) {
    const float gray = static_cast<float>(px[0]) * w.blue + static_cast<float>(px[1]) * w.green +
                       static_cast<float>(px[2]) * w.red;
    return static_cast<uint32_t>(static_cast<int64_t>(std::nearbyint(gray)) & 0xFF);
}

// Reference formulas for one pixel: `channels` is 4 for a host image (colour and alpha
// bytes), 3 for a 24-bit destination. `gray` null means no grayscale.
inline void BlendPixel(const uint8_t* s, uint8_t* d, int channels, uint32_t op,
                       const modParsers::GrayWeights* gray) {
    const uint32_t a = s[3];
    if (a == 0) return;
    uint32_t c[3] = {s[0], s[1], s[2]};
    if (gray) c[0] = c[1] = c[2] = GrayOf(s, *gray);
    if (op == 255) {
        if (a == 255) {
            d[0] = static_cast<uint8_t>(c[0]);
            d[1] = static_cast<uint8_t>(c[1]);
            d[2] = static_cast<uint8_t>(c[2]);
            if (channels == 4) d[3] = 255;
            return;
        }
        for (int i = 0; i < 3; ++i)
            d[i] = Byte(Div255(d[i] * (255 - a)) + c[i]);
        if (channels == 4) d[3] = Byte(Div255(d[3] * (255 - a)) + a);
        return;
    }
    const uint32_t k = 255 - Div255(a * op);
    for (int i = 0; i < 3; ++i)
        d[i] = Byte(Div255(d[i] * k + c[i] * op));
    if (channels == 4) d[3] = Byte(Div255(d[3] * k + a * op));
}

// Rows of `count` pixels: source BGRA onto a host image's BGRA pixels, or onto 24-bit
// BGR pixels. `gray` null means no grayscale. The fast paths give exactly the bytes of
// BlendPixel.
void BlendRow32(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op,
                const modParsers::GrayWeights* gray);
void BlendRow24(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op,
                const modParsers::GrayWeights* gray);

} // namespace moirelle

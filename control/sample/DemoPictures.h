#pragma once
// The pictures of the control demo, made in memory as PNG files with an alpha channel.

#include "tests/support/PngWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace moirelle::demo {

// A w x h RGBA PNG whose pixel (x, y) is colour(x, y) = 0xAARRGGBB (straight alpha).
inline std::vector<uint8_t> RgbaPng(uint32_t w, uint32_t h,
                                    const std::function<uint32_t(int, int)>& colour) {
    test::PngSpec s;
    s.width = w;
    s.height = h;
    s.colorType = 6;
    s.pixels.reserve(size_t{w} * h * 4);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t c = colour(static_cast<int>(x), static_cast<int>(y));
            for (int shift : {16, 8, 0, 24})
                s.pixels.push_back(static_cast<uint8_t>(c >> shift));
        }
    return test::EncodePng(s);
}

// A ring with a soft edge and a hole (transparent), coloured round its circumference, with
// a bright bar across it: alpha that shows, a shape to hit-test, and a direction to rotate.
inline std::vector<uint8_t> RingPng(uint32_t size) {
    const double c = (size - 1) / 2.0, outer = size / 2.0 - 2, inner = outer * 0.45;
    return RgbaPng(size, size, [=](int x, int y) -> uint32_t {
        const double dx = x - c, dy = y - c, r = std::sqrt(dx * dx + dy * dy);
        const bool bar = std::fabs(dy) < size / 14.0 && std::fabs(dx) < outer;
        double a = std::clamp(outer - r, 0.0, 1.0) * std::clamp(r - inner, 0.0, 1.0);
        if (bar) a = std::max(a, 0.85);
        if (a <= 0) return 0;
        const double t = std::atan2(dy, dx);
        auto channel = [&](double phase) {
            return static_cast<uint32_t>(127.5 + 127.5 * std::sin(t + phase));
        };
        const uint32_t rgb =
            bar ? 0xFFF0C0u : (channel(0) << 16) | (channel(2.09) << 8) | channel(4.19);
        return (static_cast<uint32_t>(a * 255 + 0.5) << 24) | rgb;
    });
}

// A strip texture: colour bands whose alpha rises and falls along the strip.
inline std::vector<uint8_t> StripPng(uint32_t w, uint32_t h) {
    return RgbaPng(w, h, [=](int x, int y) -> uint32_t {
        const uint32_t a = static_cast<uint32_t>(64 + 191 * (0.5 + 0.5 * std::sin(x / 37.0)));
        const uint32_t r = static_cast<uint32_t>(x * 255 / (w - 1));
        const uint32_t g = static_cast<uint32_t>(y * 255 / (h - 1));
        return (a << 24) | (r << 16) | (g << 8) | 0x80;
    });
}

} // namespace moirelle::demo

#pragma once
// The expected pixels of a PNG image, worked out pixel by pixel from its unpacked samples
// by the reader's conversion rules, written plainly and independently of the reader.

#include <cstdint>
#include <optional>
#include <vector>

namespace moirelle::test {

struct SampleImage {
    uint32_t width = 0, height = 0;
    int bitDepth = 8, colorType = 6;
    // Samples of each pixel, row by row from the top, channels in file order; 16-bit
    // samples as their full value.
    std::vector<uint16_t> samples;
    std::vector<uint8_t> palette;      // PLTE bytes (empty: none)
    std::vector<uint8_t> transparency; // tRNS bytes (empty: none)
};

inline int Channels(int colorType) {
    return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
}

// 0xAARRGGBB per pixel, top-down; nothing when a palette index lies beyond the palette.
inline std::optional<std::vector<uint32_t>> ExpectedPixels(const SampleImage& img) {
    const int ch = Channels(img.colorType);
    const bool sixteen = img.bitDepth == 16;
    auto hi = [&](uint16_t s) { return static_cast<uint32_t>(sixteen ? s >> 8 : s); };
    auto premultiply = [](uint32_t r, uint32_t g, uint32_t b, uint32_t a) -> uint32_t {
        if (a == 0) return 0;
        return a << 24 | (r * a / 255) << 16 | (g * a / 255) << 8 | (b * a / 255);
    };
    const auto& t = img.transparency;
    std::vector<uint32_t> out;
    out.reserve(static_cast<size_t>(img.width) * img.height);
    for (size_t p = 0; p < static_cast<size_t>(img.width) * img.height; ++p) {
        const uint16_t* s = &img.samples[p * static_cast<size_t>(ch)];
        uint32_t r = 0, g = 0, b = 0, a = 255;
        switch (img.colorType) {
        case 6:
            r = hi(s[0]), g = hi(s[1]), b = hi(s[2]), a = hi(s[3]);
            break;
        case 4:
            r = g = b = hi(s[0]);
            a = hi(s[1]);
            break;
        case 2:
            r = hi(s[0]), g = hi(s[1]), b = hi(s[2]);
            if (t.size() >= 6) {
                const bool match = sixteen ? (r == t[0] && g == t[2] && b == t[4])
                                           : (s[0] == t[1] && s[1] == t[3] && s[2] == t[5]);
                if (match) a = 0;
            }
            break;
        case 3: {
            const size_t index = s[0];
            if (index >= img.palette.size() / 3) return std::nullopt;
            r = img.palette[3 * index], g = img.palette[3 * index + 1],
            b = img.palette[3 * index + 2];
            if (!t.empty()) a = index < t.size() ? t[index] : 255;
            break;
        }
        default: // grey
            if (sixteen) {
                r = g = b = hi(s[0]);
                if (t.size() >= 2 && hi(s[0]) == t[0]) a = 0;
            } else {
                r = g = b = s[0] * (255u / ((1u << img.bitDepth) - 1));
                if (t.size() >= 2 && s[0] == t[1]) a = 0;
            }
            break;
        }
        out.push_back(premultiply(r, g, b, a));
    }
    return out;
}

// Unpacks rows packed as in a PNG file (rows padded to whole bytes) into samples.
inline std::vector<uint16_t> UnpackSamples(const std::vector<uint8_t>& packed, uint32_t width,
                                           uint32_t height, int bitDepth, int colorType) {
    const size_t perRow = static_cast<size_t>(width) * Channels(colorType);
    const size_t rowBytes = (perRow * bitDepth + 7) / 8;
    std::vector<uint16_t> out;
    out.reserve(perRow * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = packed.data() + y * rowBytes;
        for (size_t i = 0; i < perRow; ++i) {
            if (bitDepth == 16) {
                out.push_back(static_cast<uint16_t>(row[2 * i] << 8 | row[2 * i + 1]));
            } else if (bitDepth == 8) {
                out.push_back(row[i]);
            } else {
                const size_t bit = i * static_cast<size_t>(bitDepth);
                const int shift = 8 - bitDepth - static_cast<int>(bit % 8);
                out.push_back(
                    static_cast<uint16_t>((row[bit / 8] >> shift) & ((1 << bitDepth) - 1)));
            }
        }
    }
    return out;
}

} // namespace moirelle::test

#pragma once
// Shared pieces of the PNG reader tests.

#include "dib/MemoryImage.h"
#include "formats/ZlibAccess.h"
#include "formats/cPNGparser.h"
#include "tests/portable/png/PngReference.h"
#include "tests/support/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace moirelle::test {

// Restores the platform's zlib names after each test.
class PngTest : public ::testing::Test {
  protected:
    void TearDown() override { SetZlibLibraryNames(DefaultZlibLibraryNames()); }
    static void UseZlib(bool on) {
        SetZlibLibraryNames(on ? DefaultZlibLibraryNames() : ZlibLibraryNames{"", ""});
    }
    // Decodes through the stream path; returns the reader's answer.
    static bool Decode(const std::vector<uint8_t>& png, MemoryImage& image) {
        cPNGparser parser;
        return parser.LoadStream(png, image, 0, png.size(), 0);
    }
};

// Deterministic bytes for test images.
inline std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> out(count);
    uint32_t x = seed * 2654435761u + 12345u;
    for (uint8_t& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return out;
}

inline SampleImage SamplesOf(const PngSpec& spec) {
    SampleImage s;
    s.width = spec.width;
    s.height = spec.height;
    s.bitDepth = spec.bitDepth;
    s.colorType = spec.colorType;
    s.samples = UnpackSamples(spec.pixels, spec.width, spec.height, spec.bitDepth, spec.colorType);
    s.palette = spec.palette;
    s.transparency = spec.transparency;
    return s;
}

// Compares an image with expected 0xAARRGGBB pixels (top-down), naming the first miss.
inline ::testing::AssertionResult SamePixels(const MemoryImage& image,
                                             const std::vector<uint32_t>& expected, uint32_t width,
                                             uint32_t height) {
    if (image.Width() != static_cast<int32_t>(width) ||
        image.Height() != static_cast<int32_t>(height))
        return ::testing::AssertionFailure() << "size " << image.Width() << "x" << image.Height()
                                             << ", expected " << width << "x" << height;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t got = image.PixelAt(static_cast<int32_t>(x), static_cast<int32_t>(y));
            const uint32_t want = expected[static_cast<size_t>(y) * width + x];
            if (got != want)
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is "
                                                     << std::hex << got << ", expected " << want;
        }
    return ::testing::AssertionSuccess();
}

} // namespace moirelle::test

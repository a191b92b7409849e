#pragma once
// A realistic set of benchmark images, made once per process: photo-like pictures (8 and
// 16 bits per sample, grey), an icon, a palette user-interface shot (also with a tRNS
// chunk) and an interlaced photo. Each comes as raw
// pixels and as a complete PNG file written with default encoder settings, with its
// image data stream (the concatenated IDAT chunks) and that stream's inflated size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace moirelle::bench {

struct BenchImage {
    std::string name;
    int width = 0;
    int height = 0;
    int colorType = 0; // as in PNG: 2 truecolour, 3 indexed, 6 truecolour with alpha
    int bitDepth = 8;
    bool interlaced = false;
    int channels = 0;             // samples per pixel
    std::vector<uint8_t> pixels;  // top-down rows, width × channels × bitDepth / 8 bytes
                                  // each (16-bit samples big-endian), no padding
    std::vector<uint8_t> palette; // indexed images: R, G, B per entry
    std::vector<uint8_t> alphas;  // indexed images with a tRNS chunk: alpha per entry
    std::vector<uint8_t> png;     // the whole PNG file
    std::vector<uint8_t> idat;    // the zlib stream of the image data
    size_t rawSize = 0;           // bytes that `idat` inflates to (filter bytes included)
};

// "photo1080-rgba", "photo1080-rgb", "icon256-rgba", "ui1024-palette",
// "photo1080-rgb-adam7", "photo1080-grey", "photo768-rgba16", "ui1024-palette-trns".
// A square truecolour-with-alpha picture of the given size, made on each call.
BenchImage LargeRgbaImage(int size);
// The same, kept until another size is asked for.
const BenchImage& SharedLargeRgbaImage(int size);
// A square palette interface shot of the given size (as "ui1024-palette"), and kept.
BenchImage LargePaletteImage(int size);
const BenchImage& SharedLargePaletteImage(int size);
// The image of that name (aborts when there is none).
const BenchImage& BenchImageNamed(const std::string& name);
const std::vector<BenchImage>& BenchImages();

} // namespace moirelle::bench

#pragma once
// A realistic set of benchmark images, made once per process: photo-like pictures,
// an icon, a palette user-interface shot and an interlaced photo. Each comes as raw
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
    int channels = 0;             // bytes per pixel of `pixels`
    std::vector<uint8_t> pixels;  // top-down rows, width × channels bytes each, no padding
    std::vector<uint8_t> palette; // indexed images: R, G, B per entry
    std::vector<uint8_t> png;     // the whole PNG file
    std::vector<uint8_t> idat;    // the zlib stream of the image data
    size_t rawSize = 0;           // bytes that `idat` inflates to (filter bytes included)
};

// "photo1080-rgba", "photo1080-rgb", "icon256-rgba", "ui1024-palette",
// "photo1080-rgb-adam7".
const std::vector<BenchImage>& BenchImages();

} // namespace moirelle::bench

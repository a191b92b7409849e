// Writes the seed corpus of fuzz_png: small PNGs of every colour type, depth and
// interlacing, each once for the zlib route and once for the built-in inflater.
#include "tests/support/PngWriter.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: seeds_png FOLDER\n");
        return 2;
    }
    using namespace moirelle::test;
    struct Combo {
        uint8_t colorType;
        std::vector<uint8_t> depths;
    };
    const Combo combos[] = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    int written = 0;
    uint32_t x = 12345;
    for (const Combo& c : combos)
        for (uint8_t depth : c.depths)
            for (uint8_t interlace : {0, 1}) {
                PngSpec spec;
                spec.width = 7;
                spec.height = 5;
                spec.bitDepth = depth;
                spec.colorType = c.colorType;
                spec.interlace = interlace;
                const size_t rowBytes =
                    (spec.width * static_cast<size_t>(BitsPerPixel(c.colorType, depth)) + 7) / 8;
                spec.pixels.resize(rowBytes * spec.height);
                for (uint8_t& b : spec.pixels)
                    b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
                if (c.colorType == 3) {
                    spec.palette.resize(3u << depth);
                    for (uint8_t& b : spec.palette)
                        b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
                    spec.transparency = {0, 128};
                }
                if (c.colorType == 2) spec.transparency = {0, 1, 0, 2, 0, 3};
                if (c.colorType == 0) spec.transparency = {0, 1};
                const std::vector<uint8_t> png = EncodePng(spec);
                for (uint8_t route : {0, 1}) {
                    const std::string name =
                        std::string(argv[1]) + "/seed_" + std::to_string(written++) + ".bin";
                    std::FILE* f = std::fopen(name.c_str(), "wb");
                    if (!f) return 1;
                    std::fputc(route, f);
                    std::fwrite(png.data(), 1, png.size(), f);
                    std::fclose(f);
                }
            }
    return 0;
}

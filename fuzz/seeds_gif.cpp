// Writes the seed corpus of fuzz_gif: small GIFs with global and local tables,
// transparency, interlacing, several frames and extensions.
#include "tests/support/ReaderSamples.h"

#include <cstdio>
#include <string>

using namespace moirelle::test;

namespace {

bool Write(const std::string& path, const Bytes& b) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

GifImage Image(uint16_t w, uint16_t h, int mcs, uint32_t seed) {
    GifImage img;
    img.width = w;
    img.height = h;
    img.minCodeSize = mcs;
    for (uint32_t i = 0; i < uint32_t{w} * h; ++i) {
        seed = seed * 1103515245u + 12345u;
        img.indices.push_back(
            static_cast<uint8_t>(((seed >> 16) % 3 == 0 ? seed >> 20 : i / 5) % (1u << mcs)));
    }
    return img;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: seeds_gif FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<uint32_t> table16(16), table4 = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (uint32_t i = 0; i < 16; ++i)
        table16[i] = i * 0x111111;
    int n = 0;
    auto put = [&](const Bytes& b) { n += Write(dir + "/seed" + std::to_string(n) + ".gif", b); };

    put(BuildGif(9, 7, table16, {Image(9, 7, 4, 1)}));
    GifImage transparent = Image(12, 5, 2, 2);
    transparent.transparentIndex = 3;
    put(BuildGif(12, 5, table4, {transparent}));
    GifImage interlaced = Image(5, 13, 4, 3);
    interlaced.interlaced = true;
    put(BuildGif(5, 13, table16, {interlaced}));
    GifImage local = Image(6, 6, 2, 4);
    local.localTable = table4;
    local.left = 2;
    local.top = 1;
    put(BuildGif(10, 10, {}, {local}, "GIF87a"));
    GifImage second = Image(4, 4, 4, 5);
    second.controlExtension = true;
    put(BuildGif(8, 8, table16, {transparent, second}));
    Bytes withExtensions = BuildGif(3, 3, table4, {Image(3, 3, 2, 6)});
    const uint8_t app[] = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S',  'C',  'A', 'P', 'E', '2', '.',
                           '0',  3,    1,  0,   0,   0,   0x21, 0xFE, 2,   'h', 'i', 0};
    withExtensions.insert(withExtensions.begin() + 13 + 12, app, app + sizeof(app));
    put(withExtensions);
    const Bytes large = BuildGif(64, 64, table16, {Image(64, 64, 4, 7)});
    put(large);
    // Cut off inside its second data sub-block.
    put(Bytes(large.begin(), large.begin() + 13 + 48 + 10 + 1 + 256 + 100));
    // Codes of 10 bits and more: minimum code size 9.
    put(BuildGif(8, 8, table16, {Image(8, 8, 9, 8)}));
    std::printf("seeds_gif: %d seeds\n", n);
    return 0;
}

// Writes the seed corpus of fuzz_ico (one leading byte choosing the wanted size and depth,
// then the icon): bitmap entries of every depth, a 32-bit entry, a cursor and a PNG entry.
#include "tests/support/PngWriter.h"
#include "tests/support/ReaderSamples.h"

#include <cstdio>
#include <string>

using namespace moirelle::test;

namespace {

IconEntry BitmapEntry(uint8_t size, uint16_t bits, uint32_t seed) {
    IconEntry e;
    e.widthByte = e.heightByte = size;
    Bytes palette(bits <= 8 ? (size_t{4} << bits) : 0);
    Bytes xorRows(RowBytes(size, bits) * size);
    Bytes andRows(RowBytes(size, 1) * size);
    for (Bytes* b : {&palette, &xorRows, &andRows})
        for (uint8_t& v : *b)
            v = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    e.image = BuildIconBitmap(size, size, bits, palette, xorRows, andRows);
    return e;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: seeds_ico FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    int n = 0;
    auto put = [&](uint8_t choice, const Bytes& icon) {
        Bytes b{choice};
        b.insert(b.end(), icon.begin(), icon.end());
        FILE* f = std::fopen((dir + "/seed" + std::to_string(n) + ".ico").c_str(), "wb");
        if (!f) return;
        n += std::fwrite(b.data(), 1, b.size(), f) == b.size();
        std::fclose(f);
    };
    uint32_t seed = 5;
    for (uint16_t bits : {1, 4, 8, 16, 24, 32})
        put(0, BuildIcon(1, {BitmapEntry(16, bits, ++seed)}));
    put(1, BuildIcon(1, {BitmapEntry(16, 32, 1), BitmapEntry(48, 8, 2), BitmapEntry(32, 4, 3)}));
    put(2, BuildIcon(2, {BitmapEntry(32, 32, 4)}));
    PngSpec spec;
    spec.width = spec.height = 20;
    spec.pixels.resize(20 * 20 * 4);
    for (uint8_t& v : spec.pixels)
        v = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    IconEntry png;
    png.widthByte = png.heightByte = 20;
    png.directoryBits = 32;
    png.image = EncodePng(spec);
    put(3, BuildIcon(1, {BitmapEntry(16, 8, 9), png}));
    std::printf("seeds_ico: %d seeds\n", n);
    return 0;
}

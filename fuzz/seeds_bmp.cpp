// Writes the seed corpus of fuzz_bmp: 32-bit BMPs bottom-up and top-down with and without
// alpha, and a few other depths (which the direct path leaves alone).
#include "tests/support/ReaderSamples.h"

#include <cstdio>
#include <string>

using namespace moirelle::test;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: seeds_bmp FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    int n = 0;
    auto put = [&](const Bytes& b) {
        FILE* f = std::fopen((dir + "/seed" + std::to_string(n) + ".bmp").c_str(), "wb");
        if (!f) return;
        n += std::fwrite(b.data(), 1, b.size(), f) == b.size();
        std::fclose(f);
    };
    Bytes rows;
    uint32_t x = 99;
    for (int i = 0; i < 5 * 3; ++i)
        Put32(rows, x = x * 1103515245u + 12345u);
    put(BuildBmp(5, 3, 32, 0, rows));
    put(BuildBmp(5, -3, 32, 0, rows));
    Bytes opaque(5 * 3 * 4, 0x40);
    put(BuildBmp(5, 3, 32, 0, opaque));
    put(BuildBmp(3, 3, 24, 0, Bytes(12 * 3, 0x80)));
    put(BuildBmp(4, 2, 8, 0, Bytes(8, 1), Bytes(256 * 4, 0x20)));
    std::printf("seeds_bmp: %d seeds\n", n);
    return 0;
}

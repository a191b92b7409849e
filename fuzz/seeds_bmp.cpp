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
    // A 16-byte (OS/2) header that ends with the data: no field after the depth is read.
    Bytes short16 = BuildBmp(1, 1, 24, 0, Bytes(4, 0));
    short16.resize(30);
    Set32(short16, 2, 30);
    Set32(short16, 14, 16);
    put(short16);
    // A 12-byte (OS/2) header with a palette of 2 of the 256 entries of 8 bits.
    Bytes os2{'B', 'M'};
    Put32(os2, 14 + 12 + 6 + 4);
    Put32(os2, 0);
    Put32(os2, 14 + 12 + 6);
    Put32(os2, 12);
    for (uint32_t v : {2u, 1u, 1u, 8u})
        Put16(os2, v);
    os2.insert(os2.end(), {0, 0, 0, 255, 255, 255, 0, 1, 0, 0});
    put(os2);
    std::printf("seeds_bmp: %d seeds\n", n);
    return 0;
}

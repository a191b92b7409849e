// Writes the seed corpus of fuzz_render: plain, scaled, mirrored, clipped, grey, lightened
// and rotated draws of small pictures.
#include "fuzz/RenderFuzzInput.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: seeds_render FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    int n = 0;
    // Header fields in the order of RenderFuzzInput.h; sizes as stored (size - 1, dest
    // size + 48).
    auto put = [&](std::vector<uint8_t> header, uint32_t seed) {
        header.resize(moirelle::fuzz::kRenderHeaderSize, 0);
        for (int i = 0; i < 64; ++i) { // premultiplied-looking pixels
            seed = seed * 1103515245u + 12345u;
            const uint8_t a = static_cast<uint8_t>(seed >> 24);
            for (int c = 0; c < 3; ++c)
                header.push_back(static_cast<uint8_t>(a ? (seed >> (8 * c)) % (a + 1u) : 0));
            header.push_back(a);
        }
        FILE* f = std::fopen((dir + "/seed" + std::to_string(n) + ".bin").c_str(), "wb");
        if (!f) return;
        n += std::fwrite(header.data(), 1, header.size(), f) == header.size();
        std::fclose(f);
    };
    const uint8_t natural = 48; // destination size 0: the image's
    put({7, 5, 19, 15, 2, 3, natural, natural, 0, 0, 0, 0, 100, 1, 0, 128, 8}, 1);       // plain
    put({7, 5, 19, 15, 0, 0, 48 + 17, 48 + 11, 0, 0, 0, 0, 100, 1, 0, 128, 8 | 4}, 2);   // bilinear
    put({7, 5, 19, 15, 0, 0, 48 + 5, 48 + 3, 4, 4, 8, 8, 100, 1, 0, 128, 8}, 3);         // nearest
    put({7, 5, 19, 15, 250, 252, 48 - 12, 48 + 9, 0, 0, 0, 0, 50, 3, 0, 128, 8 | 4}, 4); // mirror
    put({7, 5, 19, 15, 1, 1, natural, natural, 0, 0, 0, 0, 70, 4, 60, 128, 8}, 5);       // grey
    put({9, 9, 30, 30, 15, 15, 48 + 10, 48 + 10, 0, 0, 0, 0, 100, 1, 0, 138, 4}, 6);     // 30 deg
    put({9, 9, 30, 30, 15, 15, 48 + 10, 48 - 10, 0, 0, 0, 0, 80, 2, 200, 158, 2 | 1}, 7);
    std::printf("seeds_render: %d seeds\n", n);
    return 0;
}

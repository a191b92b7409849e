// Writes the seed corpus of fuzz_gifanim: small animations with every disposal kind,
// transparency, loop extensions, local tables, interlacing and frames beyond the screen.
#include "tests/portable/animation/GifBuilder.h"

#include <cstdio>
#include <string>

using moirelle::test::Bytes;
using moirelle::test::GifBuilder;

namespace {

bool Write(const std::string& path, const Bytes& b) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> Pattern(int w, int h, int colours, uint32_t seed) {
    std::vector<uint8_t> out;
    for (int i = 0; i < w * h; ++i) {
        seed = seed * 1103515245u + 12345u;
        out.push_back(static_cast<uint8_t>(((seed >> 16) % 3 == 0 ? seed >> 20 : i / 3) % colours));
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: seeds_gifanim FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<uint32_t> four = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    std::vector<uint32_t> sixteen(16);
    for (uint32_t i = 0; i < 16; ++i)
        sixteen[i] = i * 0x0F0F0F;
    int n = 0;
    auto put = [&](const Bytes& b) { n += Write(dir + "/seed" + std::to_string(n) + ".gif", b); };

    GifBuilder every(12, 6, four);
    every.Loop(0);
    for (int disposal = 0; disposal < 4; ++disposal)
        every.Control(disposal, static_cast<uint16_t>(disposal * 5), disposal == 1 ? 0 : -1)
            .Image(disposal * 2, disposal % 3, 5, 4, Pattern(5, 4, 4, disposal + 1u));
    put(every.Finish());

    GifBuilder local(10, 10, {});
    local.Loop(3, "ANIMEXTS1.0");
    local.Control(2, 10).Image(1, 1, 8, 8, Pattern(8, 8, 16, 7), sixteen);
    local.Control(3, 10, 2).Image(0, 0, 10, 9, Pattern(10, 9, 4, 8), four, true);
    local.Comment("comment").Control(1, 1).Image(4, 4, 3, 3, Pattern(3, 3, 2, 9), {0, 0xFFFFFF});
    put(local.Finish());

    GifBuilder outside(8, 4, sixteen);
    outside.Control(3, 4).Image(6, 2, 40, 3, Pattern(40, 3, 16, 3));
    outside.Control(2, 4).Image(9, 0, 2, 2, Pattern(2, 2, 16, 4));
    outside.Image(0, 0, 8, 4, Pattern(8, 4, 16, 5), {}, true);
    const Bytes whole = outside.Finish();
    put(whole);
    put(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(whole.size() * 2 / 3)));

    std::printf("seeds_gifanim: %d seeds\n", n);
    return 0;
}

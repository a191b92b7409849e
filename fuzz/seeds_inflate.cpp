// Writes the inflater fuzzer's seed corpus: streams of every block type made by zlib
// (loaded at run time) at several levels, and a few hand-made ones, each behind the
// 3-byte output size the fuzzer reads first.
#include "formats/ZlibAccess.h"
#include "platform/DynamicLibrary.h"

#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using DeflateInit2Fn = int (*)(z_streamp, int, int, int, int, int, const char*, int);
using DeflateFn = int (*)(z_streamp, int);
using DeflateEndFn = int (*)(z_streamp);
using VersionFn = const char* (*)();

bool WriteSeed(const std::string& dir, const std::string& name, size_t outputSize,
               const Bytes& stream) {
    Bytes seed = {static_cast<uint8_t>(outputSize), static_cast<uint8_t>(outputSize >> 8),
                  static_cast<uint8_t>(outputSize >> 16)};
    seed.insert(seed.end(), stream.begin(), stream.end());
    std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(seed.data(), 1, seed.size(), f) == seed.size();
    return std::fclose(f) == 0 && ok;
}

Bytes Data(int kind, size_t size) {
    Bytes d(size);
    uint32_t x = 12345u + static_cast<uint32_t>(kind);
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        switch (kind) {
        case 0:
            d[i] = static_cast<uint8_t>(x >> 24);
            break; // noise
        case 1:
            d[i] = static_cast<uint8_t>("deflate inflate "[i % 16]);
            break; // text
        case 2:
            d[i] = static_cast<uint8_t>((i / 97) % 3 * 40);
            break; // runs
        default:
            d[i] = static_cast<uint8_t>(i % 4 == 0 ? 1 : (x >> 29));
            break; // rows
        }
    }
    return d;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int written = 0;
    // Hand-made: a stored block, a fixed block with a distance-1 match, a block type 3.
    const Bytes stored = {0x78, 0x9c, 0x01, 0x03, 0x00, 0xfc, 0xff, 'a', 'b', 'c'};
    const Bytes fixedRun = {0x78, 0x9c, 0x4b, 0x1c, 0x05, 0x00};
    const Bytes badType = {0x78, 0x9c, 0x07, 0x00};
    written += WriteSeed(dir, "stored", 3, stored);
    written += WriteSeed(dir, "fixed-run", 300, fixedRun);
    written += WriteSeed(dir, "type3", 16, badType);

    moirelle::platform::DynamicLibrary zlib(moirelle::DefaultZlibLibraryNames().preferred);
    auto init = zlib.Function<DeflateInit2Fn>("deflateInit2_");
    auto deflate = zlib.Function<DeflateFn>("deflate");
    auto end = zlib.Function<DeflateEndFn>("deflateEnd");
    auto version = zlib.Function<VersionFn>("zlibVersion");
    if (init && deflate && end && version) {
        for (int kind = 0; kind < 4; ++kind) {
            for (size_t size : {size_t{40}, size_t{3000}}) {
                const Bytes data = Data(kind, size);
                for (int level : {0, 1, 6, 9}) {
                    for (int strategy : {Z_DEFAULT_STRATEGY, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
                        if (level == 0 && strategy != Z_DEFAULT_STRATEGY) continue;
                        z_stream strm{};
                        if (init(&strm, level, Z_DEFLATED, 15, 8, strategy, version(),
                                 static_cast<int>(sizeof(z_stream))) != Z_OK)
                            continue;
                        Bytes out(size * 2 + 64);
                        strm.next_in = const_cast<Bytef*>(data.data());
                        strm.avail_in = static_cast<uInt>(data.size());
                        strm.next_out = out.data();
                        strm.avail_out = static_cast<uInt>(out.size());
                        const int rc = deflate(&strm, Z_FINISH);
                        out.resize(strm.total_out);
                        end(&strm);
                        if (rc != Z_STREAM_END) continue;
                        written += WriteSeed(
                            dir,
                            "zlib-k" + std::to_string(kind) + "-n" + std::to_string(size) + "-l" +
                                std::to_string(level) + "-s" + std::to_string(strategy),
                            size, out);
                    }
                }
            }
        }
    }
    std::printf("seeds_inflate: %d seeds\n", written);
    return written > 0 ? 0 : 1;
}

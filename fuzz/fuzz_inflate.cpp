// Fuzzes the built-in inflater. Input: 3 bytes giving the output size (little-endian,
// capped at 1 MiB), then the zlib-wrapped stream. Every result must match the plain
// step-by-step inflater exactly, and whatever zlib decodes within the size must decode
// the same way here.
#include "formats/Inflater.h"
#include "formats/ZlibAccess.h"
#include "platform/DynamicLibrary.h"
#include "tests/portable/inflate/ReferenceInflater.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using InflateInit2Fn = int (*)(z_streamp, int, const char*, int);
using InflateFn = int (*)(z_streamp, int);
using InflateEndFn = int (*)(z_streamp);
using VersionFn = const char* (*)();

struct RuntimeZlib {
    moirelle::platform::DynamicLibrary library{moirelle::DefaultZlibLibraryNames().preferred};
    InflateInit2Fn init = library.Function<InflateInit2Fn>("inflateInit2_");
    InflateFn inflate = library.Function<InflateFn>("inflate");
    InflateEndFn end = library.Function<InflateEndFn>("inflateEnd");
    VersionFn version = library.Function<VersionFn>("zlibVersion");
    bool Usable() const { return init && inflate && end && version; }

    // True when zlib decodes the raw DEFLATE data to its end within `limit` bytes.
    bool Decode(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out) const {
        z_stream strm{};
        if (init(&strm, -15, version(), static_cast<int>(sizeof(z_stream))) != Z_OK) return false;
        out.assign(limit + 1, 0);
        strm.next_in = const_cast<Bytef*>(data);
        strm.avail_in = static_cast<uInt>(size);
        strm.next_out = out.data();
        strm.avail_out = static_cast<uInt>(out.size());
        const int rc = inflate(&strm, Z_FINISH);
        out.resize(strm.total_out);
        end(&strm);
        return rc == Z_STREAM_END && out.size() <= limit;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t outputSize =
        (data[0] | (size_t{data[1]} << 8) | (size_t{data[2]} << 16)) & 0xFFFFF;
    const std::vector<uint8_t> stream(data + 3, data + size);

    std::vector<uint8_t> ours(outputSize, 0);
    const bool ok = moirelle::Inflate(ours.data(), outputSize, stream.data(), stream.size());
    std::vector<uint8_t> plain(outputSize, 0);
    const bool plainOk =
        moirelle::test::ReferenceInflate(plain.data(), outputSize, stream.data(), stream.size());
    if (ok != plainOk) std::abort();
    if (ok && ours != plain) std::abort();

    static const RuntimeZlib zlib;
    if (zlib.Usable() && stream.size() >= 2) {
        std::vector<uint8_t> expected;
        if (zlib.Decode(stream.data() + 2, stream.size() - 2, outputSize, expected)) {
            if (!ok) std::abort();
            if (!expected.empty() &&
                std::memcmp(expected.data(), ours.data(), expected.size()) != 0)
                std::abort();
        }
    }
    return 0;
}

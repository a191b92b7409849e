// Fuzzes the built-in inflater. Input: 3 bytes giving the output size (little-endian,
// capped at 256 KiB), then the zlib-wrapped stream. Every result must match the plain
// step-by-step inflater exactly, and whatever zlib decodes within the size must decode
// the same way here. The run that compares the Adler-32 decodes the same, and its verdict
// agrees with zlib's checksum of zlib's output at the trailer where zlib's decode ended.
// The windowed run, over the stream cut into pieces and followed by zero bytes, decodes
// exactly as the whole-buffer call over the same bytes.
#include "formats/Inflater.h"
#include "formats/ZlibAccess.h"
#include "platform/DynamicLibrary.h"
#include "tests/portable/inflate/ReferenceInflater.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace {

using InflateInit2Fn = int (*)(z_streamp, int, const char*, int);
using InflateFn = int (*)(z_streamp, int);
using InflateEndFn = int (*)(z_streamp);
using VersionFn = const char* (*)();
using Adler32Fn = unsigned long (*)(unsigned long, const unsigned char*, unsigned int);

struct RuntimeZlib {
    moirelle::platform::DynamicLibrary library{moirelle::DefaultZlibLibraryNames().preferred};
    InflateInit2Fn init = library.Function<InflateInit2Fn>("inflateInit2_");
    InflateFn inflate = library.Function<InflateFn>("inflate");
    InflateEndFn end = library.Function<InflateEndFn>("inflateEnd");
    VersionFn version = library.Function<VersionFn>("zlibVersion");
    Adler32Fn adler32 = library.Function<Adler32Fn>("adler32");
    bool Usable() const { return init && inflate && end && version && adler32; }

    // True when zlib decodes the raw DEFLATE data to its end within `limit` bytes;
    // `consumed` receives the bytes of `data` it read.
    bool Decode(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out,
                size_t& consumed) const {
        z_stream strm{};
        if (init(&strm, -15, version(), static_cast<int>(sizeof(z_stream))) != Z_OK) return false;
        out.assign(limit + 1, 0);
        strm.next_in = const_cast<Bytef*>(data);
        strm.avail_in = static_cast<uInt>(size);
        strm.next_out = out.data();
        strm.avail_out = static_cast<uInt>(out.size());
        const int rc = inflate(&strm, Z_FINISH);
        out.resize(strm.total_out);
        consumed = strm.total_in;
        end(&strm);
        return rc == Z_STREAM_END && out.size() <= limit;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t outputSize =
        (data[0] | (size_t{data[1]} << 8) | (size_t{data[2]} << 16)) & 0x3FFFF;
    const std::vector<uint8_t> stream(data + 3, data + size);

    std::vector<uint8_t> ours(outputSize, 0);
    const bool ok = moirelle::Inflate(ours.data(), outputSize, stream.data(), stream.size());
    std::vector<uint8_t> plain(outputSize, 0);
    const bool plainOk =
        moirelle::test::ReferenceInflate(plain.data(), outputSize, stream.data(), stream.size());
    if (ok != plainOk) std::abort();
    if (ok && ours != plain) std::abort();

    std::vector<uint8_t> checked(outputSize, 0);
    moirelle::InflateChecksum verdict = moirelle::InflateChecksum::Unchecked;
    if (moirelle::Inflate(checked.data(), outputSize, stream.data(), stream.size(), &verdict) !=
            ok ||
        checked != ours)
        std::abort();
    if ((verdict == moirelle::InflateChecksum::Unchecked) == ok) std::abort();

    {
        const size_t pieceSize = 1 + data[0] % 61;
        const size_t chunk = 1 + (data[1] | size_t{data[2]} << 8) % 5000 + outputSize / 32;
        const size_t tail = data[2] % 4 == 0 ? 300 : 0;
        std::vector<std::vector<uint8_t>> copies;
        std::vector<std::span<const uint8_t>> pieces;
        for (size_t at = 0; at < stream.size(); at += pieceSize) {
            copies.emplace_back(
                stream.begin() + static_cast<ptrdiff_t>(at),
                stream.begin() + static_cast<ptrdiff_t>(std::min(at + pieceSize, stream.size())));
        }
        for (const std::vector<uint8_t>& copy : copies)
            pieces.emplace_back(copy);
        std::vector<uint8_t> withTail(stream);
        withTail.resize(stream.size() + tail, 0);
        std::vector<uint8_t> whole(outputSize, 0);
        const bool wholeOk =
            moirelle::Inflate(whole.data(), outputSize, withTail.data(), withTail.size());
        moirelle::InflateStream windowed(pieces, tail, outputSize, chunk);
        std::vector<uint8_t> got;
        auto status = moirelle::InflateStream::Status::More;
        while (status == moirelle::InflateStream::Status::More) {
            std::span<const uint8_t> produced;
            status = windowed.Next(produced);
            got.insert(got.end(), produced.begin(), produced.end());
            if (got.size() > outputSize) std::abort();
        }
        got.resize(outputSize, 0);
        if ((status == moirelle::InflateStream::Status::Done) != wholeOk || got != whole)
            std::abort();
    }

    static const RuntimeZlib zlib;
    if (zlib.Usable() && stream.size() >= 2) {
        std::vector<uint8_t> expected;
        size_t consumed = 0;
        if (zlib.Decode(stream.data() + 2, stream.size() - 2, outputSize, expected, consumed)) {
            if (!ok) std::abort();
            if (!expected.empty() &&
                std::memcmp(expected.data(), ours.data(), expected.size()) != 0)
                std::abort();
            const size_t trailer = 2 + consumed;
            moirelle::InflateChecksum want = moirelle::InflateChecksum::Missing;
            if (stream.size() - trailer >= 4) {
                const uint32_t stored = (uint32_t{stream[trailer]} << 24) |
                                        (uint32_t{stream[trailer + 1]} << 16) |
                                        (uint32_t{stream[trailer + 2]} << 8) | stream[trailer + 3];
                const auto sum =
                    static_cast<uint32_t>(zlib.adler32(zlib.adler32(0, nullptr, 0), expected.data(),
                                                       static_cast<unsigned int>(expected.size())));
                want = sum == stored ? moirelle::InflateChecksum::Matches
                                     : moirelle::InflateChecksum::Mismatch;
            }
            if (verdict != want) std::abort();
        }
    }
    return 0;
}

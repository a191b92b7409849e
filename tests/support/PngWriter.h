#pragma once
// Builds PNG files for tests, seed corpora and samples: chunks with their CRCs, zlib
// image data, the five row filters and Adam7 interlacing. zlib is the run-time library
// (compress2, crc32) when it is there, so this works natively and under Wine; without it
// the image data go into stored DEFLATE blocks and the CRC is computed here.
//
// Header-only so that programs outside the test tree (seed writers) can use it.

#include "formats/ZlibAccess.h"
#include "platform/DynamicLibrary.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace moirelle::test {

namespace pngwriter_detail {

struct RuntimeZlib {
    using Compress2Fn = int (*)(unsigned char*, unsigned long*, const unsigned char*, unsigned long,
                                int);
    using Crc32Fn = unsigned long (*)(unsigned long, const unsigned char*, unsigned int);
    platform::DynamicLibrary library;
    Compress2Fn compress2 = nullptr;
    Crc32Fn crc32 = nullptr;
    RuntimeZlib() {
        const ZlibLibraryNames names = DefaultZlibLibraryNames();
        for (const std::string& name : {names.preferred, names.fallback}) {
            if (!library.Load(name)) continue;
            compress2 = library.Function<Compress2Fn>("compress2");
            crc32 = library.Function<Crc32Fn>("crc32");
            if (compress2 && crc32) return;
        }
        compress2 = nullptr;
        crc32 = nullptr;
    }
    static const RuntimeZlib& Get() {
        static const RuntimeZlib zlib;
        return zlib;
    }
};

inline void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

} // namespace pngwriter_detail

inline uint32_t Crc32(std::span<const uint8_t> bytes) {
    const auto& zlib = pngwriter_detail::RuntimeZlib::Get();
    if (zlib.crc32)
        return static_cast<uint32_t>(
            zlib.crc32(0, bytes.data(), static_cast<unsigned int>(bytes.size())));
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A zlib stream of stored DEFLATE blocks (no compression) with a correct Adler-32.
inline std::vector<uint8_t> StoredZlib(std::span<const uint8_t> raw) {
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - pos, 65535);
        const bool final = pos + n == raw.size();
        out.push_back(final ? 1 : 0);
        out.push_back(static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(n >> 8));
        out.push_back(static_cast<uint8_t>(~n));
        out.push_back(static_cast<uint8_t>(~n >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                   raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    pngwriter_detail::PutBigEndian32(out, b << 16 | a);
    return out;
}

// zlib's compress2 at the given level, or stored blocks without zlib.
inline std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> raw, int level = 6) {
    const auto& zlib = pngwriter_detail::RuntimeZlib::Get();
    if (!zlib.compress2) return StoredZlib(raw);
    unsigned long size = static_cast<unsigned long>(raw.size() + raw.size() / 100 + 1024);
    std::vector<uint8_t> out(size);
    if (zlib.compress2(out.data(), &size, raw.data(), static_cast<unsigned long>(raw.size()),
                       level) != 0)
        return StoredZlib(raw);
    out.resize(size);
    return out;
}

inline std::vector<uint8_t> PngSignatureBytes() {
    return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
}

// Appends a chunk; with corruptCrc its stored CRC is off by one.
inline void AppendChunk(std::vector<uint8_t>& png, std::string_view type,
                        std::span<const uint8_t> data, bool corruptCrc = false) {
    pngwriter_detail::PutBigEndian32(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type.begin(), type.end());
    png.insert(png.end(), data.begin(), data.end());
    const uint32_t crc = Crc32(std::span<const uint8_t>(png.data() + start, png.size() - start));
    pngwriter_detail::PutBigEndian32(png, corruptCrc ? crc + 1 : crc);
}

inline std::vector<uint8_t> IhdrData(uint32_t width, uint32_t height, uint8_t bitDepth,
                                     uint8_t colorType, uint8_t interlace = 0) {
    std::vector<uint8_t> d;
    pngwriter_detail::PutBigEndian32(d, width);
    pngwriter_detail::PutBigEndian32(d, height);
    d.insert(d.end(), {bitDepth, colorType, 0, 0, interlace});
    return d;
}

inline int BitsPerPixel(uint8_t colorType, uint8_t bitDepth) {
    static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
    return colorType < 7 ? channels[colorType] * bitDepth : 0;
}

inline uint8_t PaethPredict(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Filters `rows` rows of `rowBytes` bytes each: every output row is the filter byte and
// the filtered bytes. filter 0..4 applies one filter to all rows; -1 cycles through them.
inline std::vector<uint8_t> FilterRows(std::span<const uint8_t> rowsIn, size_t rowBytes,
                                       size_t rows, int distance, int filter) {
    std::vector<uint8_t> out;
    out.reserve((rowBytes + 1) * rows);
    const std::vector<uint8_t> zeroRow(rowBytes, 0);
    for (size_t r = 0; r < rows; ++r) {
        const uint8_t* cur = rowsIn.data() + r * rowBytes;
        const uint8_t* up = r == 0 ? zeroRow.data() : cur - rowBytes;
        const int f = filter < 0 ? static_cast<int>(r % 5) : filter;
        out.push_back(static_cast<uint8_t>(f));
        for (size_t i = 0; i < rowBytes; ++i) {
            const int d = static_cast<int>(i) >= distance ? distance : -1;
            const int a = d > 0 ? cur[i - static_cast<size_t>(d)] : 0;
            const int c = d > 0 ? up[i - static_cast<size_t>(d)] : 0;
            const int b = up[i];
            int pred = 0;
            if (f == 1) pred = a;
            if (f == 2) pred = b;
            if (f == 3) pred = (a + b) / 2;
            if (f == 4) pred = PaethPredict(a, b, c);
            out.push_back(static_cast<uint8_t>(cur[i] - pred));
        }
    }
    return out;
}

// What EncodePng writes. `pixels` are the unfiltered rows of the whole image, packed as
// the PNG standard packs them (rows of ceil(width * bitsPerPixel / 8) bytes).
struct PngSpec {
    uint32_t width = 1, height = 1;
    uint8_t bitDepth = 8, colorType = 6, interlace = 0;
    std::vector<uint8_t> pixels;
    int filter = -1;                   // see FilterRows
    std::vector<uint8_t> palette;      // PLTE data when not empty
    std::vector<uint8_t> transparency; // tRNS data when not empty
    int level = 6;                     // compression level
    size_t idatChunkSize = 0;          // split the image data into chunks of this size (0: one)
};

// The image data before compression: filtered rows, pass by pass when interlaced.
inline std::vector<uint8_t> RawImageData(const PngSpec& s) {
    const int bpp = BitsPerPixel(s.colorType, s.bitDepth);
    const int distance = bpp < 8 ? 1 : bpp / 8;
    const size_t rowBytes = (static_cast<size_t>(s.width) * bpp + 7) / 8;
    if (s.interlace == 0) return FilterRows(s.pixels, rowBytes, s.height, distance, s.filter);
    static const int pass[7][4] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                                   {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};
    std::vector<uint8_t> out;
    for (const auto& p : pass) {
        std::vector<uint8_t> sub;
        size_t pw = 0, ph = 0;
        for (uint32_t y = static_cast<uint32_t>(p[0]); y < s.height;
             y += static_cast<uint32_t>(p[2])) {
            ++ph;
            std::vector<uint8_t> row;
            size_t bitPos = 0;
            pw = 0;
            for (uint32_t x = static_cast<uint32_t>(p[1]); x < s.width;
                 x += static_cast<uint32_t>(p[3])) {
                ++pw;
                for (int b = 0; b < bpp; ++b) {
                    const size_t srcBit = static_cast<size_t>(x) * bpp + b;
                    const uint8_t byte = s.pixels[y * rowBytes + srcBit / 8];
                    const int bit = (byte >> (7 - srcBit % 8)) & 1;
                    if (bitPos % 8 == 0) row.push_back(0);
                    row.back() = static_cast<uint8_t>(row.back() | bit << (7 - bitPos % 8));
                    ++bitPos;
                }
            }
            sub.insert(sub.end(), row.begin(), row.end());
        }
        if (pw == 0 || ph == 0) continue;
        const size_t passRowBytes = (pw * bpp + 7) / 8;
        const std::vector<uint8_t> filtered = FilterRows(sub, passRowBytes, ph, distance, s.filter);
        out.insert(out.end(), filtered.begin(), filtered.end());
    }
    return out;
}

inline std::vector<uint8_t> EncodePng(const PngSpec& s) {
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(s.width, s.height, s.bitDepth, s.colorType, s.interlace));
    if (!s.palette.empty()) AppendChunk(png, "PLTE", s.palette);
    if (!s.transparency.empty()) AppendChunk(png, "tRNS", s.transparency);
    const std::vector<uint8_t> raw = RawImageData(s);
    const std::vector<uint8_t> z = ZlibCompress(raw, s.level);
    const size_t chunk = s.idatChunkSize == 0 ? z.size() : s.idatChunkSize;
    for (size_t pos = 0; pos < z.size(); pos += chunk)
        AppendChunk(png, "IDAT",
                    std::span<const uint8_t>(z.data() + pos, std::min(chunk, z.size() - pos)));
    AppendChunk(png, "IEND", {});
    return png;
}

} // namespace moirelle::test

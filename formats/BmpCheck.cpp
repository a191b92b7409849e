#include "formats/BmpCheck.h"

#include "formats/LittleEndian.h"
#include "formats/modParsers.h"

#include <bit>

namespace moirelle {
namespace {

constexpr uint32_t kBI_RGB = 0, kBI_RLE8 = 1, kBI_RLE4 = 2, kBI_BITFIELDS = 3;
// Pixels per metre beyond which a density is nonsense (about 25,000 dots per inch).
constexpr int32_t kMaxDensity = 1000000;

bool IsKnownHeaderSize(uint32_t size) {
    switch (size) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

// A mask of one run of set bits within the depth, or false.
bool IsFieldMask(uint32_t mask, int bits) {
    if (mask == 0) return false;
    if (bits < 32 && (mask >> bits) != 0) return false;
    const uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

// Every index of `count` packed pixels below `entries`.
bool IndicesWithin(const uint8_t* row, int64_t count, int bits, uint32_t entries) {
    for (int64_t x = 0; x < count; ++x) {
        const int64_t bitPos = x * bits;
        const unsigned index = (row[bitPos >> 3] >> (8 - bits - (bitPos & 7))) & ((1u << bits) - 1);
        if (index >= entries) return false;
    }
    return true;
}

// Walks an RLE stream: every pixel written must lie inside the image, every byte read
// inside the data, every index below the palette's entries, and the stream must end.
bool IsSoundRle(std::span<const uint8_t> data, int64_t width, int64_t height, int bits,
                uint32_t entries) {
    int64_t x = 0, y = 0;
    size_t pos = 0;
    auto indexOk = [&](unsigned value, int64_t nth) {
        const unsigned index = bits == 8 ? value : (nth % 2 == 0 ? value >> 4 : value & 15);
        return index < entries;
    };
    while (pos + 2 <= data.size()) {
        const unsigned count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) { // encoded run
            if (y >= height || x + count > width) return false;
            for (unsigned k = 0; k < count && k < 2; ++k)
                if (!indexOk(value, k)) return false;
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return true;
        case 2: // delta
            if (pos + 2 > data.size()) return false;
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
            if (x > width || y > height) return false;
            break;
        default: { // absolute run of `value` pixels, padded to 16 bits
            const size_t bytes = bits == 8 ? value : (value + 1) / 2;
            if (y >= height || x + value > width || pos + bytes > data.size()) return false;
            for (unsigned k = 0; k < value; ++k)
                if (!indexOk(data[pos + (bits == 8 ? k : k / 2)], bits == 8 ? 0 : k)) return false;
            x += value;
            pos += (bytes + 1) & ~size_t{1};
            break;
        }
        }
    }
    return false; // no end of bitmap
}

} // namespace

bool IsSoundBmp(std::span<const uint8_t> bmp) {
    if (bmp.size() < 26 || bmp[0] != 'B' || bmp[1] != 'M') return false;
    const uint8_t* p = bmp.data();
    const uint32_t pixelOffset = Read32LE(p + 10);
    const uint32_t headerSize = Read32LE(p + 14);
    if (!IsKnownHeaderSize(headerSize) || 14 + uint64_t{headerSize} > bmp.size()) return false;
    // The file-size field is not trusted either way: writers get it wrong (some store the
    // headers' size, some count a byte too many), and every read below is bounded by the
    // data themselves.

    int64_t width, height;
    uint16_t planes, bits;
    uint32_t compression = kBI_RGB, sizeImage = 0, colorsUsed = 0;
    int32_t xDensity = 0, yDensity = 0;
    const bool core = headerSize == 12;
    if (core) {
        width = Read16LE(p + 18);
        height = Read16LE(p + 20);
        planes = Read16LE(p + 22);
        bits = Read16LE(p + 24);
    } else {
        width = static_cast<int32_t>(Read32LE(p + 18));
        height = static_cast<int32_t>(Read32LE(p + 22));
        planes = Read16LE(p + 26);
        bits = Read16LE(p + 28);
        // The shortest OS/2 header ends with the depth: no compression field.
        if (headerSize >= 20) compression = Read32LE(p + 30);
        if (headerSize >= 40) {
            sizeImage = Read32LE(p + 34);
            xDensity = static_cast<int32_t>(Read32LE(p + 38));
            yDensity = static_cast<int32_t>(Read32LE(p + 42));
            colorsUsed = Read32LE(p + 46);
        }
    }
    if (planes != 1 || width < 1 || height == 0) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    if (xDensity > kMaxDensity || xDensity < -kMaxDensity || yDensity > kMaxDensity ||
        yDensity < -kMaxDensity)
        return false;
    if (pixelOffset > bmp.size() || sizeImage > bmp.size() - pixelOffset) return false;
    const int64_t rows = height < 0 ? -height : height;

    // Palette: its entries must fit between the headers and the pixels. OS/2 headers
    // without a colour count hold as many entries as fit there, up to the depth's full
    // palette; the pixels' indices are then checked against those.
    uint32_t entries = 0;
    if (bits <= 8) {
        const uint32_t full = 1u << bits;
        if (colorsUsed > full) return false;
        entries = colorsUsed != 0 ? colorsUsed : full;
        const uint32_t entrySize = core ? 3 : 4;
        const uint64_t paletteStart = 14 + uint64_t{headerSize};
        if (headerSize < 40 && paletteStart + uint64_t{entries} * entrySize > pixelOffset)
            entries = pixelOffset > paletteStart
                          ? static_cast<uint32_t>((pixelOffset - paletteStart) / entrySize)
                          : 0;
        if (entries == 0 || paletteStart + uint64_t{entries} * entrySize > pixelOffset)
            return false;
    } else if (colorsUsed > 256) {
        return false;
    }

    const std::span<const uint8_t> pixels = bmp.subspan(pixelOffset);
    switch (compression) {
    case kBI_RLE8:
    case kBI_RLE4:
        if (height < 0 || bits != (compression == kBI_RLE8 ? 8 : 4)) return false;
        return IsSoundRle(pixels, width, rows, bits, entries);
    case kBI_BITFIELDS: {
        if (bits != 16 && bits != 32) return false;
        const uint64_t masksAt = 14 + uint64_t{headerSize >= 52 ? 40u : headerSize};
        if (masksAt + 12 > bmp.size()) return false;
        uint32_t seen = 0;
        for (int k = 0; k < 3; ++k) {
            const uint32_t mask = Read32LE(p + masksAt + 4 * k);
            if (!IsFieldMask(mask, bits) || (mask & seen) != 0) return false;
            seen |= mask;
        }
        break;
    }
    case kBI_RGB:
        break;
    default:
        return false;
    }

    const int64_t rowSize = modParsers::ScanWidth(bits, width);
    if (rowSize <= 0 || rows > static_cast<int64_t>(pixels.size()) / rowSize) return false;
    if (bits <= 8 && entries < (1u << bits))
        for (int64_t y = 0; y < rows; ++y)
            if (!IndicesWithin(pixels.data() + y * rowSize, width, bits, entries)) return false;
    return true;
}

} // namespace moirelle

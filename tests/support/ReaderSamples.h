#pragma once
// Builders of small GIF, icon/cursor and BMP files for the reader tests and the fuzz seed
// writers. Header-only so that the seed writers (which link only the core) can use them.

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace moirelle::test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void Set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// --- GIF ----------------------------------------------------------------------------------

// LZW codes of a GIF image (without sub-block framing). A clear code is sent whenever the
// table fills, and every `clearEvery` indices when that is not 0.
inline Bytes LzwEncode(int minCodeSize, const std::vector<uint8_t>& indices,
                       size_t clearEvery = 0) {
    Bytes out;
    uint32_t acc = 0;
    int accBits = 0;
    const uint32_t clear = 1u << minCodeSize;
    int codeSize = minCodeSize + 1;
    uint32_t next = clear + 2;
    std::unordered_map<uint32_t, uint32_t> table;
    auto emit = [&](uint32_t code) {
        acc |= code << accBits;
        accBits += codeSize;
        while (accBits >= 8) {
            out.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            accBits -= 8;
        }
    };
    auto reset = [&] {
        emit(clear);
        table.clear();
        codeSize = minCodeSize + 1;
        next = clear + 2;
    };
    reset();
    if (!indices.empty()) {
        uint32_t prefix = indices[0];
        size_t sinceClear = 1;
        for (size_t i = 1; i < indices.size(); ++i) {
            const uint32_t c = indices[i];
            const uint32_t key = (prefix << 8) | c;
            auto it = table.find(key);
            if (it != table.end() && !(clearEvery && sinceClear >= clearEvery)) {
                prefix = it->second;
                ++sinceClear;
                continue;
            }
            emit(prefix);
            if (clearEvery && sinceClear >= clearEvery) {
                // The decoder still adds an entry for this code before it sees the clear.
                if (next < 4096 && ++next > (1u << codeSize) && codeSize < 12) ++codeSize;
                reset();
                sinceClear = 0;
            } else if (next < 4096) {
                table[key] = next++;
                if (next > (1u << codeSize) && codeSize < 12) ++codeSize;
            } else {
                reset();
                sinceClear = 0;
            }
            prefix = c;
            ++sinceClear;
        }
        emit(prefix);
        if (next < 4096) {
            ++next;
            if (next > (1u << codeSize) && codeSize < 12) ++codeSize;
        }
    }
    emit(clear + 1);
    if (accBits > 0) out.push_back(static_cast<uint8_t>(acc));
    return out;
}

// Splits data into sub-blocks of up to 255 bytes and the terminating 0.
inline void PutSubBlocks(Bytes& b, const Bytes& data) {
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        b.push_back(static_cast<uint8_t>(n));
        b.insert(b.end(), data.begin() + i, data.begin() + i + n);
    }
    b.push_back(0);
}

struct GifImage {
    uint16_t left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> indices;     // stored order (interlaced order when interlaced)
    std::vector<uint32_t> localTable; // 0xRRGGBB; empty: none
    bool interlaced = false;
    int transparentIndex = -1;     // adds a graphic control extension when >= 0
    bool controlExtension = false; // a control extension without transparency
    int minCodeSize = 8;
};

inline void PutTable(Bytes& b, const std::vector<uint32_t>& table) {
    for (uint32_t c : table) {
        b.push_back(static_cast<uint8_t>(c >> 16));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c));
    }
}

// Size field of a colour table of `entries` (a power of two from 2 to 256).
inline uint8_t TableSizeField(size_t entries) {
    uint8_t n = 0;
    while ((2u << n) < entries)
        ++n;
    return n;
}

inline Bytes BuildGif(uint16_t screenW, uint16_t screenH, const std::vector<uint32_t>& globalTable,
                      const std::vector<GifImage>& images, const char* signature = "GIF89a") {
    Bytes b(signature, signature + 6);
    Put16(b, screenW);
    Put16(b, screenH);
    b.push_back(
        globalTable.empty() ? 0 : static_cast<uint8_t>(0x80 | TableSizeField(globalTable.size())));
    b.push_back(0);
    b.push_back(0);
    PutTable(b, globalTable);
    for (const GifImage& img : images) {
        if (img.transparentIndex >= 0 || img.controlExtension) {
            const uint8_t gce[8] = {
                0x21,
                0xF9,
                4,
                static_cast<uint8_t>(img.transparentIndex >= 0),
                0,
                0,
                static_cast<uint8_t>(img.transparentIndex >= 0 ? img.transparentIndex : 0),
                0};
            b.insert(b.end(), gce, gce + 8);
        }
        b.push_back(0x2C);
        Put16(b, img.left);
        Put16(b, img.top);
        Put16(b, img.width);
        Put16(b, img.height);
        uint8_t packed = img.interlaced ? 0x40 : 0;
        if (!img.localTable.empty())
            packed |= static_cast<uint8_t>(0x80 | TableSizeField(img.localTable.size()));
        b.push_back(packed);
        PutTable(b, img.localTable);
        b.push_back(static_cast<uint8_t>(img.minCodeSize));
        PutSubBlocks(b, LzwEncode(img.minCodeSize, img.indices));
    }
    b.push_back(0x3B);
    return b;
}

// --- BMP ----------------------------------------------------------------------------------

// A BMP file with a 40-byte header. `rows` are the pixel rows as stored (bottom-up for a
// positive height), each already padded.
inline Bytes BuildBmp(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                      const Bytes& rows, const Bytes& palette = {}) {
    Bytes b{'B', 'M'};
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(palette.size());
    Put32(b, offset + static_cast<uint32_t>(rows.size()));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height));
    Put16(b, 1);
    Put16(b, bitCount);
    Put32(b, compression);
    Put32(b, static_cast<uint32_t>(rows.size()));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, static_cast<uint32_t>(palette.size() / 4));
    Put32(b, 0);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// --- Icons and cursors --------------------------------------------------------------------

struct IconEntry {
    uint8_t widthByte = 0, heightByte = 0; // the directory's bytes (0 = 256)
    uint16_t directoryBits = 0;            // the directory's bit count (hot spot for cursors)
    Bytes image;                           // bitmap header + palette + XOR + AND, or PNG
};

inline Bytes BuildIcon(uint16_t type, const std::vector<IconEntry>& entries) {
    Bytes b;
    Put16(b, 0);
    Put16(b, type);
    Put16(b, static_cast<uint32_t>(entries.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
    for (const IconEntry& e : entries) {
        b.push_back(e.widthByte);
        b.push_back(e.heightByte);
        b.push_back(0);
        b.push_back(0);
        Put16(b, 1);
        Put16(b, e.directoryBits);
        Put32(b, static_cast<uint32_t>(e.image.size()));
        Put32(b, offset);
        offset += static_cast<uint32_t>(e.image.size());
    }
    for (const IconEntry& e : entries)
        b.insert(b.end(), e.image.begin(), e.image.end());
    return b;
}

inline size_t RowBytes(int32_t width, int32_t bits) {
    return static_cast<size_t>(((width * bits + 31) & ~31) / 8);
}

// A bitmap icon image: header (height doubled), palette, XOR rows and AND rows as given
// (bottom-up, padded).
inline Bytes BuildIconBitmap(int32_t width, int32_t height, uint16_t bits, const Bytes& palette,
                             const Bytes& xorRows, const Bytes& andRows) {
    Bytes b;
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height * 2));
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), xorRows.begin(), xorRows.end());
    b.insert(b.end(), andRows.begin(), andRows.end());
    return b;
}

// A 32-bit icon image from straight BGRA pixels in picture order (top row first), with
// an AND mask of zeros.
inline Bytes BuildIconBitmap32(int32_t width, int32_t height, const std::vector<uint32_t>& argb) {
    Bytes xorRows;
    for (int32_t y = height - 1; y >= 0; --y)
        for (int32_t x = 0; x < width; ++x)
            Put32(xorRows, argb[static_cast<size_t>(y * width + x)]);
    Bytes andRows(RowBytes(width, 1) * static_cast<size_t>(height), 0);
    return BuildIconBitmap(width, height, 32, {}, xorRows, andRows);
}

} // namespace moirelle::test

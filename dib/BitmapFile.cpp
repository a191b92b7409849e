#include "dib/BitmapFile.h"

#include "dib/PixelLayout.h"

#include <cstring>
#include <new>

namespace moirelle {
namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

bool BitmapFileBytes(const PixelView& pixels, bool alpha, std::vector<uint8_t>& out) {
    if (pixels.empty()) return false;
    const uint32_t bits = alpha ? 32 : 24;
    const uint64_t rowLength = ((static_cast<uint64_t>(pixels.width) * bits + 31) / 32) * 4;
    const uint64_t imageSize = rowLength * static_cast<uint64_t>(pixels.height);
    if (imageSize + kBitmapHeaderBytes > INT32_MAX) return false;

    std::vector<uint8_t> file;
    try {
        file.assign(static_cast<size_t>(imageSize) + kBitmapHeaderBytes, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint8_t* h = file.data();
    Put16(h + 0, 19778); // "BM"
    Put32(h + 2, static_cast<uint32_t>(file.size()));
    Put32(h + 10, kBitmapHeaderBytes);
    Put32(h + 14, 40);
    Put32(h + 18, static_cast<uint32_t>(pixels.width));
    Put32(h + 22, static_cast<uint32_t>(pixels.height));
    Put16(h + 26, 1);
    Put16(h + 28, bits);
    Put32(h + 34, static_cast<uint32_t>(imageSize));

    if (alpha) {
        std::memcpy(h + kBitmapHeaderBytes, pixels.bits, pixels.size());
    } else {
        ByteArray rows;
        BlockLayout layout;
        layout.bytes4 = false; // BGR, word-aligned, bottom-up
        if (!ExportBlock(pixels, 0, 0, 0, 0, layout, true, true, rows)) return false;
        std::memcpy(h + kBitmapHeaderBytes, rows.bytes.data(), rows.bytes.size());
    }
    out = std::move(file);
    return true;
}

} // namespace moirelle

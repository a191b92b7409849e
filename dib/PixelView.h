#pragma once
// A 32-bpp image seen as rows of Width * 4 bytes (B, G, R, A) in storage order.

#include <cstddef>
#include <cstdint>

namespace moirelle {

struct PixelView {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;

    size_t stride() const { return static_cast<size_t>(width) * 4; }
    size_t size() const { return stride() * static_cast<size_t>(height); }
    uint8_t* row(int32_t storageRow) const { return bits + stride() * storageRow; }
    bool empty() const { return bits == nullptr || width < 1 || height < 1; }
};

} // namespace moirelle

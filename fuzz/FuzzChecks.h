#pragma once
// Checks the reader fuzz targets make on every image a reader produced.

#include "dib/MemoryImage.h"

#include <cstddef>
#include <cstdint>

namespace moirelle::fuzz {

// Every stored pixel must be premultiplied: no colour byte above its alpha.
inline void CheckPremultiplied(const MemoryImage& image) {
    if (!image.BitsPointer()) return;
    const uint8_t* p = image.BitsPointer();
    const size_t count = static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height());
    for (size_t i = 0; i < count; ++i, p += 4)
        if (p[0] > p[3] || p[1] > p[3] || p[2] > p[3]) __builtin_trap();
}

} // namespace moirelle::fuzz

#pragma once
// Adler-32, the checksum that ends a zlib stream.

#include <cstddef>
#include <cstdint>

namespace moirelle {

// The Adler-32 of `size` bytes at `data`, continuing from `adler` (1 for a new stream).
uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size);

} // namespace moirelle

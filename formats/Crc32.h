#pragma once
// CRC-32 (the reflected polynomial 0xEDB88320, as PNG chunks carry it), for readers that
// check chunks themselves rather than through a system library.

#include <cstddef>
#include <cstdint>

namespace moirelle {

// The CRC-32 of `size` bytes at `data`, continuing from `crc` (0 for a new run): the
// final value, complemented as stored, so that runs can be chained.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

} // namespace moirelle

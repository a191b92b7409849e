#pragma once
// Sanity checks of BMP data before they are handed to the system's picture loader, which
// would otherwise accept broken files (headers of unknown sizes, impossible depths,
// palette counts, densities and sizes; pixel data or RLE streams that run past the image
// or the data; palette indices beyond the palette) and make pictures of them.

#include <cstdint>
#include <span>

namespace moirelle {

// True when the bytes (starting with "BM") describe a bitmap whose headers are coherent
// and whose pixel data lie within the bytes and within the image.
bool IsSoundBmp(std::span<const uint8_t> bmp);

} // namespace moirelle

#pragma once
// The LZW decoder of GIF image data: turns the code stream of one image into its palette
// indices, in the order the image stores its rows (interlaced rows are not reordered).

#include <cstddef>
#include <cstdint>
#include <span>

namespace moirelle::gif {

// Bytes past the last index that the output buffer must provide: strings are copied in
// 16-byte pieces and may write (and read) that far beyond their end.
inline constexpr size_t kLzwSlack = 16;

struct LzwResult {
    size_t produced = 0; // indices written, at most the pixel count
    bool valid = false;  // false: a code outside the table, a literal of `colours` or
                         // more (an index beyond the colour table) or a bad minimum code
                         // size
};

// Decodes `data` (the image's data sub-blocks joined, without their length bytes) with
// the given minimum code size (1..11) into `out`, which must hold pixelCount + kLzwSlack
// bytes. Stops at the end-of-information code, at the end of the data or when
// pixelCount indices are written (surplus pixels are dropped). Every index written comes
// from a literal code, so with a valid result every index is below `colours` (at most
// 256).
LzwResult DecodeLzw(int minCodeSize, std::span<const uint8_t> data, uint8_t* out, size_t pixelCount,
                    uint32_t colours = 256);

// The most indices that `dataBytes` bytes of codes could ever produce, whatever they are:
// each code yields at most 4096 indices.
size_t MaxLzwOutput(int minCodeSize, size_t dataBytes);

} // namespace moirelle::gif

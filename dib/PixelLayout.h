#pragma once
// Reading single pixels and moving pixel blocks out of and into an image in the layouts
// callers ask for: BGR or RGB order, 4 or 3 bytes per pixel, rows padded to 4 bytes or
// not, bottom-up or top-down, premultiplied or straight.

#include "dib/PixelView.h"

#include <cstdint>
#include <span>
#include <vector>

namespace moirelle {

// A byte array of one or two dimensions: `bounds` holds the element count of each
// dimension, the first varying fastest (rows of a two-dimensional pixel block are
// bounds[0] bytes long, bounds[1] of them).
struct ByteArray {
    std::vector<uint8_t> bytes;
    std::vector<int32_t> bounds;
};

// The colour at picture position (X, Y), red in the low byte, straight unless
// `premultiplied` (or alpha 0 or 255); -1 outside the image. `alpha` gets the pixel's
// alpha, 0 outside.
int32_t ReadPixel(const PixelView& pixels, int32_t X, int32_t Y, int32_t& alpha,
                  bool premultiplied);

struct BlockLayout {
    bool bgr = true;         // false: red and blue swap places
    bool bytes4 = true;      // false: 3 bytes per pixel, no alpha
    bool wordAligned = true; // 3-byte rows padded to 4 bytes
    bool bottomUp = true;    // first row is the block's bottom row
};

// Bytes per row of a block `width` pixels wide; -1 when it does not fit 32 bits.
int64_t BlockRowLength(int32_t width, const BlockLayout& layout);

// Clips a block at (x, y) of the given size (0 = the image's) to the image. False for a
// negative origin or an empty block.
bool ClipBlock(const PixelView& pixels, int32_t x, int32_t y, int32_t& width, int32_t& height);

// Copies the block into a fresh zero-filled array (two-dimensional when `twoDimensional`).
// `premultiplied` false gives straight colours. False when the block is empty or memory
// runs out; `out` is then left alone.
bool ExportBlock(const PixelView& pixels, int32_t x, int32_t y, int32_t width, int32_t height,
                 const BlockLayout& layout, bool premultiplied, bool twoDimensional,
                 ByteArray& out);

// Copies incoming rows into the block. The data must hold at least the image's Height x
// the row length bytes. 3-byte pixels leave the destination's alpha byte alone. False,
// changing nothing, for a refused block or too little data.
bool ImportBlock(const PixelView& pixels, std::span<const uint8_t> data, int32_t x, int32_t y,
                 int32_t width, int32_t height, const BlockLayout& layout);

} // namespace moirelle

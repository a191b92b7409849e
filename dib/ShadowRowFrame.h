#pragma once
// The frame the vector drop shadows share. Each source row is read once: its running
// alpha sum (16-bit, modulo 2^16) is made, and the horizontal box sums H of that row are
// the differences of running sums n columns apart (at most 21 * 255, so exact in 16
// bits). A ring keeps the last n rows' H; each shadow row's box sums S are the previous
// row's plus the entering row's H minus the leaving row's, and they are kept from row to
// row. S fits 16 bits for boxes of 3 to 15 (255 * 225 < 2^16): those divide by one 16-bit
// product; the others keep S in 32 bits and divide by BoxReciprocal.

#include "dib/RenderKernels.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace moirelle {

// How far ahead of the row being summed the shadow asks for source bytes: about a row of
// a large picture, which the processor's own prefetch does not reach in time.
constexpr size_t kShadowPrefetch = 8192;
// How far ahead of the pixels being written the shadow asks for the shadow's own lines.
// Stores that miss the caches leave the processor's store queue in order, so every store
// behind one waits for its line; fetched ahead, the lines are there when the stores come.
// Farther than this the lines of a large box's ring start to fall out of the first-level
// cache (8 KiB ahead, measured slower).
constexpr size_t kShadowWriteAhead = 1024;

// floor(S / d) = (S * multiplier >> 16) >> shift for every S of a box of 3 to 15
// (S <= 255 * d < 2^16): multiplier = ceil(2^(16 + shift) / d), shift = floor(log2 d). The
// rounding error S * (multiplier * d - 2^(16 + shift)) / (d * 2^(16 + shift)) has no
// bound simple enough to state; every such S is checked by the tests. The vector stages
// shift by taking the high half of the product with 2^(16 - shift) (shift is 3 to 7): a
// shift by a register count costs two operations.
struct NarrowBoxDivider {
    explicit NarrowBoxDivider(uint32_t d)
        : shift(static_cast<uint32_t>(std::bit_width(d)) - 1),
          multiplier(static_cast<uint16_t>(((uint32_t{1} << (16 + shift)) + d - 1) / d)) {}
    uint32_t operator()(uint32_t sum) const { return (sum * multiplier >> 16) >> shift; }
    uint16_t ShiftFactor() const { return static_cast<uint16_t>(1u << (16 - shift)); }
    uint32_t shift;
    uint16_t multiplier;
};

// floor(q * byte / 255) = q * ColourFactor(byte) >> 16 for q 0..255 and a byte below 255:
// with the factor 257 * byte + 1, q * factor / 2^16 = q * byte / 255 + q * (255 - byte) /
// (255 * 2^16) (as 257 / 2^16 = (1 - 2^-16) / 255), which is at least the exact quotient
// and adds less than 1/255 to it, while its fraction is at most 254/255.
inline uint16_t ColourFactor(uint32_t byte) {
    return static_cast<uint16_t>(257 * byte + 1);
}

// One shadow row as the level's pixel stage sees it. The stage also makes the running
// sums of the next source row, when there is one, in the same pass: its shuffles and this
// row's products and shifts then share the processor's ports. The fields with a default are
// set per row, the others once per shadow.
struct ShadowRow {
    size_t n;
    size_t columns;                   // the shadow's width rounded up to whole steps
    const uint16_t* prefix = nullptr; // n zeros, then `columns` running sums of the entering row
    uint16_t* ring = nullptr; // H of the row leaving the box, replaced by the entering row's
    void* sums;               // S per column: 16-bit (narrow) or 32-bit (wide)
    uint8_t* out = nullptr;   // pixels 0 .. outFull
    size_t outFull;
    uint8_t* outTail;              // pixels outFull .. columns (one step)
    const uint8_t* next = nullptr; // the next source row's pixels 0 .. nextFull, or null
    size_t nextFull;
    const uint8_t* nextTail;        // its pixels nextFull .. columns (zeros past its end)
    uint16_t* nextPrefix = nullptr; // its `columns` running sums
    NarrowBoxDivider narrow;        // for the boxes of 3 to 15
    float reciprocal;               // BoxReciprocal(n * n)
    // Per colour byte what the way below multiplies by: its ColourFactor, or with a byte
    // of 255 the byte itself.
    uint16_t blue, green, red;
};

// How a stage makes the colour bytes: by their factors, by one factor for a grey (blue =
// green = red, the usual shadow), or, with a byte of 255, by the product and the division.
enum ShadowColourWay : int { kShadowFactors, kShadowGrey, kShadowFullByte, kShadowColourWays };

struct ShadowRowStages {
    size_t step; // pixels per step of the stages, a power of two
    // The running alpha sum of `count` pixels (whole steps), from `run` on; leaves the last
    // sum in `run`.
    void (*prefix)(const uint8_t* pixels, uint16_t* prefix, size_t count, uint16_t& run);
    // The row's pixels. Indexed [S in 32 bits][ShadowColourWay][a next row is given].
    void (*pixels[2][kShadowColourWays][2])(const ShadowRow& row);
};

// The shadow of ShadowJob with the level's stages; false when its rows cannot be had.
bool RunShadowRows(const ShadowJob& job, const ShadowRowStages& stages);

} // namespace moirelle

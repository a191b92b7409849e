#pragma once
// Converting unfiltered PNG rows to premultiplied BGRA pixels.
//
// A pixel's alpha is decided first; the colours are then stored as colour * alpha div 255
// (truncated), so alpha 0 gives 0, 0, 0, 0 and alpha 255 keeps the colours.

#include "formats/PngFormat.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace moirelle::png {

// What the conversion needs beyond the header: the finished pixels of each sample or
// palette index (grey and indexed images up to 8 bits) and the transparency key.
struct ConvertTables {
    std::array<uint32_t, 256> lookup{};            // premultiplied B | G << 8 | R << 16 | A << 24
    std::array<uint8_t, 256> outside{};            // 1 for an index beyond the palette
    bool keyed = false;                            // a transparency key applies
    uint8_t keyRed = 0, keyGreen = 0, keyBlue = 0; // truecolour key (or grey key in keyRed)
};

// Builds the tables from the palette (3 bytes per entry), the raw transparency bytes and
// the transparency key (-1 = none), by the rules of each colour type.
ConvertTables BuildConvertTables(const Header& header, std::span<const uint8_t> palette,
                                 std::span<const uint8_t> transparency, int32_t transparencyKey);

// Converts `count` pixels from `source` into `dest`, writing every `step`-th pixel (4
// bytes each). False when a pixel names an index beyond the palette.
using RowConverter = bool (*)(const uint8_t* source, uint8_t* dest, int32_t step, int32_t count,
                              const ConvertTables& tables);

// The converter for the header's colour type and depth (null for a combination that the
// PNG standard forbids).
RowConverter SelectConverter(const Header& header, const ConvertTables& tables);

// colour * alpha div 255, exact for all byte values.
constexpr uint32_t MultiplyDiv255(uint32_t colour, uint32_t alpha) {
    const uint32_t t = colour * alpha;
    return (t + 1 + (t >> 8)) >> 8;
}

// One premultiplied BGRA pixel as a little-endian 32-bit word.
constexpr uint32_t PremultipliedPixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return MultiplyDiv255(b, a) | MultiplyDiv255(g, a) << 8 | MultiplyDiv255(r, a) << 16 | a << 24;
}

} // namespace moirelle::png

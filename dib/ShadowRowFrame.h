#pragma once
// The frame the vector drop shadow rows share: the level's column stage sums as many
// columns as its steps cover and builds their running sum, the frame finishes the tail
// and the margin past the source, then the level's pixel stage turns the running sums into
// shadow pixels.

#include "dib/RenderKernels.h"

#include <cstddef>
#include <cstdint>

namespace moirelle {

struct ShadowRowStages {
    // Brings sums[0 .. w) up to date and writes their running sum to prefix, for the
    // columns of whole steps; answers the columns done and leaves the total in `run`.
    // Indexed [added row given][removed row given].
    using SumColumns = size_t (*)(const uint8_t* added, const uint8_t* removed, uint32_t* sums,
                                  uint32_t* prefix, size_t w, uint32_t& run);
    // Pixels from the running sums; `before` holds the n zero prefixes ahead of prefix[0].
    // Indexed [written past the caches].
    using Pixels = void (*)(const ShadowRowJob& job, const uint32_t* prefix,
                            const uint32_t* before);
    SumColumns sumColumns[2][2];
    Pixels pixels[2];
};

void RunShadowRow(const ShadowRowJob& job, const ShadowRowStages& stages);

} // namespace moirelle

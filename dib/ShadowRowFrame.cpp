#include "dib/ShadowRowFrame.h"

#include <cstring>

namespace moirelle {

void RunShadowRow(const ShadowRowJob& job, const ShadowRowStages& stages) {
    const size_t n = static_cast<size_t>(job.n), w = static_cast<size_t>(job.width);
    const size_t width = static_cast<size_t>(job.outWidth);
    uint32_t* sums = job.columnSums;
    const uint8_t* added = job.added;
    const uint8_t* removed = job.removed;
    uint32_t* before = job.scratch; // prefix[x - n]
    uint32_t* prefix = job.scratch + n;
    std::memset(before, 0, n * 4);
    uint32_t run = 0;
    size_t x = stages.sumColumns[added != nullptr][removed != nullptr](added, removed, sums, prefix,
                                                                       w, run);
    for (; x < width; ++x) {
        if (x < w) {
            if (added) sums[x] += added[x * 4 + 3];
            if (removed) sums[x] -= removed[x * 4 + 3];
            run += sums[x];
        }
        prefix[x] = run;
    }
    stages.pixels[job.stream](job, prefix, before);
}

} // namespace moirelle

// The portable drop shadow: column sums brought up to date row by row, and the box sum
// of each pixel as a running sum along the row.
#include "dib/DropShadow.h"
#include "dib/ShadowKernels.h"

#include <cstring>
#include <new>
#include <vector>

namespace moirelle {

bool DropShadowPortable(const ShadowJob& job) {
    const int32_t w = job.source.width, h = job.source.height, n = job.n;
    std::vector<uint32_t> columnSums;
    try {
        columnSums.assign(static_cast<size_t>(w), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const BoxDivider divide(static_cast<uint32_t>(n * n));
    for (int32_t y = 0; y < job.out.height; ++y) {
        if (y < h)
            for (int32_t x = 0; x < w; ++x)
                columnSums[x] += job.source.row(y)[x * 4 + 3];
        if (y - n >= 0)
            for (int32_t x = 0; x < w; ++x)
                columnSums[x] -= job.source.row(y - n)[x * 4 + 3];
        uint8_t* dst = job.out.row(y);
        uint32_t sum = 0;
        for (int32_t x = 0; x < job.out.width; ++x, dst += 4) {
            if (x < w) sum += columnSums[x];
            if (x - n >= 0) sum -= columnSums[x - n];
            // a * byte / 255 is the byte itself at 255.
            const uint32_t a = divide(sum);
            const uint32_t px = a * job.blue / 255 | (a * job.green / 255) << 8 |
                                (a * job.red / 255) << 16 | a << 24;
            std::memcpy(dst, &px, 4);
        }
    }
    return true;
}

} // namespace moirelle

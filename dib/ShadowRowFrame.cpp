#include "dib/ShadowRowFrame.h"

#include "dib/DropShadow.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace moirelle {
namespace {

// Copies a finished row to the shadow past the caches: the bytes up to the shadow's first
// 16-byte boundary and the last ones plainly, those between by streaming stores.
void StreamRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
    size_t i = std::min(bytes, static_cast<size_t>(-reinterpret_cast<uintptr_t>(dst) & 15));
    std::memcpy(dst, src, i);
#ifdef __SSE2__
    for (; i + 16 <= bytes; i += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
    _mm_sfence();
#endif
    std::memcpy(dst + i, src + i, bytes - i);
}

} // namespace

bool RunShadowRows(const ShadowJob& job, const ShadowRowStages& stages) {
    const size_t step = stages.step;
    const size_t n = static_cast<size_t>(job.n);
    const size_t w = static_cast<size_t>(job.source.width);
    const size_t h = static_cast<size_t>(job.source.height);
    const size_t width = static_cast<size_t>(job.out.width);
    const size_t columns = (width + step - 1) & ~(step - 1);
    const size_t full = w & ~(step - 1); // source columns read in place
    std::vector<uint16_t> prefixes, ring;
    std::vector<uint32_t> sums;
    std::vector<uint8_t> tail, rowBytes;
    try {
        prefixes.assign(2 * (n + columns), 0);
        ring.assign(n * columns, 0);
        sums.assign(columns, 0);
        tail.assign((columns - full) * 4, 0);
        rowBytes.assign((job.stream ? columns : step) * 4 + 64, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint8_t* rowBuffer = rowBytes.data() + (-reinterpret_cast<uintptr_t>(rowBytes.data()) & 63);
    // Each holds n zeros, then a row's running sums.
    uint16_t* prefix = prefixes.data();
    uint16_t* nextPrefix = prefixes.data() + n + columns;
    // Source pixels full .. w, then zeros.
    auto loadTail = [&](const uint8_t* src) {
        if (columns > full) std::memcpy(tail.data(), src + full * 4, (w - full) * 4);
    };

    const uint32_t d = static_cast<uint32_t>(job.n * job.n);
    const bool wide = job.n < 3 || job.n > 15;
    const bool fullByte = job.blue == 255 || job.green == 255 || job.red == 255;
    const ShadowColourWay way = fullByte                                        ? kShadowFullByte
                                : job.blue == job.green && job.green == job.red ? kShadowGrey
                                                                                : kShadowFactors;
    auto colour = [fullByte](uint32_t byte) {
        return fullByte ? static_cast<uint16_t>(byte) : ColourFactor(byte);
    };
    ShadowRow row{.n = n,
                  .columns = columns,
                  .sums = sums.data(),
                  .outFull = job.stream ? columns : width & ~(step - 1),
                  .outTail = rowBuffer,
                  .nextFull = full,
                  .nextTail = tail.data(),
                  .narrow = NarrowBoxDivider(d),
                  .reciprocal = BoxReciprocal(d),
                  .blue = colour(job.blue),
                  .green = colour(job.green),
                  .red = colour(job.red)};

    if (h > 0) {
        const uint8_t* src = job.source.row(0);
        uint16_t run = 0;
        stages.prefix(src, prefix + n, full, run);
        loadTail(src);
        if (columns > full) stages.prefix(tail.data(), prefix + n + full, columns - full, run);
    }
    for (size_t y = 0; y < static_cast<size_t>(job.out.height); ++y) {
        const bool next = y + 1 < h;
        if (next) loadTail(job.source.row(static_cast<int32_t>(y + 1)));
        row.next = next ? job.source.row(static_cast<int32_t>(y + 1)) : nullptr;
        row.prefix = prefix;
        row.nextPrefix = nextPrefix + n;
        uint8_t* out = job.out.row(static_cast<int32_t>(y));
        row.ring = ring.data() + (y % n) * columns;
        row.out = job.stream ? rowBuffer : out;
        stages.pixels[wide][way][next](row);
        if (job.stream)
            StreamRow(out, rowBuffer, width * 4);
        else
            std::memcpy(out + row.outFull * 4, rowBuffer, (width - row.outFull) * 4);
        if (next || y + 1 == h) {
            if (!next) std::fill(nextPrefix, nextPrefix + n + columns, uint16_t{0});
            std::swap(prefix, nextPrefix);
        }
    }
    return true;
}

} // namespace moirelle

#include "dib/DropShadow.h"

#include "dib/ImageType.h"
#include "dib/RenderKernels.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace moirelle {

namespace {

// From this size on the shadow is written past the caches: it cannot stay in a core's own
// caches anyway, and writing it there first would read every line of it from memory.
constexpr size_t kStreamedShadowBytes = size_t{16} << 20;

} // namespace

bool MakeDropShadow(const PixelView& source, int32_t blurDepth, uint32_t color,
                    IImageTarget& shadow) {
    if (source.empty()) return false;
    const int32_t depth = std::clamp(blurDepth, 0, 10);
    const int32_t r = 2 * depth;
    const int32_t n = r + 1;
    const int32_t w = source.width;
    const int32_t h = source.height;
    if (w > INT32_MAX - r || h > INT32_MAX - r) return false;
    if (!shadow.InitializeDIBForOverwrite(w + r, h + r)) return false;
    const PixelView out{shadow.BitsPointer(), shadow.Width(), shadow.Height()};

    // The shadow pixel for every alpha, premultiplied.
    std::array<uint32_t, 256> pixelFor{};
    const uint32_t red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
    for (uint32_t a = 1; a < 256; ++a) {
        const uint32_t b = a == 255 ? blue : a * blue / 255;
        const uint32_t g = a == 255 ? green : a * green / 255;
        const uint32_t rr = a == 255 ? red : a * red / 255;
        pixelFor[a] = b | g << 8 | rr << 16 | a << 24;
    }
    std::vector<uint32_t> columnSums, scratch;
    try {
        columnSums.assign(static_cast<size_t>(w), 0);
        scratch.assign(static_cast<size_t>(out.width) + static_cast<size_t>(n), 0);
    } catch (const std::bad_alloc&) {
        shadow.DestroyDIB();
        return false;
    }
    // Storage rows: shadow row y covers source rows y - r .. y (the box is symmetric, so
    // storage order and picture order give the same shadow).
    const RenderKernels& kernels = ActiveRenderKernels();
    ShadowRowJob row;
    row.columnSums = columnSums.data();
    row.width = w;
    row.outWidth = out.width;
    row.n = n;
    row.blue = blue, row.green = green, row.red = red;
    row.pixelFor = pixelFor.data();
    row.scratch = scratch.data();
    row.stream = out.size() >= kStreamedShadowBytes;
    for (int32_t y = 0; y < out.height; ++y) {
        row.added = y < h ? source.row(y) : nullptr;
        row.removed = y - n >= 0 ? source.row(y - n) : nullptr;
        row.out = out.row(y);
        kernels.shadowRow(row);
    }
    shadow.SetAlphaFlag(true);
    shadow.SetImageType(imgAlphaPremultiplied);
    return true;
}

} // namespace moirelle

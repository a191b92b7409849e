#include "dib/DropShadow.h"

#include "dib/ImageType.h"
#include "dib/RenderKernels.h"

#include <algorithm>

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

    ShadowJob job;
    job.source = source;
    job.out = out;
    job.n = n;
    job.red = color & 0xFF, job.green = (color >> 8) & 0xFF, job.blue = (color >> 16) & 0xFF;
    job.stream = out.size() >= kStreamedShadowBytes;
    // Storage rows: shadow row y covers source rows y - r .. y (the box is symmetric, so
    // storage order and picture order give the same shadow).
    if (!ActiveRenderKernels().dropShadow(job)) {
        shadow.DestroyDIB();
        return false;
    }
    shadow.SetAlphaFlag(true);
    shadow.SetImageType(imgAlphaPremultiplied);
    return true;
}

} // namespace moirelle

#include "dib/BlendToDestination.h"

#include "dib/BlendPixels.h"
#include "formats/modParsers.h"

#include <algorithm>

namespace moirelle {

bool PlanBlend(const SourceRows& source, int32_t srcX, int32_t srcY, int32_t destX, int32_t destY,
               int32_t destWidth, int32_t destHeight, int32_t hostWidth, int32_t hostHeight,
               BlendPlan& plan) {
    if (source.Width() < 1 || source.Height() < 1 || srcX < 0 || srcY < 0) return false;
    int64_t sx = srcX, sy = srcY, dx = destX, dy = destY, w = destWidth, h = destHeight;
    if (dx < 0) {
        sx -= dx;
        w += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        h += dy;
        dy = 0;
    }
    if (hostWidth > 0) {
        w = std::min<int64_t>({w, hostWidth, hostWidth - dx});
        h = std::min<int64_t>({h, hostHeight, hostHeight - dy});
    }
    w = std::min<int64_t>(w, source.Width() - sx);
    h = std::min<int64_t>(h, source.Height() - sy);
    if (w < 1 || h < 1) return false;
    plan = {static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(dx),
            static_cast<int32_t>(dy), static_cast<int32_t>(w),  static_cast<int32_t>(h)};
    return true;
}

bool LiesBeyondHost(int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                    int32_t hostWidth, int32_t hostHeight) {
    if (hostWidth < 1 || hostHeight < 1) return false;
    const int64_t w = int64_t{destWidth} + std::min(destX, 0);
    const int64_t h = int64_t{destHeight} + std::min(destY, 0);
    return w >= 1 && h >= 1 && (destX >= hostWidth || destY >= hostHeight);
}

void BlendOntoHost(SourceRows& source, const BlendPlan& plan, const PixelView& host, uint32_t op,
                   int32_t grayScale) {
    const modParsers::GrayWeights weights = modParsers::GrayscaleWeights(grayScale);
    const modParsers::GrayWeights* gray = grayScale == -1 ? nullptr : &weights;
    // Bottom picture row first: rows are stored bottom-up, so both images are read in
    // rising addresses, the order the processor's prefetcher follows best.
    for (int32_t j = plan.height - 1; j >= 0; --j) {
        uint8_t* d = host.row(host.height - 1 - (plan.dstY + j)) + plan.dstX * size_t{4};
        const size_t count = static_cast<size_t>(plan.width);
        if (!gray && source.BlendRowOnto(plan.srcY + j, plan.srcX, d, count, op)) continue;
        const uint8_t* s = source.Row(plan.srcY + j) + plan.srcX * size_t{4};
        BlendRow32(s, d, count, op, gray);
    }
}

void BlendOnto24(SourceRows& source, const BlendPlan& plan, uint8_t* bits, size_t stride,
                 uint32_t op, int32_t grayScale) {
    const modParsers::GrayWeights weights = modParsers::GrayscaleWeights(grayScale);
    const modParsers::GrayWeights* gray = grayScale == -1 ? nullptr : &weights;
    for (int32_t j = plan.height - 1; j >= 0; --j) { // rising addresses, as above
        const uint8_t* s = source.Row(plan.srcY + j) + plan.srcX * size_t{4};
        uint8_t* d = bits + stride * static_cast<size_t>(plan.height - 1 - j);
        BlendRow24(s, d, static_cast<size_t>(plan.width), op, gray);
    }
}

} // namespace moirelle

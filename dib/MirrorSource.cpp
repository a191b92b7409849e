#include "dib/MirrorSource.h"

#include "dib/AdjustLight.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace moirelle {

bool RectInside(const SourceRect& rect, int32_t width, int32_t height) {
    return rect.x >= 0 && rect.y >= 0 && rect.width >= 1 && rect.height >= 1 &&
           rect.width <= width - rect.x && rect.height <= height - rect.y;
}

bool MirrorSource(const PixelView& image, SourceRect& rect, int32_t& destWidth, int32_t& destHeight,
                  const PixelView& out, float& amount) {
    const bool mirrorX = destWidth < 1;
    const bool mirrorY = destHeight < 0;
    if (destWidth >= 1 && destHeight >= 1) return false; // nothing to mirror
    if (destWidth == INT32_MIN || destHeight == INT32_MIN) return false;
    if (image.empty() || out.empty() || !RectInside(rect, image.width, image.height) ||
        out.width != rect.width || out.height != rect.height)
        return false;

    const size_t runBytes = static_cast<size_t>(rect.width) * 4;
    for (int32_t k = 0; k < rect.height; ++k) { // k: copy row from the top
        const int32_t pictureRow = mirrorY ? image.height - 1 - rect.y - k : rect.y + k;
        const uint8_t* src = image.row(image.height - 1 - pictureRow);
        uint8_t* dst = out.row(rect.height - 1 - k);
        if (!mirrorX) {
            std::memcpy(dst, src + static_cast<size_t>(rect.x) * 4, runBytes);
            continue;
        }
        const uint8_t* s = src + static_cast<size_t>(image.width - 1 - rect.x) * 4;
        for (int32_t i = 0; i < rect.width; ++i, s -= 4, dst += 4)
            std::memcpy(dst, s, 4);
    }

    rect.x = 0;
    rect.y = 0;
    destWidth = std::abs(destWidth);
    destHeight = std::abs(destHeight);
    if (amount != 0) {
        AdjustLight(amount, out);
        amount = 0;
    }
    return true;
}

bool MirrorSource(const PixelView& image, SourceRect& rect, int32_t& destWidth, int32_t& destHeight,
                  PixelBuffer& out, float& amount) {
    if (destWidth >= 1 && destHeight >= 1) return false;
    if (!RectInside(rect, image.width, image.height) || !out.Allocate(rect.width, rect.height))
        return false;
    return MirrorSource(image, rect, destWidth, destHeight, out.View(), amount);
}

} // namespace moirelle

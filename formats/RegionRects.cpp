#include "formats/modParsers.h"

namespace moirelle::modParsers {

std::vector<RegionRect> RegionRectsFromAlpha(const PixelView& px, bool alphaFlag, int32_t style) {
    std::vector<RegionRect> rects;
    if (px.width < 1 || px.height < 1 || px.bits == nullptr) return rects;
    if (!alphaFlag) {
        rects.push_back({0, 0, px.width, px.height});
        return rects;
    }
    if (style != regionBounds && style != regionSpans && style != regionExact) return rects;

    RegionRect bounds{px.width, -1, -1, -1};
    for (int32_t y = 0; y < px.height; ++y) {
        const uint8_t* row = px.row(px.height - 1 - y);
        int32_t first = 0;
        while (first < px.width && row[first * 4 + 3] == 0)
            ++first;
        if (first == px.width) continue;
        int32_t last = px.width - 1;
        while (row[last * 4 + 3] == 0)
            --last;

        if (style == regionBounds) {
            if (bounds.top < 0) bounds.top = y;
            bounds.bottom = y + 1;
            if (first < bounds.left) bounds.left = first;
            if (last + 1 > bounds.right) bounds.right = last + 1;
        } else if (style == regionSpans) {
            rects.push_back({first, y, last + 1, y + 1});
        } else {
            int32_t x = first;
            while (x <= last) {
                const int32_t start = x;
                while (x <= last && row[x * 4 + 3] != 0)
                    ++x;
                rects.push_back({start, y, x, y + 1});
                while (x <= last && row[x * 4 + 3] == 0)
                    ++x;
            }
        }
    }
    if (style == regionBounds && bounds.top >= 0) rects.push_back(bounds);
    return rects;
}

} // namespace moirelle::modParsers

#include "dib/win/c32bppDIB.h"
#include "formats/win/modParsersWin.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace moirelle::modParsers {
namespace {

win::UniqueRegion MakeRegion(std::span<const RegionRect> rects, int32_t width) {
    if (rects.empty()) return {};
    // RGNDATA: a 32-byte header followed by the rectangles.
    std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    RGNDATAHEADER header{};
    header.dwSize = sizeof(RGNDATAHEADER);
    header.iType = RDH_RECTANGLES;
    header.nCount = static_cast<DWORD>(rects.size());
    header.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    header.rcBound = {0, rects.front().top, width, rects.back().bottom};
    std::memcpy(data.data(), &header, sizeof(header));
    RECT* out = reinterpret_cast<RECT*>(data.data() + sizeof(header));
    for (size_t i = 0; i < rects.size(); ++i)
        out[i] = {rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    return win::UniqueRegion(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                             reinterpret_cast<const RGNDATA*>(data.data())));
}

} // namespace

win::UniqueRegion RegionFromRects(const std::vector<RegionRect>& rects, int32_t width) {
    return MakeRegion(rects, width);
}

win::UniqueRegion RegionFromRectsInBatches(const std::vector<RegionRect>& rects, int32_t width,
                                           size_t batchSize) {
    if (rects.empty() || batchSize < 2) return {};
    win::UniqueRegion result;
    const std::span<const RegionRect> all(rects);
    for (size_t start = 0;; start += batchSize - 1) {
        const size_t count = std::min(batchSize, rects.size() - start);
        win::UniqueRegion part = MakeRegion(all.subspan(start, count), width);
        if (!part) return {};
        if (!result) {
            result = std::move(part);
        } else if (CombineRgn(result.get(), result.get(), part.get(), RGN_OR) == ERROR) {
            return {};
        }
        if (start + count >= rects.size()) break;
    }
    return result;
}

win::UniqueRegion RegionFromAlpha(const c32bppDIB& dib, int32_t style) {
    try {
        if (dib.Width() < 1 || dib.Height() < 1) return {};
        if (!dib.Alpha()) return win::UniqueRegion(CreateRectRgn(0, 0, dib.Width(), dib.Height()));
        const std::vector<RegionRect> rects = RegionRectsFromAlpha(dib.View(), true, style);
        if (rects.empty()) return {};
        if (style == regionBounds) {
            const RegionRect& r = rects.front();
            return win::UniqueRegion(CreateRectRgn(r.left, r.top, r.right, r.bottom));
        }
        win::UniqueRegion region = RegionFromRects(rects, dib.Width());
        if (!region && rects.size() > 2000)
            region = RegionFromRectsInBatches(rects, dib.Width(), 2000);
        return region;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace moirelle::modParsers

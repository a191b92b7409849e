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
    if (rects.empty() || batchSize < 1) return {};
    // Each union costs time in proportion to the rectangles of both regions, so the
    // batches are joined like the runs of a merge sort: a region is only ever joined with
    // one of about its own size. `pending` holds at most one region per size class
    // (1, 2, 4, ... batches), largest first.
    struct Pending {
        win::UniqueRegion region;
        size_t batches;
    };
    std::vector<Pending> pending;
    const std::span<const RegionRect> all(rects);
    for (size_t start = 0; start < rects.size(); start += batchSize) {
        Pending part{
            MakeRegion(all.subspan(start, std::min(batchSize, rects.size() - start)), width), 1};
        if (!part.region) return {};
        while (!pending.empty() && pending.back().batches == part.batches) {
            Pending& earlier = pending.back();
            if (CombineRgn(earlier.region.get(), earlier.region.get(), part.region.get(), RGN_OR) ==
                ERROR)
                return {};
            part.region = std::move(earlier.region);
            part.batches *= 2;
            pending.pop_back();
        }
        pending.push_back(std::move(part));
    }
    win::UniqueRegion result = std::move(pending.back().region);
    for (size_t i = pending.size() - 1; i-- > 0;)
        if (CombineRgn(result.get(), result.get(), pending[i].region.get(), RGN_OR) == ERROR)
            return {};
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
        // Small requests joined pairwise: one request for every rectangle can take time
        // that grows with the square of their count.
        return RegionFromRectsInBatches(rects, dib.Width());
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace moirelle::modParsers

#pragma once
// The Windows halves of the shared parsing helpers: region handles and OLE pictures.

#include "formats/modParsers.h"
#include "platform/win/ComPtr.h"
#include "platform/win/Handles.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <span>
#include <vector>

namespace moirelle {
class c32bppDIB;
}

namespace moirelle::modParsers {

// A region covering the image's visible pixels in the given style (regionBounds,
// regionSpans, regionExact); empty when there is none.
win::UniqueRegion RegionFromAlpha(const c32bppDIB& dib, int32_t style);

// Region from a list of rectangles in one request to the system; empty on failure.
win::UniqueRegion RegionFromRects(const std::vector<RegionRect>& rects, int32_t width);
// The same region built from requests of at most batchSize rectangles, joined pairwise
// by union so that the time stays near linear in the count; empty if any step fails.
win::UniqueRegion RegionFromRectsInBatches(const std::vector<RegionRect>& rects, int32_t width,
                                           size_t batchSize = 64);

// A picture object from `length` bytes at `offset`, through the system's picture loader.
// Empty when the slice lies outside the bytes or the loader refuses them.
win::ComPtr<IPicture> PictureFromBytes(std::span<const uint8_t> bytes, size_t offset,
                                       size_t length);

// Picture kinds for PictureFromHandle (the system's PICTYPE values).
inline constexpr int32_t pictureBitmap = 1;
inline constexpr int32_t pictureMetafile = 2;
inline constexpr int32_t pictureIcon = 3;
inline constexpr int32_t pictureEnhMetafile = 4;

// A picture object that takes ownership of the handle. A metafile needs its extents in
// HIMETRIC units (0.01 mm); other kinds ignore them. Empty on failure (the handle is
// then still the caller's).
win::ComPtr<IPicture> PictureFromHandle(HANDLE handle, int32_t type, int32_t xExtHimetric = 0,
                                        int32_t yExtHimetric = 0);

} // namespace moirelle::modParsers

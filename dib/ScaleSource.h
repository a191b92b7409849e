#pragma once
// The scale step of the software renderer: resamples a source rectangle to the size of
// the destination, by nearest neighbour or bilinearly (dib/BilinearTaps.h).

#include "dib/MirrorSource.h"
#include "dib/PixelBuffer.h"
#include "dib/PixelView.h"

#include <cstdint>

namespace moirelle {

struct ScaleJob {
    // The pixels read: the image, or a mirrored copy that is exactly the source rectangle.
    PixelView source;
    // The source rectangle in picture coordinates; a width or height of 0 means the
    // source's.
    SourceRect rect;
    // Destination origin and signed size (the sign is ignored). A negative origin clips:
    // the output leaves out |destX| columns on the left and |destY| rows at the top.
    int32_t destX = 0;
    int32_t destY = 0;
    int32_t destWidth = 0;
    int32_t destHeight = 0;
    bool highQuality = false; // bilinear instead of nearest neighbour
    float amount = 0;         // pending lightness change, applied to the output
};

// Scales into a new buffer of |destWidth| x |destHeight| less the clipped part. On
// success the job's destination size becomes the output size and its amount 0.
// False for an empty output, a rectangle outside the source, or when memory runs out.
bool ScaleSource(ScaleJob& job, PixelBuffer& out);

// Scales the whole job's rectangle into `target` (its size, ratios source / target,
// no clipping). The job's destination fields are ignored.
bool ScaleSourceInto(ScaleJob& job, const PixelView& target);

} // namespace moirelle

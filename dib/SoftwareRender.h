#pragma once
// The software roads of Render up to the blend: mirror, scale and lightness change of
// the unrotated road, and the rotated canvas (or its rows) of the rotated road. What is
// left for the caller is to blend the prepared pixels onto its destination
// (dib/BlendToDestination.h).

#include "dib/ImageTarget.h"
#include "dib/PixelBuffer.h"
#include "dib/PixelView.h"
#include "dib/RenderRequest.h"
#include "dib/RotatedRows.h"
#include "dib/ScaleSource.h"
#include "dib/SourceRows.h"

#include <cstdint>
#include <memory>

namespace moirelle {

// The pixels that the blend reads: the image itself, a mirrored or lightened copy, or
// the scaler's rows or the rotator's (made while blending, without an intermediate image).
struct PreparedSource {
    PixelBuffer buffer;                   // a mirrored or lightened copy, when one was made
    std::unique_ptr<ScaledRows> scaled;   // the scaler, when the sizes differ
    std::unique_ptr<RotatedRows> rotated; // the rotator, for PrepareRotatedRows
    ViewRows view{PixelView{}};           // the image or `buffer` when not scaled
    int32_t srcX = 0;                     // the block's origin in the rows, picture coordinates
    int32_t srcY = 0;
    int32_t destX = 0; // destination rectangle, positive size
    int32_t destY = 0;
    int32_t destWidth = 0;
    int32_t destHeight = 0;

    SourceRows& Rows() {
        if (rotated) return *rotated;
        return scaled ? static_cast<SourceRows&>(*scaled) : view;
    }
};

// Runs the steps the normalised, unrotated request needs: a mirrored copy when a
// destination size is negative, scaling when the sizes differ (bilinear with
// `highQuality`), and any pending lightness change on the first copy made (or on a
// copy of the source rectangle when nothing else copies). False when a step fails.
bool PrepareSoftwareSource(const PixelView& image, const RenderRequest& r, bool highQuality,
                           PreparedSource& out);

// The rotated road's software part for a normalised, rotated request: mirrors and
// lightens as asked, makes `canvas` (InitializeDIB) D x D with D the destination's
// diagonal, rotates the source into it and answers in canvasX, canvasY where its
// top-left corner goes so that it is centred on the destination rectangle. With
// `visible` (destination coordinates: the part of the destination that can change, such
// as a host image's bounds or a device context's clip box) only the canvas pixels over
// it, and a margin of kVisibleMargin around it, are sampled; the others stay transparent.
// Drawn at natural size, the canvas then changes the destination exactly as a whole one.
bool PrepareRotatedCanvas(const PixelView& image, const RenderRequest& r, bool highQuality,
                          IImageTarget& canvas, int32_t& canvasX, int32_t& canvasY,
                          const SourceRect* visible = nullptr);

// The same road without the canvas: `out` hands over the canvas's rows one at a time,
// each sampled as the blend asks for it, and places the canvas (destX, destY, D x D;
// srcX = srcY = 0). Blending `out` changes the destination exactly as blending the canvas
// at natural size does, for every opacity and grayscale; a canvas that could not be made
// for its size is refused alike.
bool PrepareRotatedRows(const PixelView& image, const RenderRequest& r, bool highQuality,
                        PreparedSource& out, const SourceRect* visible = nullptr);

// Room for a drawing of the canvas that filters (reads neighbours up to two pixels away)
// even at natural size.
constexpr int32_t kVisibleMargin = 2;

} // namespace moirelle

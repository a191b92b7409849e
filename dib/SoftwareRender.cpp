#include "dib/SoftwareRender.h"

#include "dib/AdjustLight.h"
#include "dib/MirrorSource.h"
#include "dib/RotateSource.h"
#include "dib/ScaleSource.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace moirelle {
namespace {

// A lightened copy of the rectangle alone.
bool LightenedRectangle(const PixelView& image, const SourceRect& rect, float amount,
                        PixelBuffer& out) {
    if (!RectInside(rect, image.width, image.height) || !out.Allocate(rect.width, rect.height))
        return false;
    const PixelView dst = out.View();
    for (int32_t k = 0; k < rect.height; ++k) {
        const uint8_t* s =
            image.row(image.height - 1 - (rect.y + k)) + static_cast<size_t>(rect.x) * 4;
        std::memcpy(dst.row(rect.height - 1 - k), s, dst.stride());
    }
    AdjustLight(amount, dst);
    return true;
}

} // namespace

bool PrepareSoftwareSource(const PixelView& image, const RenderRequest& r, bool highQuality,
                           PreparedSource& out) {
    SourceRect rect{r.SrcX, r.SrcY, r.srcWidth, r.srcHeight};
    if (image.empty() || !RectInside(rect, image.width, image.height)) return false;
    int32_t destWidth = r.destWidth;
    int32_t destHeight = r.destHeight;
    float amount = r.LightAdjustment;
    PixelView source = image;

    if (IsMirrored(r)) {
        if (!MirrorSource(image, rect, destWidth, destHeight, out.buffer, amount)) return false;
        source = out.buffer.View();
    }
    out.destX = r.destX;
    out.destY = r.destY;
    if (std::abs(destWidth) != rect.width || std::abs(destHeight) != rect.height) {
        ScaleJob job;
        job.source = source;
        job.rect = rect;
        job.destX = r.destX;
        job.destY = r.destY;
        job.destWidth = destWidth;
        job.destHeight = destHeight;
        job.highQuality = highQuality;
        job.amount = amount; // applied to each scaled row
        try {
            out.scaled = std::make_unique<ScaledRows>();
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (!out.scaled->Start(job)) return false;
        // The scaled rows are already clipped at the left and top.
        out.destX = std::max(out.destX, 0);
        out.destY = std::max(out.destY, 0);
        destWidth = out.scaled->Width();
        destHeight = out.scaled->Height();
        rect = {0, 0, destWidth, destHeight};
    } else if (out.buffer.empty() && amount != 0) {
        if (!LightenedRectangle(image, rect, amount, out.buffer)) return false;
        rect.x = rect.y = 0;
    }
    out.view = ViewRows(out.buffer.empty() ? image : out.buffer.View());
    out.srcX = rect.x;
    out.srcY = rect.y;
    out.destWidth = std::abs(destWidth);
    out.destHeight = std::abs(destHeight);
    return true;
}

namespace {

// The steps before the rotation: the mirrored or lightened copy (in `copy`) and the job,
// the canvas side and its top-left corner on the destination.
bool StartRotation(const PixelView& image, const RenderRequest& r, bool highQuality,
                   const SourceRect* visible, PixelBuffer& copy, RotateJob& job, int32_t& side,
                   int32_t& canvasX, int32_t& canvasY) {
    SourceRect rect{r.SrcX, r.SrcY, r.srcWidth, r.srcHeight};
    if (image.empty() || !RectInside(rect, image.width, image.height)) return false;
    int64_t destX = r.destX;
    int64_t destY = r.destY;
    int32_t destWidth = r.destWidth;
    int32_t destHeight = r.destHeight;
    if (destWidth < 0) destX += destWidth;
    if (destHeight < 0) destY += destHeight;
    float amount = r.LightAdjustment;
    PixelView source = image;
    if (destWidth < 1 || destHeight < 1) {
        if (!MirrorSource(image, rect, destWidth, destHeight, copy, amount)) return false;
        source = copy.View();
    } else if (amount != 0) {
        if (!AdjustLightCopy(amount, image, copy)) return false;
        source = copy.View();
    }

    side = RotatedCanvasSize(destWidth, destHeight);
    if (side < 1) return false;
    const int64_t x = destX + destWidth / 2 - side / 2;
    const int64_t y = destY + destHeight / 2 - side / 2;
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) return false;
    job = RotateJob{};
    job.source = source;
    job.rect = rect;
    job.destWidth = destWidth;
    job.destHeight = destHeight;
    job.angle = WholeDegrees(r.Angle);
    job.highQuality = highQuality;
    if (visible) {
        // The visible rectangle in canvas coordinates, grown by the margin, within the
        // canvas (RotateSource clamps it).
        const int64_t left = std::max<int64_t>(visible->x - x - kVisibleMargin, 0);
        const int64_t top = std::max<int64_t>(visible->y - y - kVisibleMargin, 0);
        const int64_t right =
            std::min<int64_t>(int64_t{visible->x} + visible->width - x + kVisibleMargin, side);
        const int64_t bottom =
            std::min<int64_t>(int64_t{visible->y} + visible->height - y + kVisibleMargin, side);
        job.window = {static_cast<int32_t>(std::min<int64_t>(left, side)),
                      static_cast<int32_t>(std::min<int64_t>(top, side)),
                      static_cast<int32_t>(std::max<int64_t>(right - left, 0)),
                      static_cast<int32_t>(std::max<int64_t>(bottom - top, 0))};
    }
    canvasX = static_cast<int32_t>(x);
    canvasY = static_cast<int32_t>(y);
    return true;
}

} // namespace

bool PrepareRotatedCanvas(const PixelView& image, const RenderRequest& r, bool highQuality,
                          IImageTarget& canvas, int32_t& canvasX, int32_t& canvasY,
                          const SourceRect* visible) {
    PixelBuffer copy;
    RotateJob job;
    int32_t side = 0, x = 0, y = 0;
    if (!StartRotation(image, r, highQuality, visible, copy, job, side, x, y)) return false;
    if (!canvas.InitializeDIB(side, side)) return false;
    const PixelView canvasPixels{canvas.BitsPointer(), canvas.Width(), canvas.Height()};
    if (!RotateSource(job, canvasPixels)) return false;
    canvasX = x;
    canvasY = y;
    return true;
}

bool PrepareRotatedRows(const PixelView& image, const RenderRequest& r, bool highQuality,
                        PreparedSource& out, const SourceRect* visible) {
    RotateJob job;
    int32_t side = 0, x = 0, y = 0;
    if (!StartRotation(image, r, highQuality, visible, out.buffer, job, side, x, y)) return false;
    try {
        out.rotated = std::make_unique<RotatedRows>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!out.rotated->Start(job, side)) return false;
    out.srcX = out.srcY = 0;
    out.destX = x;
    out.destY = y;
    out.destWidth = out.destHeight = side;
    return true;
}

} // namespace moirelle

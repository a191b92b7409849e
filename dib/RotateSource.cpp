#include "dib/RotateSource.h"

#include "dib/BilinearTaps.h"
#include "dib/RenderKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace moirelle {
namespace {

void SineCosine(int32_t angle, double& s, double& c) {
    switch (((angle % 360) + 360) % 360) {
    case 0:
        s = 0, c = 1;
        return;
    case 90:
        s = -1, c = 0; // t = -90 degrees
        return;
    case 180:
        s = 0, c = -1;
        return;
    case 270:
        s = 1, c = 0;
        return;
    default:
        break;
    }
    const double theta = -(4 * std::atan(1.0) * angle) / 180;
    s = std::sin(theta);
    c = std::cos(theta);
}

// One canvas row by nearest neighbour.
void RotateRowNearest(const PixelView& src, RotateWalk w, uint8_t* out, int32_t side) {
    for (int32_t u = 0; u < side; ++u, out += 4, w.sx += w.stepX, w.sy += w.stepY) {
        if (!(w.sx >= w.left && w.sx < w.right && w.sy >= w.bottom && w.sy < w.top)) continue;
        // Inside the rectangle both positions are at least 0: truncation floors them.
        const uint8_t* p = src.row(static_cast<int32_t>(w.sy)) + static_cast<size_t>(w.sx) * 4;
        std::memcpy(out, p, 4);
    }
}

} // namespace

int32_t WholeDegrees(float Angle) {
    return static_cast<int32_t>(std::fmod(std::nearbyint(static_cast<double>(Angle)), 360.0));
}

int32_t RotatedCanvasSize(int32_t destWidth, int32_t destHeight) {
    const double w = destWidth, h = destHeight;
    const double d = std::nearbyint(std::sqrt(w * w + h * h));
    if (!(d <= std::numeric_limits<int32_t>::max())) return 0;
    return static_cast<int32_t>(d);
}

bool RotateSource(const RotateJob& job, const PixelView& canvas) {
    const SourceRect& r = job.rect;
    if (job.source.empty() || canvas.empty() || canvas.width != canvas.height ||
        !RectInside(r, job.source.width, job.source.height) || job.destWidth < 1 ||
        job.destHeight < 1)
        return false;
    const int32_t side = canvas.width;
    double sinT = 0, cosT = 1;
    SineCosine(job.angle, sinT, cosT);
    const double scaleX = static_cast<double>(job.destWidth) / r.width;
    const double scaleY = static_cast<double>(job.destHeight) / r.height;
    const int32_t b = job.source.height - r.height - r.y;
    const double cx = r.x + r.width / 2;
    const double cy = b + r.height / 2;
    const int64_t offX = (static_cast<int64_t>(side) - r.width) / 2;
    const int64_t offY = (static_cast<int64_t>(side) - r.height) / 2;
    const double stepX = cosT / scaleX;
    const double stepY = -sinT / scaleY;
    const double left = r.x, right = static_cast<double>(r.x) + r.width;
    const double bottom = b, top = static_cast<double>(b) + r.height;
    const int32_t lastColumn = r.x + r.width - 1;
    const int32_t lastRow = b + r.height - 1;

    int32_t u0 = 0, u1 = side, v0 = 0, v1 = side; // columns; storage rows
    if (job.window.width >= 0) {
        const SourceRect& c = job.window;
        u0 = std::clamp(c.x, 0, side);
        u1 = std::clamp(static_cast<int32_t>(std::min<int64_t>(int64_t{c.x} + c.width, side)), u0,
                        side);
        const int32_t firstRow = std::clamp(c.y, 0, side);
        const int32_t bottomRow = std::clamp(
            static_cast<int32_t>(std::min<int64_t>(int64_t{c.y} + c.height, side)), firstRow, side);
        v0 = side - bottomRow;
        v1 = side - firstRow;
    }

    const RenderKernels& kernels = ActiveRenderKernels();
    for (int32_t v = v0; v < v1 && u0 < u1; ++v) {
        const double x = static_cast<double>(-offX + r.x);
        const double y = static_cast<double>(v - offY + b);
        RotateWalk w;
        w.sx = (x - cx) * cosT / scaleX + (y - cy) * sinT / scaleX + cx;
        w.sy = (y - cy) * cosT / scaleY - (x - cx) * sinT / scaleY + cy;
        w.stepX = stepX;
        w.stepY = stepY;
        w.left = left, w.right = right, w.bottom = bottom, w.top = top;
        w.lastColumn = lastColumn;
        w.lastRow = lastRow;
        for (int32_t u = 0; u < u0; ++u) { // the same additions as a whole row
            w.sx += w.stepX;
            w.sy += w.stepY;
        }
        uint8_t* out = canvas.row(v) + static_cast<size_t>(u0) * 4;
        if (job.highQuality)
            kernels.rotateRowBilinear(job.source, w, out, u1 - u0);
        else
            RotateRowNearest(job.source, w, out, u1 - u0);
    }
    return true;
}

} // namespace moirelle

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

bool PlanRotation(const RotateJob& job, int32_t side, RotatePlan& plan) {
    const SourceRect& r = job.rect;
    if (job.source.empty() || side < 1 || !RectInside(r, job.source.width, job.source.height) ||
        job.destWidth < 1 || job.destHeight < 1)
        return false;
    plan = RotatePlan{};
    plan.side = side;
    SineCosine(job.angle, plan.sinT, plan.cosT);
    plan.scaleX = static_cast<double>(job.destWidth) / r.width;
    plan.scaleY = static_cast<double>(job.destHeight) / r.height;
    plan.b = job.source.height - r.height - r.y;
    plan.cx = r.x + r.width / 2;
    plan.cy = plan.b + r.height / 2;
    plan.offX = (static_cast<int64_t>(side) - r.width) / 2;
    plan.offY = (static_cast<int64_t>(side) - r.height) / 2;

    plan.u0 = 0, plan.u1 = side, plan.v0 = 0, plan.v1 = side;
    if (job.window.width >= 0) {
        const SourceRect& c = job.window;
        plan.u0 = std::clamp(c.x, 0, side);
        plan.u1 = std::clamp(static_cast<int32_t>(std::min<int64_t>(int64_t{c.x} + c.width, side)),
                             plan.u0, side);
        const int32_t firstRow = std::clamp(c.y, 0, side);
        const int32_t bottomRow = std::clamp(
            static_cast<int32_t>(std::min<int64_t>(int64_t{c.y} + c.height, side)), firstRow, side);
        plan.v0 = side - bottomRow;
        plan.v1 = side - firstRow;
    }
    if (plan.u0 >= plan.u1) plan.v1 = plan.v0; // nothing to sample
    return true;
}

void RotateCanvasRow(const RotateJob& job, const RotatePlan& plan, int32_t v, uint8_t* row) {
    const SourceRect& r = job.rect;
    const double x = static_cast<double>(-plan.offX + r.x);
    const double y = static_cast<double>(v - plan.offY + plan.b);
    const double cx = plan.cx, cy = plan.cy, cosT = plan.cosT, sinT = plan.sinT;
    const double scaleX = plan.scaleX, scaleY = plan.scaleY;
    RotateWalk w;
    w.sx = (x - cx) * cosT / scaleX + (y - cy) * sinT / scaleX + cx;
    w.sy = (y - cy) * cosT / scaleY - (x - cx) * sinT / scaleY + cy;
    w.stepX = cosT / scaleX;
    w.stepY = -sinT / scaleY;
    w.left = r.x, w.right = static_cast<double>(r.x) + r.width;
    w.bottom = plan.b, w.top = static_cast<double>(plan.b) + r.height;
    w.lastColumn = r.x + r.width - 1;
    w.lastRow = plan.b + r.height - 1;
    for (int32_t u = 0; u < plan.u0; ++u) { // the same additions as a whole row
        w.sx += w.stepX;
        w.sy += w.stepY;
    }
    uint8_t* out = row + static_cast<size_t>(plan.u0) * 4;
    if (job.highQuality)
        ActiveRenderKernels().rotateRowBilinear(job.source, w, out, plan.u1 - plan.u0);
    else
        RotateRowNearest(job.source, w, out, plan.u1 - plan.u0);
}

bool RotateSource(const RotateJob& job, const PixelView& canvas) {
    RotatePlan plan;
    if (canvas.empty() || canvas.width != canvas.height || !PlanRotation(job, canvas.width, plan))
        return false;
    for (int32_t v = plan.v0; v < plan.v1; ++v)
        RotateCanvasRow(job, plan, v, canvas.row(v));
    return true;
}

} // namespace moirelle

#include "dib/ScaleSource.h"

#include "dib/AdjustLight.h"
#include "dib/BilinearTaps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace moirelle {
namespace {

struct Plan {
    int32_t outWidth = 0;
    int32_t outHeight = 0;
    int64_t skipColumns = 0; // x0: columns of the scaled picture left out on the left
    double xRatio = 0;
    double yRatio = 0;
    int32_t bottom = 0; // b: storage row of the rectangle's bottom row
};

void ScaleNearest(const ScaleJob& job, const Plan& plan, const PixelView& out) {
    const int32_t left = job.rect.x;
    const int32_t lastColumn = job.rect.width - 1;
    const int32_t lastRow = job.rect.height - 1;
    std::vector<int32_t> columns(static_cast<size_t>(plan.outWidth));
    for (int32_t i = 0; i < plan.outWidth; ++i) {
        const double x = std::floor(static_cast<double>(plan.skipColumns + i) * plan.xRatio);
        columns[i] = left + std::min(static_cast<int32_t>(x), lastColumn);
    }
    for (int32_t j = 0; j < plan.outHeight; ++j) {
        const double y = std::floor(static_cast<double>(j) * plan.yRatio);
        const uint8_t* src =
            job.source.row(plan.bottom + std::min(static_cast<int32_t>(y), lastRow));
        uint8_t* dst = out.row(j);
        for (int32_t i = 0; i < plan.outWidth; ++i, dst += 4)
            std::memcpy(dst, src + static_cast<size_t>(columns[i]) * 4, 4);
    }
}

// Horizontal pass of one source row: h = s(X) * wc0 + s(X1) * wc1 for every output
// column and channel.
void HorizontalPass(const uint8_t* src, const std::vector<ColumnTaps>& taps, double* h) {
    for (const ColumnTaps& t : taps) {
        const uint8_t* a = src + static_cast<size_t>(t.x0) * 4;
        const uint8_t* b = src + static_cast<size_t>(t.x1) * 4;
        for (int k = 0; k < 4; ++k)
            h[k] = a[k] * t.w0 + b[k] * t.w1;
        h += 4;
    }
}

void ScaleBilinear(const ScaleJob& job, const Plan& plan, const PixelView& out) {
    const int32_t lastColumn = job.rect.x + job.rect.width - 1;
    std::vector<ColumnTaps> taps(static_cast<size_t>(plan.outWidth));
    for (int32_t i = 0; i < plan.outWidth; ++i) {
        const double xs = job.rect.x + static_cast<double>(plan.skipColumns + i) * plan.xRatio;
        taps[i] = ColumnTapsAt(xs, lastColumn);
    }
    // Two cached horizontal passes, keyed by their storage row.
    const size_t n = static_cast<size_t>(plan.outWidth) * 4;
    std::vector<double> cache[2] = {std::vector<double>(n), std::vector<double>(n)};
    int32_t cachedRow[2] = {-1, -1};

    // j * yRatio < srcHeight, so Y never passes the rectangle's top row.
    for (int32_t j = 0; j < plan.outHeight; ++j) {
        const RowTaps r = RowTapsAt(static_cast<double>(j) * plan.yRatio + plan.bottom);
        const double* h[2] = {nullptr, nullptr};
        const int32_t want[2] = {r.y0, r.y1};
        bool used[2] = {false, false};
        for (int w = 0; w < 2; ++w)
            for (int s = 0; s < 2; ++s)
                if (cachedRow[s] == want[w] && !h[w]) {
                    h[w] = cache[s].data();
                    used[s] = true;
                }
        for (int w = 0; w < 2; ++w) {
            if (h[w]) continue;
            const int s = used[0] ? 1 : 0;
            HorizontalPass(job.source.row(want[w]), taps, cache[s].data());
            cachedRow[s] = want[w];
            used[s] = true;
            h[w] = cache[s].data();
        }
        uint8_t* dst = out.row(j);
        const double w0 = r.w0;
        const double w1 = r.w1;
        for (size_t k = 0; k < n; ++k)
            dst[k] = static_cast<uint8_t>(static_cast<int32_t>(h[0][k] * w0 + h[1][k] * w1));
    }
}

bool Run(ScaleJob& job, const Plan& plan, const PixelView& out) {
    try {
        if (job.highQuality)
            ScaleBilinear(job, plan, out);
        else
            ScaleNearest(job, plan, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (job.amount != 0) {
        AdjustLight(job.amount, out);
        job.amount = 0;
    }
    return true;
}

bool PrepareRect(ScaleJob& job) {
    if (job.source.empty()) return false;
    if (job.rect.width == 0) job.rect.width = job.source.width;
    if (job.rect.height == 0) job.rect.height = job.source.height;
    return RectInside(job.rect, job.source.width, job.source.height);
}

} // namespace

bool ScaleSource(ScaleJob& job, PixelBuffer& out) {
    if (!PrepareRect(job)) return false;
    const int64_t w = std::llabs(static_cast<int64_t>(job.destWidth));
    const int64_t h = std::llabs(static_cast<int64_t>(job.destHeight));
    if (w < 1 || h < 1) return false;
    Plan plan;
    plan.xRatio = static_cast<double>(job.rect.width) / static_cast<double>(w);
    plan.yRatio = static_cast<double>(job.rect.height) / static_cast<double>(h);
    int64_t outW = w;
    int64_t outH = h;
    if (job.destX < 0) {
        plan.skipColumns = -static_cast<int64_t>(job.destX);
        outW -= plan.skipColumns;
    }
    if (job.destY < 0) outH += job.destY; // the top rows are left out
    if (outW < 1 || outH < 1) return false;
    plan.outWidth = static_cast<int32_t>(outW);
    plan.outHeight = static_cast<int32_t>(outH);
    plan.bottom = job.source.height - job.rect.height - job.rect.y;
    if (!out.Allocate(plan.outWidth, plan.outHeight)) return false;
    if (!Run(job, plan, out.View())) {
        out.Clear();
        return false;
    }
    job.destWidth = plan.outWidth;
    job.destHeight = plan.outHeight;
    return true;
}

bool ScaleSourceInto(ScaleJob& job, const PixelView& target) {
    if (!PrepareRect(job) || target.empty()) return false;
    Plan plan;
    plan.outWidth = target.width;
    plan.outHeight = target.height;
    plan.xRatio = static_cast<double>(job.rect.width) / target.width;
    plan.yRatio = static_cast<double>(job.rect.height) / target.height;
    plan.bottom = job.source.height - job.rect.height - job.rect.y;
    return Run(job, plan, target);
}

} // namespace moirelle

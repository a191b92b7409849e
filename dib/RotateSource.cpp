#include "dib/RotateSource.h"

#include "dib/BilinearTaps.h"
#include "dib/VectorPaths.h"

#include <cmath>
#include <cstring>
#include <limits>

#ifdef MOIRELLE_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

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

// One canvas row. sx and sy advance by their steps from pixel to pixel.
struct RowWalk {
    double sx, sy, stepX, stepY;
    double left, right, bottom, top; // the source rectangle, storage rows
    int32_t lastColumn, lastRow;
};

void RotateRow(const PixelView& src, RowWalk w, bool highQuality, uint8_t* out, int32_t side) {
    for (int32_t u = 0; u < side; ++u, out += 4, w.sx += w.stepX, w.sy += w.stepY) {
        if (!(w.sx >= w.left && w.sx < w.right && w.sy >= w.bottom && w.sy < w.top)) continue;
        if (highQuality) {
            SampleBilinear(src, ColumnTapsAt(w.sx, w.lastColumn), RowTapsAt(w.sy, w.lastRow), out);
        } else {
            const uint8_t* p = src.row(static_cast<int32_t>(std::floor(w.sy))) +
                               static_cast<size_t>(std::floor(w.sx)) * 4;
            std::memcpy(out, p, 4);
        }
    }
}

#ifdef MOIRELLE_HAVE_AVX2_PATHS
__attribute__((target("avx2"))) inline __m256d Channels(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(v)));
}

// SampleBilinear's operations on the four channels at once.
__attribute__((target("avx2"))) void RotateRowBilinearAvx2(const PixelView& src, RowWalk w,
                                                           uint8_t* out, int32_t side) {
    for (int32_t u = 0; u < side; ++u, out += 4, w.sx += w.stepX, w.sy += w.stepY) {
        if (!(w.sx >= w.left && w.sx < w.right && w.sy >= w.bottom && w.sy < w.top)) continue;
        const ColumnTaps c = ColumnTapsAt(w.sx, w.lastColumn);
        const RowTaps r = RowTapsAt(w.sy, w.lastRow);
        const uint8_t* row0 = src.row(r.y0);
        const uint8_t* row1 = src.row(r.y1);
        const __m256d cw0 = _mm256_set1_pd(c.w0), cw1 = _mm256_set1_pd(c.w1);
        const __m256d h0 = _mm256_add_pd(_mm256_mul_pd(Channels(row0 + c.x0 * size_t{4}), cw0),
                                         _mm256_mul_pd(Channels(row0 + c.x1 * size_t{4}), cw1));
        const __m256d h1 = _mm256_add_pd(_mm256_mul_pd(Channels(row1 + c.x0 * size_t{4}), cw0),
                                         _mm256_mul_pd(Channels(row1 + c.x1 * size_t{4}), cw1));
        const __m256d v = _mm256_add_pd(_mm256_mul_pd(h0, _mm256_set1_pd(r.w0)),
                                        _mm256_mul_pd(h1, _mm256_set1_pd(r.w1)));
        const __m128i q = _mm256_cvttpd_epi32(v);
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(q, q), q));
        std::memcpy(out, &bytes, 4);
    }
}
#endif

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

#ifdef MOIRELLE_HAVE_AVX2_PATHS
    const bool wide = job.highQuality && Use256BitPaths();
#endif
    for (int32_t v = 0; v < side; ++v) {
        const double x = static_cast<double>(-offX + r.x);
        const double y = static_cast<double>(v - offY + b);
        RowWalk w;
        w.sx = (x - cx) * cosT / scaleX + (y - cy) * sinT / scaleX + cx;
        w.sy = (y - cy) * cosT / scaleY - (x - cx) * sinT / scaleY + cy;
        w.stepX = stepX;
        w.stepY = stepY;
        w.left = left, w.right = right, w.bottom = bottom, w.top = top;
        w.lastColumn = lastColumn;
        w.lastRow = lastRow;
#ifdef MOIRELLE_HAVE_AVX2_PATHS
        if (wide) {
            RotateRowBilinearAvx2(job.source, w, canvas.row(v), side);
            continue;
        }
#endif
        RotateRow(job.source, w, job.highQuality, canvas.row(v), side);
    }
    return true;
}

} // namespace moirelle

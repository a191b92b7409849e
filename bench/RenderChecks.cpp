#include "bench/RenderChecks.h"

#include "bench/PeerPixels.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace moirelle::bench {
namespace {

constexpr double kFixedStep = 1.0 / 65536;
constexpr double kNudge = 2 * kFixedStep;

[[noreturn]] void Failed(const std::string& what, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "CHECK FAILED: %s: %s\n", what.c_str(), message.c_str());
    std::abort();
}

double Fixed(pixman_fixed_t v) {
    return v * kFixedStep;
}

bool SamePixel(const PixelView& a, const PixelView& b, int32_t x, int32_t row) {
    const uint8_t* p = a.row(row) + 4 * x;
    const uint8_t* q = b.row(row) + 4 * x;
    return p[0] == q[0] && p[1] == q[1] && p[2] == q[2] && p[3] == q[3];
}

int LargestDifference(const PixelView& a, const PixelView& b, int32_t x, int32_t row) {
    const uint8_t* p = a.row(row) + 4 * x;
    const uint8_t* q = b.row(row) + 4 * x;
    int largest = 0;
    for (int k = 0; k < 4; ++k)
        largest = std::max(largest, std::abs(int{p[k]} - int{q[k]}));
    return largest;
}

void RequireSameSize(const std::string& what, const PixelView& a, const PixelView& b) {
    if (a.width != b.width || a.height != b.height) Failed(what, "outputs of different sizes");
}

} // namespace

SampleMap ScaleSampleMap(bool bilinear, int32_t sw, int32_t sh, int32_t w, int32_t h) {
    const double rx = static_cast<double>(sw) / w, ry = static_cast<double>(sh) / h;
    SampleMap m;
    m.width = w, m.height = h, m.bilinear = bilinear;
    m.a = rx, m.e = ry;
    return m;
}

SampleMap RotationSampleMap(int32_t degrees, int32_t w, int32_t h) {
    const int32_t side =
        static_cast<int32_t>(std::lround(std::sqrt(double(w) * w + double(h) * h)));
    const int32_t x0 = w / 2 - side / 2, y0 = h / 2 - side / 2; // the canvas, top-left
    const int32_t offX = (side - w) / 2, offY = (side - h) / 2;
    const double cx = w / 2, cy = h / 2;
    const double t = -(4 * std::atan(1.0) * degrees) / 180;
    const double cosT = std::cos(t), sinT = std::sin(t);
    // Output pixel (X, J) -> canvas (u, v), v bottom-up -> the source position.
    auto sample = [&](double X, double J, double& ex, double& ey) {
        const double top = h - 1 - J;           // picture row of the output
        const double v = side - 1 - (top - y0); // canvas row, bottom-up
        const double x = X - x0 - offX, y = v - offY;
        ex = (x - cx) * cosT + (y - cy) * sinT + cx;
        ey = (y - cy) * cosT - (x - cx) * sinT + cy;
    };
    SampleMap m;
    m.width = w, m.height = h, m.bilinear = true;
    double x00, y00, x10, y10, x01, y01;
    sample(0, 0, x00, y00);
    sample(1, 0, x10, y10);
    sample(0, 1, x01, y01);
    m.a = x10 - x00, m.b = x01 - x00, m.c = x00;
    m.d = y10 - y00, m.e = y01 - y00, m.f = y00;
    return m;
}

FittedTransform FitPixmanTransform(const SampleMap& m) {
    // Nearest: two fixed-point steps past the position, so that pixman's floor(v - 2^-16)
    // is our floor where the position is a whole number.
    const double k = m.bilinear ? 0.5 : kNudge;
    pixman_f_transform_t f{};
    f.m[0][0] = m.a, f.m[0][1] = m.b, f.m[0][2] = m.c + k - 0.5 * m.a - 0.5 * m.b;
    f.m[1][0] = m.d, f.m[1][1] = m.e, f.m[1][2] = m.f + k - 0.5 * m.d - 0.5 * m.e;
    f.m[2][2] = 1;
    FittedTransform t;
    pixman_transform_from_pixman_f_transform(&t.fixed, &f);
    // Entries that fixed point holds exactly give exact positions; otherwise the row's
    // start is rounded once more.
    for (int r = 0; r < 2; ++r) {
        double drift = 0;
        for (int col = 0; col < 3; ++col)
            drift += std::abs(Fixed(t.fixed.matrix[r][col]) - f.m[r][col]) * (col == 0   ? m.width
                                                                              : col == 1 ? m.height
                                                                                         : 1);
        (r == 0 ? t.driftX : t.driftY) = drift > 0 ? drift + kFixedStep : 0;
    }
    return t;
}

int BlendBound(uint32_t op) {
    return op == 255 ? 1 : 2;
}

int BilinearBound(const FittedTransform& t) {
    return static_cast<int>(std::floor(255 * (2.0 / 128 + t.driftX + t.driftY))) + 1;
}

void RequireBilinearWithin(const std::string& what, const std::string& peer, const PixelView& ours,
                           const PixelView& theirs, const FittedTransform& t) {
    RequireSameSize(what, ours, theirs);
    RequireWithin(what, peer, ours.bits, theirs.bits, ours.size(), BilinearBound(t));
}

void RequireSameWhereUnambiguous(const std::string& what, const std::string& peer,
                                 const PixelView& ours, const PixelView& theirs,
                                 const SampleMap& map, const FittedTransform& t) {
    RequireSameSize(what, ours, theirs);
    // Where pixman's position may lie, v = ex + 2^-15 give or take the drift, it takes the
    // pixel our floor takes.
    auto clear = [](double v, double drift) {
        const double index = std::floor(v);
        return std::floor(v + kNudge - drift - kFixedStep) == index &&
               std::floor(v + kNudge + drift - kFixedStep) == index;
    };
    size_t compared = 0, differ = 0;
    std::string first;
    for (int32_t j = 0; j < ours.height; ++j)
        for (int32_t x = 0; x < ours.width; ++x) {
            if (!clear(map.Ex(x, j), t.driftX) || !clear(map.Ey(x, j), t.driftY)) continue;
            ++compared;
            if (SamePixel(ours, theirs, x, j)) continue;
            if (differ++ == 0)
                first = ", the first at (" + std::to_string(x) + ", " + std::to_string(j) +
                        "), position (" + std::to_string(map.Ex(x, j)) + ", " +
                        std::to_string(map.Ey(x, j)) + ")";
        }
    const size_t all = static_cast<size_t>(ours.width) * ours.height;
    if (differ || compared < all / 2)
        Failed(what, std::to_string(differ) + " of " + std::to_string(compared) +
                         " pixels clear of an edge differ from " + peer + first);
    std::printf("  check %s: equal to %s at the %zu of %zu pixels clear of a pixel edge\n",
                what.c_str(), peer.c_str(), compared, all);
    std::fflush(stdout);
}

void RequireWithinInside(const std::string& what, const std::string& peer, const PixelView& ours,
                         const PixelView& theirs, const SampleMap& map, const FittedTransform& t,
                         int32_t sw, int32_t sh) {
    RequireSameSize(what, ours, theirs);
    const int bound = BilinearBound(t);
    size_t compared = 0, beyond = 0;
    int largest = 0;
    for (int32_t j = 0; j < ours.height; ++j)
        for (int32_t x = 0; x < ours.width; ++x) {
            // A pixel away from the edges of the source, where the rules part.
            const double sx = map.Ex(x, j), sy = map.Ey(x, j);
            if (sx < 1 + t.driftX || sx >= sw - 2 - t.driftX || sy < 1 + t.driftY ||
                sy >= sh - 2 - t.driftY)
                continue;
            ++compared;
            const int d = LargestDifference(ours, theirs, x, j);
            largest = std::max(largest, d);
            beyond += d > bound;
        }
    const size_t all = static_cast<size_t>(ours.width) * ours.height;
    if (beyond || compared < all / 4)
        Failed(what, std::to_string(beyond) + " of " + std::to_string(compared) +
                         " inside pixels differ from " + peer + " by more than " +
                         std::to_string(bound));
    std::printf("  check %s: within %d of %s at the %zu of %zu pixels inside (largest "
                "difference %d)\n",
                what.c_str(), bound, peer.c_str(), compared, all, largest);
    std::fflush(stdout);
}

} // namespace moirelle::bench

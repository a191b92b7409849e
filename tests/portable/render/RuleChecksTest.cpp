// The software renderer's rules checked against plain codings of them written here: the
// mirror, the scaler's clipping and target form, the rotation rule at angles that are
// not right angles, and lightness and opacity on the roads that scale and rotate.
#include "dib/BlendPixels.h"
#include "dib/BlendToDestination.h"
#include "dib/MemoryImage.h"
#include "dib/MirrorSource.h"
#include "dib/ScaleSource.h"
#include "dib/SoftwareRender.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace moirelle {
namespace {

using test::Packed;
using test::PixelAt;
using test::SetPixel;

// Storage-row pixel of a view (bottom-up rows).
uint32_t StoredPixel(const PixelView& v, int32_t x, int32_t storageRow) {
    uint32_t p;
    std::memcpy(&p, v.row(storageRow) + static_cast<size_t>(x) * 4, 4);
    return p;
}

// The lightness rule with an amount whose f = amount / 100 * 255 is a whole number, so
// that round(f * a) is exact: delta = f * a / 255, colours clamped at alpha or at 0.
void LightReference(int32_t amount, uint8_t* px) {
    const int32_t a = px[3];
    if (a == 0) return;
    const int32_t f = amount * 255 / 100;
    const int32_t delta = f * a / 255;
    for (int k = 0; k < 3; ++k)
        px[k] = static_cast<uint8_t>(amount > 0 ? std::min(px[k] + delta, a)
                                                : std::max(px[k] + delta, 0));
}

TEST(MirrorRule, TopToBottomOnlyKeepsColumnsAndReversesRows) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(6, 4));
    test::FillPositions(img.View());
    SourceRect rect{1, 1, 3, 2};
    int32_t w = 3, h = -2;
    float amount = 0;
    PixelBuffer out;
    ASSERT_TRUE(MirrorSource(img.View(), rect, w, h, out, amount));
    EXPECT_EQ(h, 2);
    EXPECT_EQ(w, 3);
    // Copy row k is picture row 4 - 1 - 1 - k, copy column i picture column 1 + i.
    for (int32_t k = 0; k < 2; ++k)
        for (int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(Packed(out.View(), i, k), Packed(img.View(), 1 + i, 2 - k)) << i << "," << k;
}

TEST(ScaleRule, ClippedJobReportsTheOutputSize) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(4, 4));
    test::FillPositions(img.View());
    ScaleJob job;
    job.source = img.View();
    job.destX = -3;
    job.destY = -5;
    job.destWidth = 8;
    job.destHeight = -12;
    PixelBuffer out;
    ASSERT_TRUE(ScaleSource(job, out));
    EXPECT_EQ(out.Width(), 5);
    EXPECT_EQ(out.Height(), 7);
    EXPECT_EQ(job.destWidth, 5);
    EXPECT_EQ(job.destHeight, 7);
}

TEST(ScaleRule, IntoATargetUsesItsSizeAndNoClipping) {
    // Nearest: target pixel (i, j), j from the bottom, is source column
    // floor(i * 3 / 6) + 1 and storage row floor(j * 4 / 8) of the rectangle (1, 0, 3, 4).
    PixelBuffer img, target;
    ASSERT_TRUE(img.Allocate(4, 4));
    ASSERT_TRUE(target.Allocate(6, 8));
    test::FillPositions(img.View());
    std::memset(target.View().bits, 0x5A, target.View().size());
    ScaleJob job;
    job.source = img.View();
    job.rect = {1, 0, 3, 4};
    job.destX = -2; // ignored
    job.destY = -3;
    job.destWidth = 1;
    job.destHeight = 1;
    job.amount = 40;
    ASSERT_TRUE(ScaleSourceInto(job, target.View()));
    EXPECT_EQ(job.amount, 0);
    for (int32_t j = 0; j < 8; ++j)
        for (int32_t i = 0; i < 6; ++i) {
            uint8_t want[4];
            std::memcpy(want, img.View().row(j * 4 / 8) + (1 + i * 3 / 6) * 4, 4);
            LightReference(40, want);
            uint32_t packed;
            std::memcpy(&packed, want, 4);
            ASSERT_EQ(StoredPixel(target.View(), i, j), packed) << i << "," << j;
        }
    // Bilinear halfway between a bottom row of 0 and a top row of 200.
    PixelBuffer two, tall;
    ASSERT_TRUE(two.Allocate(1, 2));
    ASSERT_TRUE(tall.Allocate(1, 4));
    std::memset(two.View().row(0), 0, 4);
    std::memset(two.View().row(1), 200, 4);
    ScaleJob bilinear;
    bilinear.source = two.View();
    bilinear.highQuality = true;
    ASSERT_TRUE(ScaleSourceInto(bilinear, tall.View()));
    const uint32_t rows[] = {0, 0x64646464u, 0xC8C8C8C8u, 0xC8C8C8C8u};
    for (int32_t j = 0; j < 4; ++j)
        EXPECT_EQ(StoredPixel(tall.View(), 0, j), rows[j]) << j;
    PixelBuffer none;
    EXPECT_FALSE(ScaleSourceInto(bilinear, none.View()));
}

// The rotation rule written out plainly for a rectangle at the picture's origin covering
// all of it: canvas pixel (u, v), v from the bottom, samples the source at
// sx = (x - cx) cos t / scaleX + (y - cy) sin t / scaleX + cx and
// sy = (y - cy) cos t / scaleY - (x - cx) sin t / scaleY + cy, x = u - offX, y = v - offY,
// advancing sx by cos t / scaleX and sy by -sin t / scaleY along a row; t = -angle.
void RotateReference(const PixelView& src, int32_t destWidth, int32_t destHeight, int angle,
                     bool bilinear, const PixelView& canvas) {
    const int32_t W = src.width, H = src.height, D = canvas.width;
    const int a = ((angle % 360) + 360) % 360;
    double s, c;
    if (a % 90 == 0) { // exact at right angles
        const double sines[] = {0, -1, 0, 1};
        const double cosines[] = {1, 0, -1, 0};
        s = sines[a / 90], c = cosines[a / 90];
    } else {
        const double t = -(4 * std::atan(1.0) * angle) / 180;
        s = std::sin(t), c = std::cos(t);
    }
    const double scaleX = static_cast<double>(destWidth) / W;
    const double scaleY = static_cast<double>(destHeight) / H;
    const double cx = W / 2, cy = H / 2;
    const int32_t offX = (D - W) / 2, offY = (D - H) / 2;
    auto byte = [&](int32_t col, int32_t row, int k) -> double {
        return src.row(row)[col * 4 + k];
    };
    for (int32_t v = 0; v < D; ++v) {
        const double x = -offX, y = v - offY;
        double sx = (x - cx) * c / scaleX + (y - cy) * s / scaleX + cx;
        double sy = (y - cy) * c / scaleY - (x - cx) * s / scaleY + cy;
        for (int32_t u = 0; u < D; ++u, sx += c / scaleX, sy += -s / scaleY) {
            uint8_t* out = canvas.row(v) + static_cast<size_t>(u) * 4;
            std::memset(out, 0, 4);
            if (!(sx >= 0 && sx < W && sy >= 0 && sy < H)) continue;
            const int32_t X = static_cast<int32_t>(std::floor(sx));
            const int32_t Y = static_cast<int32_t>(std::floor(sy));
            for (int k = 0; k < 4; ++k) {
                if (!bilinear) {
                    out[k] = static_cast<uint8_t>(byte(X, Y, k));
                    continue;
                }
                const double fx = sx - X, fy = sy - Y;
                auto along = [&](int32_t row) {
                    return X == W - 1 ? byte(X, row, k) * 1 + byte(X, row, k) * 0
                                      : byte(X, row, k) * (1 - fx) + byte(X + 1, row, k) * fx;
                };
                const double value = Y == H - 1 ? along(Y) * 1 + along(Y) * 0
                                                : along(Y) * (1 - fy) + along(Y + 1) * fy;
                out[k] = static_cast<uint8_t>(std::floor(value));
            }
        }
    }
}

::testing::AssertionResult RotatesAsTheRule(const PixelView& img, int32_t destWidth,
                                            int32_t destHeight, int angle, bool bilinear) {
    RenderRequest r;
    r.srcWidth = img.width, r.srcHeight = img.height;
    r.destWidth = destWidth, r.destHeight = destHeight;
    r.Angle = static_cast<float>(angle);
    MemoryImage canvas;
    int32_t x = 0, y = 0;
    if (!PrepareRotatedCanvas(img, r, bilinear, canvas, x, y))
        return ::testing::AssertionFailure() << "refused";
    const int32_t side = static_cast<int32_t>(
        std::nearbyint(std::sqrt(double(destWidth) * destWidth + double(destHeight) * destHeight)));
    if (canvas.Width() != side || canvas.Height() != side)
        return ::testing::AssertionFailure() << "canvas " << canvas.Width() << ", not " << side;
    if (x != destWidth / 2 - side / 2 || y != destHeight / 2 - side / 2)
        return ::testing::AssertionFailure() << "placed at " << x << "," << y;
    PixelBuffer expected;
    if (!expected.Allocate(side, side)) return ::testing::AssertionFailure() << "memory";
    RotateReference(img, destWidth, destHeight, angle, bilinear, expected.View());
    for (int32_t v = 0; v < side; ++v)
        for (int32_t u = 0; u < side; ++u)
            if (StoredPixel(canvas.View(), u, v) != StoredPixel(expected.View(), u, v))
                return ::testing::AssertionFailure()
                       << "canvas pixel " << u << "," << v << " (from the bottom) is " << std::hex
                       << StoredPixel(canvas.View(), u, v) << ", expected "
                       << StoredPixel(expected.View(), u, v);
    return ::testing::AssertionSuccess();
}

TEST(RotationRule, ThirtyAndMinusFortyFiveDegrees) {
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(23, 14));
    test::FillRandomPremultiplied(img.View(), 31);
    for (int angle : {30, -45})
        for (bool bilinear : {false, true}) {
            EXPECT_TRUE(RotatesAsTheRule(img.View(), 23, 14, angle, bilinear)) << angle;
            EXPECT_TRUE(RotatesAsTheRule(img.View(), 37, 9, angle, bilinear)) << angle << " scaled";
        }
}

TEST(RotationRule, TinyPicturesThroughEveryWholeDegree) {
    const int32_t sizes[][4] = {
        {1, 1, 1, 1}, {1, 2, 1, 2}, {2, 1, 2, 1}, {1, 2, 3, 5}, {2, 1, 1, 1}};
    for (const auto& size : sizes) {
        PixelBuffer img;
        ASSERT_TRUE(img.Allocate(size[0], size[1]));
        test::FillRandomPremultiplied(img.View(), 9);
        for (int angle = -359; angle < 360; ++angle)
            for (bool bilinear : {false, true})
                ASSERT_TRUE(RotatesAsTheRule(img.View(), size[2], size[3], angle, bilinear))
                    << size[0] << "x" << size[1] << " to " << size[2] << "x" << size[3] << " at "
                    << angle << (bilinear ? " bilinear" : " nearest");
    }
}

TEST(RotationRule, LightnessChangesTheSourceBeforeTheTurn) {
    PixelBuffer img, lit;
    ASSERT_TRUE(img.Allocate(9, 6));
    ASSERT_TRUE(lit.Allocate(9, 6));
    test::FillRandomPremultiplied(img.View(), 12);
    std::memcpy(lit.View().bits, img.View().bits, img.View().size());
    for (int32_t i = 0; i < 9 * 6; ++i)
        LightReference(-60, lit.View().bits + 4 * i);
    RenderRequest r;
    r.srcWidth = 9, r.srcHeight = 6, r.destWidth = 13, r.destHeight = 6;
    r.Angle = 30;
    r.LightAdjustment = -60;
    MemoryImage canvas;
    int32_t x = 0, y = 0;
    ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, true, canvas, x, y));
    PixelBuffer expected;
    ASSERT_TRUE(expected.Allocate(canvas.Width(), canvas.Height()));
    RotateReference(lit.View(), 13, 6, 30, true, expected.View());
    EXPECT_EQ(std::memcmp(canvas.BitsPointer(), expected.View().bits, expected.View().size()), 0);
}

TEST(ScaleRule, LightnessOnTheScaledRoadFollowsTheScaleAndMeetsTheOpacity) {
    // Two pixels, opaque black and blue 200 at alpha 200, doubled bilinearly and lightened
    // by +40 after scaling, then blended at opacity 50 onto a grey host. Lightening first
    // would give the second output pixel blue (102 + 200) / 2 instead of 190.
    PixelBuffer img;
    ASSERT_TRUE(img.Allocate(2, 1));
    SetPixel(img.View(), 0, 0, 0, 0, 0, 255);
    SetPixel(img.View(), 1, 0, 200, 0, 0, 200);
    RenderRequest r;
    r.srcWidth = 2, r.srcHeight = 1, r.destWidth = 4, r.destHeight = 1;
    r.LightAdjustment = 40;
    PreparedSource p;
    ASSERT_TRUE(PrepareSoftwareSource(img.View(), r, true, p));
    // Scaled first: x = 0.5 gives (100, 0, 0, 227); delta 102 * 227 / 255 = 90.
    const uint8_t scaled[4][4] = {
        {0, 0, 0, 255}, {100, 0, 0, 227}, {200, 0, 0, 200}, {200, 0, 0, 200}};
    uint8_t want[4][4];
    for (int i = 0; i < 4; ++i) {
        std::memcpy(want[i], scaled[i], 4);
        LightReference(40, want[i]);
        uint32_t packed;
        std::memcpy(&packed, want[i], 4);
        uint32_t got;
        std::memcpy(&got, p.Rows().Row(0) + 4 * i, 4);
        EXPECT_EQ(got, packed) << i;
    }
    EXPECT_EQ(want[1][0], 190); // not (102 + 200) / 2 as lightening first would give

    PixelBuffer host;
    ASSERT_TRUE(host.Allocate(4, 1));
    std::memset(host.View().bits, 0x80, host.View().size());
    BlendPlan plan;
    ASSERT_TRUE(PlanBlend(p.Rows(), p.srcX, p.srcY, p.destX, p.destY, p.destWidth, p.destHeight, 4,
                          1, plan));
    const uint32_t op = ConstantAlpha(50);
    BlendOntoHost(p.Rows(), plan, host.View(), op, -1);
    for (int i = 0; i < 4; ++i) {
        const uint32_t a = want[i][3], k = 255 - a * op / 255;
        for (int c = 0; c < 4; ++c) {
            const uint32_t s = c < 3 ? want[i][c] : a;
            EXPECT_EQ(host.View().bits[4 * i + c], (0x80 * k + s * op) / 255) << i << " " << c;
        }
    }
}

TEST(BlendRule, TranslucentPixelsAtOpacityBelowHundred) {
    // Every alpha with a few colours, at several opacities, onto a host and a 24-bit row:
    // k = 255 - a * op / 255, d = (d * k + s * op) / 255, host alpha the same with a.
    for (int32_t opacity : {1, 37, 50, 99}) {
        const uint32_t op = ConstantAlpha(opacity);
        PixelBuffer src, host;
        ASSERT_TRUE(src.Allocate(256, 1));
        ASSERT_TRUE(host.Allocate(256, 1));
        uint8_t row24[256 * 3];
        for (int32_t a = 0; a < 256; ++a) {
            SetPixel(src.View(), a, 0, static_cast<uint8_t>(a), static_cast<uint8_t>(a / 2),
                     static_cast<uint8_t>(a / 3), static_cast<uint8_t>(a));
            SetPixel(host.View(), a, 0, 10, 200, static_cast<uint8_t>(255 - a), 90);
            row24[3 * a] = 10, row24[3 * a + 1] = 200,
                      row24[3 * a + 2] = static_cast<uint8_t>(255 - a);
        }
        BlendPlan plan;
        ASSERT_TRUE(PlanBlend(src.View(), 0, 0, 0, 0, 256, 1, 256, 1, plan));
        BlendOntoHost(src.View(), plan, host.View(), op, -1);
        ViewRows rows(src.View());
        BlendOnto24(rows, plan, row24, sizeof row24, op, -1);
        for (int32_t a = 0; a < 256; ++a) {
            const uint32_t s[4] = {uint32_t(a), uint32_t(a / 2), uint32_t(a / 3), uint32_t(a)};
            const uint32_t d[4] = {10, 200, uint32_t(255 - a), 90};
            const uint32_t k = 255 - a * op / 255;
            for (int c = 0; c < 4; ++c) {
                const uint32_t want = a == 0 ? d[c] : (d[c] * k + s[c] * op) / 255;
                ASSERT_EQ(PixelAt(host.View(), a, 0)[c], want) << opacity << "% alpha " << a;
                if (c < 3) {
                    ASSERT_EQ(row24[3 * a + c], want) << opacity << "% alpha " << a;
                }
            }
        }
    }
}

} // namespace
} // namespace moirelle

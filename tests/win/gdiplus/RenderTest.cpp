// The render operation, on both token routes: expectations computed here, compared with a
// tolerance where GDI+ resamples.

#include "GdiplusTestSupport.h"

#include "gdiplus/cGDIPlus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace moirelle::test {
namespace {

class GdiplusRender : public TokenRoutes {
  protected:
    // Draws with everything else plain: no angle, full opacity, nearest neighbour.
    bool Draw(const c32bppDIB& src, Canvas& canvas, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
              int32_t opacity = 100, int32_t gray = -1, float light = 0, float angle = 0,
              bool highQuality = false) {
        return cGDIPlus().RenderGDIplus(src, canvas.dc(), angle, opacity, dx, dy, dw, dh, 0, 0,
                                        src.Width(), src.Height(), highQuality, gray, token(),
                                        light);
    }
};

// Checks a quadrant image drawn at (x, y, w, h) pixel by pixel, away from the quadrant
// borders and the rectangle's edges (where mirrored and scaled draws may differ by a row,
// or by half a source pixel when scaled).
void ExpectQuadrants(const Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h, Bgra topLeft,
                     Bgra topRight, Bgra bottomLeft, Bgra bottomRight, int32_t margin = 2) {
    for (int32_t py = y; py < y + h; ++py)
        for (int32_t px = x; px < x + w; ++px) {
            const int32_t rx = px - x, ry = py - y;
            const bool nearBorder = std::abs(rx - w / 2) < margin ||
                                    std::abs(ry - h / 2) < margin || rx < margin || ry < margin ||
                                    rx >= w - margin || ry >= h - margin;
            if (nearBorder) continue;
            const bool left = rx < w / 2, top = ry < h / 2;
            const Bgra want = top ? (left ? topLeft : topRight) : (left ? bottomLeft : bottomRight);
            ASSERT_EQ(canvas.At(px, py), want) << "at " << px << "," << py;
        }
}

TEST_P(GdiplusRender, OpacityZeroDrawsNothing) {
    c32bppDIB src;
    MakeQuadrants(src, 8, 8);
    Canvas canvas(16, 16, kBlack);
    EXPECT_TRUE(Draw(src, canvas, 0, 0, 8, 8, 0));
    RECT box;
    EXPECT_FALSE(canvas.ChangedBounds(box));
}

TEST_P(GdiplusRender, UnscaledDrawCopiesThePixelsExactly) {
    c32bppDIB src;
    ASSERT_TRUE(src.InitializeDIB(7, 5));
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 7; ++x)
            SetPixel(src, x, y, Opaque(uint8_t(x * 30), uint8_t(y * 50), uint8_t(200 - x * y)));
    Canvas canvas(12, 10, kBlack);
    ASSERT_TRUE(Draw(src, canvas, 3, 2, 7, 5));
    RECT box;
    ASSERT_TRUE(canvas.ChangedBounds(box));
    EXPECT_EQ(box.left, 3);
    EXPECT_EQ(box.top, 2);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 7; ++x)
            ASSERT_EQ(canvas.At(3 + x, 2 + y), PixelAt(src, x, y)) << x << "," << y;
}

TEST_P(GdiplusRender, PremultipliedPixelsBlendOverTheDestination) {
    c32bppDIB src;
    ASSERT_TRUE(src.InitializeDIB(4, 4));
    FillRect(src, 0, 0, 4, 2, Premultiplied(255, 0, 0, 128)); // half-transparent red
    // bottom half fully transparent
    Canvas canvas(4, 4, Opaque(0, 0, 200));
    ASSERT_TRUE(Draw(src, canvas, 0, 0, 4, 4));
    // out = src + dst * (255 - a) / 255
    const Bgra want = {static_cast<uint8_t>(200 * 127 / 255), 0, 128, 255};
    EXPECT_TRUE(Near(canvas.At(1, 1), want, 2)) << canvas.At(1, 1);
    EXPECT_EQ(canvas.At(1, 3), Opaque(0, 0, 200));
}

TEST_P(GdiplusRender, ScalesWithTheChosenInterpolation) {
    c32bppDIB src;
    MakeQuadrants(src, 8, 8);
    Canvas canvas(40, 40, kBlack);
    ASSERT_TRUE(Draw(src, canvas, 4, 4, 32, 32));
    ExpectQuadrants(canvas, 4, 4, 32, 32, kRed, kGreen, kBlue, kWhite, 4);
    // Nearest neighbour: only the source's colours appear.
    for (int32_t y = 8; y < 32; ++y)
        for (int32_t x = 8; x < 32; ++x) {
            const Bgra p = canvas.At(x, y);
            ASSERT_TRUE(p == kRed || p == kGreen || p == kBlue || p == kWhite) << p;
        }

    // High quality blends across the quadrant borders.
    Canvas smooth(40, 40, kBlack);
    ASSERT_TRUE(Draw(src, smooth, 4, 4, 32, 32, 100, -1, 0, 0, true));
    ExpectQuadrants(smooth, 4, 4, 32, 32, kRed, kGreen, kBlue, kWhite, 6);
    // Somewhere between red and green both show.
    bool blended = false;
    for (int32_t x = 12; x < 28; ++x)
        blended = blended || (smooth.At(x, 10).r > 0 && smooth.At(x, 10).g > 0);
    EXPECT_TRUE(blended);
}

TEST_P(GdiplusRender, OpacityScalesTheSource) {
    c32bppDIB src;
    MakeQuadrants(src, 8, 8);
    Canvas canvas(8, 8, Opaque(0, 0, 255));
    ASSERT_TRUE(Draw(src, canvas, 0, 0, 8, 8, 50));
    // Red at half strength over blue.
    EXPECT_TRUE(Near(canvas.At(1, 1), Bgra{127, 0, 127, 255}, 2)) << canvas.At(1, 1);
    EXPECT_TRUE(Near(canvas.At(6, 6), Bgra{255, 127, 127, 255}, 2)) << canvas.At(6, 6);

    // Over a transparent destination the result's alpha is the opacity.
    Canvas clear(8, 8, Bgra{});
    ASSERT_TRUE(Draw(src, clear, 0, 0, 8, 8, 25));
    EXPECT_TRUE(Near(clear.At(6, 6), Bgra{64, 64, 64, 64}, 2)) << clear.At(6, 6);
}

TEST_P(GdiplusRender, GrayscaleWeighsTheChannels) {
    c32bppDIB src;
    MakeQuadrants(src, 8, 8);
    struct Case {
        int32_t kind;
        uint8_t redGray, greenGray;
    };
    // kind 2: (0.333, 0.334, 0.333); kind 0: (0.299, 0.587, 0.114); kind 3: (0.8, 0.1, 0.1)
    for (const Case c : {Case{2, 85, 85}, Case{0, 76, 150}, Case{3, 204, 26}}) {
        SCOPED_TRACE(c.kind);
        Canvas canvas(8, 8, kBlack);
        ASSERT_TRUE(Draw(src, canvas, 0, 0, 8, 8, 100, c.kind));
        EXPECT_TRUE(Near(canvas.At(1, 1), Opaque(c.redGray, c.redGray, c.redGray), 1))
            << canvas.At(1, 1);
        EXPECT_TRUE(Near(canvas.At(6, 1), Opaque(c.greenGray, c.greenGray, c.greenGray), 1))
            << canvas.At(6, 1);
        EXPECT_TRUE(Near(canvas.At(6, 6), kWhite, 1)) << canvas.At(6, 6);
    }
    // With partial opacity the gray image is scaled too.
    Canvas canvas(8, 8, kBlack);
    ASSERT_TRUE(Draw(src, canvas, 0, 0, 8, 8, 50, 2));
    EXPECT_TRUE(Near(canvas.At(1, 1), Opaque(42, 42, 42), 2)) << canvas.At(1, 1);
}

TEST_P(GdiplusRender, LightnessAddsToEveryChannel) {
    c32bppDIB src;
    MakeQuadrants(src, 8, 8);
    Canvas brighter(8, 8, kBlack);
    ASSERT_TRUE(Draw(src, brighter, 0, 0, 8, 8, 100, -1, 50));
    EXPECT_TRUE(Near(brighter.At(1, 1), Opaque(255, 127, 127), 2)) << brighter.At(1, 1);
    Canvas darker(8, 8, kBlack);
    ASSERT_TRUE(Draw(src, darker, 0, 0, 8, 8, 100, -1, -100));
    EXPECT_EQ(darker.At(6, 6), kBlack);
    // Lightness after grayscale, and with partial opacity.
    Canvas both(8, 8, kBlack);
    ASSERT_TRUE(Draw(src, both, 0, 0, 8, 8, 100, 2, 20));
    EXPECT_TRUE(Near(both.At(1, 1), Opaque(136, 136, 136), 2)) << both.At(1, 1);
    Canvas faint(8, 8, kBlack);
    ASSERT_TRUE(Draw(src, faint, 0, 0, 8, 8, 50, -1, -100));
    EXPECT_TRUE(Near(faint.At(6, 6), kBlack, 1)) << faint.At(6, 6);
}

TEST_P(GdiplusRender, NegativeExtentsMirror) {
    c32bppDIB src;
    MakeQuadrants(src, 16, 16);
    Canvas leftRight(20, 20, kBlack);
    ASSERT_TRUE(Draw(src, leftRight, 2, 2, -16, 16));
    ExpectQuadrants(leftRight, 2, 2, 16, 16, kGreen, kRed, kWhite, kBlue);
    Canvas topBottom(20, 20, kBlack);
    ASSERT_TRUE(Draw(src, topBottom, 2, 2, 16, -16));
    ExpectQuadrants(topBottom, 2, 2, 16, 16, kBlue, kWhite, kRed, kGreen);
    Canvas both(20, 20, kBlack);
    ASSERT_TRUE(Draw(src, both, 2, 2, -16, -16));
    ExpectQuadrants(both, 2, 2, 16, 16, kWhite, kBlue, kGreen, kRed);
}

TEST_P(GdiplusRender, MirroredPartOfTheSourceIsThatPart) {
    // Left half only: red over blue, mirrored left to right, stays red over blue.
    c32bppDIB src;
    MakeQuadrants(src, 16, 16);
    Canvas canvas(20, 20, kBlack);
    ASSERT_TRUE(cGDIPlus().RenderGDIplus(src, canvas.dc(), 0, 100, 2, 2, -8, 16, 0, 0, 8, 16, false,
                                         -1, token(), 0));
    for (int32_t y = 4; y < 16; ++y)
        for (int32_t x = 3; x < 9; ++x)
            ASSERT_EQ(canvas.At(x, y), y < 10 ? kRed : kBlue) << x << "," << y;
    // Top half only, mirrored top to bottom: green shows on the right.
    Canvas flipped(20, 20, kBlack);
    ASSERT_TRUE(cGDIPlus().RenderGDIplus(src, flipped.dc(), 0, 100, 2, 2, 16, -8, 0, 0, 16, 8,
                                         false, -1, token(), 0));
    EXPECT_EQ(flipped.At(5, 6), kRed);
    EXPECT_EQ(flipped.At(14, 6), kGreen);
}

TEST_P(GdiplusRender, RotationTurnsAboutTheDestinationCentre) {
    c32bppDIB src;
    MakeQuadrants(src, 100, 50);
    Canvas canvas(140, 120, kBlack);
    ASSERT_TRUE(Draw(src, canvas, 10, 30, 100, 50, 100, -1, 0, 90));
    RECT box;
    ASSERT_TRUE(canvas.ChangedBounds(box));
    // A 50 x 100 box centred on (60, 55).
    EXPECT_NEAR((box.left + box.right) / 2.0, 60, 1.5);
    EXPECT_NEAR((box.top + box.bottom) / 2.0, 55, 1.5);
    EXPECT_NEAR(box.right - box.left, 50, 2);
    EXPECT_NEAR(box.bottom - box.top, 100, 2);
    // Clockwise on the screen: the top-left quadrant ends top right.
    ExpectQuadrants(canvas, 35, 5, 50, 100, kBlue, kRed, kWhite, kGreen);
}

TEST_P(GdiplusRender, RotationKeepsMirroringAndOpacity) {
    c32bppDIB src;
    MakeQuadrants(src, 40, 40);
    // 180 degrees of a left-right mirror is a top-bottom mirror.
    Canvas canvas(60, 60, kBlack);
    ASSERT_TRUE(Draw(src, canvas, 50, 10, -40, 40, 100, -1, 0, 180));
    ExpectQuadrants(canvas, 10, 10, 40, 40, kBlue, kWhite, kRed, kGreen);

    Canvas faint(60, 60, kBlack);
    ASSERT_TRUE(Draw(src, faint, 10, 10, 40, 40, 50, -1, 0, 180));
    EXPECT_TRUE(Near(faint.At(40, 40), Opaque(127, 0, 0), 2)) << faint.At(40, 40);
    EXPECT_TRUE(Near(faint.At(20, 20), Opaque(127, 127, 127), 2)) << faint.At(20, 20);
}

TEST_P(GdiplusRender, RefusesWhatItCannotDraw) {
    c32bppDIB empty;
    Canvas canvas(8, 8, kBlack);
    EXPECT_FALSE(Draw(empty, canvas, 0, 0, 8, 8));
    c32bppDIB src;
    MakeQuadrants(src, 8, 8);
    EXPECT_FALSE(cGDIPlus().RenderGDIplus(src, nullptr, 0, 100, 0, 0, 8, 8, 0, 0, 8, 8, false, -1,
                                          token(), 0));
    EXPECT_FALSE(Draw(src, canvas, 0, 0, INT32_MIN, 8));
    RECT box;
    EXPECT_FALSE(canvas.ChangedBounds(box));
}

INSTANTIATE_TEST_SUITE_P(Tokens, GdiplusRender, ::testing::Bool(), TokenRouteName);

} // namespace
} // namespace moirelle::test

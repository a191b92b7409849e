// The image object's drawing on Windows: the AlphaBlend and software roads onto device
// contexts and host images, centring, rotation, drop shadows.
#include "dib/BlendPixels.h"
#include "dib/win/c32bppDIB.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace moirelle {
namespace {

using test::PixelAt;

void FillRandom(c32bppDIB& dib, uint32_t seed) {
    test::FillRandomPremultiplied(dib.View(), seed);
}

void Fill(c32bppDIB& dib, uint32_t bgra) {
    uint8_t* p = dib.BitsPointer();
    for (int32_t i = 0; i < dib.Width() * dib.Height(); ++i)
        std::memcpy(p + 4 * i, &bgra, 4);
}

uint32_t At(const c32bppDIB& dib, int32_t x, int32_t y) {
    GdiFlush();
    return test::Packed(dib.View(), x, y);
}

// Largest difference of any byte of the two images (bytes 0..3 of each pixel, or only
// the colour bytes).
int MaxDifference(const c32bppDIB& a, const c32bppDIB& b, bool withAlpha) {
    GdiFlush();
    int worst = 0;
    for (int32_t i = 0; i < a.Width() * a.Height() * 4; ++i) {
        if (!withAlpha && i % 4 == 3) continue;
        worst = std::max(worst, std::abs(a.BitsPointer()[i] - b.BitsPointer()[i]));
    }
    return worst;
}

TEST(Render, RefusesAndAcceptsAsDocumented) {
    c32bppDIB empty;
    c32bppDIB host;
    ASSERT_TRUE(host.InitializeDIB(4, 4));
    EXPECT_FALSE(empty.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, true, true, &host));
    EXPECT_FALSE(empty.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, true, true, &host));
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(4, 4));
    Fill(img, 0xFF102030);
    EXPECT_FALSE(img.Render(nullptr)); // no destination at all
    // Opacity 0: true, nothing drawn.
    EXPECT_TRUE(img.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, true, true, &host));
    EXPECT_EQ(At(host, 1, 1), 0u);
    // Drawing into itself is refused.
    EXPECT_FALSE(img.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, true, true, &img));
    // A source rectangle starting outside the image draws nothing.
    EXPECT_FALSE(img.Render(nullptr, 0, 0, 0, 0, 4, 0, 0, 0, 100, true, true, &host));
    EXPECT_TRUE(img.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, true, true, &host));
    EXPECT_EQ(At(host, 3, 3), 0xFF102030u);
}

// A destination wholly right of or below the host: every pixel is skipped and the draw
// succeeds, on the software road as on AlphaBlend's; wholly left of or above it nothing
// is left after the software road's clipping and the draw fails.
TEST(Render, DestinationsOutsideTheHost) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(4, 4));
    Fill(img, 0xFF102030);
    img.isGDIplusEnabled(false);
    struct Case {
        int32_t x, y;
        bool answer;
    };
    for (bool friendly : {false, true}) {
        img.isAlphaBlendFriendly(friendly);
        for (const Case c : {Case{10, 0, true}, Case{0, 4, true}, Case{4, 9, true},
                             Case{-4, 0, false}, Case{0, -10, false}}) {
            if (friendly && !c.answer) continue;
            c32bppDIB host;
            ASSERT_TRUE(host.InitializeDIB(4, 4));
            Fill(host, 0xFF808080);
            EXPECT_EQ(img.Render(nullptr, c.x, c.y, 0, 0, 0, 0, 0, 0, 100, true, true, &host),
                      c.answer)
                << c.x << "," << c.y << (friendly ? " AlphaBlend" : " software");
            for (int32_t i = 0; i < 16; ++i)
                EXPECT_EQ(At(host, i % 4, i / 4), 0xFF808080u) << "nothing drawn";
        }
    }
}

// The same jobs drawn by the system's AlphaBlend and by the software road differ by at
// most one level: the system rounds where the software road truncates.
TEST(Render, AlphaBlendAndSoftwareRoadsAgree) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(37, 23));
    FillRandom(img, 21);
    img.isGDIplusEnabled(false); // the software road when AlphaBlend is off
    ASSERT_TRUE(img.isAlphaBlendFriendly()) << "the system offers AlphaBlend";
    for (int32_t opacity : {100, 50, 13}) {
        c32bppDIB viaSystem, viaSoftware;
        ASSERT_TRUE(viaSystem.InitializeDIB(40, 30));
        ASSERT_TRUE(viaSoftware.InitializeDIB(40, 30));
        FillRandom(viaSystem, 5);
        FillRandom(viaSoftware, 5);
        img.isAlphaBlendFriendly(true);
        ASSERT_TRUE(img.Render(nullptr, 2, 3, 0, 0, 0, 0, 0, 0, opacity, true, true, &viaSystem));
        img.isAlphaBlendFriendly(false);
        ASSERT_TRUE(img.Render(nullptr, 2, 3, 0, 0, 0, 0, 0, 0, opacity, true, true, &viaSoftware));
        EXPECT_LE(MaxDifference(viaSystem, viaSoftware, true), 1) << opacity;
    }
}

TEST(Render, SoftwareRoadOntoHostUsesTheFormulasExactly) {
    c32bppDIB img, host;
    ASSERT_TRUE(img.InitializeDIB(16, 8));
    ASSERT_TRUE(host.InitializeDIB(16, 8));
    FillRandom(img, 2);
    FillRandom(host, 3);
    std::vector<uint8_t> expected(host.BitsPointer(), host.BitsPointer() + 16 * 8 * 4);
    for (size_t i = 0; i < expected.size(); i += 4)
        BlendPixel(img.BitsPointer() + i, expected.data() + i, 4, 127, nullptr);
    img.isAlphaBlendFriendly(false);
    img.isGDIplusEnabled(false);
    ASSERT_TRUE(img.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 50, true, true, &host));
    EXPECT_EQ(std::memcmp(host.BitsPointer(), expected.data(), expected.size()), 0);
}

// Every grayscale kind's three weights, read back through Render: ramps of pure red,
// green and blue (all 256 levels each) give round(level * weight) in single precision,
// which moves with any weight changed in its third decimal.
TEST(Render, GrayscaleKindsWeighTheChannelsAsTheirTable) {
    struct Weights {
        int32_t kind;
        float red, green, blue;
    };
    const Weights table[] = {
        {1, 0.213f, 0.715f, 0.072f},  {2, 0.333f, 0.334f, 0.333f}, {3, 0.8f, 0.1f, 0.1f},
        {4, 0.1f, 0.8f, 0.1f},        {5, 0.1f, 0.1f, 0.8f},       {6, 0.45f, 0.45f, 0.1f},
        {7, 0.1f, 0.45f, 0.45f},      {0, 0.299f, 0.587f, 0.114f}, {8, 0.299f, 0.587f, 0.114f},
        {-7, 0.299f, 0.587f, 0.114f},
    };
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(256, 3));
    for (int32_t v = 0; v < 256; ++v) {
        const uint8_t b = static_cast<uint8_t>(v);
        test::SetPixel(img.View(), v, 0, 0, 0, b, 255); // red
        test::SetPixel(img.View(), v, 1, 0, b, 0, 255); // green
        test::SetPixel(img.View(), v, 2, b, 0, 0, 255); // blue
    }
    img.isAlphaBlendFriendly(false);
    img.isGDIplusEnabled(false);
    for (const Weights& w : table) {
        c32bppDIB host;
        ASSERT_TRUE(host.InitializeDIB(256, 3));
        ASSERT_TRUE(img.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, true, true, &host, w.kind));
        const float weights[3] = {w.red, w.green, w.blue};
        for (int32_t row = 0; row < 3; ++row)
            for (int32_t v = 0; v < 256; ++v) {
                const uint32_t g =
                    static_cast<uint32_t>(std::nearbyint(static_cast<float>(v) * weights[row]));
                ASSERT_EQ(At(host, v, row), 0xFF000000u | g << 16 | g << 8 | g)
                    << "kind " << w.kind << ", channel " << row << ", level " << v;
            }
    }
}

// Lightness and opacity together: the lightened pixel (+40: delta = 102 * a / 255,
// colours capped at alpha) blended at constant alpha 127 (k = 255 - a * 127 / 255).
TEST(Render, LightnessAndOpacityTogether) {
    c32bppDIB img, host;
    ASSERT_TRUE(img.InitializeDIB(2, 1));
    ASSERT_TRUE(host.InitializeDIB(2, 1));
    test::SetPixel(img.View(), 0, 0, 10, 100, 200, 200);
    test::SetPixel(img.View(), 1, 0, 0, 0, 0, 255);
    Fill(host, 0x80408020);
    img.isAlphaBlendFriendly(false);
    img.isGDIplusEnabled(false);
    ASSERT_TRUE(img.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 50, true, true, &host, -1, 40));
    // Pixel 0: delta 80 gives 90, 180, 200 (capped); k = 255 - 99 = 156.
    // Pixel 1: delta 102 gives 102 each; k = 255 - 127 = 128.
    auto blend = [](uint32_t d, uint32_t s, uint32_t k) { return (d * k + s * 127) / 255; };
    const uint32_t p0 = blend(0x80, 200, 156) << 24 | blend(0x40, 200, 156) << 16 |
                        blend(0x80, 180, 156) << 8 | blend(0x20, 90, 156);
    const uint32_t p1 = blend(0x80, 255, 128) << 24 | blend(0x40, 102, 128) << 16 |
                        blend(0x80, 102, 128) << 8 | blend(0x20, 102, 128);
    EXPECT_EQ(At(host, 0, 0), p0);
    EXPECT_EQ(At(host, 1, 0), p1);
}

// A device context destination: the software road reads the pixels through a 24-bit
// copy, blends and writes back only the destination rectangle.
TEST(Render, SoftwareRoadOntoADeviceContext) {
    c32bppDIB canvas;
    ASSERT_TRUE(canvas.InitializeDIB(10, 6));
    Fill(canvas, 0x00FFFFFF); // white, alpha byte 0
    HDC dc = canvas.LoadDIBinDC(true);
    ASSERT_NE(dc, nullptr);
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(2, 2));
    Fill(img, 0x80000080); // blue 128, alpha 128
    img.isAlphaBlendFriendly(false);
    img.isGDIplusEnabled(false);
    ASSERT_TRUE(img.Render(dc, 3, 2));
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x < 5 && y >= 2 && y < 4;
            // 255 * 127 / 255 + 128 = 255 for blue, 127 for green and red.
            EXPECT_EQ(At(canvas, x, y) & 0xFFFFFF, inside ? 0x7F7FFFu : 0xFFFFFFu) << x << "," << y;
        }
    // Grayscale kind 2 of opaque red gives 85 everywhere.
    Fill(img, 0xFFFF0000);
    ASSERT_TRUE(img.Render(dc, 0, 0, 0, 0, 0, 0, 0, 0, 100, true, true, nullptr, 2));
    EXPECT_EQ(At(canvas, 1, 1) & 0xFFFFFF, 0x555555u);
    canvas.LoadDIBinDC(false);
}

TEST(Render, CentredUnrotatedDrawCoversTheRightRectangle) {
    c32bppDIB img, host;
    ASSERT_TRUE(img.InitializeDIB(100, 50));
    ASSERT_TRUE(host.InitializeDIB(300, 200));
    Fill(img, 0xFF00FF00);
    ASSERT_TRUE(
        img.Render(nullptr, 200, 100, 0, 0, 0, 0, 0, 0, 100, true, true, &host, -1, 0, 0, true));
    EXPECT_EQ(At(host, 150, 75), 0xFF00FF00u);
    EXPECT_EQ(At(host, 249, 124), 0xFF00FF00u);
    EXPECT_EQ(At(host, 149, 75), 0u);
    EXPECT_EQ(At(host, 250, 124), 0u);
    EXPECT_EQ(At(host, 150, 125), 0u);
}

TEST(Render, MirroredAndScaledSoftwareDraws) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(8, 4));
    test::FillPositions(img.View());
    img.isAlphaBlendFriendly(false);
    img.isGDIplusEnabled(false);
    img.HighQualityInterpolation(false);
    c32bppDIB host;
    ASSERT_TRUE(host.InitializeDIB(16, 8));
    // Mirror asked on the source side; the destination is twice the size.
    ASSERT_TRUE(img.Render(nullptr, 0, 0, 16, 8, 0, 0, -8, 4, 100, true, true, &host));
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 16; ++x)
            EXPECT_EQ(At(host, x, y), At(img, 7 - x / 2, y / 2)) << x << "," << y;
}

TEST(Render, QuarterTurnWithoutGdiplus) {
    c32bppDIB img, host;
    ASSERT_TRUE(img.InitializeDIB(100, 100));
    ASSERT_TRUE(host.InitializeDIB(100, 100));
    test::FillPositions(img.View());
    img.isGDIplusEnabled(false);
    img.HighQualityInterpolation(false);
    ASSERT_TRUE(img.Render(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 100, true, true, &host, -1, 0, 90));
    for (int32_t y = 0; y < 100; y += 7)
        for (int32_t x = 0; x < 100; x += 3)
            EXPECT_EQ(At(host, x, y), At(img, y, 99 - x));
}

TEST(DropShadow, MadeAndDrawn) {
    c32bppDIB empty;
    EXPECT_EQ(empty.CreateDropShadow(), nullptr);
    c32bppDIB canvas;
    ASSERT_TRUE(canvas.InitializeDIB(40, 40));
    HDC dc = canvas.LoadDIBinDC(true);
    EXPECT_FALSE(empty.RenderDropShadow_JIT(dc, 0, 0));
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(10, 10));
    Fill(img, 0xFFFFFFFF);
    img.gdiToken(0);
    auto shadow = img.CreateDropShadow(4, 0x0000FF);
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->Width(), 18);
    EXPECT_EQ(shadow->ImageType(), imgAlphaPremultiplied);
    EXPECT_TRUE(shadow->Alpha());
    EXPECT_EQ(At(*shadow, 9, 9), 0xFFFF0000u);
    // Drawn at 100 %: the opaque red centre replaces the canvas' black.
    ASSERT_TRUE(img.RenderDropShadow_JIT(dc, 5, 5, 4, 0x0000FF, 100));
    canvas.LoadDIBinDC(false);
    EXPECT_EQ(At(canvas, 14, 14) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(At(canvas, 4, 4) & 0xFFFFFF, 0u);
}

} // namespace
} // namespace moirelle

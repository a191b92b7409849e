#include "dib/DropShadow.h"
#include "dib/MemoryImage.h"
#include "dib/PixelEffects.h"
#include "dib/RenderKernels.h"
#include "dib/RotateSource.h"
#include "dib/ShadowRowFrame.h"
#include "dib/SoftwareRender.h"
#include "dib/VectorLevel.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace moirelle {
namespace {

using test::Packed;

TEST(Rotation, AnglesAndCanvasSize) {
    EXPECT_EQ(WholeDegrees(30.4f), 30);
    EXPECT_EQ(WholeDegrees(0.5f), 0); // ties to even
    EXPECT_EQ(WholeDegrees(1.5f), 2);
    EXPECT_EQ(WholeDegrees(-450.0f), -90);
    EXPECT_EQ(RotatedCanvasSize(100, 100), 141);
    EXPECT_EQ(RotatedCanvasSize(1920, 1080), 2203);
}

TEST(Rotation, QuarterTurnLandsExactlyOnTheDestination) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(100, 100));
    test::FillPositions(img.View());
    RenderRequest r;
    r.destWidth = r.destHeight = r.srcWidth = r.srcHeight = 100;
    r.Angle = 90;
    MemoryImage canvas;
    int32_t x = 0, y = 0;
    ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, false, canvas, x, y));
    ASSERT_EQ(canvas.Width(), 141);
    EXPECT_EQ(x, -20); // centred: 0 + 50 - 70
    EXPECT_EQ(y, -20);
    // Clockwise on screen: destination (dx, dy) shows source (dy, 99 - dx).
    for (int32_t dy = 0; dy < 100; ++dy)
        for (int32_t dx = 0; dx < 100; ++dx)
            ASSERT_EQ(Packed(canvas.View(), dx - x, dy - y), Packed(img.View(), dy, 99 - dx))
                << dx << "," << dy;
    // Everything else of the canvas stays transparent.
    size_t visible = 0;
    for (int32_t v = 0; v < 141; ++v)
        for (int32_t u = 0; u < 141; ++u)
            visible += Packed(canvas.View(), u, v) != 0;
    EXPECT_EQ(visible, 100u * 100u);
}

bool SameCanvas(const MemoryImage& a, const MemoryImage& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::equal(a.BitsPointer(), a.BitsPointer() + a.View().size(), b.BitsPointer());
}

TEST(Rotation, SubRectangleIsTurnedAboutItsOwnCentre) {
    // A rectangle inside the image turns exactly as the same pixels cut out on their own.
    MemoryImage img, crop;
    ASSERT_TRUE(img.InitializeDIB(40, 30));
    ASSERT_TRUE(crop.InitializeDIB(10, 8));
    test::FillPositions(img.View());
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 10; ++x)
            std::memcpy(test::PixelAt(crop.View(), x, y), test::PixelAt(img.View(), 12 + x, 5 + y),
                        4);
    for (float angle : {0.5f, 90.0f, 180.0f, 270.0f}) {
        RenderRequest r;
        r.destX = 3, r.destY = 4, r.destWidth = 10, r.destHeight = 8;
        r.srcWidth = 10, r.srcHeight = 8;
        r.Angle = angle;
        MemoryImage whole, part;
        int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        ASSERT_TRUE(PrepareRotatedCanvas(crop.View(), r, false, whole, x1, y1));
        r.SrcX = 12, r.SrcY = 5;
        ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, false, part, x2, y2));
        EXPECT_EQ(x1, x2);
        EXPECT_EQ(y1, y2);
        EXPECT_TRUE(SameCanvas(whole, part)) << angle;
    }
}

TEST(Rotation, MirroredAndScaledHalfTurn) {
    MemoryImage img, flipped;
    ASSERT_TRUE(img.InitializeDIB(6, 4));
    ASSERT_TRUE(flipped.InitializeDIB(6, 4));
    test::FillPositions(img.View());
    test::FillPositions(flipped.View());
    ASSERT_TRUE(MirrorPixels(flipped.View(), true, false));
    // A mirrored destination (negative width) draws as the mirrored image would.
    RenderRequest r;
    r.srcWidth = 6, r.srcHeight = 4;
    r.destX = 12, r.destWidth = -12, r.destHeight = 8;
    r.Angle = 180;
    MemoryImage mirrored, reference;
    int32_t x = 0, y = 0, rx = 0, ry = 0;
    ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, false, mirrored, x, y));
    r.destX = 0, r.destWidth = 12;
    ASSERT_TRUE(PrepareRotatedCanvas(flipped.View(), r, false, reference, rx, ry));
    EXPECT_EQ(x, rx);
    EXPECT_EQ(y, ry);
    EXPECT_TRUE(SameCanvas(mirrored, reference));
    // Half a turn of a left-right mirror is a top-bottom mirror: 12 x 8 opaque pixels,
    // top-left one from the bottom-left of the source.
    int32_t left = 99, top = 99, right = -1, bottom = -1;
    for (int32_t v = 0; v < mirrored.Height(); ++v)
        for (int32_t u = 0; u < mirrored.Width(); ++u)
            if (mirrored.PixelAt(u, v) != 0) {
                left = std::min(left, u), right = std::max(right, u);
                top = std::min(top, v), bottom = std::max(bottom, v);
            }
    EXPECT_EQ(right - left + 1, 12);
    EXPECT_EQ(bottom - top + 1, 8);
    EXPECT_EQ(mirrored.PixelAt(left, top), img.PixelAt(0, 3));
    EXPECT_EQ(mirrored.PixelAt(right, bottom), img.PixelAt(5, 0));
}

TEST(Rotation, UnturnedBilinearCopyKeepsEveryRow) {
    // At 0 degrees and natural size every sample falls on a pixel: the bilinear canvas
    // holds the same pixels as the nearest-neighbour one, with no row shifted.
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(21, 13));
    test::FillRandomPremultiplied(img.View(), 5);
    RenderRequest r;
    r.SrcX = 4, r.SrcY = 3, r.srcWidth = 11, r.srcHeight = 7;
    r.destWidth = 11, r.destHeight = 7;
    MemoryImage bilinear, nearest;
    int32_t x = 0, y = 0;
    ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, true, bilinear, x, y));
    ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, false, nearest, x, y));
    EXPECT_TRUE(SameCanvas(bilinear, nearest));
    size_t copied = 0;
    for (int32_t v = 0; v < 13; ++v)
        for (int32_t u = 0; u < 13; ++u)
            copied += nearest.PixelAt(u, v) != 0;
    EXPECT_GT(copied, 11u * 7u / 2);
}

TEST(Rotation, VectorisedBilinearGivesThePlainBytes) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(61, 47));
    test::FillRandomPremultiplied(img.View(), 17);
    for (float angle : {30.0f, -71.0f, 135.0f}) {
        RenderRequest r;
        r.SrcX = 3, r.SrcY = 2, r.srcWidth = 50, r.srcHeight = 40;
        r.destWidth = 77, r.destHeight = 33;
        r.Angle = angle;
        MemoryImage wide, narrow;
        int32_t x = 0, y = 0;
        ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, true, wide, x, y));
        {
            const ScopedVectorLevel plain(VectorLevel::Portable);
            ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, true, narrow, x, y));
        }
        EXPECT_TRUE(SameCanvas(wide, narrow)) << angle;
        size_t visible = 0;
        for (int32_t v = 0; v < wide.Height(); ++v)
            for (int32_t u = 0; u < wide.Width(); ++u)
                visible += wide.PixelAt(u, v) != 0;
        EXPECT_GT(visible, 77u * 33u / 2);
    }
}

// Sampling only what the destination shows: inside the visible rectangle (and its margin)
// the canvas is the whole canvas's, outside it transparent, so drawing either changes the
// destination alike. Windows cut on every side, at a corner, and one missing the canvas.
TEST(Rotation, VisibleWindowSamplesTheWholeCanvasPixels) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(57, 41));
    test::FillRandomPremultiplied(img.View(), 29);
    const SourceRect windows[] = {
        {10, 5, 30, 20}, {-50, -40, 70, 60}, {45, 30, 100, 100}, {500, 500, 10, 10}};
    for (bool bilinear : {false, true})
        for (float angle : {30.0f, -115.0f}) {
            RenderRequest r;
            r.SrcX = 2, r.SrcY = 1, r.srcWidth = 50, r.srcHeight = 37;
            r.destX = 3, r.destY = -4, r.destWidth = 61, r.destHeight = 29;
            r.Angle = angle;
            MemoryImage whole;
            int32_t x = 0, y = 0;
            ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, bilinear, whole, x, y));
            for (const SourceRect& seen : windows) {
                MemoryImage part;
                int32_t px = 0, py = 0;
                ASSERT_TRUE(PrepareRotatedCanvas(img.View(), r, bilinear, part, px, py, &seen));
                ASSERT_EQ(px, x);
                ASSERT_EQ(py, y);
                size_t shown = 0;
                for (int32_t v = 0; v < whole.Height(); ++v)
                    for (int32_t u = 0; u < whole.Width(); ++u) {
                        // Destination position of canvas pixel (u, v), picture coordinates.
                        const int32_t dx = x + u, dy = y + v;
                        const bool inside = dx >= seen.x - kVisibleMargin &&
                                            dx < seen.x + seen.width + kVisibleMargin &&
                                            dy >= seen.y - kVisibleMargin &&
                                            dy < seen.y + seen.height + kVisibleMargin;
                        const uint32_t expected = inside ? whole.PixelAt(u, v) : 0;
                        ASSERT_EQ(part.PixelAt(u, v), expected)
                            << bilinear << " " << angle << " " << seen.x << " at " << u << "," << v;
                        shown += expected != 0;
                    }
                if (seen.x < 100) {
                    EXPECT_GT(shown, 0u) << seen.x;
                }
            }
        }
}

uint32_t BruteForceShadowAlpha(const PixelView& src, int32_t x, int32_t y, int32_t r) {
    uint32_t sum = 0;
    for (int32_t yy = y - r; yy <= y; ++yy)
        for (int32_t xx = x - r; xx <= x; ++xx)
            if (xx >= 0 && yy >= 0 && xx < src.width && yy < src.height)
                sum += test::PixelAt(src, xx, yy)[3];
    return sum / static_cast<uint32_t>((r + 1) * (r + 1));
}

TEST(DropShadow, BoxSumsMatchBruteForceAtEveryDepth) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(13, 9));
    test::FillRandomPremultiplied(img.View(), 5);
    for (int32_t depth = -2; depth <= 12; ++depth) {
        MemoryImage shadow;
        ASSERT_TRUE(MakeDropShadow(img.View(), depth, 0x204080, shadow));
        const int32_t r = 2 * std::clamp(depth, 0, 10);
        ASSERT_EQ(shadow.Width(), 13 + r);
        ASSERT_EQ(shadow.Height(), 9 + r);
        EXPECT_TRUE(shadow.Alpha());
        EXPECT_EQ(shadow.ImageType(), imgAlphaPremultiplied);
        for (int32_t y = 0; y < shadow.Height(); ++y)
            for (int32_t x = 0; x < shadow.Width(); ++x) {
                const uint32_t a = BruteForceShadowAlpha(img.View(), x, y, r);
                const uint8_t* p = test::PixelAt(shadow.View(), x, y);
                ASSERT_EQ(p[3], a) << depth << " at " << x << "," << y;
                ASSERT_EQ(p[2], a == 255 ? 0x80 : a * 0x80 / 255);
                ASSERT_EQ(p[0], a == 255 ? 0x20 : a * 0x20 / 255);
            }
    }
}

TEST(DropShadow, OpaqueSquareAndColour) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(10, 10));
    std::fill(img.BitsPointer(), img.BitsPointer() + 400, uint8_t{255});
    MemoryImage shadow;
    ASSERT_TRUE(MakeDropShadow(img.View(), 4, 0x0000FF, shadow));
    ASSERT_EQ(shadow.Width(), 18);
    EXPECT_EQ(shadow.PixelAt(9, 9), 0xFFFF0000u); // 81 * 255 / 81, red
    EXPECT_EQ(shadow.PixelAt(0, 0) >> 24, 3u);    // 255 / 81
    // Half coverage: a * 255 / 255 for red.
    const uint32_t mid = shadow.PixelAt(0, 9);
    EXPECT_EQ(mid >> 24, 9u * 255 / 81); // one column, nine rows
    EXPECT_EQ((mid >> 16) & 0xFF, mid >> 24);
    EXPECT_EQ(mid & 0xFFFF, 0u);
}

TEST(DropShadow, DividerIsExactForEveryBox) {
    for (uint32_t n = 1; n <= 21; n += 2) {
        const uint32_t d = n * n;
        const BoxDivider divide(d);
        for (uint32_t s = 0; s <= 255 * d; ++s)
            ASSERT_EQ(divide(s), s / d) << s << "/" << d;
    }
}

TEST(DropShadow, NarrowDividerIsExactForEveryBoxOfSixteenBitSums) {
    for (uint32_t n = 3; n <= 15; n += 2) {
        const uint32_t d = n * n;
        const NarrowBoxDivider divide(d);
        for (uint32_t s = 0; s <= 255 * d; ++s)
            ASSERT_EQ(divide(s), s / d) << s << "/" << d;
    }
}

TEST(DropShadow, ColourFactorGivesEveryPremultipliedByte) {
    for (uint32_t byte = 0; byte < 255; ++byte)
        for (uint32_t a = 0; a < 256; ++a)
            ASSERT_EQ(a * ColourFactor(byte) >> 16, a * byte / 255) << a << " " << byte;
}

// Every box sum 0 .. 255 * n^2 at every box size, with five colours (a grey, two with two
// bytes alike, one with a byte of 255): an n-row picture whose column sums make the box at x of
// shadow row n - 1 sum to x. Alpha and colour bytes are checked against the rule.
TEST(DropShadow, EveryBoxSumGivesItsAlphaAndColour) {
    for (int32_t n = 1; n <= 21; n += 2) {
        const int32_t width = 255 * n * n + 1;
        std::vector<uint32_t> columns(static_cast<size_t>(width));
        for (int32_t x = 0; x < width; ++x) // box(x) - box(x - 1) = 1, box(-1) = 0
            columns[x] = (x == 0 ? 0u : 1u) + (x >= n ? columns[x - n] : 0u);
        MemoryImage img;
        ASSERT_TRUE(img.InitializeDIB(width, n));
        for (int32_t y = 0; y < n; ++y) // each column sum spread over the n rows
            for (int32_t x = 0; x < width; ++x) {
                const int32_t left = static_cast<int32_t>(columns[x]) - 255 * y;
                const uint8_t a = static_cast<uint8_t>(std::clamp(left, 0, 255));
                test::SetPixel(img.View(), x, y, a, a, a, a);
            }
        for (uint32_t colour : {0x51A93Cu, 0x404040u, 0x3C3CA9u, 0x51A9A9u, 0x80FF5Eu}) {
            MemoryImage shadow;
            ASSERT_TRUE(MakeDropShadow(img.View(), n / 2, colour, shadow));
            const uint32_t d = static_cast<uint32_t>(n * n);
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t a = static_cast<uint32_t>(x) / d;
                uint32_t expected = a << 24;
                for (int c = 0; c < 3; ++c) {
                    const uint32_t byte = colour >> (8 * c) & 0xFF; // red, green, blue
                    expected |= (a == 255 ? byte : a * byte / 255) << (16 - 8 * c);
                }
                ASSERT_EQ(shadow.PixelAt(x, n - 1), expected) << n << " at " << x;
            }
        }
    }
}

} // namespace
} // namespace moirelle

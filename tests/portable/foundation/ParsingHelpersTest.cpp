#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "formats/modParsers.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace moirelle::modParsers {
namespace {

// An image of one picture row per entry of `rows` (top row first), pixels as BGRA.
MemoryImage ImageFromRows(std::initializer_list<std::initializer_list<uint32_t>> rows) {
    MemoryImage img;
    const int32_t h = static_cast<int32_t>(rows.size());
    const int32_t w = static_cast<int32_t>(rows.begin()->size());
    EXPECT_TRUE(img.InitializeDIB(w, h));
    int32_t y = 0;
    for (const auto& row : rows) {
        uint8_t* p = img.View().row(h - 1 - y);
        for (uint32_t bgra : row) {
            p[0] = static_cast<uint8_t>(bgra >> 24);
            p[1] = static_cast<uint8_t>(bgra >> 16);
            p[2] = static_cast<uint8_t>(bgra >> 8);
            p[3] = static_cast<uint8_t>(bgra);
            p += 4;
        }
        ++y;
    }
    return img;
}

TEST(ScanWidth, PadsRowsToFourBytes) {
    EXPECT_EQ(ScanWidth(1, 1), 4);
    EXPECT_EQ(ScanWidth(1, 33), 8);
    EXPECT_EQ(ScanWidth(24, 3), 12);
    EXPECT_EQ(ScanWidth(24, 5), 16);
    EXPECT_EQ(ScanWidth(32, 7), 28);
    EXPECT_EQ(ScanWidth(4, 9), 8);
    // Hostile widths do not overflow.
    EXPECT_EQ(ScanWidth(32, 0x7fffffff), int64_t{0x7fffffff} * 4);
}

TEST(AnalyseAlpha, AllTransparentColouredImageIsOpaqueBitmap) {
    MemoryImage img = ImageFromRows({{0x10203000, 0x40506000}});
    bool hasAlpha = true;
    int32_t type = 0;
    AnalyseAlpha(img.View(), true, hasAlpha, type);
    EXPECT_EQ(type, imgBitmap);
    EXPECT_FALSE(hasAlpha);
    EXPECT_EQ(img.PixelAt(0, 0), 0xFF302010u) << "colours kept, alpha made opaque";
    EXPECT_EQ(img.PixelAt(1, 0), 0xFF605040u);
}

TEST(AnalyseAlpha, AllOpaqueIsBitmapAndUnchanged) {
    MemoryImage img = ImageFromRows({{0x102030FF, 0x405060FF}});
    bool hasAlpha = true;
    int32_t type = 0;
    AnalyseAlpha(img.View(), false, hasAlpha, type);
    EXPECT_EQ(type, imgBitmap);
    EXPECT_FALSE(hasAlpha);
}

TEST(AnalyseAlpha, ColourAboveAlphaIsStraightAndGetsPremultiplied) {
    // B 200, G 10, R 10, A 100 proves straight alpha.
    MemoryImage img = ImageFromRows({{0xC80A0A64, 0x000000FF, 0x11223300, 0x08080810}});
    bool hasAlpha = false;
    int32_t type = 0;
    AnalyseAlpha(img.View(), true, hasAlpha, type);
    EXPECT_EQ(type, imgAlphaStraight);
    EXPECT_TRUE(hasAlpha);
    EXPECT_EQ(img.PixelAt(0, 0), 0x6403034Eu); // (78, 3, 3, 100)
    EXPECT_EQ(img.PixelAt(1, 0), 0xFF000000u);
    EXPECT_EQ(img.PixelAt(2, 0), 0u) << "alpha 0 becomes 0,0,0,0";
    EXPECT_EQ(img.PixelAt(3, 0), 0x10000000u) << "8 * 16 / 255 truncates to 0";
}

TEST(AnalyseAlpha, ColouredTransparentPixelThenOpaqueIsStraight) {
    MemoryImage img = ImageFromRows({{0x11223300, 0x405060FF}});
    bool hasAlpha = false;
    int32_t type = 0;
    AnalyseAlpha(img.View(), false, hasAlpha, type);
    EXPECT_EQ(type, imgAlphaStraight);
    EXPECT_EQ(img.PixelAt(0, 0), 0x00332211u) << "without premultiply nothing changes";
}

TEST(AnalyseAlpha, BlackTransparentAndOpaqueIsPremultipliedAndUnchanged) {
    MemoryImage img = ImageFromRows({{0x00000000, 0x405060FF}, {0x20202080, 0x00000000}});
    bool hasAlpha = false;
    int32_t type = 0;
    AnalyseAlpha(img.View(), true, hasAlpha, type);
    EXPECT_EQ(type, imgAlphaPremultiplied);
    EXPECT_TRUE(hasAlpha);
    EXPECT_EQ(img.PixelAt(1, 0), 0xFF605040u);
    EXPECT_EQ(img.PixelAt(0, 1), 0x80202020u);
}

TEST(AnalyseAlpha, MinusOneSkipsTheScan) {
    MemoryImage img = ImageFromRows({{0xC80A0A64}});
    bool hasAlpha = true;
    int32_t type = -1;
    AnalyseAlpha(img.View(), true, hasAlpha, type);
    EXPECT_EQ(type, imgBitmap);
    EXPECT_FALSE(hasAlpha);
    EXPECT_EQ(img.PixelAt(0, 0), 0xFF0A0AC8u);
}

TEST(GrayscaleWeights, TableAndDefault) {
    const GrayWeights def = GrayscaleWeights(0);
    EXPECT_FLOAT_EQ(def.red, 0.299f);
    EXPECT_FLOAT_EQ(def.green, 0.587f);
    EXPECT_FLOAT_EQ(def.blue, 0.114f);
    EXPECT_FLOAT_EQ(GrayscaleWeights(8).green, 0.587f);
    EXPECT_FLOAT_EQ(GrayscaleWeights(1).green, 0.715f);
    EXPECT_FLOAT_EQ(GrayscaleWeights(7).blue, 0.45f);
    EXPECT_FLOAT_EQ(GrayscaleWeights(-1).red, 1.0f);
}

TEST(RegionRects, StylesOnOneRowWithAGap) {
    MemoryImage img = ImageFromRows({{0, 0, 0}, {0xFF, 0, 0x01}});
    EXPECT_EQ(RegionRectsFromAlpha(img.View(), true, regionExact),
              (std::vector<RegionRect>{{0, 1, 1, 2}, {2, 1, 3, 2}}));
    EXPECT_EQ(RegionRectsFromAlpha(img.View(), true, regionSpans),
              (std::vector<RegionRect>{{0, 1, 3, 2}}));
    EXPECT_EQ(RegionRectsFromAlpha(img.View(), true, regionBounds),
              (std::vector<RegionRect>{{0, 1, 3, 2}}));
}

TEST(RegionRects, BoundsOfASinglePixel) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(10, 10));
    img.View().row(10 - 1 - 7)[5 * 4 + 3] = 9; // picture pixel (5, 7)
    EXPECT_EQ(RegionRectsFromAlpha(img.View(), true, regionBounds),
              (std::vector<RegionRect>{{5, 7, 6, 8}}));
}

TEST(RegionRects, BoundsSpanSeveralRows) {
    MemoryImage img = ImageFromRows({{0, 0, 0, 0}, {0, 0, 0xFF, 0}, {0, 0, 0, 0}, {0xFF, 0, 0, 0}});
    EXPECT_EQ(RegionRectsFromAlpha(img.View(), true, regionBounds),
              (std::vector<RegionRect>{{0, 1, 3, 4}}));
}

TEST(RegionRects, RunsReachingTheRightEdgeEndAtTheWidth) {
    MemoryImage img = ImageFromRows({{0, 0xFF, 0xFF}, {0xFF, 0xFF, 0}});
    EXPECT_EQ(RegionRectsFromAlpha(img.View(), true, regionExact),
              (std::vector<RegionRect>{{1, 0, 3, 1}, {0, 1, 2, 2}}));
}

TEST(RegionRects, WithoutAlphaFlagTheWholeImageForEveryStyle) {
    MemoryImage img = ImageFromRows({{0, 0, 0}, {0, 0, 0}});
    for (int32_t style : {regionBounds, regionSpans, regionExact})
        EXPECT_EQ(RegionRectsFromAlpha(img.View(), false, style),
                  (std::vector<RegionRect>{{0, 0, 3, 2}}));
}

TEST(RegionRects, NoShapeNoRectangles) {
    MemoryImage img = ImageFromRows({{0, 0}, {0, 0}});
    for (int32_t style : {regionBounds, regionSpans, regionExact})
        EXPECT_TRUE(RegionRectsFromAlpha(img.View(), true, style).empty());
    EXPECT_TRUE(RegionRectsFromAlpha(PixelView{}, true, regionExact).empty());
}

} // namespace
} // namespace moirelle::modParsers

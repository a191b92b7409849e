// Effects, pixel access, block layouts and bitmap file bytes.
#include "dib/BitmapFile.h"
#include "dib/PixelBuffer.h"
#include "dib/PixelEffects.h"
#include "dib/PixelLayout.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <cstring>

namespace moirelle {
namespace {

using test::Packed;
using test::PixelAt;

TEST(PixelEffects, InversionKeepsPremultipliedFormAndUndoesItself) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(8, 8));
    test::FillRandomPremultiplied(buf.View(), 2);
    test::SetPixel(buf.View(), 0, 0, 10, 20, 30, 128);
    test::SetPixel(buf.View(), 1, 0, 10, 20, 30, 0);
    const PixelBuffer before = buf;
    InvertColours(buf.View());
    EXPECT_EQ(Packed(buf.View(), 0, 0), 0x80626C76u); // 118, 108, 98, 128
    EXPECT_EQ(Packed(buf.View(), 1, 0), Packed(before.View(), 1, 0));
    InvertColours(buf.View());
    EXPECT_EQ(std::memcmp(buf.View().bits, before.View().bits, buf.View().size()), 0);
}

TEST(PixelEffects, KeyColourNeedsAnExactOpaqueMatch) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(3, 1));
    const uint32_t key = OpaqueKey(0x0000FF); // red
    EXPECT_EQ(key, 0xFFFF0000u);
    test::SetPixel(buf.View(), 0, 0, 0, 0, 255, 255);
    test::SetPixel(buf.View(), 1, 0, 0, 0, 254, 254); // not opaque
    EXPECT_EQ(ClearKeyColour(buf.View(), key), 1u);
    EXPECT_EQ(Packed(buf.View(), 0, 0), 0u);
    EXPECT_EQ(Packed(buf.View(), 1, 0), 0xFEFE0000u);
    RestoreKeyColour(buf.View(), key); // every transparent black pixel, old or new
    EXPECT_EQ(Packed(buf.View(), 0, 0), key);
    EXPECT_EQ(Packed(buf.View(), 2, 0), key);
}

TEST(PixelEffects, MirrorBothWaysIsAHalfTurn) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(5, 3));
    test::FillPositions(buf.View());
    const PixelBuffer before = buf;
    EXPECT_FALSE(MirrorPixels(buf.View(), false, false));
    ASSERT_TRUE(MirrorPixels(buf.View(), true, true));
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            EXPECT_EQ(Packed(buf.View(), x, y), Packed(before.View(), 4 - x, 2 - y));
}

TEST(PixelEffects, CheckerBoardSquares) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(30, 20));
    EXPECT_FALSE(PaintCheckerBoard(buf.View(), 0, 0xFFFFFF, 0xC0C0C0));
    EXPECT_FALSE(PaintCheckerBoard(buf.View(), -3, 0xFFFFFF, 0xC0C0C0));
    EXPECT_EQ(Packed(buf.View(), 0, 0), 0u);
    ASSERT_TRUE(PaintCheckerBoard(buf.View(), 12, 0x0000FF, 0xFF0000));
    const uint32_t first = 0xFFFF0000u, second = 0xFF0000FFu;
    auto square = [&](int32_t x, int32_t y) { return Packed(buf.View(), x, y); };
    EXPECT_EQ(square(0, 0), first);
    EXPECT_EQ(square(11, 11), first);
    EXPECT_EQ(square(12, 0), second);
    EXPECT_EQ(square(24, 0), first);
    EXPECT_EQ(square(29, 11), first);
    EXPECT_EQ(square(0, 12), second); // the square below the first
    EXPECT_EQ(square(12, 19), first);
    EXPECT_EQ(square(29, 19), second);
}

TEST(PixelAccess, ReadPixelStraightAndPremultiplied) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(4, 3));
    test::SetPixel(buf.View(), 2, 1, 64, 32, 16, 128);
    int32_t alpha = -5;
    EXPECT_EQ(ReadPixel(buf.View(), 2, 1, alpha, true), 16 + 32 * 256 + 64 * 65536);
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(ReadPixel(buf.View(), 2, 1, alpha, false), 31 + 63 * 256 + 127 * 65536);
    EXPECT_EQ(ReadPixel(buf.View(), -1, 0, alpha, false), -1);
    EXPECT_EQ(alpha, 0);
    EXPECT_EQ(ReadPixel(buf.View(), 4, 0, alpha, false), -1);
    EXPECT_EQ(ReadPixel(buf.View(), 0, 3, alpha, false), -1);
}

TEST(PixelAccess, RowLengths) {
    BlockLayout l;
    l.bytes4 = false;
    EXPECT_EQ(BlockRowLength(5, l), 16);
    l.wordAligned = false;
    EXPECT_EQ(BlockRowLength(5, l), 15);
    l.bytes4 = true;
    EXPECT_EQ(BlockRowLength(5, l), 20);
}

TEST(PixelAccess, DefaultExportIsThePixelBuffer) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(7, 5));
    test::FillRandomPremultiplied(buf.View(), 9);
    ByteArray out;
    ASSERT_TRUE(ExportBlock(buf.View(), 0, 0, 0, 0, BlockLayout{}, true, true, out));
    ASSERT_EQ(out.bytes.size(), buf.View().size());
    EXPECT_EQ(std::memcmp(out.bytes.data(), buf.View().bits, out.bytes.size()), 0);
    EXPECT_EQ(out.bounds, (std::vector<int32_t>{28, 5}));
    ASSERT_TRUE(ExportBlock(buf.View(), 0, 0, 0, 0, BlockLayout{}, true, false, out));
    EXPECT_EQ(out.bounds, (std::vector<int32_t>{140}));
}

// Every layout: a block exported and imported into a fresh image lands in the same place
// with the same bytes (alpha bytes aside for 3-byte layouts).
TEST(PixelAccess, RoundTripsInEveryLayout) {
    PixelBuffer src;
    ASSERT_TRUE(src.Allocate(9, 6));
    test::FillRandomPremultiplied(src.View(), 4);
    for (int bits = 0; bits < 16; ++bits) {
        BlockLayout l;
        l.bgr = bits & 1;
        l.bytes4 = bits & 2;
        l.wordAligned = bits & 4;
        l.bottomUp = bits & 8;
        ByteArray out;
        ASSERT_TRUE(ExportBlock(src.View(), 2, 1, 5, 4, l, true, false, out));
        ASSERT_EQ(out.bytes.size(), static_cast<size_t>(BlockRowLength(5, l)) * 4);
        // The data must cover the image's height in rows.
        EXPECT_FALSE(ImportBlock(src.View(), out.bytes, 2, 1, 5, 4, l));
        std::vector<uint8_t> padded = out.bytes;
        padded.resize(static_cast<size_t>(BlockRowLength(5, l)) * 6);
        PixelBuffer dst;
        ASSERT_TRUE(dst.Allocate(9, 6));
        ASSERT_TRUE(ImportBlock(dst.View(), padded, 2, 1, 5, 4, l));
        for (int32_t y = 0; y < 6; ++y)
            for (int32_t x = 0; x < 9; ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
                const uint32_t mask = l.bytes4 ? 0xFFFFFFFFu : 0x00FFFFFFu;
                EXPECT_EQ(Packed(dst.View(), x, y), inside ? Packed(src.View(), x, y) & mask : 0u)
                    << bits << " at " << x << "," << y;
            }
        // The layout is what was asked for: check the first output byte.
        const int32_t firstRow = l.bottomUp ? 4 : 1;
        const uint8_t* p = PixelAt(src.View(), 2, firstRow);
        EXPECT_EQ(out.bytes[0], l.bgr ? p[0] : p[2]);
    }
}

TEST(PixelAccess, StraightExportAndRefusedBlocks) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(2, 1));
    test::SetPixel(buf.View(), 0, 0, 64, 32, 16, 128);
    ByteArray out;
    BlockLayout l;
    ASSERT_TRUE(ExportBlock(buf.View(), 0, 0, 0, 0, l, false, false, out));
    EXPECT_EQ(out.bytes[0], 127);
    EXPECT_EQ(out.bytes[1], 63);
    EXPECT_EQ(out.bytes[2], 31);
    EXPECT_EQ(out.bytes[3], 128);
    // Blocks that start outside the image are refused instead of sized negatively.
    EXPECT_FALSE(ExportBlock(buf.View(), 2, 0, 0, 0, l, true, false, out));
    EXPECT_FALSE(ExportBlock(buf.View(), -1, 0, 0, 0, l, true, false, out));
    const std::vector<uint8_t> data(64, 1);
    EXPECT_FALSE(ImportBlock(buf.View(), data, 0, 1, 0, 0, l));
    EXPECT_FALSE(ImportBlock(buf.View(), {}, 0, 0, 0, 0, l));
}

uint32_t Read32(const std::vector<uint8_t>& f, size_t at) {
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}

TEST(BitmapFile, ThirtyTwoAndTwentyFourBitFiles) {
    PixelBuffer buf;
    ASSERT_TRUE(buf.Allocate(3, 4));
    test::FillRandomPremultiplied(buf.View(), 8);
    std::vector<uint8_t> file;
    ASSERT_TRUE(BitmapFileBytes(buf.View(), true, file));
    ASSERT_EQ(file.size(), 54u + 12 * 4);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Read32(file, 2), file.size());
    EXPECT_EQ(Read32(file, 10), 54u);
    EXPECT_EQ(Read32(file, 14), 40u);
    EXPECT_EQ(Read32(file, 18), 3u);
    EXPECT_EQ(Read32(file, 22), 4u);
    EXPECT_EQ(file[28], 32);
    EXPECT_EQ(Read32(file, 34), 48u);
    EXPECT_EQ(std::memcmp(file.data() + 54, buf.View().bits, 48), 0);

    ASSERT_TRUE(BitmapFileBytes(buf.View(), false, file));
    ASSERT_EQ(file.size(), 54u + 12 * 4);
    EXPECT_EQ(file[28], 24);
    for (int32_t row = 0; row < 4; ++row) {
        const uint8_t* line = file.data() + 54 + 12 * row;
        for (int32_t x = 0; x < 3; ++x)
            EXPECT_EQ(std::memcmp(line + 3 * x, buf.View().row(row) + 4 * x, 3), 0);
        EXPECT_EQ(line[9] | line[10] | line[11], 0); // padding
    }
    PixelBuffer none;
    EXPECT_FALSE(BitmapFileBytes(none.View(), true, file));
}

} // namespace
} // namespace moirelle

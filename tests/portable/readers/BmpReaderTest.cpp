#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "formats/BmpCheck.h"
#include "formats/cBMPparser.h"
#include "tests/support/ReaderSamples.h"

#include <gtest/gtest.h>

namespace moirelle {
namespace {

using test::BuildBmp;
using test::Bytes;

// 2 x 2 rows, bottom row first, from BGRA pixels.
Bytes Rows(std::initializer_list<uint32_t> bgraBottomUp) {
    Bytes rows;
    for (uint32_t argb : bgraBottomUp)
        test::Put32(rows, argb);
    return rows;
}

TEST(BmpReader, ClassifiesThirtyTwoBitAlpha) {
    MemoryImage dib;
    // Alpha all 0: opaque, colours kept.
    ASSERT_TRUE(cBMPparser().LoadStream(
        BuildBmp(2, 2, 32, 0, Rows({0x00102030, 0x00405060, 0x00708090, 0x00A0B0C0})), dib, 0, 0));
    EXPECT_EQ(dib.ImageType(), imgBitmap);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 1), 0xFF102030u);
    EXPECT_EQ(dib.PixelAt(1, 0), 0xFFA0B0C0u);

    // Straight alpha is premultiplied.
    ASSERT_TRUE(cBMPparser().LoadStream(
        BuildBmp(2, 2, 32, 0, Rows({0x64C80A0A, 0xFF000000, 0x00FFFFFF, 0xFF112233})), dib, 0, 0));
    EXPECT_EQ(dib.ImageType(), imgAlphaStraight);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 1), 0x644E0303u);
    EXPECT_EQ(dib.PixelAt(0, 0), 0u);

    // Already premultiplied data stays as it is.
    const Bytes pre = BuildBmp(2, 2, 32, 0, Rows({0x80404040, 0x00000000, 0xFF010203, 0x10101010}));
    ASSERT_TRUE(cBMPparser().LoadStream(pre, dib, 0, 0));
    EXPECT_EQ(dib.ImageType(), imgAlphaPremultiplied);
    EXPECT_EQ(dib.PixelAt(0, 1), 0x80404040u);
    EXPECT_EQ(dib.PixelAt(1, 0), 0x10101010u);
}

TEST(BmpReader, TurnsTopDownFilesUpright) {
    // Negative height: the first stored row is the top one.
    MemoryImage dib;
    ASSERT_TRUE(cBMPparser().LoadStream(
        BuildBmp(1, -3, 32, 0, Rows({0xFF0000FF, 0xFF00FF00, 0xFFFF0000})), dib, 0, 0));
    ASSERT_EQ(dib.Height(), 3);
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFF0000FFu);
    EXPECT_EQ(dib.PixelAt(0, 2), 0xFFFF0000u);
}

TEST(BmpReader, LeavesOtherBitmapsToThePictureLoader) {
    MemoryImage dib;
    int32_t bits = 0;
    EXPECT_EQ(cBMPparser::LoadDirect(BuildBmp(1, 1, 24, 0, Bytes(4, 0)), dib, bits),
              cBMPparser::DirectResult::NotDirect);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(cBMPparser::LoadDirect(BuildBmp(1, 1, 32, 3, Bytes(4, 0)), dib, bits),
              cBMPparser::DirectResult::NotDirect);
    // Pixel data past the end of the slice is not read directly.
    Bytes shortData = BuildBmp(4, 4, 32, 0, Bytes(64, 0x7F));
    shortData.resize(shortData.size() - 1);
    EXPECT_EQ(cBMPparser::LoadDirect(shortData, dib, bits), cBMPparser::DirectResult::NotDirect);
    EXPECT_EQ(dib.BitsPointer(), nullptr);
    // Bad dimensions end the attempt.
    EXPECT_EQ(cBMPparser::LoadDirect(BuildBmp(0, 1, 32, 0, Bytes(4, 0)), dib, bits),
              cBMPparser::DirectResult::Refused);
    EXPECT_EQ(cBMPparser::LoadDirect(BuildBmp(1, 0, 32, 0, Bytes(4, 0)), dib, bits),
              cBMPparser::DirectResult::Refused);
    EXPECT_FALSE(cBMPparser().LoadStream(BuildBmp(-5, 1, 32, 0, Bytes(4, 0)), dib, 0, 0));
    EXPECT_EQ(cBMPparser::LoadDirect(Bytes{'G', 'I', 'F'}, dib, bits),
              cBMPparser::DirectResult::NotDirect);
    EXPECT_EQ(bits, 0);
}

TEST(BmpReader, RefusesHostileSizesWithoutReadingPastTheData) {
    MemoryImage dib;
    int32_t bits = 0;
    // Offsets and sizes whose products overflow 32 bits must not wrap into "fits".
    Bytes b = BuildBmp(1, 1, 32, 0, Bytes(4, 0));
    test::Set32(b, 10, 0xFFFFFFF0);
    EXPECT_EQ(cBMPparser::LoadDirect(b, dib, bits), cBMPparser::DirectResult::NotDirect);
    b = BuildBmp(1, 1, 32, 0, Bytes(4, 0));
    test::Set32(b, 18, 0x40000000);
    test::Set32(b, 22, 0x40000000);
    EXPECT_EQ(cBMPparser::LoadDirect(b, dib, bits), cBMPparser::DirectResult::NotDirect);
    test::Set32(b, 22, 0x80000000); // height INT32_MIN
    EXPECT_EQ(cBMPparser::LoadDirect(b, dib, bits), cBMPparser::DirectResult::NotDirect);
    EXPECT_EQ(dib.BitsPointer(), nullptr);
}

TEST(BmpReader, ReadsTheGivenSliceOnly) {
    const Bytes bmp = BuildBmp(1, 1, 32, 0, Rows({0xFF445566}));
    Bytes padded(3, 'B');
    padded.insert(padded.end(), bmp.begin(), bmp.end());
    MemoryImage dib;
    ASSERT_TRUE(cBMPparser().LoadStream(padded, dib, 3, bmp.size()));
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFF445566u);
    // One byte short of the pixel data within the slice: not read directly.
    EXPECT_FALSE(cBMPparser().LoadStream(padded, dib, 3, bmp.size() - 1));
}

TEST(BmpCheck, RefusesBitmapsThePictureLoaderWouldMisread) {
    Bytes palette(4 * 4, 0); // 4 entries
    Bytes b = BuildBmp(3, 2, 8, 0, {0, 1, 2, 0, 3, 2, 1, 0}, palette);
    EXPECT_TRUE(IsSoundBmp(b));
    b[14 + 40 + 16 + 1] = 4; // an index beyond the 4 entries
    EXPECT_FALSE(IsSoundBmp(b));

    // RLE8: a run of 3 in a 3-pixel row, end of line, an absolute run of 3, end.
    const Bytes rle = {3, 1, 0, 0, 0, 3, 2, 1, 0, 0, 0, 0, 0, 1};
    b = BuildBmp(3, 2, 8, 1, rle, palette);
    EXPECT_TRUE(IsSoundBmp(b));
    Bytes wide = rle;
    wide[0] = 4; // one pixel past the row
    EXPECT_FALSE(IsSoundBmp(BuildBmp(3, 2, 8, 1, wide, palette)));
    EXPECT_FALSE(IsSoundBmp(BuildBmp(3, 2, 8, 1, Bytes(rle.begin(), rle.end() - 2), palette)))
        << "no end of bitmap";
    EXPECT_FALSE(IsSoundBmp(BuildBmp(3, -2, 8, 1, rle, palette))) << "RLE cannot be top-down";

    // Header fields: planes, depth, palette count, claimed sizes.
    b = BuildBmp(3, 2, 8, 0, Bytes(8, 0), palette);
    Bytes bad = b;
    bad[26] = 2;
    EXPECT_FALSE(IsSoundBmp(bad));
    bad = b;
    bad[28] = 7;
    EXPECT_FALSE(IsSoundBmp(bad));
    bad = b;
    test::Set32(bad, 46, 300);
    EXPECT_FALSE(IsSoundBmp(bad));
    bad = b;
    bad.resize(bad.size() - 1);
    test::Set32(bad, 2, static_cast<uint32_t>(bad.size()));
    EXPECT_FALSE(IsSoundBmp(bad)) << "pixel rows cut short";
}

// An OS/2 bitmap (12-byte header, 3-byte palette entries) of 8 bits per pixel with
// `entries` palette entries and one 4-pixel row of the given indices.
Bytes Os2Bitmap(uint32_t entries, const Bytes& indices) {
    Bytes b{'B', 'M'};
    const uint32_t offset = 14 + 12 + 3 * entries;
    test::Put32(b, offset + 4);
    test::Put32(b, 0);
    test::Put32(b, offset);
    test::Put32(b, 12);
    test::Put16(b, 4);
    test::Put16(b, 1);
    test::Put16(b, 1);
    test::Put16(b, 8);
    for (uint32_t i = 0; i < entries; ++i)
        b.insert(b.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    b.insert(b.end(), indices.begin(), indices.end());
    return b;
}

TEST(BmpCheck, RefusesOnlyWhatCannotBeReadSafely) {
    const Bytes rgb24 = BuildBmp(3, 2, 24, 0, Bytes(2 * 12, 0x5A));
    auto withSizeField = [](Bytes b, uint32_t size) {
        test::Set32(b, 2, size);
        return b;
    };
    // A header of 16 bytes (OS/2) ends with the depth: nothing after it is a header field.
    Bytes short16 = BuildBmp(1, 1, 24, 0, Bytes(4, 0));
    test::Set32(short16, 14, 16);
    Bytes cut16(short16.begin(), short16.begin() + 30);
    test::Set32(cut16, 2, 30);
    struct Case {
        const char* what;
        Bytes data;
        bool sound;
    };
    const Case cases[] = {
        {"size field one byte too large", withSizeField(rgb24, uint32_t(rgb24.size() + 1)), true},
        {"size field of several gigabytes", withSizeField(rgb24, 0x7DDDDDDD), true},
        {"size field of the headers only", withSizeField(rgb24, 54), true},
        {"OS/2 palette of 252 of 256 entries", Os2Bitmap(252, {0, 17, 251, 3}), true},
        {"OS/2 palette of 1 entry", Os2Bitmap(1, {0, 0, 0, 0}), true},
        {"index beyond a short OS/2 palette", Os2Bitmap(252, {0, 252, 1, 2}), false},
        {"OS/2 header without a palette", Os2Bitmap(0, {0, 0, 0, 0}), false},
        {"16-byte header", short16, true},
        {"16-byte header, data ending with it", cut16, false},
        {"pixel rows one byte short", Bytes(rgb24.begin(), rgb24.end() - 1), false},
    };
    for (const Case& c : cases) {
        // An exact-size copy: a read past the end is a fault the sanitizer reports.
        const std::vector<uint8_t> exact(c.data);
        EXPECT_EQ(IsSoundBmp(exact), c.sound) << c.what;
    }
}

} // namespace
} // namespace moirelle

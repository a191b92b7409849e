#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "formats/cICOparser.h"
#include "tests/support/PngWriter.h"
#include "tests/support/ReaderSamples.h"

#include <gtest/gtest.h>

namespace moirelle {
namespace {

using test::BuildIcon;
using test::BuildIconBitmap;
using test::BuildIconBitmap32;
using test::Bytes;
using test::IconEntry;

IconEntry Solid32(uint8_t size, uint32_t argb) {
    IconEntry e;
    e.widthByte = e.heightByte = size;
    e.directoryBits = 32;
    e.image = BuildIconBitmap32(size, size, std::vector<uint32_t>(size_t{size} * size, argb));
    return e;
}

// Only the directory and the headers matter for the choice.
Bytes Directory(std::initializer_list<std::pair<uint8_t, uint16_t>> sizesAndBits) {
    std::vector<IconEntry> entries;
    for (auto [size, bits] : sizesAndBits) {
        IconEntry e;
        e.widthByte = e.heightByte = size;
        e.directoryBits = bits;
        e.image = BuildIconBitmap(1, 1, 0, {}, {}, {}); // header bit count 0: directory's
        entries.push_back(e);
    }
    return BuildIcon(1, entries);
}

TEST(IconReader, SelectsTheBestEntryByScore) {
    cICOparser ico;
    ASSERT_TRUE(
        ico.LoadStream(Directory({{16, 32}, {32, 32}, {48, 32}}), 0, 0, nullptr, 0, 0, 32, 0));
    EXPECT_EQ(ico.SelectBestIcon(32, 32, 32), 2) << "exact match";
    EXPECT_EQ(ico.SelectBestIcon(40, 40, 32), 3) << "larger beats smaller";
    EXPECT_EQ(ico.SelectBestIcon(64, 64, 32), 3) << "second pass: smallest |score|";
    EXPECT_EQ(ico.SelectBestIcon(10, 10, 32), 1);

    // A smaller entry's size differences count twice: for 32 x 32 at 8 bits, 24 x 24 x 32
    // scores -16 - 16 + 24 = -8 (left out) and 31 x 31 x 32 scores -2 - 2 + 24 = 20. Counted
    // once, or doubled for larger entries instead, the first would score 8 and win.
    ASSERT_TRUE(ico.LoadStream(Directory({{24, 32}, {31, 32}}), 0, 0, nullptr, 0, 0, 32, 0));
    EXPECT_EQ(ico.SelectBestIcon(32, 32, 8), 2);
    // The second pass adds |32 - bit count|: for 64 x 64 at 8 bits, 48 x 48 x 8 scores
    // |-64| + 24 = 88 and 40 x 40 x 32 scores |-96 + 24| + 0 = 72.
    ASSERT_TRUE(ico.LoadStream(Directory({{48, 8}, {40, 32}}), 0, 0, nullptr, 0, 0, 32, 0));
    EXPECT_EQ(ico.SelectBestIcon(64, 64, 8), 2);

    // Depth counts too; ties keep the earlier entry in the first pass.
    ASSERT_TRUE(
        ico.LoadStream(Directory({{32, 32}, {32, 8}, {32, 4}}), 0, 0, nullptr, 0, 0, 32, 0));
    EXPECT_EQ(ico.SelectBestIcon(32, 32, 8), 2);
    EXPECT_EQ(ico.SelectBestIcon(32, 32, 6), 2) << "scores 2 and 2: the earlier";

    // Second pass ties keep the later entry; deeper than 32 bits is never chosen.
    ASSERT_TRUE(
        ico.LoadStream(Directory({{16, 32}, {16, 32}, {16, 48}}), 0, 0, nullptr, 0, 0, 32, 0));
    EXPECT_EQ(ico.SelectBestIcon(32, 32, 32), 2);
    ASSERT_TRUE(ico.LoadStream(Directory({{32, 48}, {16, 24}}), 0, 0, nullptr, 0, 0, 32, 0));
    EXPECT_EQ(ico.SelectBestIcon(32, 32, 32), 2);

    // A width byte of 0 is 256 pixels.
    ASSERT_TRUE(ico.LoadStream(Directory({{0, 32}, {48, 32}}), 0, 0, nullptr, 0, 0, 32, 0));
    EXPECT_EQ(ico.Width(1), 256);
    EXPECT_EQ(ico.Height(1), 256);
    EXPECT_EQ(ico.SelectBestIcon(256, 256, 32), 1);
    EXPECT_EQ(ico.Width(3), 0) << "bad index";
    EXPECT_EQ(ico.bitDepth(0), 0);
}

TEST(IconReader, MasksAFourBitIconWithItsAndMask) {
    // 2 x 2 icon, 16-colour palette, pixels (top row) 1 2 / (bottom row) 3 1;
    // the AND mask hides the top-left pixel.
    Bytes palette(16 * 4, 0);
    auto setColour = [&](int i, uint32_t rgb) {
        palette[4 * i] = static_cast<uint8_t>(rgb);
        palette[4 * i + 1] = static_cast<uint8_t>(rgb >> 8);
        palette[4 * i + 2] = static_cast<uint8_t>(rgb >> 16);
    };
    setColour(1, 0xFF0000);
    setColour(2, 0x00FF00);
    setColour(3, 0x0000FF);
    const Bytes xorRows = {0x31, 0, 0, 0, /* top */ 0x12, 0, 0, 0};
    const Bytes andRows = {0x00, 0, 0, 0, /* top */ 0x80, 0, 0, 0};
    IconEntry e;
    e.widthByte = e.heightByte = 2;
    e.image = BuildIconBitmap(2, 2, 4, palette, xorRows, andRows);
    const Bytes icon = BuildIcon(1, {e});
    const Bytes before = icon;

    MemoryImage dib;
    cICOparser ico;
    ASSERT_TRUE(ico.LoadStream(icon, 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_EQ(icon, before) << "the caller's bytes are only read";
    EXPECT_EQ(dib.ImageType(), imgIcon);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 0), 0u);
    EXPECT_EQ(dib.PixelAt(1, 0), 0xFF00FF00u);
    EXPECT_EQ(dib.PixelAt(0, 1), 0xFF0000FFu);
    EXPECT_EQ(dib.PixelAt(1, 1), 0xFFFF0000u);
    EXPECT_EQ(ico.bitDepth(1), 4) << "from the image header";
    EXPECT_EQ(ico.ColorCount(1), 16);
    EXPECT_EQ(ico.ColorByteOffset(1), 6 + 16 + 40 + 64);

    // Nothing masked: opaque, no alpha; as a cursor the type is the cursor's.
    e.image = BuildIconBitmap(2, 2, 4, palette, xorRows, Bytes(8, 0));
    ASSERT_TRUE(ico.LoadStream(BuildIcon(2, {e}), 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_EQ(dib.ImageType(), imgCursor);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFFFF0000u);
}

TEST(IconReader, ExpandsEveryBitmapDepth) {
    // One 9 x 1 row per depth; picture colours compared with what was encoded.
    const uint32_t red = 0xFF0000, teal = 0x008080;
    Bytes pal2 = {0, 0, 0, 0, 0x80, 0x80, 0x00, 0};
    Bytes pal256(256 * 4, 0);
    pal256[4 * 200] = 0x00, pal256[4 * 200 + 1] = 0x00, pal256[4 * 200 + 2] = 0xFF;
    Bytes and9(4, 0);
    struct Case {
        uint16_t bits;
        Bytes palette, row;
        uint32_t first, last;
    };
    Bytes row24, row32, row16;
    for (int x = 0; x < 9; ++x) {
        const uint32_t c = x == 8 ? teal : red;
        row24.insert(row24.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        row32.insert(row32.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0});
        const uint16_t v = x == 8 ? (0 << 10) | (16 << 5) | 16 : (31 << 10);
        row16.insert(row16.end(), {uint8_t(v), uint8_t(v >> 8)});
    }
    row24.resize(28, 0);
    row16.resize(20, 0);
    Bytes row8(12, 200);
    row8[8] = 0;
    const std::vector<Case> cases = {
        {1, pal2, {0x00, 0x80, 0, 0}, 0x000000, 0x008080},
        {8, pal256, row8, red, 0x000000},
        {16, {}, row16, red, 0x008484},
        {24, {}, row24, red, teal},
        {32, {}, row32, red, teal},
    };
    for (const Case& c : cases) {
        IconEntry e;
        e.widthByte = 9;
        e.heightByte = 1;
        e.image = BuildIconBitmap(9, 1, c.bits, c.palette, c.row, and9);
        MemoryImage dib;
        ASSERT_TRUE(cICOparser().LoadStream(BuildIcon(1, {e}), 0, 0, &dib, 0, 0, 32, 0)) << c.bits;
        ASSERT_EQ(dib.Width(), 9) << c.bits;
        EXPECT_EQ(dib.PixelAt(0, 0), 0xFF000000u | c.first) << c.bits;
        EXPECT_EQ(dib.PixelAt(8, 0), 0xFF000000u | c.last) << c.bits;
        EXPECT_EQ(dib.ImageType(), imgIcon) << c.bits;
    }
}

TEST(IconReader, PremultipliesThirtyTwoBitEntries) {
    IconEntry e;
    e.widthByte = e.heightByte = 2;
    e.directoryBits = 32;
    e.image = BuildIconBitmap32(2, 2, {0x80C86432, 0xFF102030, 0x00FFFFFF, 0x01FFFFFF});
    MemoryImage dib;
    ASSERT_TRUE(cICOparser().LoadStream(BuildIcon(1, {e}), 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_EQ(dib.ImageType(), imgIconAlpha);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 0), 0x80643219u); // (200, 100, 50) at 128
    EXPECT_EQ(dib.PixelAt(1, 0), 0xFF102030u);
    EXPECT_EQ(dib.PixelAt(0, 1), 0u);
    EXPECT_EQ(dib.PixelAt(1, 1), 0x01010101u);

    // A cursor whose directory holds hot spot values reads the depth from the header.
    e.directoryBits = 7;
    ASSERT_TRUE(cICOparser().LoadStream(BuildIcon(2, {e}), 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_EQ(dib.ImageType(), imgCursorAlpha);

    // All alpha bytes 0: the AND mask decides instead of hiding the whole image.
    e.image = BuildIconBitmap32(2, 2, {0x00FF0000, 0x00FF0000, 0x00FF0000, 0x00FF0000});
    e.image[40 + 16] = 0x80; // AND mask, bottom row, first pixel
    ASSERT_TRUE(cICOparser().LoadStream(BuildIcon(1, {e}), 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_EQ(dib.ImageType(), imgIcon);
    EXPECT_EQ(dib.PixelAt(0, 1), 0u);
    EXPECT_EQ(dib.PixelAt(1, 1), 0xFFFF0000u);
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFFFF0000u);
}

TEST(IconReader, ReadsPngEntryHeaders) {
    // Signature and IHDR only: enough for the directory; 300 pixels wide keeps the byte.
    auto png = [](uint32_t w, uint32_t h, uint8_t depth, uint8_t colourType) {
        Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
        for (uint32_t v : {w, h})
            b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
        b.insert(b.end(), {depth, colourType, 0, 0, 0, 0, 0, 0, 0});
        return b;
    };
    std::vector<IconEntry> entries(4);
    entries[0].image = png(256, 256, 8, 6);
    entries[1].image = png(48, 48, 8, 2);
    entries[2].image = png(20, 20, 4, 3);
    entries[2].directoryBits = 8;
    entries[3].image = png(16, 16, 16, 0);
    cICOparser ico;
    ASSERT_TRUE(ico.LoadStream(BuildIcon(1, entries), 0, 0, nullptr, 0, 0, 32, 0));
    EXPECT_TRUE(ico.IsIconPNG(1));
    EXPECT_EQ(ico.Width(1), 256);
    EXPECT_EQ(ico.bitDepth(1), 32);
    EXPECT_EQ(ico.Width(2), 48);
    EXPECT_EQ(ico.bitDepth(2), 24);
    EXPECT_EQ(ico.bitDepth(3), 8) << "the directory's non-zero count stays";
    EXPECT_EQ(ico.bitDepth(4), 32) << "16-bit samples";

    // A PNG entry whose IHDR is missing makes the icon invalid.
    entries[3].image.resize(14);
    EXPECT_FALSE(ico.LoadStream(BuildIcon(1, entries), 0, 0, nullptr, 0, 0, 32, 0));
}

TEST(IconReader, LoadsAPngEntryThroughThePngReader) {
    test::PngSpec spec;
    spec.width = spec.height = 256;
    spec.colorType = 6;
    for (uint32_t y = 0; y < 256; ++y)
        for (uint32_t x = 0; x < 256; ++x)
            spec.pixels.insert(spec.pixels.end(),
                               {uint8_t(x), uint8_t(y), 50, uint8_t(x == 0 ? 0 : 255)});
    IconEntry pngEntry;
    pngEntry.directoryBits = 32;
    pngEntry.image = test::EncodePng(spec);
    const Bytes icon = BuildIcon(1, {Solid32(32, 0xFF00FF00), pngEntry});
    MemoryImage dib;
    cICOparser ico;
    ASSERT_TRUE(ico.LoadStream(icon, 256, 256, &dib, 0, 0, 32, 0));
    EXPECT_TRUE(ico.IsIconPNG(2));
    EXPECT_FALSE(ico.IsIconPNG(1));
    EXPECT_EQ(dib.ImageType(), imgIconPNG);
    ASSERT_EQ(dib.Width(), 256);
    EXPECT_EQ(dib.PixelAt(200, 10), 0xFFC80A32u);
    EXPECT_EQ(dib.PixelAt(0, 10), 0u);
    // The default request (32 x 32) takes the bitmap entry.
    ASSERT_TRUE(ico.LoadStream(icon, 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_EQ(dib.ImageType(), imgIconAlpha);
    EXPECT_EQ(dib.Width(), 32);
    // A PNG entry cut short leaves no image.
    Bytes cut = icon;
    cut.resize(cut.size() - 30);
    test::Set32(cut, 6 + 16 + 8, static_cast<uint32_t>(pngEntry.image.size() - 30));
    ASSERT_TRUE(ico.LoadStream(cut, 256, 256, &dib, 0, 0, 32, 0));
    EXPECT_EQ(dib.BitsPointer(), nullptr);
}

TEST(IconReader, OffersPngEntriesToTheOutsideLoaderFirst) {
    test::PngSpec spec;
    spec.width = spec.height = 64;
    spec.colorType = 6;
    spec.pixels.assign(size_t{64} * 64 * 4, 0x80);
    IconEntry pngEntry;
    pngEntry.directoryBits = 32;
    pngEntry.image = test::EncodePng(spec);
    const Bytes icon = BuildIcon(1, {Solid32(16, 0xFF00FF00), pngEntry});
    // The icon inside a larger array, to see that the entry's own bytes are offered.
    Bytes padded(7, 0xEE);
    padded.insert(padded.end(), icon.begin(), icon.end());

    std::vector<Bytes> offered;
    bool accept = true;
    cICOparser ico;
    ico.SetPngLoader(
        [&](const cPNGparser::ExternalSource& source, IImageTarget& target, uintptr_t token) {
            offered.emplace_back(source.bytes.begin(), source.bytes.end());
            EXPECT_EQ(token, 77u);
            if (!accept) return false;
            // Stands for another decoder: a 3 x 2 image of its own.
            return target.InitializeDIB(3, 2);
        });
    MemoryImage dib;
    ASSERT_TRUE(ico.LoadStream(padded, 64, 64, &dib, 7, 0, 32, 77));
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0], pngEntry.image);
    EXPECT_EQ(dib.Width(), 3) << "the outside loader's image was kept";
    EXPECT_EQ(dib.ImageType(), imgIconPNG);

    // Declined: the PNG reader's own decoder loads the entry.
    accept = false;
    ASSERT_TRUE(ico.LoadStream(padded, 64, 64, &dib, 7, 0, 32, 77));
    EXPECT_EQ(offered.size(), 2u);
    EXPECT_EQ(dib.Width(), 64);
    EXPECT_EQ(dib.PixelAt(5, 5), 0x80404040u);
    EXPECT_EQ(dib.ImageType(), imgIconPNG);

    // Bitmap entries are never offered.
    ASSERT_TRUE(ico.LoadStream(padded, 16, 16, &dib, 7, 0, 32, 77));
    EXPECT_EQ(offered.size(), 2u);
    EXPECT_EQ(dib.Width(), 16);
}

TEST(IconReader, RefusesDirectoriesTheDataCannotHold) {
    const Bytes good = BuildIcon(1, {Solid32(4, 0xFF00FF00)});
    MemoryImage dib;
    ASSERT_TRUE(cICOparser().LoadStream(good, 0, 0, &dib, 0, 0, 32, 0));

    Bytes b = good;
    b[4] = 50; // 50 entries claimed
    EXPECT_FALSE(cICOparser().LoadStream(b, 0, 0, &dib, 0, 0, 32, 0));
    b = good;
    test::Set32(b, 6 + 8, 0x7FFFFFFF); // bytes in image past the end
    EXPECT_FALSE(cICOparser().LoadStream(b, 0, 0, &dib, 0, 0, 32, 0));
    b = good;
    test::Set32(b, 6 + 12, 0xFFFFFFF0); // image offset past the end
    EXPECT_FALSE(cICOparser().LoadStream(b, 0, 0, &dib, 0, 0, 32, 0));
    b = good;
    b[2] = 3; // type 3
    EXPECT_FALSE(cICOparser().LoadStream(b, 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_FALSE(
        cICOparser().LoadStream(Bytes(good.begin(), good.begin() + 5), 0, 0, &dib, 0, 0, 32, 0));

    // Valid directory, but the entry's pixels would lie past the data: no image.
    b = good;
    b[6] = b[7] = 200; // a 200 x 200 entry in 4 x 4 worth of bytes
    dib.InitializeDIB(1, 1);
    EXPECT_TRUE(cICOparser().LoadStream(b, 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_EQ(dib.BitsPointer(), nullptr);
    b = good;
    test::Set32(b, 22, 0x10000000); // header size field
    EXPECT_TRUE(cICOparser().LoadStream(b, 0, 0, &dib, 0, 0, 32, 0));
    EXPECT_EQ(dib.BitsPointer(), nullptr);
}

TEST(IconReader, ReadsAnIconInsideALargerArray) {
    const Bytes icon = BuildIcon(1, {Solid32(4, 0xFF0000FF), Solid32(8, 0xFFFF0000)});
    Bytes padded(33, 0x77);
    padded.insert(padded.end(), icon.begin(), icon.end());
    MemoryImage dib;
    cICOparser ico;
    ASSERT_TRUE(ico.LoadStream(padded, 8, 8, &dib, 33, icon.size(), 32, 0));
    EXPECT_EQ(ico.IconCount(), 2);
    EXPECT_EQ(dib.Width(), 8);
    EXPECT_EQ(dib.PixelAt(3, 3), 0xFFFF0000u);
}

} // namespace
} // namespace moirelle

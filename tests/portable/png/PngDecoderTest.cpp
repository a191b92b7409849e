// The PNG reader's decoding rules, on images built here.
#include "formats/ByteSource.h"
#include "tests/portable/png/PngTestSupport.h"
#include "tests/support/TestPaths.h"

#include <cstring>

namespace moirelle::test {
namespace {

PngSpec RandomSpec(uint32_t w, uint32_t h, uint8_t depth, uint8_t colorType, uint8_t interlace,
                   uint32_t seed) {
    PngSpec s;
    s.width = w;
    s.height = h;
    s.bitDepth = depth;
    s.colorType = colorType;
    s.interlace = interlace;
    const size_t rowBytes = (static_cast<size_t>(w) * BitsPerPixel(colorType, depth) + 7) / 8;
    s.pixels = PatternBytes(rowBytes * h, seed);
    if (colorType == 3) {
        const size_t entries = size_t{1} << depth;
        s.palette = PatternBytes(entries * 3, seed + 1);
    }
    if (colorType == 6 && depth == 8) {
        // Make sure the alpha extremes appear.
        for (size_t i = 3; i < s.pixels.size(); i += 16)
            s.pixels[i] = 0;
        for (size_t i = 7; i < s.pixels.size(); i += 16)
            s.pixels[i] = 255;
    }
    return s;
}

// Every colour type and depth, plain and interlaced, every filter: the result matches
// the expected pixels worked out from the samples.
TEST_F(PngTest, EveryColourTypeDepthAndFilterDecodes) {
    struct Combo {
        uint8_t colorType;
        std::vector<uint8_t> depths;
    };
    const Combo combos[] = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    uint32_t seed = 1;
    for (const Combo& c : combos)
        for (uint8_t depth : c.depths)
            for (uint8_t interlace : {0, 1})
                for (int filter : {-1, 0, 1, 2, 3, 4}) {
                    PngSpec spec = RandomSpec(13, 11, depth, c.colorType, interlace, ++seed);
                    spec.filter = filter;
                    SCOPED_TRACE(testing::Message()
                                 << "type " << int(c.colorType) << " depth " << int(depth)
                                 << " interlace " << int(interlace) << " filter " << filter);
                    MemoryImage image;
                    ASSERT_TRUE(Decode(EncodePng(spec), image));
                    const auto expected = ExpectedPixels(SamplesOf(spec));
                    ASSERT_TRUE(expected.has_value());
                    ASSERT_TRUE(SamePixels(image, *expected, spec.width, spec.height));
                    EXPECT_EQ(image.ImageType(), imgPNG);
                    EXPECT_EQ(image.Alpha(), c.colorType == 4 || c.colorType == 6);
                }
}

// Wide rows exercise the vector paths of the filters and the conversion.
TEST_F(PngTest, WideRowsDecodeThroughEveryFilter) {
    for (uint8_t colorType : {2, 6})
        for (uint8_t depth : {8, 16})
            for (int filter : {1, 2, 3, 4}) {
                PngSpec spec =
                    RandomSpec(67, 5, depth, colorType, 0, 99u + static_cast<uint32_t>(filter));
                spec.filter = filter;
                MemoryImage image;
                ASSERT_TRUE(Decode(EncodePng(spec), image));
                ASSERT_TRUE(SamePixels(image, *ExpectedPixels(SamplesOf(spec)), 67, 5))
                    << "type " << int(colorType) << " depth " << int(depth) << " filter " << filter;
            }
}

TEST_F(PngTest, PremultipliesAndStoresRowsBottomUp) {
    PngSpec spec;
    spec.width = 3;
    spec.height = 2;
    // top row: (200,100,50,128), transparent red, opaque blue; bottom row: three greys.
    spec.pixels = {200, 100, 50, 128, 255, 0,  0,  0, 0,  0,  255, 255,
                   10,  10,  10, 255, 20,  20, 20, 1, 30, 30, 30,  254};
    MemoryImage image;
    ASSERT_TRUE(Decode(EncodePng(spec), image));
    const uint8_t* bottom = image.BitsPointer();
    const uint8_t* top = bottom + 3 * 4;
    EXPECT_EQ(std::vector<uint8_t>(top, top + 12),
              (std::vector<uint8_t>{25, 50, 100, 128, 0, 0, 0, 0, 255, 0, 0, 255}));
    EXPECT_EQ(std::vector<uint8_t>(bottom, bottom + 12),
              (std::vector<uint8_t>{10, 10, 10, 255, 0, 0, 0, 1, 29, 29, 29, 254}));
}

TEST_F(PngTest, GreyTwoBitSamplesSpreadOverTheByteRange) {
    PngSpec spec;
    spec.width = 4;
    spec.bitDepth = 2;
    spec.colorType = 0;
    spec.pixels = {0b00011011};
    MemoryImage image;
    ASSERT_TRUE(Decode(EncodePng(spec), image));
    EXPECT_EQ(image.PixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(image.PixelAt(1, 0), 0xFF555555u);
    EXPECT_EQ(image.PixelAt(2, 0), 0xFFAAAAAAu);
    EXPECT_EQ(image.PixelAt(3, 0), 0xFFFFFFFFu);
    EXPECT_FALSE(image.Alpha());
}

TEST_F(PngTest, TransparencyKeys) {
    { // truecolour 8-bit: exactly the key colour becomes transparent; the key's high
      // bytes are not looked at
        PngSpec spec;
        spec.width = 3;
        spec.colorType = 2;
        spec.pixels = {1, 2, 3, 1, 2, 4, 9, 9, 9};
        spec.transparency = {0x7F, 1, 0x40, 2, 0x01, 3};
        MemoryImage image;
        ASSERT_TRUE(Decode(EncodePng(spec), image));
        EXPECT_EQ(image.PixelAt(0, 0), 0u);
        EXPECT_EQ(image.PixelAt(1, 0), 0xFF010204u);
        EXPECT_EQ(image.PixelAt(2, 0), 0xFF090909u);
        EXPECT_TRUE(image.Alpha());
    }
    { // truecolour 16-bit: only the high bytes are compared
        PngSpec spec;
        spec.width = 2;
        spec.colorType = 2;
        spec.bitDepth = 16;
        spec.pixels = {0x10, 0x77, 0x20, 0x00, 0x30, 0x01, 0x10, 0x55, 0x21, 0x66, 0x30, 0x77};
        spec.transparency = {0x10, 0x55, 0x20, 0x66, 0x30, 0x77};
        MemoryImage image;
        ASSERT_TRUE(Decode(EncodePng(spec), image));
        EXPECT_EQ(image.PixelAt(0, 0), 0u);
        EXPECT_EQ(image.PixelAt(1, 0), 0xFF102130u);
    }
    { // grey 4-bit key
        PngSpec spec;
        spec.width = 2;
        spec.colorType = 0;
        spec.bitDepth = 4;
        spec.pixels = {0x5A};
        spec.transparency = {0x12, 0x0A};
        MemoryImage image;
        ASSERT_TRUE(Decode(EncodePng(spec), image));
        EXPECT_EQ(image.PixelAt(0, 0), 0xFF555555u);
        EXPECT_EQ(image.PixelAt(1, 0), 0u);
        EXPECT_TRUE(image.Alpha());
    }
    { // grey 16-bit key: the high byte alone
        PngSpec spec;
        spec.width = 3;
        spec.colorType = 0;
        spec.bitDepth = 16;
        spec.pixels = {0x80, 0x00, 0x81, 0x33, 0x80, 0xFF};
        spec.transparency = {0x80, 0x33};
        MemoryImage image;
        ASSERT_TRUE(Decode(EncodePng(spec), image));
        EXPECT_EQ(image.PixelAt(0, 0), 0u);
        EXPECT_EQ(image.PixelAt(1, 0), 0xFF818181u);
        EXPECT_EQ(image.PixelAt(2, 0), 0u);
    }
    { // indexed: a short table leaves the other entries opaque
        PngSpec spec;
        spec.width = 3;
        spec.colorType = 3;
        spec.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
        spec.transparency = {0, 51};
        spec.pixels = {0, 1, 2};
        MemoryImage image;
        ASSERT_TRUE(Decode(EncodePng(spec), image));
        EXPECT_EQ(image.PixelAt(0, 0), 0u);
        EXPECT_EQ(image.PixelAt(1, 0), 0x33003300u);
        EXPECT_EQ(image.PixelAt(2, 0), 0xFF0000FFu);
    }
}

TEST_F(PngTest, TransparencyChunkWithBadCrcIsIgnoredWhenCrcsAreChecked) {
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(2, 1, 8, 2));
    AppendChunk(png, "tRNS", std::vector<uint8_t>{0, 1, 0, 2, 0, 3}, true);
    const std::vector<uint8_t> raw = {0, 1, 2, 3, 4, 5, 6};
    AppendChunk(png, "IDAT", ZlibCompress(raw));
    AppendChunk(png, "IEND", {});
    for (bool zlib : {true, false}) {
        UseZlib(zlib); // without zlib no CRC is checked and the key applies
        MemoryImage image;
        ASSERT_TRUE(Decode(png, image));
        EXPECT_EQ(image.PixelAt(0, 0), zlib ? 0xFF010203u : 0u) << zlib;
        EXPECT_EQ(image.PixelAt(1, 0), 0xFF040506u) << zlib;
        EXPECT_EQ(image.Alpha(), !zlib);
    }
}

TEST_F(PngTest, PaletteIndexBeyondThePaletteFailsTheLoad) {
    PngSpec spec;
    spec.width = 3;
    spec.colorType = 3;
    spec.palette = {1, 2, 3, 4, 5, 6};
    spec.pixels = {0, 1, 2};
    MemoryImage image;
    EXPECT_TRUE(Decode(EncodePng(spec), image));
    EXPECT_EQ(image.BitsPointer(), nullptr);
    EXPECT_EQ(image.ImageType(), imgNone);
    spec.pixels = {0, 1, 1};
    EXPECT_TRUE(Decode(EncodePng(spec), image));
    EXPECT_EQ(image.Width(), 3);
}

TEST_F(PngTest, IndexedWithoutPaletteUsesTheDefaultOne) {
    PngSpec spec;
    spec.width = 2;
    spec.colorType = 3;
    spec.bitDepth = 1;
    spec.pixels = {0x40};
    MemoryImage image;
    ASSERT_TRUE(Decode(EncodePng(spec), image));
    EXPECT_EQ(image.PixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(image.PixelAt(1, 0), 0xFFFFFFFFu);
}

// Raw image data (filter bytes included) for a 2x2 RGB image whose second row carries
// the given filter byte.
std::vector<uint8_t> TwoRowRgb(uint8_t secondFilter, uint8_t interlace) {
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(2, 2, 8, 2, interlace));
    std::vector<uint8_t> raw;
    if (interlace == 0) {
        raw = {0, 10, 20, 30, 40, 50, 60, secondFilter, 1, 2, 3, 4, 5, 6};
    } else {
        // passes 1 (pixel 0,0), 6 (pixel 1,0) and 7 (row 1): filter bytes each
        raw = {0, 10, 20, 30, 0, 40, 50, 60, secondFilter, 1, 2, 3, 4, 5, 6};
    }
    AppendChunk(png, "IDAT", ZlibCompress(raw));
    AppendChunk(png, "IEND", {});
    return png;
}

TEST_F(PngTest, UnknownFilterKeepsTheRowUnlessInterlaced) {
    MemoryImage image;
    ASSERT_TRUE(Decode(TwoRowRgb(7, 0), image));
    EXPECT_EQ(image.PixelAt(0, 1), 0xFF010203u);
    EXPECT_EQ(image.PixelAt(1, 1), 0xFF040506u);
    ASSERT_TRUE(Decode(TwoRowRgb(2, 0), image));
    EXPECT_EQ(image.PixelAt(0, 1), 0xFF0B1621u);
    // Interlaced, row 1 is the first row of its pass: Up adds nothing there.
    ASSERT_TRUE(Decode(TwoRowRgb(2, 1), image));
    EXPECT_EQ(image.PixelAt(0, 1), 0xFF010203u);
    EXPECT_TRUE(Decode(TwoRowRgb(7, 1), image));
    EXPECT_EQ(image.BitsPointer(), nullptr);
    EXPECT_EQ(image.ImageType(), imgNone);
}

TEST_F(PngTest, SmallInterlacedImages) {
    for (auto [w, h] : {std::pair{1u, 1u}, {5u, 1u}, {1u, 5u}, {2u, 3u}, {3u, 2u}, {9u, 9u}}) {
        const PngSpec spec = RandomSpec(w, h, 8, 6, 1, w * 10 + h);
        MemoryImage image;
        ASSERT_TRUE(Decode(EncodePng(spec), image));
        EXPECT_TRUE(SamePixels(image, *ExpectedPixels(SamplesOf(spec)), w, h)) << w << "x" << h;
    }
}

TEST_F(PngTest, ShortImageDataDecodesTheRestFromZeros) {
    // 4x4 RGB with only the first row in the data: the rest is black and opaque.
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(4, 4, 8, 2));
    std::vector<uint8_t> raw = {0};
    for (int i = 0; i < 4; ++i)
        raw.insert(raw.end(), {10, 20, 30});
    raw.push_back(2); // the second row begins with filter Up, then the data end
    raw.push_back(5);
    AppendChunk(png, "IDAT", ZlibCompress(raw));
    AppendChunk(png, "IEND", {});
    MemoryImage image;
    ASSERT_TRUE(Decode(png, image));
    EXPECT_EQ(image.PixelAt(0, 0), 0xFF0A141Eu);
    EXPECT_EQ(image.PixelAt(0, 1), 0xFF0F141Eu); // red 5 + 10, the rest taken from above
    EXPECT_EQ(image.PixelAt(1, 1), 0xFF0A141Eu);
    EXPECT_EQ(image.PixelAt(0, 2), 0xFF000000u);
    EXPECT_EQ(image.PixelAt(3, 3), 0xFF000000u);
}

// A grey image of three rows whose image data end exactly where a match's distance wants
// its one extra bit: `stored` bytes in a stored block (the first two rows and the start of
// the third, byte i being i, or 0 where a row starts), then a final fixed-code block with
// the literals 200, 1, 2, 3, 4 and 5 and a match of 3 from 5 back (distance code 4, whose
// extra bit would be the first bit after the data), then the end-of-block code. Zero bytes
// read past the data make it whole (extra bit 0, end-of-block code 0000000): the third row
// ends in 200, 1..5 and 1, 2, 3. The data come in one IDAT chunk or in two; `padding`
// bytes of an ancillary chunk before IEND make the file longer.
std::vector<uint8_t> ZeroTailPng(uint8_t stored, bool split, size_t padding) {
    const uint8_t rowBytes = static_cast<uint8_t>((stored + 9) / 3);
    std::vector<uint8_t> data = {0x78, 0x01, 0x00, stored, 0, static_cast<uint8_t>(~stored), 0xFF};
    for (uint8_t i = 0; i < stored; ++i)
        data.push_back(i % rowBytes == 0 ? 0 : i);
    uint32_t buffer = 0;
    int held = 0;
    auto put = [&](uint32_t code, int length) { // most significant bit first
        for (int bit = length - 1; bit >= 0; --bit) {
            buffer |= ((code >> bit) & 1) << held;
            if (++held == 8) {
                data.push_back(static_cast<uint8_t>(buffer));
                buffer = 0;
                held = 0;
            }
        }
    };
    put(0b110, 3); // final, fixed codes (type 1 written least significant bit first)
    put(0b110010000 + (200 - 144), 9);
    for (uint32_t literal = 1; literal <= 5; ++literal)
        put(0b00110000 + literal, 8);
    put(0b0000001, 7); // length 3
    put(4, 5);         // distances 5 and 6
    EXPECT_EQ(held, 0);
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(rowBytes - 1u, 3, 8, 0));
    const size_t first = split ? data.size() / 2 : data.size();
    AppendChunk(png, "IDAT", std::span<const uint8_t>(data.data(), first));
    if (split) AppendChunk(png, "IDAT", std::span<const uint8_t>(data).subspan(first));
    if (padding != 0) AppendChunk(png, "tEXt", std::vector<uint8_t>(padding, 'x'));
    AppendChunk(png, "IEND", {});
    return png;
}

TEST_F(PngTest, TheInflaterReadsZerosUpToTheGatheringBuffersSize) {
    // The gathering buffer starts at half the file's size and grows only when the data do
    // not fit. 57 bytes of data in one chunk of a file of 114, or 69 in two chunks of a
    // file of 138, fill it exactly: no zero bytes follow the data and the inflate fails,
    // leaving the image as it was. With a chunk of 2 bytes more, zeros follow and the image
    // decodes.
    UseZlib(false);
    struct Case {
        uint8_t stored;
        bool split;
        size_t fileSize;
    };
    for (const Case& c : {Case{42, false, 114}, Case{54, true, 138}}) {
        SCOPED_TRACE(c.fileSize);
        const std::vector<uint8_t> exact = ZeroTailPng(c.stored, c.split, 0);
        ASSERT_EQ(exact.size(), c.fileSize);
        MemoryImage image;
        ASSERT_TRUE(image.InitializeDIB(1, 1));
        EXPECT_TRUE(Decode(exact, image));
        EXPECT_EQ(image.Width(), 1);
        EXPECT_EQ(image.ImageType(), imgBlank);

        EXPECT_TRUE(Decode(ZeroTailPng(c.stored, c.split, 2), image));
        const int32_t width = (c.stored + 9) / 3 - 1;
        ASSERT_EQ(image.Width(), width);
        EXPECT_EQ(image.PixelAt(0, 1), 0x01010101u * (width + 2u) | 0xFF000000u);
        EXPECT_EQ(image.PixelAt(width - 10, 2), 0x01010101u * (c.stored - 1u) | 0xFF000000u);
        const uint32_t tail[] = {200, 1, 2, 3, 4, 5, 1, 2, 3};
        for (int32_t x = 0; x < 9; ++x)
            EXPECT_EQ(image.PixelAt(width - 9 + x, 2), 0x010101u * tail[x] | 0xFF000000u) << x;
    }
}

TEST_F(PngTest, NotAPngLeavesTheImageAlone) {
    MemoryImage image;
    ASSERT_TRUE(image.InitializeDIB(2, 2));
    std::vector<uint8_t> png = EncodePng(RandomSpec(4, 4, 8, 6, 0, 5));
    png[1] = 'p';
    EXPECT_FALSE(Decode(png, image));
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(image.ImageType(), imgBlank);
    const std::vector<uint8_t> tiny = {0x89, 'P', 'N', 'G'};
    EXPECT_FALSE(Decode(tiny, image));
    EXPECT_EQ(image.Width(), 2);
}

// A load that fails in the chunk walk answers true and leaves the image as it was, on
// the stream path and on the file path (which does not look at files of 56 bytes or less).
void ExpectWalkFailure(const std::vector<uint8_t>& png, const char* what) {
    MemoryImage image;
    ASSERT_TRUE(image.InitializeDIB(1, 1));
    cPNGparser parser;
    EXPECT_TRUE(parser.LoadStream(png, image, 0, png.size(), 0)) << what;
    EXPECT_EQ(image.Width(), 1) << what;
    EXPECT_EQ(image.ImageType(), imgBlank) << what;
    MemoryByteSource file(png);
    EXPECT_EQ(parser.LoadFile(file, "", image, 0), png.size() > 56) << what;
    EXPECT_EQ(image.Width(), 1) << what;
    EXPECT_EQ(image.ImageType(), imgBlank) << what;
}

std::vector<uint8_t>
WithChunks(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks) {
    std::vector<uint8_t> png = PngSignatureBytes();
    for (const auto& [type, data] : chunks)
        AppendChunk(png, type, data);
    return png;
}

TEST_F(PngTest, ChunkWalkFailures) {
    const std::vector<uint8_t> ihdr = IhdrData(2, 2, 8, 6);
    const std::vector<uint8_t> idat = ZlibCompress(std::vector<uint8_t>(18, 0));
    ExpectWalkFailure(WithChunks({{"IHDR", ihdr}, {"IDAT", idat}}), "no IEND");
    ExpectWalkFailure(WithChunks({{"IHDR", ihdr}, {"IEND", {}}}), "no IDAT");
    ExpectWalkFailure(WithChunks({{"IDAT", idat}, {"IEND", {}}}), "no IHDR");
    ExpectWalkFailure(WithChunks({{"IHDR", {1, 2, 3}}, {"IDAT", idat}, {"IEND", {}}}),
                      "short IHDR");
    ExpectWalkFailure(
        WithChunks(
            {{"IHDR", IhdrData(2, 2, 8, 3)}, {"PLTE", {1, 2, 3, 4}}, {"IDAT", idat}, {"IEND", {}}}),
        "PLTE length");
    const std::vector<uint8_t> good = WithChunks({{"IHDR", ihdr}, {"IDAT", idat}, {"IEND", {}}});
    for (size_t cut = 8; cut < good.size(); ++cut)
        ExpectWalkFailure(
            std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)),
            "truncated");
    std::vector<uint8_t> huge = good;
    huge[33] = 0x7F, huge[34] = 0xFF, huge[35] = 0xFF, huge[36] = 0xF4; // IDAT length 2^31-12
    ExpectWalkFailure(huge, "oversized length");
    huge[36] = 0xF3;
    ExpectWalkFailure(huge, "length past the end");
    MemoryImage image;
    EXPECT_TRUE(Decode(good, image));
    EXPECT_EQ(image.Width(), 2);
}

TEST_F(PngTest, ChunkOrderIsNotEnforcedAndIendEndsTheWalk) {
    // 2 x 1 truecolour: (1, 2, 3) and (4, 5, 6).
    const std::vector<uint8_t> ihdr = IhdrData(2, 1, 8, 2);
    const std::vector<uint8_t> idat = ZlibCompress(std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6});
    const std::vector<uint8_t> key = {0, 4, 0, 5, 0, 6};
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks;
        uint32_t first, second;
    };
    const Case cases[] = {
        {"IDAT before IHDR",
         {{"IDAT", idat}, {"IHDR", ihdr}, {"IEND", {}}},
         0xFF010203u,
         0xFF040506u},
        {"tRNS after IDAT",
         {{"IHDR", ihdr}, {"IDAT", idat}, {"tRNS", key}, {"IEND", {}}},
         0xFF010203u,
         0},
        // Before IHDR the colour type reads 0, which takes no key of three samples.
        {"tRNS before IHDR",
         {{"tRNS", key}, {"IHDR", ihdr}, {"IDAT", idat}, {"IEND", {}}},
         0xFF010203u,
         0xFF040506u},
        // IEND with data still ends the walk; nothing after it is read.
        {"IEND with data",
         {{"IHDR", ihdr}, {"IDAT", idat}, {"IEND", {1, 2, 3}}, {"IHDR", {9}}},
         0xFF010203u,
         0xFF040506u},
    };
    for (const Case& c : cases) {
        MemoryImage image;
        ASSERT_TRUE(Decode(WithChunks(c.chunks), image)) << c.what;
        ASSERT_EQ(image.Width(), 2) << c.what;
        EXPECT_EQ(image.PixelAt(0, 0), c.first) << c.what;
        EXPECT_EQ(image.PixelAt(1, 0), c.second) << c.what;
    }
    // A palette before IHDR is read with colour type 0 and ignored: the indexed image
    // then takes the default palette (index 0 black, 1 white at one bit).
    MemoryImage image;
    ASSERT_TRUE(Decode(WithChunks({{"PLTE", {255, 0, 0, 0, 255, 0}},
                                   {"IHDR", IhdrData(2, 1, 1, 3)},
                                   {"IDAT", ZlibCompress(std::vector<uint8_t>{0, 0x40})},
                                   {"IEND", {}}}),
                       image));
    EXPECT_EQ(image.PixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(image.PixelAt(1, 0), 0xFFFFFFFFu);
}

TEST_F(PngTest, DataZlibRefusesGoToTheBuiltInInflater) {
    // A wrong Adler-32 makes zlib's uncompress fail; the built-in inflater does not check
    // it and decodes the image.
    const PngSpec spec = RandomSpec(5, 4, 8, 6, 0, 41);
    std::vector<uint8_t> z = ZlibCompress(RawImageData(spec));
    z.back() ^= 0x5A;
    UseZlib(true);
    std::string name;
    int32_t kind = 0;
    bool isCdecl = false;
    ASSERT_TRUE(modParsers::ProbeZlib(name, kind, isCdecl, false)) << "zlib is needed here";
    MemoryImage image;
    ASSERT_TRUE(
        Decode(WithChunks({{"IHDR", IhdrData(5, 4, 8, 6)}, {"IDAT", z}, {"IEND", {}}}), image));
    EXPECT_TRUE(SamePixels(image, *ExpectedPixels(SamplesOf(spec)), 5, 4));
}

TEST_F(PngTest, HeaderRules) {
    // The data of one 8-bit RGBA pixel, so that each header below fails by its own fault
    // alone, not by data of the wrong size.
    const std::vector<uint8_t> idat = ZlibCompress(std::vector<uint8_t>(5, 0));
    auto withHeader = [&](std::vector<uint8_t> ihdr) {
        return WithChunks({{"IHDR", ihdr}, {"IDAT", idat}, {"IEND", {}}});
    };
    MemoryImage image;
    ASSERT_TRUE(Decode(withHeader(IhdrData(1, 1, 8, 6)), image));
    EXPECT_EQ(image.ImageType(), imgPNG);
    ExpectWalkFailure(withHeader(IhdrData(0, 1, 8, 6)), "width 0");
    ExpectWalkFailure(withHeader(IhdrData(1, 0x80000000u, 8, 6)), "negative height");
    ExpectWalkFailure(withHeader(IhdrData(8192, 8192, 8, 6)), "67108864 pixels");
    ExpectWalkFailure(withHeader(IhdrData(1, 1, 3, 0)), "depth 3");
    ExpectWalkFailure(withHeader(IhdrData(1, 1, 8, 5)), "colour type 5");
    ExpectWalkFailure(withHeader(IhdrData(1, 1, 8, 6, 2)), "interlace 2");
    std::vector<uint8_t> h = IhdrData(1, 1, 8, 6);
    h[10] = 1;
    ExpectWalkFailure(withHeader(h), "compression method");
    h[10] = 0, h[11] = 1;
    ExpectWalkFailure(withHeader(h), "filter method");
    // Combinations the PNG standard forbids are refused cleanly.
    for (auto [type, depth] : {std::pair<uint8_t, uint8_t>{2, 4}, {4, 2}, {6, 1}, {3, 16}})
        ExpectWalkFailure(withHeader(IhdrData(3, 3, depth, type)), "forbidden combination");
}

TEST_F(PngTest, HugeHeaderWithTinyDataDecodesFromZeros) {
    // 67,108,863 pixels (the most a header may give) of 16-bit RGBA would need 512 MiB of
    // inflated data; the few bytes given cannot produce that, and the rest of the picture
    // decodes from zeros.
    const std::vector<uint8_t> png =
        WithChunks({{"IHDR", IhdrData(8191, 8193, 16, 6)},
                    {"IDAT", ZlibCompress(std::vector<uint8_t>(100, 0))},
                    {"IEND", {}}});
    MemoryImage image;
    EXPECT_TRUE(Decode(png, image));
    ASSERT_EQ(image.Width(), 8191);
    ASSERT_EQ(image.Height(), 8193);
    EXPECT_EQ(image.PixelAt(8190, 8192), 0u);
}

TEST_F(PngTest, DataInflatingBeyondTheImageFails) {
    // A zlib stream that inflates to 4 MiB for a 4x4 image.
    const std::vector<uint8_t> png =
        WithChunks({{"IHDR", IhdrData(4, 4, 8, 6)},
                    {"IDAT", ZlibCompress(std::vector<uint8_t>(4u << 20, 0), 9)},
                    {"IEND", {}}});
    ExpectWalkFailure(png, "zlib bomb");
}

TEST_F(PngTest, CrcMismatchFailsOnlyWhenZlibIsThere) {
    const PngSpec spec = RandomSpec(3, 3, 8, 3, 0, 77);
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(3, 3, 8, 3));
    AppendChunk(png, "PLTE", spec.palette);
    AppendChunk(png, "IDAT", ZlibCompress(RawImageData(spec)));
    AppendChunk(png, "IEND", {});
    // The CRC fields of IHDR, PLTE and IDAT.
    const size_t crcAt[] = {8 + 8 + 13, 33 + 8 + spec.palette.size(),
                            33 + 12 + spec.palette.size() + 8 +
                                (png.size() - 12 - (33 + 12 + spec.palette.size()) - 12)};
    for (size_t at : crcAt) {
        std::vector<uint8_t> bad = png;
        bad[at] ^= 0x40;
        UseZlib(true);
        ExpectWalkFailure(bad, "bad CRC with zlib");
        UseZlib(false);
        MemoryImage image;
        ASSERT_TRUE(Decode(bad, image));
        EXPECT_TRUE(SamePixels(image, *ExpectedPixels(SamplesOf(spec)), 3, 3)) << "CRC at " << at;
    }
    // A stored CRC of zero is not checked.
    UseZlib(true);
    std::vector<uint8_t> zero = png;
    std::memset(&zero[crcAt[0]], 0, 4);
    MemoryImage image;
    ASSERT_TRUE(Decode(zero, image));
    EXPECT_EQ(image.Width(), 3);
}

TEST_F(PngTest, ChunksBetweenImageDataAndSplitDataAreGatheredInOrder) {
    PngSpec spec = RandomSpec(16, 16, 8, 2, 0, 3);
    const std::vector<uint8_t> z = ZlibCompress(RawImageData(spec));
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(16, 16, 8, 2));
    AppendChunk(png, "IDAT", std::span<const uint8_t>(z.data(), 10));
    AppendChunk(png, "tEXt", std::vector<uint8_t>{'a', 0, 'b'});
    AppendChunk(png, "IDAT", {}); // empty chunks are skipped
    AppendChunk(png, "IDAT", std::span<const uint8_t>(z.data() + 10, z.size() - 10));
    AppendChunk(png, "IEND", {});
    png.insert(png.end(), {1, 2, 3}); // bytes after IEND are not read
    MemoryImage image;
    ASSERT_TRUE(Decode(png, image));
    EXPECT_TRUE(SamePixels(image, *ExpectedPixels(SamplesOf(spec)), 16, 16));
}

TEST_F(PngTest, ImageDataBeyondHalfTheFileGrowsTheBuffer) {
    // Stored (uncompressed) random pixels make the image data nearly the whole file.
    for (bool zlib : {true, false}) {
        UseZlib(zlib);
        PngSpec spec = RandomSpec(40, 30, 8, 6, 0, 21);
        spec.level = 0;
        spec.idatChunkSize = 333;
        const std::vector<uint8_t> png = EncodePng(spec);
        MemoryImage image;
        ASSERT_TRUE(Decode(png, image));
        EXPECT_TRUE(SamePixels(image, *ExpectedPixels(SamplesOf(spec)), 40, 30)) << zlib;
    }
}

TEST_F(PngTest, ImageDataInTinyChunksDecodes) {
    // The image data in chunks of 1 to 7 bytes, through either inflater and either path.
    for (uint8_t interlace : {0, 1}) {
        const PngSpec spec = RandomSpec(37, 23, 8, 6, interlace, 90u + interlace);
        const auto expected = *ExpectedPixels(SamplesOf(spec));
        const std::vector<uint8_t> z = ZlibCompress(RawImageData(spec));
        std::vector<uint8_t> png = PngSignatureBytes();
        AppendChunk(png, "IHDR", IhdrData(37, 23, 8, 6, interlace));
        for (size_t at = 0, n = 1; at < z.size(); at += n, n = n % 7 + 1)
            AppendChunk(png, "IDAT", std::span(z).subspan(at, std::min(n, z.size() - at)));
        AppendChunk(png, "IEND", {});
        for (bool zlib : {true, false}) {
            UseZlib(zlib);
            MemoryImage image;
            ASSERT_TRUE(Decode(png, image));
            EXPECT_TRUE(SamePixels(image, expected, 37, 23)) << zlib << " " << int{interlace};
            MemoryByteSource file(png);
            MemoryImage fromFile;
            ASSERT_TRUE(cPNGparser().LoadFile(file, "", fromFile, 0));
            EXPECT_TRUE(SamePixels(fromFile, expected, 37, 23)) << zlib << " " << int{interlace};
        }
    }
}

TEST_F(PngTest, InflateFailingAfterManyRowsLeavesTheImageAlone) {
    // Two stored blocks; the second one's length check fails, after the first one's
    // rows were decoded.
    PngSpec spec = RandomSpec(200, 100, 8, 6, 0, 17);
    spec.level = 0;
    std::vector<uint8_t> z = ZlibCompress(RawImageData(spec), 0);
    const size_t firstLength = z[3] | size_t{z[4]} << 8;
    ASSERT_LT(2 + 5 + firstLength + 5, z.size());
    z[2 + 5 + firstLength + 3] ^= 0x10;
    const std::vector<uint8_t> png =
        WithChunks({{"IHDR", IhdrData(200, 100, 8, 6)}, {"IDAT", z}, {"IEND", {}}});
    for (bool zlib : {true, false}) {
        UseZlib(zlib);
        ExpectWalkFailure(png, zlib ? "zlib" : "built-in");
    }
}

TEST_F(PngTest, AStreamLengthPastTheEndStopsAtTheBytesEnd) {
    // From offset 8 with a length far beyond the bytes: the slice ends with them. The PNG
    // has no IEND, so the walk runs to the end of the slice and fails there, the image
    // untouched (a slice reaching past the bytes would be read beyond them).
    std::vector<uint8_t> bytes(8, 0xEE);
    const std::vector<uint8_t> png =
        WithChunks({{"IHDR", IhdrData(1, 1, 8, 6)},
                    {"IDAT", ZlibCompress(std::vector<uint8_t>{0, 1, 2, 3, 4})}});
    bytes.insert(bytes.end(), png.begin(), png.end());
    MemoryImage image;
    ASSERT_TRUE(image.InitializeDIB(2, 2));
    cPNGparser parser;
    EXPECT_TRUE(parser.LoadStream(bytes, image, 8, SIZE_MAX, 0));
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(image.ImageType(), imgBlank);
}

TEST_F(PngTest, APaletteDoesNotOutliveItsLoad) {
    // One parser, an indexed image with its palette, then a grey one of 2 bits: the grey
    // levels are 0, 85, 170 and 255 whatever the palette before.
    PngSpec indexed = RandomSpec(4, 1, 2, 3, 0, 5);
    indexed.palette = {9, 8, 7, 6, 5, 4, 3, 2, 1, 10, 11, 12};
    indexed.pixels = {0x1B};
    PngSpec grey = RandomSpec(4, 1, 2, 0, 0, 6);
    grey.pixels = {0x1B}; // samples 0, 1, 2, 3
    cPNGparser parser;
    MemoryImage image;
    ASSERT_TRUE(parser.LoadStream(EncodePng(indexed), image, 0, SIZE_MAX, 0));
    ASSERT_EQ(image.PixelAt(1, 0), 0xFF060504u);
    const std::vector<uint8_t> greyPng = EncodePng(grey);
    ASSERT_TRUE(parser.LoadStream(greyPng, image, 0, greyPng.size(), 0));
    EXPECT_EQ(image.PixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(image.PixelAt(1, 0), 0xFF555555u);
    EXPECT_EQ(image.PixelAt(2, 0), 0xFFAAAAAAu);
    EXPECT_EQ(image.PixelAt(3, 0), 0xFFFFFFFFu);
}

TEST_F(PngTest, StreamSliceAndFilePathGiveTheSameImage) {
    const PngSpec spec = RandomSpec(21, 7, 8, 6, 1, 11);
    const std::vector<uint8_t> png = EncodePng(spec);
    const auto expected = *ExpectedPixels(SamplesOf(spec));

    std::vector<uint8_t> padded(5, 0xEE);
    padded.insert(padded.end(), png.begin(), png.end());
    padded.insert(padded.end(), 9, 0xEE);
    MemoryImage a;
    cPNGparser parser;
    ASSERT_TRUE(parser.LoadStream(padded, a, 5, png.size(), 0));
    EXPECT_TRUE(SamePixels(a, expected, 21, 7));
    EXPECT_FALSE(parser.LoadStream(padded, a, padded.size() + 1, 10, 0));

    MemoryByteSource memory(png);
    MemoryImage b;
    ASSERT_TRUE(parser.LoadFile(memory, "", b, 0));
    EXPECT_TRUE(SamePixels(b, expected, 21, 7));

    const std::string path = JoinPath(MakeTempDir("png"), "slice.png");
    ASSERT_TRUE(WriteFile(path, std::string(png.begin(), png.end())));
    StdFileByteSource file(path);
    ASSERT_TRUE(file.IsOpen());
    MemoryImage c;
    ASSERT_TRUE(parser.LoadFile(file, path, c, 0));
    EXPECT_TRUE(SamePixels(c, expected, 21, 7));

    // A file cut inside its last CRC fails the walk; a file of 56 bytes is not looked at.
    const std::vector<uint8_t> cut(png.begin(), png.end() - 1);
    MemoryByteSource cutSource(cut);
    MemoryImage d;
    EXPECT_TRUE(parser.LoadFile(cutSource, "", d, 0));
    EXPECT_EQ(d.BitsPointer(), nullptr);
    MemoryByteSource shortSource(std::span<const uint8_t>(png.data(), 56));
    EXPECT_FALSE(parser.LoadFile(shortSource, "", d, 0));
}

TEST_F(PngTest, ExternalLoaderIsOfferedTheDataFirst) {
    const std::vector<uint8_t> png = EncodePng(RandomSpec(2, 2, 8, 6, 0, 1));
    cPNGparser parser;
    size_t offered = 0;
    parser.SetExternalLoader(
        [&](const cPNGparser::ExternalSource& source, IImageTarget& target, uintptr_t token) {
            offered = source.bytes.size();
            EXPECT_EQ(token, 42u);
            return target.InitializeDIB(7, 7);
        });
    MemoryImage image;
    ASSERT_TRUE(parser.LoadStream(png, image, 0, png.size(), 42));
    EXPECT_EQ(offered, png.size());
    EXPECT_EQ(image.Width(), 7);
    parser.SetExternalLoader(
        [](const cPNGparser::ExternalSource&, IImageTarget&, uintptr_t) { return false; });
    ASSERT_TRUE(parser.LoadStream(png, image, 0, png.size(), 0));
    EXPECT_EQ(image.Width(), 2);
}

} // namespace
} // namespace moirelle::test

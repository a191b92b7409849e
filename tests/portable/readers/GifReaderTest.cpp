#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "formats/GifLzw.h"
#include "formats/cGIFparser.h"
#include "tests/support/ReaderSamples.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace moirelle {
namespace {

using test::BuildGif;
using test::Bytes;
using test::GifImage;

std::vector<uint8_t> Decode(int minCodeSize, const Bytes& codes, size_t pixels,
                            size_t* produced = nullptr, bool* valid = nullptr) {
    std::vector<uint8_t> out(pixels + gif::kLzwSlack, 0xEE);
    const gif::LzwResult r = gif::DecodeLzw(minCodeSize, codes, out.data(), pixels);
    if (produced) *produced = r.produced;
    if (valid) *valid = r.valid;
    out.resize(r.produced);
    return out;
}

TEST(GifLzw, RoundTripsRandomRunsAndRepeats) {
    std::mt19937 rng(7);
    for (int mcs : {2, 4, 8}) {
        const uint32_t colours = 1u << mcs;
        std::vector<uint8_t> indices(200000);
        // Runs of repeated indices (the string that defines itself), noise and patterns.
        for (size_t i = 0; i < indices.size();) {
            const size_t run = 1 + rng() % 40;
            const uint8_t v = static_cast<uint8_t>(rng() % colours);
            for (size_t k = 0; k < run && i < indices.size(); ++k, ++i)
                indices[i] = (rng() % 4 == 0) ? static_cast<uint8_t>(rng() % colours) : v;
        }
        for (size_t clearEvery : {size_t{0}, size_t{1000}}) {
            const Bytes codes = test::LzwEncode(mcs, indices, clearEvery);
            bool valid = false;
            EXPECT_EQ(Decode(mcs, codes, indices.size(), nullptr, &valid), indices)
                << "mcs " << mcs << " clearEvery " << clearEvery;
            EXPECT_TRUE(valid);
        }
    }
    // One long run: strings grow to hundreds of bytes and copy onto themselves.
    const std::vector<uint8_t> flat(300000, 3);
    EXPECT_EQ(Decode(2, test::LzwEncode(2, flat), flat.size()), flat);
}

TEST(GifLzw, StopsAtThePixelCountAndTheDataEnd) {
    const std::vector<uint8_t> indices = {1, 2, 1, 2, 1, 2, 1, 2, 3, 3, 3, 3};
    const Bytes codes = test::LzwEncode(2, indices);
    size_t produced = 0;
    // Fewer pixels than the data hold: the surplus is dropped, nothing is written past.
    std::vector<uint8_t> out(5 + gif::kLzwSlack, 0xEE);
    const gif::LzwResult r = gif::DecodeLzw(2, codes, out.data(), 5);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.produced, 5u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 5),
              std::vector<uint8_t>(indices.begin(), indices.begin() + 5));
    // Data cut short: what was decoded is kept.
    const Bytes cut(codes.begin(), codes.begin() + 3);
    bool valid = false;
    const auto partial = Decode(2, cut, indices.size(), &produced, &valid);
    EXPECT_TRUE(valid);
    EXPECT_GT(produced, 0u);
    EXPECT_LT(produced, indices.size());
    EXPECT_EQ(partial, std::vector<uint8_t>(indices.begin(), indices.begin() + produced));
}

TEST(GifLzw, CutsSurplusPixelsInsideStringsOfEveryLength) {
    // A long run (strings that define themselves, growing to hundreds of bytes) and then
    // noise: the pixel count ends inside strings of many lengths and kinds.
    std::vector<uint8_t> indices(3000, 2);
    std::mt19937 rng(3);
    for (int i = 0; i < 2000; ++i)
        indices.push_back(static_cast<uint8_t>(rng() % 4));
    const Bytes codes = test::LzwEncode(2, indices);
    for (size_t pixels : {size_t{1}, size_t{2}, size_t{4}, size_t{15}, size_t{16}, size_t{17},
                          size_t{100}, size_t{2999}, size_t{3000}, size_t{3001}, size_t{4321}}) {
        size_t produced = 0;
        bool valid = false;
        EXPECT_EQ(Decode(2, codes, pixels, &produced, &valid),
                  std::vector<uint8_t>(indices.begin(), indices.begin() + pixels))
            << pixels;
        EXPECT_TRUE(valid);
        EXPECT_EQ(produced, pixels);
    }
}

TEST(GifLzw, RefusesCodesOutsideTheTableAndBadCodeSizes) {
    // mcs 2: clear 4, end 5, first free code 6. After clear, literal 1, then code 7
    // (one beyond the next free code 6) is invalid. 3-bit codes: 4, 1, 7.
    const Bytes codes = {static_cast<uint8_t>(4 | (1 << 3) | (7 << 6)),
                         static_cast<uint8_t>(7 >> 2)};
    bool valid = true;
    Decode(2, codes, 16, nullptr, &valid);
    EXPECT_FALSE(valid);
    // A code above the literals straight after a clear has no string yet.
    const Bytes afterClear = {static_cast<uint8_t>(4 | (6 << 3)), 0};
    Decode(2, afterClear, 16, nullptr, &valid);
    EXPECT_FALSE(valid);
    Decode(12, Bytes{0, 0, 0}, 4, nullptr, &valid);
    EXPECT_FALSE(valid);
    Decode(0, Bytes{0, 0, 0}, 4, nullptr, &valid);
    EXPECT_FALSE(valid);
}

// Packs codes of `bits` bits each, least significant bit first.
Bytes PackCodes(std::initializer_list<uint32_t> codes, int bits) {
    Bytes out;
    uint32_t acc = 0;
    int accBits = 0;
    for (uint32_t code : codes) {
        acc |= code << accBits;
        for (accBits += bits; accBits >= 8; accBits -= 8, acc >>= 8)
            out.push_back(static_cast<uint8_t>(acc));
    }
    if (accBits > 0) out.push_back(static_cast<uint8_t>(acc));
    return out;
}

TEST(GifLzw, RefusesLiteralsThatNoPaletteIndexCanHold) {
    // Minimum code sizes 9 to 11 allow literals above 255; a byte index cannot hold them.
    struct Case {
        int minCodeSize;
        uint32_t literal;
        bool valid;
    };
    for (const Case c : {Case{9, 257, false}, Case{10, 1000, false}, Case{11, 2047, false},
                         Case{9, 255, true}, Case{11, 7, true}}) {
        const uint32_t clear = 1u << c.minCodeSize;
        bool valid = !c.valid;
        size_t produced = 0;
        const auto out =
            Decode(c.minCodeSize, PackCodes({clear, c.literal, clear + 1}, c.minCodeSize + 1), 1,
                   &produced, &valid);
        EXPECT_EQ(valid, c.valid) << c.minCodeSize << " " << c.literal;
        if (c.valid) {
            EXPECT_EQ(out, std::vector<uint8_t>{static_cast<uint8_t>(c.literal)});
        }
    }
}

const std::vector<uint32_t> kFour = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

TEST(GifReader, LoadsAnOpaqueImageUprightWithTheTableColours) {
    GifImage img;
    img.width = 3;
    img.height = 2;
    img.minCodeSize = 2;
    img.indices = {0, 1, 2, 3, 3, 0};
    const Bytes gifBytes = BuildGif(3, 2, kFour, {img});
    MemoryImage dib;
    ASSERT_TRUE(cGIFparser().LoadStream(gifBytes, dib, 0, 0));
    ASSERT_EQ(dib.Width(), 3);
    ASSERT_EQ(dib.Height(), 2);
    EXPECT_EQ(dib.ImageType(), imgGIF);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFFFF0000u);
    EXPECT_EQ(dib.PixelAt(1, 0), 0xFF00FF00u);
    EXPECT_EQ(dib.PixelAt(2, 0), 0xFF0000FFu);
    EXPECT_EQ(dib.PixelAt(0, 1), 0xFFFFFFFFu);
    EXPECT_EQ(dib.PixelAt(2, 1), 0xFFFF0000u);
}

TEST(GifReader, KeepsOnlyTheTransparentIndexTransparent) {
    GifImage img;
    img.width = 4;
    img.height = 1;
    img.minCodeSize = 2;
    img.indices = {0, 1, 2, 3};
    img.transparentIndex = 1;
    // Entries 0 and 1 share a colour: only index 1 may vanish.
    const Bytes gifBytes = BuildGif(4, 1, {0x102030, 0x102030, 0x00FF00, 0xFFFFFF}, {img});
    MemoryImage dib;
    ASSERT_TRUE(cGIFparser().LoadStream(gifBytes, dib, 0, 0));
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(dib.ImageType(), imgGIF);
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFF102030u);
    EXPECT_EQ(dib.PixelAt(1, 0), 0u);
    EXPECT_EQ(dib.PixelAt(2, 0), 0xFF00FF00u);
    EXPECT_EQ(dib.PixelAt(3, 0), 0xFFFFFFFFu);
}

TEST(GifReader, RebuildsTheFirstFrameAtTheOriginWithGreyStepsForTransparency) {
    GifImage first;
    first.left = 5;
    first.top = 7;
    first.width = 2;
    first.height = 2;
    first.minCodeSize = 2;
    first.indices = {0, 1, 2, 3};
    first.controlExtension = true; // an earlier extension without transparency...
    GifImage second = first;
    second.left = 0;
    second.top = 0;
    second.indices = {3, 3, 3, 3};
    Bytes gifBytes = BuildGif(20, 20, kFour, {first, second});
    // ...followed by a second control extension before the first image, with index 2.
    const uint8_t gce[8] = {0x21, 0xF9, 4, 1, 0, 0, 2, 0};
    const size_t firstImage = 13 + 12 + 8;
    gifBytes.insert(gifBytes.begin() + firstImage, gce, gce + 8);

    cGIFparser::SingleFrame frame;
    ASSERT_TRUE(cGIFparser::BuildSingleFrame(gifBytes, frame));
    EXPECT_EQ(frame.transparentIndex, 2);
    EXPECT_EQ(frame.tablePosition, 13u);
    EXPECT_EQ(frame.tableEntries, 4u);
    const Bytes& r = frame.bytes;
    EXPECT_EQ(r[6], 2); // screen width and height: the frame's
    EXPECT_EQ(r[8], 2);
    EXPECT_EQ(Bytes(r.begin() + 13, r.begin() + 25), (Bytes{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(Bytes(r.begin() + 25, r.begin() + 33), Bytes(gce, gce + 8));
    EXPECT_EQ(r[33], 0x2C);
    EXPECT_EQ(Bytes(r.begin() + 34, r.begin() + 38), (Bytes{0, 0, 0, 0})); // placed at 0, 0
    // One image only: its data sub-blocks, their terminator, then the trailer as last byte.
    size_t pos = 34 + 9 + 1; // descriptor (no local table) and the minimum code size
    while (pos < r.size() && r[pos] != 0)
        pos += r[pos] + 1u;
    EXPECT_EQ(pos + 2, r.size());
    EXPECT_EQ(r.back(), 0x3B);

    MemoryImage dib;
    ASSERT_TRUE(cGIFparser().LoadStream(gifBytes, dib, 0, 0));
    ASSERT_EQ(dib.Width(), 2);
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFFFF0000u) << "first frame, colours from the source table";
    EXPECT_EQ(dib.PixelAt(0, 1), 0u);
    EXPECT_EQ(dib.PixelAt(1, 1), 0xFFFFFFFFu);
}

TEST(GifReader, AcceptsCapitalsLocalTablesAndSlices) {
    GifImage img;
    img.width = 1;
    img.height = 1;
    img.minCodeSize = 2;
    img.indices = {1};
    img.localTable = {0x000000, 0x123456};
    const Bytes gifBytes = BuildGif(1, 1, {}, {img}, "GIF87A");
    Bytes padded(9, 0xAA);
    padded.insert(padded.end(), gifBytes.begin(), gifBytes.end());
    padded.insert(padded.end(), 5, 0xAA);
    MemoryImage dib;
    ASSERT_TRUE(cGIFparser().LoadStream(padded, dib, 9, gifBytes.size()));
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFF123456u);

    img.localTable.clear();
    MemoryImage untouched;
    EXPECT_FALSE(cGIFparser().LoadStream(BuildGif(1, 1, {}, {img}), untouched, 0, 0))
        << "no colour table at all";
    EXPECT_EQ(untouched.ImageType(), imgBlank);
    Bytes wrong = gifBytes;
    wrong[3] = '9';
    wrong[4] = '0';
    EXPECT_FALSE(cGIFparser().LoadStream(wrong, untouched, 0, 0));
    Bytes unknownBlock = BuildGif(1, 1, {0, 0}, {});
    unknownBlock.back() = 0x3B; // trailer before any image
    EXPECT_FALSE(cGIFparser().LoadStream(unknownBlock, untouched, 0, 0));
}

TEST(GifReader, PutsInterlacedRowsInPictureOrder) {
    const int h = 11;
    GifImage img;
    img.width = 1;
    img.height = h;
    img.minCodeSize = 4;
    img.interlaced = true;
    for (int y : {0, 8, 4, 2, 6, 10, 1, 3, 5, 7, 9})
        img.indices.push_back(static_cast<uint8_t>(y));
    std::vector<uint32_t> table(16);
    for (uint32_t i = 0; i < 16; ++i)
        table[i] = i * 0x010101;
    MemoryImage dib;
    ASSERT_TRUE(cGIFparser().LoadStream(BuildGif(1, h, table, {img}), dib, 0, 0));
    for (int y = 0; y < h; ++y)
        EXPECT_EQ(dib.PixelAt(0, y), 0xFF000000u | static_cast<uint32_t>(y) * 0x010101u) << y;
}

TEST(GifReader, RefusesIndicesBeyondTheTableAndSizesTheDataCannotFill) {
    GifImage img;
    img.width = 2;
    img.height = 1;
    img.minCodeSize = 3;
    img.indices = {0, 5};
    MemoryImage dib;
    EXPECT_FALSE(cGIFparser().LoadStream(BuildGif(2, 1, kFour, {img}), dib, 0, 0));
    EXPECT_EQ(dib.BitsPointer(), nullptr);

    // 60000 x 60000 claimed by a handful of bytes: refused before any allocation.
    img.width = 60000;
    img.height = 60000;
    img.indices = {1, 2};
    EXPECT_FALSE(cGIFparser().LoadStream(BuildGif(1, 1, kFour, {img}), dib, 0, 0));
    EXPECT_EQ(dib.BitsPointer(), nullptr);

    // A zero-sized image and an image block cut off after its descriptor.
    img.width = 0;
    EXPECT_FALSE(cGIFparser().LoadStream(BuildGif(1, 1, kFour, {img}), dib, 0, 0));
    img.width = 2;
    img.height = 1;
    Bytes cut = BuildGif(2, 1, kFour, {img});
    cut.resize(13 + 12 + 10);
    EXPECT_FALSE(cGIFparser().LoadStream(cut, dib, 0, 0));
}

TEST(GifReader, RefusesLiteralIndicesBeyondTheTableAtWideCodeSizes) {
    // A 1 x 1 image whose one code is a literal: 257 would fold to index 1 of the table.
    struct Case {
        int minCodeSize;
        uint32_t literal;
        size_t tableEntries;
        bool loads;
    };
    for (const Case c : {Case{9, 257, 4, false}, Case{11, 1025, 4, false}, Case{9, 256, 256, false},
                         Case{9, 255, 256, true}}) {
        std::vector<uint32_t> table(c.tableEntries);
        for (size_t i = 0; i < table.size(); ++i)
            table[i] = static_cast<uint32_t>(i) * 0x010101u;
        Bytes gifBytes = BuildGif(1, 1, table, {});
        gifBytes.pop_back(); // the trailer; the image follows
        const uint8_t descriptor[10] = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0};
        gifBytes.insert(gifBytes.end(), descriptor, descriptor + 10);
        gifBytes.push_back(static_cast<uint8_t>(c.minCodeSize));
        const uint32_t clear = 1u << c.minCodeSize;
        test::PutSubBlocks(gifBytes, PackCodes({clear, c.literal, clear + 1}, c.minCodeSize + 1));
        gifBytes.push_back(0x3B);
        MemoryImage dib;
        EXPECT_EQ(cGIFparser().LoadStream(gifBytes, dib, 0, 0), c.loads) << c.literal;
        if (c.loads) {
            EXPECT_EQ(dib.PixelAt(0, 0), 0xFF000000u | c.literal * 0x010101u);
        }
    }
}

// Data cut off inside a sub-block read as the same data whose last sub-block says it ends
// there: the cut block's bytes are image data, nothing after them is.
TEST(GifReader, DataCutInsideASubBlockReadAsTheBlockCutShort) {
    GifImage img;
    img.width = 40;
    img.height = 40;
    img.minCodeSize = 8;
    std::mt19937 rng(11);
    for (int i = 0; i < 40 * 40; ++i)
        img.indices.push_back(static_cast<uint8_t>(rng() % 256));
    std::vector<uint32_t> table(256);
    for (uint32_t i = 0; i < 256; ++i)
        table[i] = (i * 0x9E3779B1u) & 0xFFFFFF;
    for (int transparent : {-1, 3}) {
        img.transparentIndex = transparent;
        const Bytes whole = BuildGif(40, 40, table, {img});
        // The first data sub-block: after the header, table, control extension, descriptor
        // and minimum code size.
        const size_t dataStart = 13 + 3 * 256 + (transparent >= 0 ? 8 : 0) + 10 + 1;
        std::vector<size_t> lengthBytes;
        for (size_t at = dataStart; whole[at] != 0; at += whole[at] + 1u)
            lengthBytes.push_back(at);
        ASSERT_GE(lengthBytes.size(), 5u);
        int compared = 0, loaded = 0;
        for (size_t block = 0; block + 1 < lengthBytes.size(); ++block) {
            for (size_t inside : {size_t{1}, size_t{2}, size_t{100}, size_t{254}}) {
                const size_t cut = lengthBytes[block] + 1 + inside; // `inside` bytes kept
                Bytes truncated(whole.begin(), whole.begin() + cut);
                Bytes expected = truncated;
                expected[lengthBytes[block]] = static_cast<uint8_t>(inside);
                expected.push_back(0);
                expected.push_back(0x3B);
                MemoryImage got, want;
                const bool wantLoaded = cGIFparser().LoadStream(expected, want, 0, 0);
                ASSERT_EQ(cGIFparser().LoadStream(truncated, got, 0, 0), wantLoaded) << cut;
                ++compared;
                if (!wantLoaded) continue;
                ++loaded;
                ASSERT_EQ(got.Width(), want.Width());
                EXPECT_EQ(std::memcmp(got.BitsPointer(), want.BitsPointer(), 40 * 40 * 4), 0)
                    << "cut at " << cut;
            }
        }
        EXPECT_EQ(compared, loaded) << "every cut keeps the pixels before it";
    }
}

TEST(GifReader, LeavesPixelsTheDataDoNotReachTransparent) {
    GifImage img;
    img.width = 8;
    img.height = 8;
    img.minCodeSize = 2;
    img.indices.assign(64, 2);
    img.transparentIndex = 3; // not index 0, which unreached indices would read as
    Bytes gifBytes = BuildGif(8, 8, kFour, {img});
    // Keep only the first sub-block's first two bytes of codes.
    const size_t dataStart = 13 + 12 + 8 + 10 + 1;
    gifBytes[dataStart] = 2;
    gifBytes.resize(dataStart + 3);
    gifBytes.push_back(0);
    gifBytes.push_back(0x3B);
    MemoryImage dib;
    ASSERT_TRUE(cGIFparser().LoadStream(gifBytes, dib, 0, 0));
    // The data end inside a row: the pixels decoded so far in reading order, then every
    // pixel transparent, the rest of that row and the rows below.
    int32_t decoded = 0;
    while (decoded < 64 && dib.PixelAt(decoded % 8, decoded / 8) == 0xFF0000FFu)
        ++decoded;
    EXPECT_GT(decoded, 0);
    EXPECT_NE(decoded % 8, 0) << "ends inside a row";
    for (int32_t i = decoded; i < 64; ++i)
        ASSERT_EQ(dib.PixelAt(i % 8, i / 8), 0u) << "pixel " << i % 8 << "," << i / 8;
}

} // namespace
} // namespace moirelle

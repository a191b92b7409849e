// The inflater when memory runs out for a block's tables: a clean failure, whole-buffer
// and windowed, and nothing carried over to the next decode; and the PNG reader around it.
#include "dib/MemoryImage.h"
#include "formats/Inflater.h"
#include "formats/ZlibAccess.h"
#include "formats/cPNGparser.h"
#include "tests/portable/inflate/InflateHelpers.h"
#include "tests/portable/inflate/StreamWriter.h"
#include "tests/support/FailingNew.h"
#include "tests/support/PngWriter.h"

#include <gtest/gtest.h>
#include <span>
#include <vector>

namespace moirelle::test {
namespace {

// "xy" in a fixed block, then a final dynamic block giving "abbbbb", then the trailer.
Bytes FixedThenDynamic() {
    std::vector<int> lit(286, 0);
    lit['a'] = 2;
    lit['b'] = 2;
    lit[256] = 2;
    lit[258] = 3; // length 4
    StreamWriter w;
    w.BlockHeader(false, 1);
    w.FixedLiteral('x');
    w.FixedLiteral('y');
    w.FixedLiteral(256);
    w.DynamicHeader(true, lit, {1});
    const HuffmanCodes codes = CanonicalCodes(lit);
    w.Symbol(codes, 'a');
    w.Symbol(codes, 'b');
    w.Symbol(codes, 258);
    w.Symbol(CanonicalCodes({1}), 0); // distance 1
    w.Symbol(codes, 256);
    Bytes stream = w.Finish();
    // Adler-32 of "xyabbbbb", summed by hand: a = 1 + 120 + 121 + 97 + 5 * 98 = 829,
    // b = the sum of a after each byte = 121 + 242 + 339 + ... + 829 = 3867 (0x0F1B).
    for (uint8_t byte : {0x0F, 0x1B, 0x03, 0x3D})
        stream.push_back(byte);
    return stream;
}

TEST(InflaterOutOfMemory, TheDecodeFailsAndTheNextOneSucceeds) {
    const Bytes stream = FixedThenDynamic();
    const Bytes expected = ToBytes("xyabbbbb");
    Bytes out(expected.size(), 0);
    InflateChecksum checksum = InflateChecksum::Matches;
    FailNewAfter(0);
    EXPECT_FALSE(Inflate(out.data(), out.size(), stream.data(), stream.size(), &checksum));
    FailNewAfter(-1);
    EXPECT_EQ(checksum, InflateChecksum::Unchecked);

    std::fill(out.begin(), out.end(), 0);
    EXPECT_TRUE(Inflate(out.data(), out.size(), stream.data(), stream.size(), &checksum));
    EXPECT_EQ(out, expected);
    EXPECT_EQ(checksum, InflateChecksum::Matches);
}

TEST(InflaterOutOfMemory, AWindowedDecodeStaysFailed) {
    const Bytes stream = FixedThenDynamic();
    const std::vector<std::span<const uint8_t>> pieces{stream};
    std::span<const uint8_t> produced;
    {
        InflateStream windowed(pieces, 0, 64);
        FailNewAfter(0);
        EXPECT_EQ(windowed.Next(produced), InflateStream::Status::Failed);
        FailNewAfter(-1);
        EXPECT_EQ(Bytes(produced.begin(), produced.end()), ToBytes("xy"))
            << "what was decoded before the fault";
        // Called again, it does not go on from the middle of the block header.
        EXPECT_EQ(windowed.Next(produced), InflateStream::Status::Failed);
        EXPECT_TRUE(produced.empty());
        EXPECT_EQ(windowed.CompareTrailer(0x0F1B033D), InflateChecksum::Unchecked);
    }
    InflateStream again(pieces, 0, 64);
    EXPECT_EQ(again.Next(produced), InflateStream::Status::Done);
    EXPECT_EQ(Bytes(produced.begin(), produced.end()), ToBytes("xyabbbbb"));
    EXPECT_EQ(again.CompareTrailer(0x0F1B033D), InflateChecksum::Matches);
}

TEST(InflaterOutOfMemory, APngLoadEmptiesTheImageWhenTheDecodeRunsOut) {
    // Every allocation of a load fails in turn, the built-in inflater decoding. One while
    // the image data are gathered ends the chunk walk: the image is left as it was. Any
    // later one falls in the decode, after which the image is destroyed, as after any
    // failure once the decode has begun.
    SetZlibLibraryNames({"", ""});
    PngSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.colorType = 2;
    spec.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    const Bytes png = EncodePng(spec);
    int untouched = 0, destroyed = 0;
    bool loaded = false;
    for (int n = 0; n < 100 && !loaded; ++n) {
        SCOPED_TRACE(n);
        MemoryImage image;
        ASSERT_TRUE(image.InitializeDIB(5, 5));
        cPNGparser parser;
        FailNewAfter(n);
        const bool answered = parser.LoadStream(png, image, 0, png.size(), 0);
        const bool failed = NewFailureCame();
        FailNewAfter(-1);
        EXPECT_TRUE(answered);
        if (!failed) {
            loaded = true;
            ASSERT_EQ(image.Width(), 3);
            EXPECT_EQ(image.PixelAt(2, 1), 0xFF101112u);
            EXPECT_EQ(image.ImageType(), imgPNG);
        } else if (image.Width() == 5) {
            EXPECT_EQ(destroyed, 0) << "untouched after the decode had begun";
            EXPECT_EQ(image.ImageType(), imgBlank);
            ++untouched;
        } else {
            EXPECT_EQ(image.BitsPointer(), nullptr);
            EXPECT_EQ(image.ImageType(), imgNone);
            ++destroyed;
        }
    }
    SetZlibLibraryNames(DefaultZlibLibraryNames());
    EXPECT_TRUE(loaded);
    EXPECT_GE(untouched, 1);
    EXPECT_GE(destroyed, 1);
}

} // namespace
} // namespace moirelle::test

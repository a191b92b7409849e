// The image data's Adler-32 does not decide a load: with zlib its failure on a wrong
// checksum hands the data to the built-in inflater, which does not fail on it; without
// zlib the built-in inflater decodes directly. Either way the pixels are the data's.
#include "tests/portable/png/PngTestSupport.h"

namespace moirelle::test {
namespace {

class PngChecksum : public PngTest {};

TEST_F(PngChecksum, AWrongAdlerInCrcCorrectChunksStillLoads) {
    PngSpec spec;
    spec.width = 9;
    spec.height = 4;
    spec.pixels = PatternBytes(9 * 4 * 4, 11);
    std::vector<uint8_t> z = ZlibCompress(RawImageData(spec));
    z.back() ^= 0x5A; // the trailer's last byte
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(9, 4, 8, 6, 0));
    AppendChunk(png, "IDAT", z);
    AppendChunk(png, "IEND", {});
    const auto expected = ExpectedPixels(SamplesOf(spec));
    for (bool zlib : {true, false}) {
        SCOPED_TRACE(zlib ? "with zlib" : "without zlib");
        UseZlib(zlib);
        MemoryImage image;
        ASSERT_TRUE(Decode(png, image));
        EXPECT_TRUE(SamePixels(image, *expected, 9, 4));
    }
}

} // namespace
} // namespace moirelle::test

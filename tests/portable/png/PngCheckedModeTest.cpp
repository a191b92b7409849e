// The PNG reader's checked mode: every chunk it reads must carry its right CRC-32 and the
// image data their right Adler-32, with zlib or without; the default mode is unchanged
// (PngDecoderTest, PngChecksumTest).
#include "dib/VectorLevel.h"
#include "formats/ByteSource.h"
#include "formats/Crc32.h"
#include "tests/portable/png/PngTestSupport.h"

#include <cstring>
#include <string>

namespace moirelle::test {
namespace {

// Bit by bit, straight from the polynomial.
uint32_t BitwiseCrc32(const uint8_t* p, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

TEST(Crc32, MatchesTheBitwiseDefinitionOnEveryRouteAndChains) {
    const auto* check = reinterpret_cast<const uint8_t*>("123456789");
    const std::vector<uint8_t> bytes = PatternBytes(5000, 3);
    for (VectorLevel level : AvailableVectorLevels()) {
        const ScopedVectorLevel at(level);
        SCOPED_TRACE(VectorLevelName(level));
        EXPECT_EQ(moirelle::Crc32(0, check, 9), 0xCBF43926u);
        EXPECT_EQ(moirelle::Crc32(0, bytes.data(), 0), 0u);
        // Lengths about the 8-byte table steps and the 16- and 64-byte folds, at odd starts.
        for (size_t start : {0, 1, 7})
            for (size_t n : {1, 8, 15, 16, 63, 64, 65, 80, 127, 128, 200, 4093}) {
                const uint8_t* p = bytes.data() + start;
                const uint32_t want = BitwiseCrc32(p, n);
                EXPECT_EQ(moirelle::Crc32(0, p, n), want) << start << " " << n;
                EXPECT_EQ(moirelle::Crc32(moirelle::Crc32(0, p, n / 3), p + n / 3, n - n / 3), want)
                    << start << " " << n;
            }
    }
}

class PngCheckedMode : public PngTest {
  protected:
    // Loads through the stream and the file path in checked mode; true when both gave an
    // image equal to `expected`, false when both left the 1 x 1 image they were given.
    static bool LoadsChecked(const std::vector<uint8_t>& png, const std::vector<uint32_t>& expected,
                             uint32_t w, uint32_t h) {
        bool loaded[2] = {};
        for (int path = 0; path < 2; ++path) {
            MemoryImage image;
            EXPECT_TRUE(image.InitializeDIB(1, 1));
            cPNGparser parser;
            parser.SetChecked(true);
            EXPECT_TRUE(parser.Checked());
            MemoryByteSource file(png);
            EXPECT_TRUE(path == 0 ? parser.LoadStream(png, image, 0, png.size(), 0)
                                  : parser.LoadFile(file, "", image, 0));
            loaded[path] = image.ImageType() != imgBlank;
            if (loaded[path])
                EXPECT_TRUE(SamePixels(image, expected, w, h)) << "path " << path;
            else
                EXPECT_EQ(image.Width(), 1) << "path " << path;
        }
        EXPECT_EQ(loaded[0], loaded[1]);
        return loaded[0] && loaded[1];
    }
};

struct Indexed {
    PngSpec spec;
    std::vector<uint8_t> z;
    std::vector<uint32_t> expected;
    Indexed() {
        spec.width = 9;
        spec.height = 5;
        spec.colorType = 3;
        spec.pixels = PatternBytes(9 * 5, 41);
        for (uint8_t& index : spec.pixels)
            index %= 6;
        spec.palette = PatternBytes(6 * 3, 42);
        z = ZlibCompress(RawImageData(spec));
        expected = *ExpectedPixels(SamplesOf(spec));
    }
    // The file with the image data in chunks of `piece` bytes (0: one chunk).
    std::vector<uint8_t> Png(const std::vector<uint8_t>& data, size_t piece = 0) const {
        std::vector<uint8_t> png = PngSignatureBytes();
        AppendChunk(png, "IHDR", IhdrData(9, 5, 8, 3));
        AppendChunk(png, "PLTE", spec.palette);
        const size_t n = piece ? piece : data.size();
        for (size_t at = 0; at < data.size(); at += n)
            AppendChunk(png, "IDAT", std::span(data).subspan(at, std::min(n, data.size() - at)));
        AppendChunk(png, "IEND", {});
        return png;
    }
};

TEST_F(PngCheckedMode, GoodFilesLoadAsInTheDefaultMode) {
    const Indexed image;
    PngSpec rgba;
    rgba.width = 31;
    rgba.height = 17;
    rgba.interlace = 1;
    rgba.pixels = PatternBytes(31 * 17 * 4, 5);
    rgba.idatChunkSize = 50;
    const auto rgbaExpected = *ExpectedPixels(SamplesOf(rgba));
    for (bool zlib : {true, false}) {
        SCOPED_TRACE(zlib ? "with zlib" : "without zlib");
        UseZlib(zlib);
        EXPECT_TRUE(LoadsChecked(image.Png(image.z), image.expected, 9, 5));
        // The trailer split over chunks of 3 bytes.
        EXPECT_TRUE(LoadsChecked(image.Png(image.z, 3), image.expected, 9, 5));
        EXPECT_TRUE(LoadsChecked(EncodePng(rgba), rgbaExpected, 31, 17));
        // Bytes after the trailer are not it: the trailer is where the data end.
        std::vector<uint8_t> longer = image.z;
        longer.insert(longer.end(), {0x11, 0x22, 0x33, 0x44, 0x55});
        EXPECT_TRUE(LoadsChecked(image.Png(longer), image.expected, 9, 5));
    }
}

TEST_F(PngCheckedMode, AWrongCrcInAReadChunkFailsTheLoad) {
    const Indexed image;
    const std::vector<uint8_t> png = image.Png(image.z);
    const size_t ihdrCrc = 8 + 8 + 13, plteCrc = ihdrCrc + 4 + 8 + image.spec.palette.size();
    const size_t idatCrc = plteCrc + 4 + 8 + image.z.size();
    for (bool zlib : {true, false}) {
        SCOPED_TRACE(zlib ? "with zlib" : "without zlib");
        UseZlib(zlib);
        for (size_t at : {ihdrCrc, plteCrc, idatCrc}) {
            std::vector<uint8_t> bad = png;
            bad[at + 3] ^= 0x01;
            EXPECT_FALSE(LoadsChecked(bad, image.expected, 9, 5)) << "CRC at " << at;
            std::memset(&bad[at], 0, 4); // a stored zero is checked too
            EXPECT_FALSE(LoadsChecked(bad, image.expected, 9, 5)) << "zero CRC at " << at;
        }
        // A wrong CRC in the data, not the field, is found the same way.
        std::vector<uint8_t> bad = png;
        bad[idatCrc - 1] ^= 0x80;
        EXPECT_FALSE(LoadsChecked(bad, image.expected, 9, 5));
    }
}

TEST_F(PngCheckedMode, TransparencyWithAWrongCrcIsIgnored) {
    const Indexed image;
    std::vector<uint8_t> png = PngSignatureBytes();
    AppendChunk(png, "IHDR", IhdrData(9, 5, 8, 3));
    AppendChunk(png, "PLTE", image.spec.palette);
    AppendChunk(png, "tRNS", std::vector<uint8_t>(6, 0), true);
    AppendChunk(png, "IDAT", image.z);
    AppendChunk(png, "IEND", {});
    UseZlib(false); // without zlib only the checked mode sees the CRC
    EXPECT_TRUE(LoadsChecked(png, image.expected, 9, 5));
}

TEST_F(PngCheckedMode, AWrongOrMissingAdlerFailsTheLoad) {
    const Indexed image;
    std::vector<uint8_t> wrong = image.z;
    wrong[wrong.size() - 4] ^= 0x01; // the trailer's first byte
    const std::vector<uint8_t> missing(image.z.begin(), image.z.end() - 2);
    for (bool zlib : {true, false}) {
        SCOPED_TRACE(zlib ? "with zlib" : "without zlib");
        UseZlib(zlib);
        EXPECT_FALSE(LoadsChecked(image.Png(wrong), image.expected, 9, 5));
        EXPECT_FALSE(LoadsChecked(image.Png(wrong, 3), image.expected, 9, 5));
        EXPECT_FALSE(LoadsChecked(image.Png(missing), image.expected, 9, 5));
        // The default mode loads them all (the trailer is not looked at).
        MemoryImage loaded;
        ASSERT_TRUE(Decode(image.Png(wrong), loaded));
        EXPECT_TRUE(SamePixels(loaded, image.expected, 9, 5));
    }
}

} // namespace
} // namespace moirelle::test

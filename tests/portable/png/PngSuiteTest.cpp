// The PNG conformance suite: every valid image decodes, through zlib and through the
// built-in inflater, to the pixels libpng gives (kept as digests in pngsuite-pixels.txt,
// so that both trees compare); every corrupted one is refused or handled by our rules.
//
// Where libpng is found natively, ReferenceDigestsAreLibpngs checks the digest file
// against libpng; with MOIRELLE_WRITE_PNGSUITE_DIGESTS=1 it writes the file instead.
#include "tests/portable/png/PngTestSupport.h"
#include "tests/support/Sha256.h"
#include "tests/support/TestPaths.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#ifdef MOIRELLE_HAVE_LIBPNG
#include <png.h>
#endif

namespace moirelle::test {
namespace {

std::string SuiteDir() {
    const std::string corpus = CorpusDir();
    return corpus.empty() ? std::string() : JoinPath(corpus, "pngsuite");
}

std::vector<std::string> SuiteFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(SuiteDir(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".png" && name != "PngSuite.png")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> ReadBytes(const std::string& name) {
    std::string data;
    EXPECT_TRUE(ReadFile(JoinPath(SuiteDir(), name), data)) << name;
    return {data.begin(), data.end()};
}

// Expected pixels of one suite file: size, alpha flag and the SHA-256 of its pixels as
// 0xAARRGGBB words stored little-endian (B, G, R, A), rows from the top.
struct PixelDigest {
    int32_t width = 0, height = 0;
    bool alpha = false;
    std::string sha256;
    bool operator==(const PixelDigest&) const = default;
};

std::ostream& operator<<(std::ostream& out, const PixelDigest& d) {
    return out << d.width << "x" << d.height << (d.alpha ? " alpha " : " opaque ") << d.sha256;
}

std::string DigestFilePath() {
    return JoinPath(JoinPath(JoinPath(JoinPath(SourceDir(), "tests"), "portable"), "png"),
                    "pngsuite-pixels.txt");
}

std::string Sha256OfWords(const std::vector<uint32_t>& words) {
    std::vector<uint8_t> bytes;
    bytes.reserve(words.size() * 4);
    for (uint32_t w : words)
        bytes.insert(bytes.end(),
                     {uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)});
    return Sha256Hex(bytes.data(), bytes.size());
}

PixelDigest DigestOf(const MemoryImage& image) {
    std::vector<uint32_t> words;
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x)
            words.push_back(image.PixelAt(x, y));
    return {image.Width(), image.Height(), image.Alpha(), Sha256OfWords(words)};
}

// name width height alpha(0/1) sha256, one file a line.
std::map<std::string, PixelDigest> ReadDigests() {
    std::map<std::string, PixelDigest> digests;
    std::string text;
    if (!ReadFile(DigestFilePath(), text)) return digests;
    std::istringstream lines(text);
    std::string name;
    PixelDigest d;
    while (lines >> name >> d.width >> d.height >> d.alpha >> d.sha256)
        digests[name] = d;
    return digests;
}

#ifdef MOIRELLE_HAVE_LIBPNG
struct ReadState {
    const std::vector<uint8_t>* bytes;
    size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (state->pos + count > state->bytes->size()) png_error(png, "read past end");
    std::copy_n(state->bytes->data() + state->pos, count, out);
    state->pos += count;
}

// The file's samples, palette and transparency as libpng reads them.
std::optional<SampleImage> DecodeWithLibpng(const std::vector<uint8_t>& bytes) {
    SampleImage img;
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    ReadState state{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return std::nullopt;
    }
    png_set_read_fn(png, &state, ReadFromMemory);
    png_read_info(png, info);
    img.width = png_get_image_width(png, info);
    img.height = png_get_image_height(png, info);
    img.bitDepth = png_get_bit_depth(png, info);
    img.colorType = png_get_color_type(png, info);
    if (img.bitDepth < 8) png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * img.height);
    rows.resize(img.height);
    for (uint32_t y = 0; y < img.height; ++y)
        rows[y] = pixels.data() + y * rowBytes;
    png_read_image(png, rows.data());

    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) && img.colorType == 3)
        for (int i = 0; i < entries; ++i)
            img.palette.insert(img.palette.end(),
                               {palette[i].red, palette[i].green, palette[i].blue});
    png_bytep alpha = nullptr;
    int count = 0;
    png_color_16p key = nullptr;
    if (png_get_tRNS(png, info, &alpha, &count, &key)) {
        auto put16 = [&](uint16_t v) {
            img.transparency.push_back(static_cast<uint8_t>(v >> 8));
            img.transparency.push_back(static_cast<uint8_t>(v));
        };
        if (img.colorType == 3) img.transparency.assign(alpha, alpha + count);
        if (img.colorType == 0) put16(key->gray);
        if (img.colorType == 2) put16(key->red), put16(key->green), put16(key->blue);
    }
    png_destroy_read_struct(&png, &info, nullptr);

    // One byte per sample below 16 bits (packing spread the small ones out).
    const int channels = Channels(img.colorType);
    const size_t perRow = static_cast<size_t>(img.width) * channels;
    for (uint32_t y = 0; y < img.height; ++y) {
        const uint8_t* row = pixels.data() + y * rowBytes;
        for (size_t i = 0; i < perRow; ++i)
            img.samples.push_back(img.bitDepth == 16
                                      ? static_cast<uint16_t>(row[2 * i] << 8 | row[2 * i + 1])
                                      : row[i]);
    }
    return img;
}
#endif

class PngSuite : public PngTest {
  protected:
    void SetUp() override {
        if (SuiteDir().empty())
            GTEST_SKIP() << "conformance corpus absent (../shared/corpus/pngsuite)";
    }
};

TEST_F(PngSuite, EveryValidImageDecodesThroughBothInflaters) {
    const auto digests = ReadDigests();
    ASSERT_FALSE(digests.empty()) << DigestFilePath();
    size_t checked = 0;
    for (const std::string& name : SuiteFiles()) {
        if (name[0] == 'x') continue;
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = ReadBytes(name);
        MemoryImage viaZlib, viaOwn;
        UseZlib(true);
        ASSERT_TRUE(Decode(bytes, viaZlib));
        UseZlib(false);
        ASSERT_TRUE(Decode(bytes, viaOwn));
        ASSERT_NE(viaZlib.BitsPointer(), nullptr);
        EXPECT_EQ(viaZlib.ImageType(), imgPNG);
        // Width and height from the header.
        EXPECT_EQ(viaZlib.Width(), bytes[16] << 24 | bytes[17] << 16 | bytes[18] << 8 | bytes[19]);
        EXPECT_EQ(viaZlib.Height(), bytes[20] << 24 | bytes[21] << 16 | bytes[22] << 8 | bytes[23]);
        ASSERT_EQ(viaOwn.Width(), viaZlib.Width());
        ASSERT_EQ(viaOwn.Height(), viaZlib.Height());
        EXPECT_TRUE(std::equal(viaOwn.BitsPointer(),
                               viaOwn.BitsPointer() +
                                   static_cast<size_t>(viaOwn.scanWidth()) * viaOwn.Height(),
                               viaZlib.BitsPointer()));
        EXPECT_EQ(viaOwn.Alpha(), viaZlib.Alpha());
        const auto expected = digests.find(name);
        ASSERT_NE(expected, digests.end()) << "no reference digest";
        EXPECT_EQ(DigestOf(viaZlib), expected->second);
        ++checked;
    }
    EXPECT_GT(checked, 150u);
    EXPECT_EQ(checked, digests.size());
}

#ifdef MOIRELLE_HAVE_LIBPNG
// The expected pixels worked out from libpng's samples (PngReference.h) and the alpha
// flag those samples call for.
PixelDigest LibpngDigest(const std::vector<uint8_t>& bytes) {
    const auto reference = DecodeWithLibpng(bytes);
    if (!reference) return {};
    const auto expected = ExpectedPixels(*reference);
    if (!expected) return {};
    const bool keyed = !reference->transparency.empty() &&
                       (reference->colorType == 3 || reference->transparency.size() >= 2);
    return {static_cast<int32_t>(reference->width), static_cast<int32_t>(reference->height),
            reference->colorType == 4 || reference->colorType == 6 || keyed,
            Sha256OfWords(*expected)};
}

TEST_F(PngSuite, ReferenceDigestsAreLibpngs) {
    std::map<std::string, PixelDigest> fromLibpng;
    for (const std::string& name : SuiteFiles())
        if (name[0] != 'x') fromLibpng[name] = LibpngDigest(ReadBytes(name));
    const char* write = std::getenv("MOIRELLE_WRITE_PNGSUITE_DIGESTS");
    if (write && std::string(write) == "1") {
        std::ostringstream out;
        for (const auto& [name, d] : fromLibpng)
            out << name << ' ' << d.width << ' ' << d.height << ' ' << d.alpha << ' ' << d.sha256
                << '\n';
        ASSERT_TRUE(WriteFile(DigestFilePath(), out.str()));
    }
    EXPECT_EQ(ReadDigests(), fromLibpng);
}
#endif

TEST_F(PngSuite, CorruptedImagesAreRefusedByOurRules) {
    // Signature damage: not PNG at all.
    const std::set<std::string> notPng = {"xs1n0g01.png", "xs2n0g01.png", "xs4n0g01.png",
                                          "xs7n0g01.png", "xcrn0g04.png", "xlfn0g04.png"};
    // Only a CRC is wrong: refused with zlib, decoded without it (CRCs then go unchecked).
    const std::set<std::string> crcOnly = {"xhdn0g08.png", "xcsn0g01.png"};
    size_t checked = 0;
    for (const std::string& name : SuiteFiles()) {
        if (name[0] != 'x') continue;
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = ReadBytes(name);
        for (bool zlib : {true, false}) {
            UseZlib(zlib);
            MemoryImage image;
            EXPECT_EQ(Decode(bytes, image), !notPng.count(name));
            const bool loads = !zlib && crcOnly.count(name);
            EXPECT_EQ(image.BitsPointer() != nullptr, loads)
                << (zlib ? "with zlib" : "without zlib");
        }
        ++checked;
    }
    EXPECT_EQ(checked, 14u);
}

} // namespace
} // namespace moirelle::test

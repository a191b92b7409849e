// The PNG conformance suite: every valid image decodes, through zlib and through the
// built-in inflater; every corrupted one is refused or handled by our rules.
#include "tests/portable/png/PngTestSupport.h"
#include "tests/support/TestPaths.h"

#include <algorithm>
#include <filesystem>
#include <set>

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
#ifdef MOIRELLE_HAVE_LIBPNG
        const auto reference = DecodeWithLibpng(bytes);
        ASSERT_TRUE(reference.has_value());
        const auto expected = ExpectedPixels(*reference);
        ASSERT_TRUE(expected.has_value());
        EXPECT_TRUE(SamePixels(viaZlib, *expected, reference->width, reference->height));
        const bool keyed = !reference->transparency.empty() &&
                           (reference->colorType == 3 || reference->transparency.size() >= 2);
        EXPECT_EQ(viaZlib.Alpha(), reference->colorType == 4 || reference->colorType == 6 || keyed);
#endif
        ++checked;
    }
    EXPECT_GT(checked, 150u);
#ifndef MOIRELLE_HAVE_LIBPNG
    std::printf("PngSuite: checked that zlib and the built-in inflater agree; no libpng here "
                "to compare pixels with\n");
#endif
}

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

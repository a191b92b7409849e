// The image object's loading dispatch: argument rules, kept bytes, file and stream roads.
#include "dib/MemoryImage.h"
#include "dib/win/c32bppDIB.h"
#include "formats/ZlibAccess.h"
#include "formats/cPNGparser.h"
#include "platform/win/Text.h"
#include "tests/support/PngWriter.h"
#include "tests/support/ReaderSamples.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cstring>

namespace moirelle::test {
namespace {

std::vector<uint8_t> SamplePng(uint8_t interlace = 0) {
    PngSpec spec;
    spec.width = 9;
    spec.height = 5;
    spec.interlace = interlace;
    spec.pixels.resize(9 * 5 * 4);
    for (size_t i = 0; i < spec.pixels.size(); ++i)
        spec.pixels[i] = static_cast<uint8_t>(i * 37 + 11);
    return EncodePng(spec);
}

std::vector<uint8_t> PixelsOf(const c32bppDIB& dib) {
    if (!dib.BitsPointer()) return {};
    return {dib.BitsPointer(),
            dib.BitsPointer() + static_cast<size_t>(dib.scanWidth()) * dib.Height()};
}

std::wstring WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = JoinPath(MakeTempDir("dispatch"), name);
    EXPECT_TRUE(WriteFile(path, std::string(bytes.begin(), bytes.end())));
    return win::Widen(path);
}

class Dispatch : public ::testing::Test {
  protected:
    void TearDown() override { SetZlibLibraryNames(DefaultZlibLibraryNames()); }
};

TEST_F(Dispatch, StreamLoadsAPngWithTheReadersPixels) {
    const std::vector<uint8_t> png = SamplePng();
    c32bppDIB dib;
    dib.isGDIplusEnabled(false); // the PNG reader's own decoder
    ASSERT_TRUE(dib.LoadPicture_Stream(png));
    EXPECT_EQ(dib.Width(), 9);
    EXPECT_EQ(dib.Height(), 5);
    EXPECT_EQ(dib.ImageType(), imgPNG);
    EXPECT_TRUE(dib.Alpha());
    MemoryImage reference;
    ASSERT_TRUE(cPNGparser().LoadStream(png, reference, 0, png.size(), 0));
    EXPECT_EQ(0, std::memcmp(dib.BitsPointer(), reference.BitsPointer(), 9 * 5 * 4));
    std::vector<std::array<int32_t, 4>> sizes = {{1, 2, 3, 4}};
    EXPECT_EQ(dib.SourceIconSizes(sizes), 0);
    EXPECT_EQ(sizes.size(), 1u); // left alone
}

TEST_F(Dispatch, SlicesOf56BytesOrLessAreRefused) {
    const std::vector<uint8_t> png = SamplePng();
    c32bppDIB dib;
    EXPECT_FALSE(dib.LoadPicture_Stream(png, 0, 0, 0, 56));
    EXPECT_FALSE(dib.LoadPicture_Stream(std::span<const uint8_t>(png.data(), 56)));
    EXPECT_FALSE(dib.LoadPicture_Stream({}));
    // A whole GIF of 57 bytes passes the floor and loads; 56 bytes of the same are refused.
    for (size_t size : {57u, 56u}) {
        GifImage red;
        red.width = red.height = 1;
        red.minCodeSize = 2;
        red.indices = {1};
        Bytes gif = BuildGif(1, 1, {0x000000, 0xFF0000}, {red});
        // A comment extension (2 + 1 + filler + 1 bytes) makes up the size.
        const auto filler = static_cast<uint8_t>(size - gif.size() - 4);
        Bytes comment(filler + 4u, 'c');
        comment[0] = 0x21, comment[1] = 0xFE, comment[2] = filler, comment.back() = 0;
        gif.insert(gif.begin() + 13 + 6, comment.begin(), comment.end());
        ASSERT_EQ(gif.size(), size);
        c32bppDIB small;
        EXPECT_EQ(small.LoadPicture_Stream(gif), size == 57) << size;
        EXPECT_EQ(small.Width(), size == 57 ? 1 : 0) << size;
        EXPECT_EQ(small.LoadPicture_File(WriteTemp("small.gif", gif)), size == 57) << size;
    }
    // A slice reaching past the end of the array is refused.
    EXPECT_FALSE(dib.LoadPicture_Stream(png, 0, 0, 10, static_cast<int32_t>(png.size())));
    EXPECT_TRUE(dib.LoadPicture_Stream(png, 0, 0, 0, static_cast<int32_t>(png.size())));
}

TEST_F(Dispatch, SliceArgumentsAndKeptBytes) {
    const std::vector<uint8_t> png = SamplePng();
    std::vector<uint8_t> padded(13, 0xAB);
    padded.insert(padded.end(), png.begin(), png.end());
    c32bppDIB dib;
    // Length 0 runs to the end of the array; a negative start counts as 0 (and fails here,
    // as the array does not begin with the PNG).
    ASSERT_TRUE(dib.LoadPicture_Stream(padded, 0, 0, 13, 0, true));
    std::vector<uint8_t> kept;
    ASSERT_TRUE(dib.GetOrginalFormat(kept));
    EXPECT_EQ(kept, png); // the slice that held the image
    EXPECT_FALSE(dib.LoadPicture_Stream(padded, 0, 0, -5, 0));

    // Odd icon arguments are normalised, not refused.
    ASSERT_TRUE(dib.LoadPicture_Stream(png, -3, -3, 0, 0, false, 40));
    EXPECT_FALSE(dib.GetOrginalFormat(kept));
    EXPECT_TRUE(kept.empty());
}

TEST_F(Dispatch, FailedLoadLeavesTheObjectEmpty) {
    c32bppDIB dib;
    EXPECT_EQ(dib.ImageType(), imgBlank);
    ASSERT_TRUE(dib.LoadPicture_Stream(SamplePng(), 0, 0, 0, 0, true));
    std::vector<uint8_t> broken = SamplePng();
    broken.resize(broken.size() - 20);
    EXPECT_FALSE(dib.LoadPicture_Stream(broken));
    EXPECT_EQ(dib.Handle(), nullptr);
    EXPECT_EQ(dib.ImageType(), imgNone);
    std::vector<uint8_t> kept;
    EXPECT_FALSE(dib.GetOrginalFormat(kept));
    // Not an image at all.
    EXPECT_FALSE(dib.LoadPicture_Stream(std::vector<uint8_t>(500, 7)));
    EXPECT_EQ(dib.Handle(), nullptr);
    EXPECT_EQ(dib.ImageType(), imgNone);
}

TEST_F(Dispatch, FileAndStreamGiveTheSamePixels) {
    const std::vector<uint8_t> png = SamplePng(1);
    const std::wstring path = WriteTemp("same.png", png);
    c32bppDIB fromFile, fromStream;
    ASSERT_TRUE(fromFile.LoadPicture_File(path, 0, 0, true));
    ASSERT_TRUE(fromStream.LoadPicture_Stream(png));
    EXPECT_EQ(PixelsOf(fromFile), PixelsOf(fromStream));
    EXPECT_EQ(fromFile.ImageType(), imgPNG);
    std::vector<uint8_t> kept;
    ASSERT_TRUE(fromFile.GetOrginalFormat(kept));
    EXPECT_EQ(kept, png);

    // Reloading from the kept bytes gives the same image and keeps them.
    ASSERT_TRUE(fromFile.LoadPicture_FromOrignalFormat());
    EXPECT_EQ(PixelsOf(fromFile), PixelsOf(fromStream));
    ASSERT_TRUE(fromFile.GetOrginalFormat(kept));
    EXPECT_EQ(kept, png);
}

TEST_F(Dispatch, FileRefusals) {
    c32bppDIB dib;
    dib.isGDIplusEnabled(false); // GDI+ would take the cut PNG
    EXPECT_FALSE(dib.LoadPicture_File(L"Z:\\no\\such\\file.png"));
    const std::vector<uint8_t> png = SamplePng();
    EXPECT_FALSE(dib.LoadPicture_File(WriteTemp("short.png", {png.begin(), png.begin() + 56})));
    EXPECT_FALSE(dib.LoadPicture_File(WriteTemp("cut.png", {png.begin(), png.end() - 1})));
    EXPECT_EQ(dib.Handle(), nullptr);
    EXPECT_EQ(dib.ImageType(), imgNone);
    EXPECT_FALSE(dib.LoadPicture_FromOrignalFormat()); // nothing kept
}

TEST_F(Dispatch, LoadsWithoutZlib) {
    std::vector<uint8_t> png = SamplePng();
    c32bppDIB withZlib;
    withZlib.isGDIplusEnabled(false); // the PNG reader's own decoder on both sides
    ASSERT_TRUE(withZlib.isZlibEnabled());
    ASSERT_TRUE(withZlib.LoadPicture_Stream(png));
    SetZlibLibraryNames({"", ""});
    c32bppDIB without;
    without.isGDIplusEnabled(false);
    EXPECT_FALSE(without.isZlibEnabled());
    // A damaged image-data CRC goes unnoticed without zlib.
    png[png.size() - 12 - 1] ^= 0x01;
    ASSERT_TRUE(without.LoadPicture_File(WriteTemp("nozlib.png", png)));
    EXPECT_EQ(PixelsOf(without), PixelsOf(withZlib));
    SetZlibLibraryNames(DefaultZlibLibraryNames());
    EXPECT_FALSE(without.LoadPicture_Stream(png));
}

TEST_F(Dispatch, HandlePictureResourceAndClipboardRefusals) {
    c32bppDIB dib;
    EXPECT_FALSE(dib.LoadPicture_ByHandle(nullptr));
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_FALSE(dib.LoadPicture_ByHandle(event)); // neither a GDI object nor an icon
    CloseHandle(event);
    EXPECT_FALSE(dib.LoadPicture_StdPicture(nullptr));
    EXPECT_FALSE(dib.LoadPicture_Resource(c32bppDIB::ResourceName{101},
                                          c32bppDIB::ResourceName{L"NOSUCHSECTION"}));
    EXPECT_FALSE(
        dib.LoadPicture_Resource(c32bppDIB::ResourceName{101}, c32bppDIB::ResourceName{7}));
    EXPECT_EQ(dib.ImageType(), imgNone);
}

TEST_F(Dispatch, MetafileHandlesStayTheCallers) {
    const HDC recorder = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(recorder, nullptr);
    Rectangle(recorder, 0, 0, 20, 10);
    const HENHMETAFILE emf = CloseEnhMetaFile(recorder);
    ASSERT_NE(emf, nullptr);
    c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_ByHandle(emf));
    EXPECT_GT(dib.Width(), 0);
    EXPECT_GT(dib.Height(), 0);
    // The picture made on the way wrapped a copy: the caller's handle is still valid.
    ENHMETAHEADER header{};
    EXPECT_NE(GetEnhMetaFileHeader(emf, sizeof header, &header), 0u);
    EXPECT_TRUE(DeleteEnhMetaFile(emf));
}

TEST_F(Dispatch, SourceIconSizesWithoutKeptBytesDescribesTheImage) {
    c32bppDIB dib;
    std::vector<std::array<int32_t, 4>> sizes;
    EXPECT_EQ(dib.SourceIconSizes(sizes), 0); // no image
    ASSERT_TRUE(dib.InitializeDIB(16, 24));
    EXPECT_EQ(dib.SourceIconSizes(sizes), 0); // not an icon
    for (int32_t type : {imgIcon, imgCursor, imgIconAlpha, imgIconPNG, imgCursorAlpha}) {
        dib.SetImageType(type);
        sizes.clear();
        ASSERT_EQ(dib.SourceIconSizes(sizes), 1) << type;
        EXPECT_EQ(sizes[0], (std::array<int32_t, 4>{16, 24, 32, -1}));
    }
}

TEST_F(Dispatch, IconColourCounts) {
    EXPECT_EQ(c32bppDIB::IconColorCount(1), 2);
    EXPECT_EQ(c32bppDIB::IconColorCount(4), 16);
    EXPECT_EQ(c32bppDIB::IconColorCount(8), 256);
    EXPECT_EQ(c32bppDIB::IconColorCount(16), 0xFFFF00);
    EXPECT_EQ(c32bppDIB::IconColorCount(24), static_cast<int32_t>(0xFF000000u));
    EXPECT_EQ(c32bppDIB::IconColorCount(32), -1);
}

} // namespace
} // namespace moirelle::test

// The readers behind the image object's loading entry points: byte arrays, picture
// objects, handles, the clipboard and resources.
#include "dib/ImageType.h"
#include "dib/win/c32bppDIB.h"
#include "formats/win/modParsersWin.h"
#include "tests/support/ReaderSamples.h"
#include "tests/support/TestPaths.h"
#include "tests/win/readers/WinSamples.h"

#include <gtest/gtest.h>

namespace moirelle {
namespace {

using test::Bytes;

// Pixel at picture coordinates as 0xAARRGGBB.
uint32_t PixelAt(const c32bppDIB& dib, int x, int y) {
    const uint8_t* p =
        dib.BitsPointer() + (static_cast<size_t>(dib.Height() - 1 - y) * dib.Width() + x) * 4;
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

Bytes SampleGif() {
    test::GifImage img;
    img.width = 40;
    img.height = 40;
    img.minCodeSize = 2;
    for (int i = 0; i < 1600; ++i)
        img.indices.push_back(static_cast<uint8_t>(1 + (i * 7 / 3) % 3));
    img.indices[0] = 0;
    img.indices[1] = 1;
    img.transparentIndex = 0;
    return test::BuildGif(40, 40, {0x000000, 0x336699, 0xFFFFFF, 0xFFFFFF}, {img});
}

Bytes SampleIcon() {
    std::vector<test::IconEntry> entries;
    for (uint8_t size : {16, 32, 48}) {
        test::IconEntry e;
        e.widthByte = e.heightByte = size;
        e.directoryBits = 32;
        e.image = test::BuildIconBitmap32(
            size, size, std::vector<uint32_t>(size_t{size} * size, 0xFF000000u | size));
        entries.push_back(e);
    }
    // An 8-bit 32 x 32 entry as well.
    test::IconEntry e8;
    e8.widthByte = e8.heightByte = 32;
    Bytes palette(256 * 4, 0);
    palette[4] = 0x99;
    e8.image = test::BuildIconBitmap(32, 32, 8, palette, Bytes(32 * 32, 1), Bytes(4 * 32, 0));
    entries.push_back(e8);
    return test::BuildIcon(1, entries);
}

TEST(DispatchReaders, OffersByteArraysToGifIconAndBitmapInTurn) {
    c32bppDIB dib;
    const Bytes gif = SampleGif();
    ASSERT_TRUE(dib.LoadPicture_Stream(gif));
    EXPECT_EQ(dib.ImageType(), imgGIF);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(PixelAt(dib, 0, 0), 0u);
    EXPECT_EQ(PixelAt(dib, 1, 0), 0xFF336699u);

    const Bytes icon = SampleIcon();
    ASSERT_TRUE(dib.LoadPicture_Stream(icon, 40, 40));
    EXPECT_EQ(dib.ImageType(), imgIconAlpha);
    EXPECT_EQ(dib.Width(), 48);
    ASSERT_TRUE(dib.LoadPicture_Stream(icon, 32, 32, 0, 0, false, 8));
    EXPECT_EQ(dib.ImageType(), imgIcon) << "the 8-bit entry";
    EXPECT_EQ(PixelAt(dib, 3, 3), 0xFF000099u);
    ASSERT_TRUE(dib.LoadPicture_Stream(icon, 32, 32, 0, 0, false, 40));
    EXPECT_EQ(dib.ImageType(), imgIconAlpha) << "depth 40 counts as 32";

    const Bytes bmp = test::BuildBmp(5, 4, 24, 0, Bytes(16 * 4, 0x40));
    ASSERT_TRUE(dib.LoadPicture_Stream(bmp));
    EXPECT_EQ(dib.ImageType(), imgBitmap);
    EXPECT_EQ(PixelAt(dib, 4, 3), 0xFF404040u);

    const Bytes jpeg = test::MakeSolidJpeg(10, 10, 0x808080);
    ASSERT_FALSE(jpeg.empty());
    ASSERT_TRUE(dib.LoadPicture_Stream(jpeg));
    EXPECT_EQ(dib.ImageType(), imgBitmap);
    EXPECT_EQ(dib.Width(), 10);
}

TEST(DispatchReaders, ReadsIconAndGifFilesWholeAfterThePngReaderDeclines) {
    const std::string dir = test::MakeTempDir("readers-files");
    const std::string iconPath = test::JoinPath(dir, "sizes.ico");
    const Bytes icon = SampleIcon();
    ASSERT_TRUE(test::WriteFile(iconPath, std::string(icon.begin(), icon.end())));
    c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_File(std::wstring(iconPath.begin(), iconPath.end()), 16, 16, true));
    EXPECT_EQ(dib.Width(), 16);
    std::vector<std::array<int32_t, 4>> sizes;
    EXPECT_EQ(dib.SourceIconSizes(sizes), 4);
    std::vector<uint8_t> kept;
    ASSERT_TRUE(dib.GetOrginalFormat(kept));
    EXPECT_EQ(kept, icon);

    const std::string gifPath = test::JoinPath(dir, "frame.gif");
    const Bytes gif = SampleGif();
    ASSERT_TRUE(test::WriteFile(gifPath, std::string(gif.begin(), gif.end())));
    ASSERT_TRUE(dib.LoadPicture_File(std::wstring(gifPath.begin(), gifPath.end())));
    EXPECT_EQ(dib.ImageType(), imgGIF);
    EXPECT_EQ(dib.Width(), 40);
}

TEST(DispatchReaders, ListsTheSourceIconsSizes) {
    c32bppDIB dib;
    const Bytes icon = SampleIcon();
    ASSERT_TRUE(dib.LoadPicture_Stream(icon, 16, 16, 0, 0, true));
    std::vector<std::array<int32_t, 4>> sizes;
    ASSERT_EQ(dib.SourceIconSizes(sizes), 4);
    EXPECT_EQ(sizes[0], (std::array<int32_t, 4>{16, 16, 32, -1}));
    EXPECT_EQ(sizes[2], (std::array<int32_t, 4>{48, 48, 32, -1}));
    EXPECT_EQ(sizes[3], (std::array<int32_t, 4>{32, 32, 8, 256}));
    ASSERT_TRUE(dib.LoadPicture_FromOrignalFormat(48, 48));
    EXPECT_EQ(dib.Width(), 48);

    ASSERT_TRUE(dib.LoadPicture_Stream(SampleGif(), 0, 0, 0, 0, true));
    EXPECT_EQ(dib.SourceIconSizes(sizes), 0) << "not an icon";
}

// An image loaded from a slice of a larger array keeps exactly that slice: reloading it
// gives the same image, and an icon's sizes are read from it.
TEST(DispatchReaders, KeptSlicesReloadAndListIconSizes) {
    struct Case {
        const char* what;
        Bytes image;
        int32_t iconSizes;
    };
    for (const Case& c : {Case{"GIF", SampleGif(), 0}, Case{"icon", SampleIcon(), 4},
                          Case{"bitmap", test::BuildBmp(5, 4, 24, 0, Bytes(16 * 4, 0x40)), 0}}) {
        Bytes padded(37, 0x21);
        padded.insert(padded.end(), c.image.begin(), c.image.end());
        padded.insert(padded.end(), 11, 0x2C);
        c32bppDIB dib;
        ASSERT_TRUE(
            dib.LoadPicture_Stream(padded, 16, 16, 37, static_cast<int32_t>(c.image.size()), true))
            << c.what;
        const std::vector<uint8_t> first(dib.BitsPointer(),
                                         dib.BitsPointer() + dib.scanWidth() * dib.Height());
        std::vector<uint8_t> kept;
        ASSERT_TRUE(dib.GetOrginalFormat(kept));
        EXPECT_EQ(kept, c.image) << c.what;
        std::vector<std::array<int32_t, 4>> sizes;
        EXPECT_EQ(dib.SourceIconSizes(sizes), c.iconSizes) << c.what;
        ASSERT_TRUE(dib.LoadPicture_FromOrignalFormat(16, 16)) << c.what;
        EXPECT_EQ(std::vector<uint8_t>(dib.BitsPointer(),
                                       dib.BitsPointer() + dib.scanWidth() * dib.Height()),
                  first)
            << c.what;
    }
}

TEST(DispatchReaders, ConvertsPictureObjectsAndHandles) {
    c32bppDIB dib;
    // A bitmap picture: its handle's alpha is analysed.
    auto section = test::MakeDibSection32(2, 1, {0x80FF0000, 0xFF00FF00});
    win::ComPtr<IPicture> picture =
        modParsers::PictureFromHandle(section.get(), modParsers::pictureBitmap);
    ASSERT_TRUE(picture);
    section.release(); // the picture owns it now
    ASSERT_TRUE(dib.LoadPicture_StdPicture(picture.Get()));
    EXPECT_EQ(dib.ImageType(), imgAlphaStraight);
    EXPECT_EQ(PixelAt(dib, 0, 0), 0x80800000u);

    // An icon picture and an icon handle.
    auto icon = test::MakeIcon(2, 2, {0xFFFF0000, 0xFFFF0000, 0x40FFFFFF, 0xFFFF0000},
                               {false, false, false, false});
    ASSERT_TRUE(dib.LoadPicture_ByHandle(icon.get()));
    EXPECT_EQ(dib.ImageType(), imgIconAlpha);
    EXPECT_EQ(PixelAt(dib, 0, 1), 0x40404040u);
    ICONINFO stillThere{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &stillThere)) << "the handle stays the caller's";
    DeleteObject(stillThere.hbmColor);
    DeleteObject(stillThere.hbmMask);
    win::ComPtr<IPicture> iconPicture =
        modParsers::PictureFromHandle(icon.release(), modParsers::pictureIcon);
    ASSERT_TRUE(iconPicture);
    ASSERT_TRUE(dib.LoadPicture_StdPicture(iconPicture.Get()));
    EXPECT_EQ(dib.ImageType(), imgIconAlpha);

    // A bitmap handle and an enhanced metafile handle.
    const auto bitmap = test::MakeDibSection32(3, 3, std::vector<uint32_t>(9, 0x00123456));
    ASSERT_TRUE(dib.LoadPicture_ByHandle(bitmap.get()));
    EXPECT_EQ(dib.ImageType(), imgBitmap);
    EXPECT_EQ(PixelAt(dib, 2, 2), 0xFF123456u);

    const RECT bounds = {0, 0, 20 * 2540 / 96, 10 * 2540 / 96};
    HDC meta = CreateEnhMetaFileW(nullptr, nullptr, &bounds, nullptr);
    const win::UniqueBrush green(CreateSolidBrush(RGB(0, 255, 0)));
    const RECT part = {0, 0, 5, 5};
    FillRect(meta, &part, green.get());
    HENHMETAFILE emf = CloseEnhMetaFile(meta);
    ASSERT_TRUE(dib.LoadPicture_ByHandle(emf));
    EXPECT_EQ(dib.ImageType(), imgEnhMetafile);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(PixelAt(dib, 1, 1), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(dib, dib.Width() - 1, dib.Height() - 1), 0u);
    DeleteEnhMetaFile(emf);

    EXPECT_FALSE(dib.LoadPicture_ByHandle(reinterpret_cast<HANDLE>(uintptr_t{0x1234})));
    EXPECT_EQ(dib.Handle(), nullptr);
}

TEST(DispatchReaders, LoadsTheClipboardsBitmap) {
    const auto bitmap = test::MakeDibSection32(4, 2, std::vector<uint32_t>(8, 0xFF204060));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const HANDLE copy = CopyImage(bitmap.get(), IMAGE_BITMAP, 0, 0, 0);
    const bool placed = SetClipboardData(CF_BITMAP, copy) != nullptr;
    CloseClipboard();
    ASSERT_TRUE(placed);
    c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_ClipBoard());
    EXPECT_EQ(dib.Width(), 4);
    EXPECT_EQ(PixelAt(dib, 3, 1), 0xFF204060u);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_FALSE(dib.LoadPicture_ClipBoard());
}

TEST(DispatchReaders, LoadsResourcesOfThisProgram) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_Resource(101, 0)) << "bitmap resource";
    EXPECT_EQ(dib.Width(), 4);
    EXPECT_EQ(PixelAt(dib, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(dib, 3, 2), 0xFF0000FFu);

    ASSERT_TRUE(dib.LoadPicture_Resource(102, 1)) << "icon resource";
    EXPECT_EQ(dib.ImageType(), imgIconAlpha);
    EXPECT_EQ(PixelAt(dib, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(dib, 0, dib.Height() - 1), 0x80808080u);

    ASSERT_TRUE(dib.LoadPicture_Resource(103, std::wstring(L"SKIN"))) << "raw GIF data";
    EXPECT_EQ(dib.ImageType(), imgGIF);
    EXPECT_EQ(PixelAt(dib, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(dib, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(dib, 0, 1), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(dib, 1, 1), 0u);

    EXPECT_FALSE(dib.LoadPicture_Resource(999, std::wstring(L"SKIN")));
}

} // namespace
} // namespace moirelle

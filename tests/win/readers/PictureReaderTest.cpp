#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "formats/cBMPparser.h"
#include "formats/cICOparser.h"
#include "formats/win/modParsersWin.h"
#include "tests/support/ReaderSamples.h"
#include "tests/win/readers/WinSamples.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace moirelle {
namespace {

using test::Bytes;

class ComScope : public ::testing::Environment {
  public:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};
const auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComScope);

cBMPparser SystemBmp() {
    cBMPparser bmp;
    bmp.UseSystemPictureLoader();
    return bmp;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

TEST(BitmapPictures, LoadsOtherDepthsThroughThePictureLoaderOpaque) {
    // 24-bit: 2 x 2, rows bottom-up, padded to 8 bytes.
    const Bytes rows24 = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0,
                          0xFF, 0x00, 0x00, 0x10, 0x20, 0x30, 0, 0};
    MemoryImage dib;
    ASSERT_TRUE(SystemBmp().LoadStream(test::BuildBmp(2, 2, 24, 0, rows24), dib, 0, 0));
    EXPECT_EQ(dib.ImageType(), imgBitmap);
    EXPECT_FALSE(dib.Alpha());
    ASSERT_EQ(dib.Width(), 2);
    EXPECT_EQ(dib.PixelAt(0, 1), 0xFFFF0000u);
    EXPECT_EQ(dib.PixelAt(1, 1), 0xFF00FF00u);
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFF0000FFu);
    EXPECT_EQ(dib.PixelAt(1, 0), 0xFF302010u);

    // 8-bit with a palette (into an empty image: the picture path only fills empty ones).
    dib.DestroyDIB();
    Bytes palette(256 * 4, 0);
    palette[4 * 7 + 0] = 0x44, palette[4 * 7 + 1] = 0x88, palette[4 * 7 + 2] = 0xCC;
    ASSERT_TRUE(
        SystemBmp().LoadStream(test::BuildBmp(3, 1, 8, 0, {7, 0, 7, 0}, palette), dib, 0, 0));
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFFCC8844u);
    EXPECT_EQ(dib.PixelAt(1, 0), 0xFF000000u);

    // 32-bit with bit fields (compression 3): through the loader too, opaque.
    Bytes fields;
    test::Put32(fields, 0x00FF0000);
    test::Put32(fields, 0x0000FF00);
    test::Put32(fields, 0x000000FF);
    Bytes bf = test::BuildBmp(1, 1, 32, 3, {0x11, 0x22, 0x33, 0x80}, fields);
    test::Set32(bf, 46, 0); // no colour count: the 12 bytes are the masks
    dib.DestroyDIB();
    ASSERT_TRUE(SystemBmp().LoadStream(bf, dib, 0, 0));
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFF332211u);
}

TEST(BitmapPictures, LoadsAJpegAsAnOpaqueBitmap) {
    const Bytes jpeg = test::MakeSolidJpeg(16, 8, 0x3060C0);
    ASSERT_FALSE(jpeg.empty()) << "GDI+ made no JPEG";
    MemoryImage dib;
    ASSERT_TRUE(SystemBmp().LoadStream(jpeg, dib, 0, 0));
    EXPECT_EQ(dib.Width(), 16);
    EXPECT_EQ(dib.Height(), 8);
    EXPECT_EQ(dib.ImageType(), imgBitmap);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_TRUE(Near(dib.PixelAt(5, 5), 0xFF3060C0u, 6)) << std::hex << dib.PixelAt(5, 5);
    MemoryImage refused;
    EXPECT_FALSE(SystemBmp().LoadStream(Bytes(100, 0x42), refused, 0, 0));
    EXPECT_EQ(refused.BitsPointer(), nullptr);
}

TEST(BitmapPictures, KeepsTheUndrawnAreaOfAMetafileTransparent) {
    // A frame of 40 x 20 pixels at 96 dpi, in 0.01 mm.
    const RECT bounds = {0, 0, 40 * 2540 / 96, 20 * 2540 / 96};
    HDC meta = CreateEnhMetaFileW(nullptr, nullptr, &bounds, nullptr);
    ASSERT_NE(meta, nullptr);
    // A red rectangle over the left half.
    const win::UniqueBrush red(CreateSolidBrush(RGB(255, 0, 0)));
    const RECT left = {0, 0, 20, 20};
    FillRect(meta, &left, red.get());
    HENHMETAFILE emf = CloseEnhMetaFile(meta);
    ASSERT_NE(emf, nullptr);
    win::ComPtr<IPicture> picture =
        modParsers::PictureFromHandle(emf, modParsers::pictureEnhMetafile);
    ASSERT_TRUE(picture);
    short type = 0;
    OLE_XSIZE_HIMETRIC hmW = 0;
    OLE_YSIZE_HIMETRIC hmH = 0;
    picture->get_Type(&type);
    picture->get_Width(&hmW);
    picture->get_Height(&hmH);
    MemoryImage dib;
    ASSERT_TRUE(cBMPparser().ConvertstdPicTo32bpp(picture.Get(), nullptr, dib, 0))
        << type << " " << hmW << " x " << hmH;
    EXPECT_EQ(dib.ImageType(), imgEnhMetafile);
    ASSERT_GT(dib.Width(), 2);
    // Every pixel is either opaque red or fully transparent, and the red ones are there.
    int redCount = 0, clear = 0;
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) {
            const uint32_t p = dib.PixelAt(x, y);
            if (p == 0xFFFF0000u)
                ++redCount;
            else if (p == 0)
                ++clear;
        }
    EXPECT_GT(redCount, 0);
    EXPECT_EQ(redCount + clear, dib.Width() * dib.Height());
    EXPECT_GT(clear, 0) << "the right half is not drawn";
    EXPECT_TRUE(dib.Alpha());
}

TEST(BitmapPictures, ReadsBitmapHandlesWithTheirAlpha) {
    // A 32-bit section with straight alpha, stored top-down: upright and premultiplied.
    const auto section =
        test::MakeDibSection32(2, 2, {0x80FF0000, 0xFF00FF00, 0x00000000, 0xFF0000FF}, true);
    MemoryImage dib;
    ASSERT_TRUE(cBMPparser().ConvertstdPicTo32bpp(nullptr, section.get(), dib, 0));
    EXPECT_EQ(dib.ImageType(), imgAlphaStraight);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 0), 0x80800000u);
    EXPECT_EQ(dib.PixelAt(1, 1), 0xFF0000FFu);

    // A device-dependent bitmap: opaque.
    win::WindowDC screen;
    const win::UniqueBitmap ddb(CreateCompatibleBitmap(screen.get(), 3, 2));
    {
        win::UniqueMemoryDC dc(CreateCompatibleDC(screen.get()));
        win::ScopedSelect select(dc.get(), ddb.get());
        const RECT all = {0, 0, 3, 2};
        const win::UniqueBrush blue(CreateSolidBrush(RGB(0, 0, 255)));
        FillRect(dc.get(), &all, blue.get());
    }
    ASSERT_TRUE(cBMPparser().ConvertstdPicTo32bpp(nullptr, ddb.get(), dib, 0));
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(dib.ImageType(), imgBitmap);
    EXPECT_EQ(dib.PixelAt(2, 1), 0xFF0000FFu);

    EXPECT_FALSE(cBMPparser().ConvertstdPicTo32bpp(nullptr, nullptr, dib, 0));
}

TEST(IconHandles, ConvertsAlphaAndMaskedIconsAndCursors) {
    MemoryImage dib;
    const auto alphaIcon = test::MakeIcon(2, 2, {0x80FF0000, 0xFF00FF00, 0x00000000, 0xFF0000FF},
                                          {false, false, true, false});
    ASSERT_TRUE(alphaIcon);
    cICOparser ico;
    ASSERT_TRUE(ico.ConvertstdPicTo32bpp(alphaIcon.get(), dib));
    EXPECT_EQ(dib.ImageType(), imgIconAlpha);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(dib.PixelAt(0, 0), 0x80800000u);
    EXPECT_EQ(dib.PixelAt(0, 1), 0u);
    EXPECT_EQ(ico.IconCount(), 1);
    EXPECT_EQ(ico.bitDepth(1), 32);
    EXPECT_EQ(ico.Width(1), 2);

    // No alpha in the colour image: the mask decides.
    const auto maskedCursor = test::MakeIcon(2, 2, {0x00FF0000, 0x0000FF00, 0x00000000, 0x000000FF},
                                             {false, true, true, false}, false);
    ASSERT_TRUE(ico.ConvertstdPicTo32bpp(maskedCursor.get(), dib));
    EXPECT_EQ(dib.ImageType(), imgCursor);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(ico.bitDepth(1), 1);
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFFFF0000u);
    EXPECT_EQ(dib.PixelAt(1, 0), 0u);
    EXPECT_EQ(dib.PixelAt(0, 1), 0u);
    EXPECT_EQ(dib.PixelAt(1, 1), 0xFF0000FFu);

    // A monochrome icon (no colour bitmap): AND rows on top of XOR rows in one mask.
    const BYTE andBits[] = {0x40, 0, 0x00, 0}; // 2 x 2: top row right pixel transparent
    const BYTE xorBits[] = {0x00, 0, 0x80, 0}; // bottom row left pixel white
    HICON mono = CreateIcon(GetModuleHandleW(nullptr), 2, 2, 1, 1, andBits, xorBits);
    ASSERT_NE(mono, nullptr);
    const win::UniqueIcon monoOwner(mono);
    ASSERT_TRUE(ico.ConvertstdPicTo32bpp(mono, dib));
    ASSERT_EQ(dib.Height(), 2);
    EXPECT_EQ(dib.ImageType(), imgIcon);
    EXPECT_EQ(dib.PixelAt(1, 0), 0u);
    EXPECT_EQ(dib.PixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(dib.PixelAt(0, 1), 0xFFFFFFFFu);

    EXPECT_FALSE(ico.ConvertstdPicTo32bpp(nullptr, dib));
}

} // namespace
} // namespace moirelle

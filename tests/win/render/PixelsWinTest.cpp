// The image object's effects, pixel access, regions, copies, bitmap output and the
// names of pasted and dropped files.
#include "dib/ScaleSource.h"
#include "dib/win/c32bppDIB.h"
#include "tests/portable/render/RenderTestImages.h"
#include "tests/support/TestPaths.h"
#include "tests/support/win/FileDropData.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>

namespace moirelle {
namespace {

uint32_t At(const c32bppDIB& dib, int32_t x, int32_t y) {
    GdiFlush();
    return test::Packed(dib.View(), x, y);
}

bool SamePixels(const c32bppDIB& a, const c32bppDIB& b) {
    GdiFlush();
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.BitsPointer(), b.BitsPointer(), a.View().size()) == 0;
}

TEST(Effects, EmptyObjectAnswersFalse) {
    c32bppDIB empty;
    EXPECT_FALSE(empty.MakeImageInverse());
    EXPECT_FALSE(empty.MakeTransparent(0));
    EXPECT_FALSE(empty.MirrorImage(true, false));
    EXPECT_FALSE(empty.CreateCheckerBoard());
}

TEST(Effects, MakeTransparentAndRevert) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(3, 1));
    test::SetPixel(img.View(), 0, 0, 0, 255, 0, 255); // green
    test::SetPixel(img.View(), 1, 0, 1, 2, 3, 255);
    test::SetPixel(img.View(), 2, 0, 0, 254, 0, 255);
    img.SetImageType(imgBitmap);
    img.SetAlphaFlag(false);
    ASSERT_TRUE(img.MakeTransparent(0x0000FF)); // a colour that is nowhere
    EXPECT_FALSE(img.Alpha());
    EXPECT_EQ(img.ImageType(), imgBitmap);
    ASSERT_TRUE(img.MakeTransparent(0x00FF00));
    EXPECT_EQ(At(img, 0, 0), 0u);
    EXPECT_TRUE(img.Alpha());
    EXPECT_EQ(img.ImageType(), imgAlphaPremultiplied);
    ASSERT_TRUE(img.MakeTransparent(0x00FF00, true));
    EXPECT_EQ(At(img, 0, 0), 0xFF00FF00u);
    EXPECT_FALSE(img.Alpha());
    EXPECT_EQ(img.ImageType(), imgBitmap);
}

TEST(Effects, CheckerBoardAndMirror) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(30, 20));
    EXPECT_FALSE(img.CreateCheckerBoard(0)); // would never finish
    EXPECT_EQ(img.ImageType(), imgBlank);
    ASSERT_TRUE(img.CreateCheckerBoard());
    EXPECT_EQ(img.ImageType(), imgCheckerBoard);
    EXPECT_FALSE(img.Alpha());
    EXPECT_EQ(At(img, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(At(img, 0, 12), 0xFFC0C0C0u);
    EXPECT_FALSE(img.MirrorImage(false, false));
    ASSERT_TRUE(img.MirrorImage(true, false));
    EXPECT_EQ(At(img, 29, 0), 0xFFFFFFFFu);
    EXPECT_EQ(At(img, 0, 0), 0xFFFFFFFFu); // 30 = 12 + 12 + 6: column 29 was white too
    EXPECT_EQ(At(img, 6, 0), 0xFFC0C0C0u);
    EXPECT_EQ(img.ImageType(), imgCheckerBoard);
}

TEST(PixelAccess, GetPixelAndBlocks) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(5, 3));
    test::SetPixel(img.View(), 1, 2, 64, 32, 16, 128);
    int32_t alpha = 0;
    EXPECT_EQ(img.GetPixel(1, 2, &alpha, true), 16 + 32 * 256 + 64 * 65536);
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(img.GetPixel(1, 2), 31 + 63 * 256 + 127 * 65536);
    EXPECT_EQ(img.GetPixel(-1, 0, &alpha), -1);
    EXPECT_EQ(alpha, 0);

    ByteArray out;
    ASSERT_TRUE(img.GetDIBbits(out));
    EXPECT_EQ(std::memcmp(out.bytes.data(), img.BitsPointer(), 60), 0);
    ASSERT_TRUE(img.GetDIBbits(out, false, true, false, true));
    EXPECT_EQ(out.bytes.size(), 16u * 3);
    ASSERT_TRUE(img.GetDIBbits(out, false, true, false, false));
    EXPECT_EQ(out.bytes.size(), 15u * 3);
    EXPECT_FALSE(img.GetDIBbits(out, true, true, true, true, true, -1));
    c32bppDIB empty;
    EXPECT_FALSE(empty.GetDIBbits(out));
}

TEST(PixelAccess, SetDIBbitsRoundTripsInEveryLayout) {
    c32bppDIB src;
    ASSERT_TRUE(src.InitializeDIB(7, 5));
    test::FillRandomPremultiplied(src.View(), 12);
    for (int bits = 0; bits < 16; ++bits) {
        const bool bgr = bits & 1, four = bits & 2, aligned = bits & 4, bottomUp = bits & 8;
        ByteArray out;
        ASSERT_TRUE(src.GetDIBbits(out, true, bgr, four, aligned, bottomUp));
        // The layout written out: rows of 7 pixels (4 bytes, or 3 padded to 24 bytes when
        // aligned), the picture's bottom row first when bottom-up, red first unless BGR.
        const size_t rowLength = four ? 28 : aligned ? 24 : 21;
        std::vector<uint8_t> expected(rowLength * 5, 0);
        for (int32_t r = 0; r < 5; ++r)
            for (int32_t x = 0; x < 7; ++x) {
                const uint32_t p = At(src, x, bottomUp ? 4 - r : r);
                uint8_t* e = &expected[r * rowLength + x * (four ? 4 : 3)];
                e[0] = static_cast<uint8_t>(bgr ? p : p >> 16);
                e[1] = static_cast<uint8_t>(p >> 8);
                e[2] = static_cast<uint8_t>(bgr ? p >> 16 : p);
                if (four) e[3] = static_cast<uint8_t>(p >> 24);
            }
        ASSERT_EQ(out.bytes, expected) << bits;
        c32bppDIB dst;
        ASSERT_TRUE(dst.InitializeDIB(7, 5));
        ASSERT_TRUE(dst.SetDIBbits(out.bytes, bgr, four, aligned, bottomUp));
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x) {
                // 3-byte data carries no alpha: the image ends opaque with the same bytes.
                const uint32_t want = four ? At(src, x, y) : (At(src, x, y) | 0xFF000000u);
                EXPECT_EQ(At(dst, x, y), want) << bits << " at " << x << "," << y;
            }
        EXPECT_EQ(dst.Alpha(), four);
    }
}

TEST(PixelAccess, SetDIBbitsPremultipliesStraightDataAndRefusesShortData) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(2, 1));
    const std::vector<uint8_t> straight = {200, 10, 10, 100, 0, 0, 0, 255};
    ASSERT_TRUE(img.SetDIBbits(straight));
    EXPECT_TRUE(img.Alpha());
    EXPECT_EQ(At(img, 0, 0), 0x6403034Eu); // 78, 3, 3, 100
    const std::vector<uint8_t> tooShort = {1, 2, 3, 4};
    EXPECT_FALSE(img.SetDIBbits(tooShort));
    EXPECT_EQ(At(img, 0, 0), 0x6403034Eu);
    EXPECT_FALSE(img.SetDIBbits({}));
}

TEST(Regions, StylesAndOffsets) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(3, 2));
    test::SetPixel(img.View(), 0, 1, 1, 1, 1, 255);
    test::SetPixel(img.View(), 2, 1, 1, 1, 1, 255);
    EXPECT_FALSE(img.CreateRegion(3));
    EXPECT_FALSE(img.CreateRegion(-1));
    win::UniqueRegion exact = img.CreateRegion(2);
    ASSERT_TRUE(exact);
    EXPECT_TRUE(PtInRegion(exact.get(), 0, 1));
    EXPECT_FALSE(PtInRegion(exact.get(), 1, 1));
    EXPECT_TRUE(PtInRegion(exact.get(), 2, 1));
    EXPECT_FALSE(PtInRegion(exact.get(), 0, 0));
    win::UniqueRegion spans = img.CreateRegion(1, 10, 20);
    ASSERT_TRUE(spans);
    EXPECT_TRUE(PtInRegion(spans.get(), 11, 21));
    RECT box{};
    GetRgnBox(spans.get(), &box);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 21);
    EXPECT_EQ(box.right, 13);
    EXPECT_EQ(box.bottom, 22);
    win::UniqueRegion bounds = img.CreateRegion(0);
    ASSERT_TRUE(bounds);
    GetRgnBox(bounds.get(), &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 3);
    c32bppDIB empty;
    EXPECT_FALSE(empty.CreateRegion());
}

TEST(Copies, IdenticalScaledAndMirrored) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(9, 6));
    test::FillRandomPremultiplied(img.View(), 31);
    img.isGDIplusEnabled(false); // the library's own scaler and mirror
    img.SetImageType(imgPNG);
    const std::vector<uint8_t> original = {1, 2, 3};
    img.SetOriginalFormatBytes(original);

    std::unique_ptr<c32bppDIB> copy;
    img.CopyImageTo(copy, 0, 0, true);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(SamePixels(img, *copy));
    EXPECT_EQ(copy->ImageType(), imgPNG);
    EXPECT_EQ(copy->Alpha(), img.Alpha());
    EXPECT_EQ(copy->OriginalFormatBytes(), original);

    // Scaled through the library's scaler (no GDI+): the scaler's own output.
    img.HighQualityInterpolation(true);
    std::unique_ptr<c32bppDIB> scaled;
    img.CopyImageTo(scaled, 20, 13);
    ASSERT_TRUE(scaled);
    c32bppDIB expected;
    ASSERT_TRUE(expected.InitializeDIB(20, 13));
    ScaleJob job;
    job.source = img.View();
    job.highQuality = true;
    ASSERT_TRUE(ScaleSourceInto(job, expected.View()));
    EXPECT_TRUE(SamePixels(*scaled, expected));

    // Mirrored: the whole image, left to right.
    std::unique_ptr<c32bppDIB> mirrored;
    img.CopyImageTo(mirrored, -9, 6);
    ASSERT_TRUE(mirrored);
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 9; ++x)
            EXPECT_EQ(At(*mirrored, x, y), At(img, 8 - x, y));
    // Mirrored top to bottom and scaled: the mirrored image scaled to the new size.
    img.HighQualityInterpolation(false);
    img.CopyImageTo(mirrored, 18, -12);
    ASSERT_EQ(mirrored->Width(), 18);
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 18; ++x)
            EXPECT_EQ(At(*mirrored, x, y), At(img, x / 2, 5 - y / 2)) << x << "," << y;
}

TEST(Copies, AKeptTargetShowsOnlyTheNewImage) {
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(4, 4));
    test::FillRandomPremultiplied(img.View(), 41);
    img.HighQualityInterpolation(false);
    ASSERT_TRUE(img.isAlphaBlendFriendly());
    std::unique_ptr<c32bppDIB> target = std::make_unique<c32bppDIB>();
    ASSERT_TRUE(target->InitializeDIB(8, 8));
    std::memset(target->BitsPointer(), 0xFF, 256); // old, opaque white content
    img.CopyImageTo(target, 8, 8);                 // drawn by AlphaBlend into the host
    c32bppDIB fresh;
    ASSERT_TRUE(fresh.InitializeDIB(8, 8));
    ASSERT_TRUE(img.Render(nullptr, 0, 0, 8, 8, 0, 0, 4, 4, 100, true, false, &fresh));
    EXPECT_TRUE(SamePixels(*target, fresh));
}

// Reads a bitmap file back through the system's own loader, as 32-bit top-down pixels.
std::vector<uint8_t> LoadWithSystem(const std::string& path, int32_t w, int32_t h) {
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                  LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bmp) return {};
    win::UniqueBitmap owner(bmp);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    win::WindowDC screen;
    if (GetDIBits(screen.get(), bmp, 0, static_cast<UINT>(h), px.data(), &info, DIB_RGB_COLORS) !=
        h)
        return {};
    return px;
}

TEST(Saving, BitmapFilesLoadBackWithTheSamePixels) {
    const std::string dir = test::MakeTempDir("render_save");
    c32bppDIB img;
    ASSERT_TRUE(img.InitializeDIB(3, 5));
    test::FillRandomPremultiplied(img.View(), 77);
    for (bool alpha : {true, false}) {
        img.SetAlphaFlag(alpha);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(img.SaveToStream(bytes));
        EXPECT_EQ(bytes.size(), 54u + 12 * 5);
        const std::string path = test::JoinPath(dir, alpha ? "a.bmp" : "b.bmp");
        ASSERT_TRUE(test::WriteFile(path, std::string(bytes.begin(), bytes.end())));
        const std::vector<uint8_t> px = LoadWithSystem(path, 3, 5);
        ASSERT_EQ(px.size(), 60u);
        for (size_t i = 0; i < px.size(); ++i) {
            if (i % 4 == 3) continue; // the system's alpha byte says nothing for 24 bits
            EXPECT_EQ(px[i], img.BitsPointer()[i]) << alpha << " byte " << i;
        }
    }
    c32bppDIB empty;
    std::vector<uint8_t> untouched = {9};
    EXPECT_FALSE(empty.SaveToStream(untouched));
    EXPECT_EQ(untouched.size(), 1u);
}

TEST(FileNames, PastedFiles) {
    std::vector<std::wstring> list = {L"kept"};
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(c32bppDIB::GetPastedFileNames(list), 0);
    EXPECT_EQ(list, std::vector<std::wstring>{L"kept"});

    const std::vector<std::wstring> names = {L"C:\\a\\\u00e9t\u00e9.png", L"C:\\b.gif"};
    for (bool wide : {true, false}) {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        ASSERT_TRUE(SetClipboardData(
            CF_HDROP,
            test::MakeDropBlock(wide ? names : std::vector<std::wstring>{L"C:\\x.bmp"}, wide)));
        CloseClipboard();
        const int32_t n = c32bppDIB::GetPastedFileNames(list);
        if (wide) {
            EXPECT_EQ(n, 2);
            EXPECT_EQ(list, names);
        } else {
            EXPECT_EQ(n, 1);
            EXPECT_EQ(list, std::vector<std::wstring>{L"C:\\x.bmp"});
        }
    }
}

// A data object that offers one dropped-files block.

TEST(FileNames, DroppedFilesGetTheirWideNames) {
    EXPECT_FALSE(c32bppDIB::GetDroppedFileNames(nullptr));
    const std::vector<std::wstring> names = {L"C:\\\u0436\u0443\u043a.png", L"C:\\two.png"};
    DragDropData drop;
    drop.data = win::ComPtr<IDataObject>::Attach(new test::FileListDataObject(names));
    drop.Files = {L"C:\\???.png", L"C:\\two.png"}; // as the narrow code page showed them
    ASSERT_TRUE(c32bppDIB::GetDroppedFileNames(&drop));
    EXPECT_EQ(drop.Files, names);
}

} // namespace
} // namespace moirelle

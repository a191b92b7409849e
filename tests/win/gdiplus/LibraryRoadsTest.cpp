// The image object's GDI+ roads: loading what only GDI+ decodes, PNG data offered to GDI+,
// drawing and copying through GDI+, each against the same job with GDI+ switched off.

#include "GdiplusTestSupport.h"

#include "dib/ImageType.h"
#include "gdiplus/DibBitmap.h"
#include "gdiplus/GdiplusEncoders.h"
#include "gdiplus/GdiplusSession.h"
#include "gdiplus/GdiplusStreams.h"
#include "gdiplus/cGDIPlus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace moirelle::test {
namespace {

// The image in the format of one of GDI+'s encoders.
std::vector<uint8_t> Encode(const c32bppDIB& image, const wchar_t* mime) {
    const gdip::TokenScope session(0);
    if (!session) return {};
    CLSID encoder{};
    if (gdip::FindEncoder(*session.api(), mime, encoder) < 0) return {};
    const gdip::UniqueImage bitmap = gdip::BitmapOverDib(*session.api(), image);
    const auto stream = gdip::ArrayToStream({});
    std::vector<uint8_t> bytes;
    if (bitmap && stream &&
        session.api()->GdipSaveImageToStream(bitmap.get(), stream.Get(), &encoder, nullptr) ==
            gdip::statusOk)
        gdip::StreamToArray(stream.Get(), bytes);
    return bytes;
}

bool SamePixels(const c32bppDIB& a, const c32bppDIB& b) {
    GdiFlush();
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::equal(a.BitsPointer(), a.BitsPointer() + a.scanWidth() * a.Height(),
                      b.BitsPointer());
}

bool IsPng(const std::vector<uint8_t>& bytes) {
    return bytes.size() > 8 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N';
}

TEST(GdiplusRoads, WhatOnlyGdiplusDecodesLoadsAndIsKeptAsPng) {
    c32bppDIB source;
    MakeQuadrants(source, 24, 16);
    const std::vector<uint8_t> tiff = Encode(source, L"image/tiff");
    ASSERT_GT(tiff.size(), 56u) << "GDI+ writes TIFF";

    c32bppDIB without;
    without.isGDIplusEnabled(false);
    EXPECT_FALSE(without.LoadPicture_Stream(tiff)) << "none of the library's readers knows TIFF";

    c32bppDIB dib;
    ASSERT_TRUE(dib.isGDIplusEnabled());
    ASSERT_TRUE(dib.LoadPicture_Stream(tiff, 0, 0, 0, 0, true));
    EXPECT_EQ(dib.ImageType(), imgPNG);
    EXPECT_TRUE(SamePixels(dib, source));
    std::vector<uint8_t> kept;
    ASSERT_TRUE(dib.GetOrginalFormat(kept));
    EXPECT_TRUE(IsPng(kept)) << "the kept bytes are a PNG file of the image";
    ASSERT_TRUE(dib.LoadPicture_FromOrignalFormat());
    EXPECT_TRUE(SamePixels(dib, source));

    // From a file, locked only while it loads.
    const std::wstring path = TempFolder() + L"\\quadrants.tif";
    ASSERT_TRUE(WriteBytes(path, tiff));
    c32bppDIB fromFile;
    ASSERT_TRUE(fromFile.LoadPicture_File(path, 0, 0, true));
    EXPECT_TRUE(SamePixels(fromFile, source));
    ASSERT_TRUE(fromFile.GetOrginalFormat(kept));
    EXPECT_TRUE(IsPng(kept));
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(GdiplusRoads, GdiplusGetsTheSliceThatHoldsTheImage) {
    c32bppDIB source;
    MakeQuadrants(source, 24, 16);
    const std::vector<uint8_t> tiff = Encode(source, L"image/tiff");
    ASSERT_FALSE(tiff.empty());
    std::vector<uint8_t> padded(100 + tiff.size() + 30, 0x5A);
    std::copy(tiff.begin(), tiff.end(), padded.begin() + 100);

    c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_Stream(padded, 0, 0, 100, static_cast<int32_t>(tiff.size())));
    EXPECT_TRUE(SamePixels(dib, source));
}

TEST(GdiplusRoads, PngDataGoToGdiplusFirstAndMatchTheOwnDecoder) {
    c32bppDIB source;
    ASSERT_TRUE(source.InitializeDIB(11, 7));
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 11; ++x)
            SetPixel(source, x, y,
                     Premultiplied(uint8_t(x * 23), uint8_t(y * 36), 90,
                                   uint8_t(y == 0   ? 255
                                           : y == 1 ? 0
                                                    : x * 25)));
    std::vector<uint8_t> png;
    ASSERT_TRUE(cGDIPlus().SaveToPNG(L"", png, source, 0));

    c32bppDIB own, viaGdiplus;
    own.isGDIplusEnabled(false);
    ASSERT_TRUE(own.LoadPicture_Stream(png));
    ASSERT_TRUE(viaGdiplus.LoadPicture_Stream(png));
    for (const c32bppDIB* dib : {&own, &viaGdiplus}) {
        EXPECT_EQ(dib->ImageType(), imgPNG);
        EXPECT_TRUE(dib->Alpha());
        ASSERT_EQ(dib->Width(), 11);
        for (int32_t y = 0; y < 7; ++y)
            for (int32_t x = 0; x < 11; ++x) {
                const Bgra want = PixelAt(source, x, y), got = PixelAt(*dib, x, y);
                EXPECT_TRUE(want.a == got.a && Near(want, got, want.a % 255 ? 1 : 0))
                    << x << "," << y << ": " << got << " vs " << want;
            }
    }

    // A PNG one byte short: the own decoder refuses it, GDI+ reads what is there.
    const std::vector<uint8_t> cut(png.begin(), png.end() - 1);
    c32bppDIB strict, lenient;
    strict.isGDIplusEnabled(false);
    EXPECT_FALSE(strict.LoadPicture_Stream(cut));
    EXPECT_TRUE(lenient.LoadPicture_Stream(cut));
}

// Whether some pixel of the other canvas within reach of (x, y) is near p: the two
// engines may place an edge or a border a row or column apart, turned images two.
bool MatchesNearby(const Canvas& other, int32_t x, int32_t y, const Bgra& p, int32_t reach) {
    for (int32_t dy = -reach; dy <= reach; ++dy)
        for (int32_t dx = -reach; dx <= reach; ++dx) {
            const int32_t ox = x + dx, oy = y + dy;
            if (ox >= 0 && oy >= 0 && ox < 60 && oy < 60 && Near(other.At(ox, oy), p, 3))
                return true;
        }
    return false;
}

// A job drawn with GDI+ and again by the library's own roads: the same picture, within a
// few levels and a pixel or two of placement.
void ExpectRoadsAgree(c32bppDIB& source, int32_t destWidth, int32_t destHeight, int32_t opacity,
                      int32_t gray, float light, float angle, int32_t destX = 10) {
    SCOPED_TRACE(::testing::Message()
                 << destWidth << "x" << destHeight << " opacity " << opacity << " gray " << gray
                 << " light " << light << " angle " << angle);
    Canvas viaGdiplus(60, 60, Opaque(20, 40, 60));
    Canvas own(60, 60, Opaque(20, 40, 60));
    source.isGDIplusEnabled(true);
    ASSERT_TRUE(source.Render(nullptr, destX, 10, destWidth, destHeight, 0, 0, 0, 0, opacity, true,
                              true, &viaGdiplus.dib(), gray, light, angle));
    source.isGDIplusEnabled(false);
    ASSERT_TRUE(source.Render(nullptr, destX, 10, destWidth, destHeight, 0, 0, 0, 0, opacity, true,
                              true, &own.dib(), gray, light, angle));
    source.isGDIplusEnabled(true);
    const int32_t reach = angle != 0 ? 2 : 1;
    int differing = 0;
    for (int32_t y = 0; y < 60; ++y)
        for (int32_t x = 0; x < 60; ++x)
            if (!MatchesNearby(own, x, y, viaGdiplus.At(x, y), reach) ||
                !MatchesNearby(viaGdiplus, x, y, own.At(x, y), reach))
                ++differing;
    EXPECT_LE(differing, 4) << "GDI+ and the own roads draw different pictures";
}

TEST(GdiplusRoads, RenderThroughGdiplusMatchesTheOwnRoads) {
    c32bppDIB source;
    MakeQuadrants(source, 20, 20);
    source.HighQualityInterpolation(false);
    ExpectRoadsAgree(source, 40, 40, 100, -1, 0, 0);  // scaled
    ExpectRoadsAgree(source, -20, 20, 100, -1, 0, 0); // mirrored
    ExpectRoadsAgree(source, 20, -40, 60, 2, 0, 0);   // mirrored, scaled, faded, gray
    ExpectRoadsAgree(source, 20, 20, 100, -1, 40, 0); // lighter
    ExpectRoadsAgree(source, 30, 30, 100, -1, 0, 90); // turned
    ExpectRoadsAgree(source, 20, 20, 50, 0, 0, 180);  // turned, faded, gray
    // Turned about the centre of a mirrored rectangle, which lies left of destX.
    ExpectRoadsAgree(source, -20, 20, 100, -1, -30, 270, 40); // mirrored, turned, darker
}

TEST(GdiplusRoads, HighQualityScaledDrawsGoThroughGdiplus) {
    c32bppDIB source;
    MakeQuadrants(source, 8, 8);
    ASSERT_TRUE(source.HighQualityInterpolation());
    source.gdiToken(0);
    Canvas canvas(32, 32, kBlack);
    ASSERT_TRUE(source.Render(canvas.dc(), 0, 0, 32, 32));
    // The same draw by the bridge directly.
    Canvas direct(32, 32, kBlack);
    ASSERT_TRUE(cGDIPlus().RenderGDIplus(source, direct.dc(), 0, 100, 0, 0, 32, 32, 0, 0, 8, 8,
                                         true, -1, 0, 0));
    EXPECT_TRUE(SamePixels(canvas.dib(), direct.dib()));
}

TEST(GdiplusRoads, ScaledCopiesUseGdiplusWithTheHighQualityFilter) {
    c32bppDIB source;
    MakeQuadrants(source, 8, 8);
    source.HighQualityInterpolation(false);
    source.isAlphaBlendFriendly(false);
    std::unique_ptr<c32bppDIB> copy;
    source.CopyImageTo(copy, 32, 32);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->Width(), 32);
    EXPECT_EQ(PixelAt(*copy, 4, 4), kRed);
    EXPECT_EQ(PixelAt(*copy, 27, 27), kWhite);
    // Blended across the quadrant border, which nearest-neighbour scaling never does.
    bool blended = false;
    for (int32_t x = 8; x < 24; ++x)
        blended = blended || (PixelAt(*copy, x, 4).r > 0 && PixelAt(*copy, x, 4).g > 0);
    EXPECT_TRUE(blended);

    source.isGDIplusEnabled(false);
    std::unique_ptr<c32bppDIB> own;
    source.CopyImageTo(own, 32, 32);
    ASSERT_TRUE(own);
    for (int32_t x = 0; x < 32; ++x) {
        const Bgra p = PixelAt(*own, x, 4);
        EXPECT_TRUE(p == kRed || p == kGreen) << p;
    }
}

// A kept target of the right size shows only the new image on every GDI+ road of the
// copy: what the source leaves transparent is transparent, not the target's old pixels.
TEST(GdiplusRoads, CopiesIntoAKeptTargetClearItFirst) {
    c32bppDIB source;
    ASSERT_TRUE(source.InitializeDIB(4, 4));
    FillRect(source, 0, 0, 2, 4, kRed); // the right half stays transparent
    struct Case {
        const char* road;
        int32_t width, height;
        bool highQuality, alphaBlendFriendly;
    };
    for (const Case c : {Case{"scaled", 8, 8, true, true}, Case{"mirrored", -4, 4, true, true},
                         Case{"not AlphaBlend-friendly", 8, 8, false, false}}) {
        source.HighQualityInterpolation(c.highQuality);
        source.isAlphaBlendFriendly(c.alphaBlendFriendly);
        const int32_t w = std::abs(c.width), h = std::abs(c.height);
        auto target = std::make_unique<c32bppDIB>();
        ASSERT_TRUE(target->InitializeDIB(w, h));
        FillRect(*target, 0, 0, w, h, kWhite); // the old, opaque content
        source.CopyImageTo(target, c.width, c.height);
        ASSERT_EQ(target->Width(), w);
        // The red half, and the transparent quarter farthest from it.
        const bool mirrored = c.width < 0;
        EXPECT_EQ(PixelAt(*target, mirrored ? w - 1 : 0, 1), kRed) << c.road;
        int whiteLeft = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                whiteLeft += PixelAt(*target, x, y) == kWhite;
                const bool farQuarter = mirrored ? x < w / 4 : x >= w - w / 4;
                if (farQuarter) {
                    EXPECT_EQ(PixelAt(*target, x, y), Bgra{}) << c.road << " " << x;
                }
            }
        EXPECT_EQ(whiteLeft, 0) << c.road;
    }
}

// dibtool, beside this program in the build: PNG output through GDI+, TIFF input.
TEST(GdiplusRoads, DibtoolConvertsToPngAndReadsWhatGdiplusDecodes) {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring tool(self, n);
    tool = tool.substr(0, tool.find_last_of(L"\\/") + 1) + L"dibtool.exe";
    if (!FileExists(tool)) GTEST_SKIP() << "dibtool.exe is not built beside the tests";

    auto run = [&](const std::wstring& arguments) -> DWORD {
        std::wstring commandLine = L"\"" + tool + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process))
            return 99;
        WaitForSingleObject(process.hProcess, 60000);
        DWORD code = 99;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    };

    c32bppDIB source;
    MakeQuadrants(source, 24, 16);
    const std::wstring tiff = TempFolder() + L"\\tool-in.tif";
    const std::wstring png = TempFolder() + L"\\tool-out.png";
    ASSERT_TRUE(WriteBytes(tiff, Encode(source, L"image/tiff")));
    EXPECT_EQ(run(L"info \"" + tiff + L"\""), 0u);
    EXPECT_EQ(run(L"info --no-gdiplus \"" + tiff + L"\""), 1u);
    ASSERT_EQ(run(L"convert \"" + tiff + L"\" \"" + png + L"\""), 0u);
    c32bppDIB converted;
    converted.isGDIplusEnabled(false); // read back by the library's own decoder
    ASSERT_TRUE(converted.LoadPicture_File(png));
    EXPECT_TRUE(SamePixels(converted, source));
    EXPECT_EQ(run(L"convert --no-gdiplus \"" + tiff + L"\" \"" + png + L"\""), 1u);
}

} // namespace
} // namespace moirelle::test

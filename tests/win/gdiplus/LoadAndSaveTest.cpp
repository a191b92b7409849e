// The general loader and the PNG encoder, on both token routes.

#include "GdiplusTestSupport.h"

#include "dib/ImageType.h"
#include "dib/MemoryImage.h"
#include "formats/cPNGparser.h"
#include "gdiplus/DibBitmap.h"
#include "gdiplus/GdiplusEncoders.h"
#include "gdiplus/GdiplusSession.h"
#include "gdiplus/cGDIPlus.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace moirelle::test {
namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const uint8_t kIendChunk[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

// Colours, alphas 0, 255 and in between, and a row and column that tell the orientation.
void MakeTestImage(c32bppDIB& dib) {
    ASSERT_TRUE(dib.InitializeDIB(13, 9));
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 13; ++x) {
            const uint8_t alpha = y == 0 ? 255 : y == 1 ? 0 : static_cast<uint8_t>(x * 20 + y);
            SetPixel(dib, x, y,
                     Premultiplied(static_cast<uint8_t>(x * 19), static_cast<uint8_t>(255 - y * 28),
                                   static_cast<uint8_t>((x * y * 7) & 255), alpha));
        }
    SetPixel(dib, 0, 0, kRed); // top-left marker
}

// Exact where alpha is 0 or 255; within one level per colour where it is partial.
void ExpectSamePixels(const c32bppDIB& got, const c32bppDIB& want) {
    ASSERT_EQ(got.Width(), want.Width());
    ASSERT_EQ(got.Height(), want.Height());
    for (int32_t y = 0; y < want.Height(); ++y)
        for (int32_t x = 0; x < want.Width(); ++x) {
            const Bgra w = PixelAt(want, x, y), g = PixelAt(got, x, y);
            if (w.a == 0 || w.a == 255)
                ASSERT_EQ(g, w) << x << "," << y;
            else
                ASSERT_TRUE(Near(g, w, 1) && g.a == w.a)
                    << x << "," << y << ": " << g << " vs " << w;
        }
}

bool IsWholePng(const std::vector<uint8_t>& bytes) {
    return bytes.size() > 20 && std::equal(kPngSignature, kPngSignature + 8, bytes.begin()) &&
           std::equal(kIendChunk, kIendChunk + 12, bytes.end() - 12);
}

// A 24-bit bottom-up bitmap file built byte by byte.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, const std::vector<Bgra>& topDown) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t dataSize = rowBytes * static_cast<uint32_t>(height);
    std::vector<uint8_t> f(54 + dataSize, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    put32(2, static_cast<uint32_t>(f.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    f[26] = 1;
    f[28] = 24;
    put32(34, dataSize);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const Bgra& p = topDown[static_cast<size_t>(y * width + x)];
            uint8_t* q = &f[54 + static_cast<size_t>(height - 1 - y) * rowBytes + x * 3];
            q[0] = p.b, q[1] = p.g, q[2] = p.r;
        }
    return f;
}

class GdiplusLoadSave : public TokenRoutes {};

TEST_P(GdiplusLoadSave, PngThroughAByteArrayComesBackTheSame) {
    c32bppDIB image;
    MakeTestImage(image);
    std::vector<uint8_t> png{1, 2, 3};
    ASSERT_TRUE(cGDIPlus().SaveToPNG(L"", png, image, token()));
    EXPECT_TRUE(IsWholePng(png)) << "exactly the file's bytes, " << png.size();

    c32bppDIB loaded;
    MakeQuadrants(loaded, 3, 3); // replaced by the load
    ASSERT_TRUE(cGDIPlus().GDIplusLoadPicture(L"", png, loaded, token()));
    EXPECT_EQ(loaded.ImageType(), imgPNG);
    EXPECT_TRUE(loaded.Alpha());
    ExpectSamePixels(loaded, image);

    // The library's own decoder reads the same picture.
    MemoryImage decoded;
    ASSERT_TRUE(cPNGparser().LoadStream(png, decoded, 0, png.size(), 0));
    ASSERT_TRUE(loaded.InitializeDIB(decoded.Width(), decoded.Height()));
    std::copy(decoded.BitsPointer(), decoded.BitsPointer() + decoded.scanWidth() * decoded.Height(),
              loaded.BitsPointer());
    ExpectSamePixels(loaded, image);
}

TEST_P(GdiplusLoadSave, PngThroughAFileComesBackAndLeavesTheFileFree) {
    c32bppDIB image;
    MakeTestImage(image);
    const std::wstring path = TempFolder() + L"\\saved" + (GetParam() ? L"1" : L"0") + L".png";
    std::vector<uint8_t> untouched{5};
    ASSERT_TRUE(cGDIPlus().SaveToPNG(path, untouched, image, token()));
    EXPECT_EQ(untouched, std::vector<uint8_t>{5});
    EXPECT_TRUE(IsWholePng(ReadBytes(path)));

    c32bppDIB loaded;
    ASSERT_TRUE(cGDIPlus().GDIplusLoadPicture(path, {}, loaded, token()));
    EXPECT_EQ(loaded.ImageType(), imgPNG);
    EXPECT_TRUE(loaded.Alpha());
    ExpectSamePixels(loaded, image);
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "the loader still holds the file";

    // Written to a file, read by the library's own decoder.
    ASSERT_TRUE(cGDIPlus().SaveToPNG(path, untouched, image, token()));
    c32bppDIB own;
    own.isGDIplusEnabled(false);
    ASSERT_TRUE(own.LoadPicture_File(path));
    ExpectSamePixels(own, image);
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_P(GdiplusLoadSave, LoadsJpegWithoutAlpha) {
    c32bppDIB image;
    MakeQuadrants(image, 32, 16);
    // Written with GDI+'s own JPEG encoder.
    const std::wstring path = TempFolder() + L"\\quadrants" + (GetParam() ? L"1" : L"0") + L".jpg";
    {
        const gdip::TokenScope session(0);
        ASSERT_TRUE(session);
        CLSID jpeg{};
        ASSERT_GE(gdip::FindEncoder(*session.api(), L"image/jpeg", jpeg), 1);
        const gdip::UniqueImage bitmap = gdip::BitmapOverDib(*session.api(), image);
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(session.api()->GdipSaveImageToFile(bitmap.get(), path.c_str(), &jpeg, nullptr),
                  gdip::statusOk);
    }
    const std::vector<uint8_t> bytes = ReadBytes(path);
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);

    for (const bool fromFile : {true, false}) {
        SCOPED_TRACE(fromFile ? "file" : "bytes");
        c32bppDIB loaded;
        ASSERT_TRUE(cGDIPlus().GDIplusLoadPicture(fromFile ? path : L"", bytes, loaded, token()));
        EXPECT_EQ(loaded.Width(), 32);
        EXPECT_EQ(loaded.Height(), 16);
        EXPECT_FALSE(loaded.Alpha());
        EXPECT_EQ(loaded.ImageType(), imgPNG);
        // Lossy: each quadrant's colour, roughly.
        EXPECT_TRUE(Near(PixelAt(loaded, 4, 4), kRed, 24)) << PixelAt(loaded, 4, 4);
        EXPECT_TRUE(Near(PixelAt(loaded, 27, 4), kGreen, 24)) << PixelAt(loaded, 27, 4);
        EXPECT_TRUE(Near(PixelAt(loaded, 4, 12), kBlue, 24)) << PixelAt(loaded, 4, 12);
        EXPECT_TRUE(Near(PixelAt(loaded, 27, 12), kWhite, 24)) << PixelAt(loaded, 27, 12);
    }
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_P(GdiplusLoadSave, LoadsBitmapFilesExactly) {
    std::vector<Bgra> pixels;
    for (int i = 0; i < 5 * 3; ++i)
        pixels.push_back(Opaque(static_cast<uint8_t>(i * 17), static_cast<uint8_t>(250 - i * 9),
                                static_cast<uint8_t>(i * i)));
    const std::vector<uint8_t> bmp = MakeBmp(5, 3, pixels);
    c32bppDIB loaded;
    ASSERT_TRUE(cGDIPlus().GDIplusLoadPicture(L"", bmp, loaded, token()));
    ASSERT_EQ(loaded.Width(), 5);
    ASSERT_EQ(loaded.Height(), 3);
    EXPECT_FALSE(loaded.Alpha());
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            EXPECT_EQ(PixelAt(loaded, x, y), pixels[static_cast<size_t>(y * 5 + x)])
                << x << "," << y;
}

TEST_P(GdiplusLoadSave, UndecodableDataLeavesTheImageEmpty) {
    std::vector<uint8_t> garbage(200);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    c32bppDIB image;
    MakeQuadrants(image, 4, 4);
    EXPECT_FALSE(cGDIPlus().GDIplusLoadPicture(L"", garbage, image, token()));
    EXPECT_EQ(image.Handle(), nullptr);

    MakeQuadrants(image, 4, 4);
    EXPECT_FALSE(cGDIPlus().GDIplusLoadPicture(L"", {}, image, token()));
    EXPECT_EQ(image.Handle(), nullptr);
    MakeQuadrants(image, 4, 4);
    EXPECT_FALSE(
        cGDIPlus().GDIplusLoadPicture(TempFolder() + L"\\missing.png", {}, image, token()));
    EXPECT_EQ(image.Handle(), nullptr);

    // A file GDI+ cannot read is not kept open either.
    const std::wstring path = TempFolder() + L"\\garbage" + (GetParam() ? L"1" : L"0") + L".png";
    ASSERT_TRUE(WriteBytes(path, garbage));
    EXPECT_FALSE(cGDIPlus().GDIplusLoadPicture(path, {}, image, token()));
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_P(GdiplusLoadSave, SaveRefusesAnEmptyImageAndABadPath) {
    c32bppDIB empty;
    std::vector<uint8_t> out{1};
    EXPECT_FALSE(cGDIPlus().SaveToPNG(L"", out, empty, token()));
    c32bppDIB image;
    MakeQuadrants(image, 4, 4);
    EXPECT_FALSE(
        cGDIPlus().SaveToPNG(TempFolder() + L"\\no\\such\\folder\\x.png", out, image, token()));
}

INSTANTIATE_TEST_SUITE_P(Tokens, GdiplusLoadSave, ::testing::Bool(), TokenRouteName);

} // namespace
} // namespace moirelle::test

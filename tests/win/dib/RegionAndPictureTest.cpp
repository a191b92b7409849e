#include "dib/win/c32bppDIB.h"
#include "formats/win/modParsersWin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace moirelle::modParsers {
namespace {

std::vector<RECT> RectsOf(HRGN region) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<uint8_t> data(size);
    auto* rd = reinterpret_cast<RGNDATA*>(data.data());
    if (!size || !GetRegionData(region, size, rd)) return {};
    const RECT* r = reinterpret_cast<const RECT*>(rd->Buffer);
    return {r, r + rd->rdh.nCount};
}

void SetAlpha(c32bppDIB& dib, int x, int y, uint8_t a) {
    dib.BitsPointer()[(static_cast<size_t>(dib.Height() - 1 - y) * dib.Width() + x) * 4 + 3] = a;
}

TEST(RegionFromAlpha, ExactStyleFollowsRunsInPictureCoordinates) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(3, 2));
    SetAlpha(dib, 0, 1, 255);
    SetAlpha(dib, 2, 1, 4);
    win::UniqueRegion exact = RegionFromAlpha(dib, regionExact);
    ASSERT_TRUE(exact);
    const std::vector<RECT> rects = RectsOf(exact.get());
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0].left, 0);
    EXPECT_EQ(rects[0].top, 1);
    EXPECT_EQ(rects[0].right, 1);
    EXPECT_EQ(rects[1].left, 2);
    EXPECT_EQ(rects[1].right, 3);
    EXPECT_EQ(rects[1].bottom, 2);

    win::UniqueRegion spans = RegionFromAlpha(dib, regionSpans);
    ASSERT_TRUE(spans);
    RECT box{};
    EXPECT_EQ(GetRgnBox(spans.get(), &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 3);
    EXPECT_EQ(box.top, 1);
    EXPECT_EQ(box.bottom, 2);
}

TEST(RegionFromAlpha, BoundsStyleAndEmptyShapes) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(10, 10));
    for (int32_t style : {regionBounds, regionSpans, regionExact})
        EXPECT_FALSE(RegionFromAlpha(dib, style)) << "no visible pixel, no region";
    SetAlpha(dib, 5, 7, 1);
    win::UniqueRegion bounds = RegionFromAlpha(dib, regionBounds);
    ASSERT_TRUE(bounds);
    RECT box{};
    GetRgnBox(bounds.get(), &box);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.top, 7);
    EXPECT_EQ(box.right, 6);
    EXPECT_EQ(box.bottom, 8);

    dib.SetAlphaFlag(false);
    for (int32_t style : {regionBounds, regionSpans, regionExact}) {
        win::UniqueRegion full = RegionFromAlpha(dib, style);
        ASSERT_TRUE(full);
        GetRgnBox(full.get(), &box);
        EXPECT_EQ(box.right, 10);
        EXPECT_EQ(box.bottom, 10);
        EXPECT_EQ(box.left, 0);
    }
    c32bppDIB none;
    EXPECT_FALSE(RegionFromAlpha(none, regionExact));
}

TEST(RegionFromAlpha, BatchesGiveTheSameRegionAsOneRequest) {
    // A comb: every other pixel visible, 3000 one-pixel rectangles.
    std::vector<RegionRect> rects;
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 200; x += 2)
            rects.push_back({x, y, x + 1, y + 1});
    ASSERT_EQ(rects.size(), 3000u);
    win::UniqueRegion whole = RegionFromRects(rects, 200);
    ASSERT_TRUE(whole);
    for (size_t batch : {size_t{2000}, size_t{7}, size_t{2}}) {
        win::UniqueRegion batched = RegionFromRectsInBatches(rects, 200, batch);
        ASSERT_TRUE(batched) << batch;
        EXPECT_TRUE(EqualRgn(whole.get(), batched.get())) << batch;
    }
    EXPECT_FALSE(RegionFromRectsInBatches({}, 200, 2000));
}

// Masks of many shapes give exactly the region of one request for all their rectangles.
TEST(RegionFromAlpha, SameRegionAsOneRequestForEveryShape) {
    std::mt19937 rng(5);
    struct Mask {
        const char* what;
        int32_t width, height;
        std::function<bool(int32_t, int32_t)> visible;
    };
    const Mask masks[] = {
        {"noise", 61, 47, [&](int32_t, int32_t) { return rng() % 2 == 0; }},
        {"sparse noise", 200, 30, [&](int32_t, int32_t) { return rng() % 9 == 0; }},
        {"checkerboard", 40, 40, [](int32_t x, int32_t y) { return (x + y) % 2 == 0; }},
        {"stripes", 33, 90, [](int32_t x, int32_t) { return x % 3 != 0; }},
        {"disc", 90, 70,
         [](int32_t x, int32_t y) { return (x - 45) * (x - 45) + (y - 35) * (y - 35) < 900; }},
        {"one pixel", 7, 5, [](int32_t x, int32_t y) { return x == 6 && y == 4; }},
    };
    for (const Mask& m : masks) {
        c32bppDIB dib;
        ASSERT_TRUE(dib.InitializeDIB(m.width, m.height));
        for (int32_t y = 0; y < m.height; ++y)
            for (int32_t x = 0; x < m.width; ++x)
                SetAlpha(dib, x, y, m.visible(x, y) ? 200 : 0);
        for (int32_t style : {regionSpans, regionExact}) {
            const win::UniqueRegion region = RegionFromAlpha(dib, style);
            const win::UniqueRegion oneRequest =
                RegionFromRects(RegionRectsFromAlpha(dib.View(), true, style), m.width);
            ASSERT_TRUE(region && oneRequest) << m.what;
            EXPECT_TRUE(EqualRgn(region.get(), oneRequest.get())) << m.what << " style " << style;
        }
    }
}

// A dithered window-sized mask: 393,216 one-pixel rectangles, none of which can join
// another, so the region holds exactly them. One request for all of them takes minutes
// under Wine; the time is printed.
TEST(RegionFromAlpha, DitheredScreenSizedMaskInLittleTime) {
    const int32_t w = 1024, h = 768;
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(w, h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = (y % 2); x < w; x += 2)
            SetAlpha(dib, x, y, 255);
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const win::UniqueRegion region = dib.CreateRegion(regionExact);
    QueryPerformanceCounter(&end);
    const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    std::printf("[ region   ] dithered %d x %d exact region: %.3f s\n", w, h, seconds);
    ASSERT_TRUE(region);
    const std::vector<RECT> rects = RectsOf(region.get());
    ASSERT_EQ(rects.size(), static_cast<size_t>(w / 2) * static_cast<size_t>(h));
    size_t i = 0;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = (y % 2); x < w; x += 2, ++i)
            ASSERT_TRUE(rects[i].left == x && rects[i].right == x + 1 && rects[i].top == y &&
                        rects[i].bottom == y + 1)
                << x << "," << y;
    // A generous guard only: the time that matters is printed above.
    EXPECT_LT(seconds, 30.0);
}

// A 2x2 24-bit bitmap file: top row red, green; bottom row blue, white.
std::vector<uint8_t> TinyBitmapFile() {
    std::vector<uint8_t> f(54 + 16, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&f[at], &v, 2); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, static_cast<uint32_t>(f.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    put16(26, 1);
    put16(28, 24);
    const uint8_t rows[16] = {255, 0, 0,   255, 255, 255, 0, 0,  // bottom: blue, white
                              0,   0, 255, 0,   255, 0,   0, 0}; // top: red, green
    std::memcpy(&f[54], rows, 16);
    return f;
}

TEST(PictureFromBytes, LoadsABitmapWhosePixelsCanBeRead) {
    const std::vector<uint8_t> file = TinyBitmapFile();
    std::vector<uint8_t> padded(5 + file.size(), 0xEE);
    std::memcpy(padded.data() + 5, file.data(), file.size());
    win::ComPtr<IPicture> picture = PictureFromBytes(padded, 5, file.size());
    ASSERT_TRUE(picture);
    SHORT type = 0;
    ASSERT_EQ(picture->get_Type(&type), S_OK);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    OLE_HANDLE handle = 0;
    ASSERT_EQ(picture->get_Handle(&handle), S_OK);

    // The picture's bitmap may be device-dependent: read it through GetDIBits.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = -2; // top-down for the check
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    uint32_t px[4] = {};
    win::WindowDC screen;
    HBITMAP bmp = reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(handle));
    ASSERT_EQ(GetDIBits(screen.get(), bmp, 0, 2, px, &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(px[0] & 0xFFFFFF, 0xFF0000u); // red
    EXPECT_EQ(px[1] & 0xFFFFFF, 0x00FF00u); // green
    EXPECT_EQ(px[2] & 0xFFFFFF, 0x0000FFu); // blue
    EXPECT_EQ(px[3] & 0xFFFFFF, 0xFFFFFFu); // white
}

TEST(PictureFromBytes, RefusesBadSlicesAndUnknownData) {
    const std::vector<uint8_t> file = TinyBitmapFile();
    EXPECT_FALSE(PictureFromBytes(file, 1, file.size()));
    EXPECT_FALSE(PictureFromBytes(file, file.size() + 1, 1));
    EXPECT_FALSE(PictureFromBytes(file, 0, 0));
    const std::vector<uint8_t> junk(100, 0x42);
    EXPECT_FALSE(PictureFromBytes(junk, 0, junk.size()));
}

TEST(PictureFromHandle, WrapsAndOwnsABitmap) {
    HBITMAP bmp = CreateBitmap(3, 2, 1, 32, nullptr);
    ASSERT_NE(bmp, nullptr);
    win::ComPtr<IPicture> picture = PictureFromHandle(bmp, pictureBitmap);
    ASSERT_TRUE(picture);
    SHORT type = 0;
    picture->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    OLE_HANDLE handle = 0;
    picture->get_Handle(&handle);
    EXPECT_EQ(reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(handle)), bmp);
    picture.Reset(); // the picture owned the bitmap and deleted it
    EXPECT_EQ(GetObjectType(bmp), 0u);

    EXPECT_FALSE(PictureFromHandle(nullptr, pictureBitmap));
    HBITMAP other = CreateBitmap(1, 1, 1, 32, nullptr);
    EXPECT_FALSE(PictureFromHandle(other, 9));
    DeleteObject(other);
}

} // namespace
} // namespace moirelle::modParsers

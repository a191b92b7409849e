#include "dib/MemoryImage.h"
#include "dib/win/c32bppDIB.h"
#include "formats/ZlibAccess.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace moirelle {
namespace {

bool AllZero(const c32bppDIB& dib) {
    const uint8_t* p = dib.BitsPointer();
    return std::all_of(p, p + dib.scanWidth() * dib.Height(), [](uint8_t b) { return b == 0; });
}

HBITMAP BitmapSelectedIn(HDC dc) {
    return static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
}

TEST(c32bppDIB, NewObjectIsEmptyBlank) {
    c32bppDIB dib;
    EXPECT_EQ(dib.Handle(), nullptr);
    EXPECT_EQ(dib.BitsPointer(), nullptr);
    EXPECT_EQ(dib.ImageType(), imgBlank);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_FALSE(dib.ManageOwnDC());
    EXPECT_EQ(dib.gdiToken(), 0u);
}

TEST(c32bppDIB, InitializeMakesTransparentBlackBottomUpSection) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(10, -5));
    EXPECT_EQ(dib.Width(), 10);
    EXPECT_EQ(dib.Height(), 5);
    EXPECT_EQ(dib.scanWidth(), 40);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(dib.ImageType(), imgBlank);
    EXPECT_TRUE(AllZero(dib));

    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(dib.Handle(), sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    EXPECT_EQ(ds.dsBmih.biBitCount, 32);
    EXPECT_GT(ds.dsBmih.biHeight, 0) << "rows are stored bottom-up";
    EXPECT_EQ(ds.dsBm.bmBits, dib.BitsPointer());

    ASSERT_TRUE(dib.InitializeDIB(7, 3));
    EXPECT_EQ(dib.scanWidth(), 28);
}

TEST(c32bppDIB, RefusedSizesLeaveTheObjectEmpty) {
    c32bppDIB dib;
    for (auto [w, h] : {std::pair{-1, 5}, {5, 0}, {32768, 16384}, {0, 4}}) {
        ASSERT_TRUE(dib.InitializeDIB(4, 4));
        EXPECT_FALSE(dib.InitializeDIB(w, h)) << w << "x" << h;
        EXPECT_EQ(dib.Handle(), nullptr);
        EXPECT_EQ(dib.Width(), 0);
        EXPECT_EQ(dib.ImageType(), imgNone);
    }
}

TEST(c32bppDIB, DestroyResetsEverythingAndDropsKeptBytes) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(3, 3));
    const uint8_t bytes[] = {1, 2, 3};
    dib.SetOriginalFormatBytes(bytes);
    ASSERT_EQ(dib.OriginalFormatBytes().size(), 3u);
    dib.ManageOwnDC(true);
    ASSERT_NE(dib.LoadDIBinDC(true), nullptr);

    dib.DestroyDIB();
    EXPECT_EQ(dib.Handle(), nullptr);
    EXPECT_EQ(dib.BitsPointer(), nullptr);
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
    EXPECT_EQ(dib.ImageType(), imgNone);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_TRUE(dib.OriginalFormatBytes().empty());
    EXPECT_EQ(dib.LoadDIBinDC(true), nullptr) << "no image, no DC";
}

TEST(c32bppDIB, EraseClearsPixelsAndResetsType) {
    c32bppDIB dib;
    dib.EraseDIB(); // nothing held: harmless
    ASSERT_TRUE(dib.InitializeDIB(4, 4));
    std::fill_n(dib.BitsPointer(), 64, uint8_t{0x7F});
    dib.SetImageType(imgPNG);
    dib.SetAlphaFlag(false);
    dib.EraseDIB();
    EXPECT_TRUE(AllZero(dib));
    EXPECT_EQ(dib.ImageType(), imgBlank);
    EXPECT_TRUE(dib.Alpha());
}

TEST(c32bppDIB, DrawingThroughItsDCWritesThePixelMemory) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(4, 2));
    HDC dc = dib.LoadDIBinDC(true);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(BitmapSelectedIn(dc), dib.Handle());
    RECT top{0, 0, 4, 1}; // picture row 0 is the last row in memory
    win::UniqueBrush red(CreateSolidBrush(RGB(255, 0, 0)));
    FillRect(dc, &top, red.get());
    GdiFlush();
    const uint8_t* lastRow = dib.BitsPointer() + dib.scanWidth();
    EXPECT_EQ(lastRow[2], 255);
    EXPECT_EQ(lastRow[0], 0);
    EXPECT_EQ(dib.BitsPointer()[2], 0) << "bottom row untouched";
    dib.LoadDIBinDC(false);
}

TEST(c32bppDIB, UnmanagedDCLivesOnlyWhileLoaded) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(2, 2));
    HDC dc = dib.LoadDIBinDC(true);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(dib.LoadDIBinDC(true), dc) << "loading twice reuses the DC";
    EXPECT_EQ(dib.LoadDIBinDC(false), nullptr);
    EXPECT_EQ(GetObjectType(dc), 0u) << "the DC was deleted";
}

TEST(c32bppDIB, ManagedDCStaysButTheDIBIsDeselected) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(2, 2));
    dib.ManageOwnDC(true);
    HDC dc = dib.LoadDIBinDC(true);
    ASSERT_NE(dc, nullptr);
    dib.LoadDIBinDC(false);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_NE(BitmapSelectedIn(dc), dib.Handle());
    EXPECT_EQ(dib.LoadDIBinDC(true), dc);

    dib.ManageOwnDC(false); // deselects and deletes, even while loaded
    EXPECT_EQ(GetObjectType(dc), 0u);
    EXPECT_FALSE(dib.ManageOwnDC());
    // The bitmap survived being deselected and can be selected again.
    EXPECT_NE(dib.LoadDIBinDC(true), nullptr);
    dib.LoadDIBinDC(false);
}

TEST(c32bppDIB, TakePixelsReplacesTheImageAsANewOneWould) {
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(2, 2));
    dib.ManageOwnDC(true);
    ASSERT_NE(dib.LoadDIBinDC(true), nullptr);
    std::unique_ptr<IImageTarget> fresh = dib.NewSameKind();
    ASSERT_TRUE(fresh->InitializeDIB(3, 5));
    fresh->BitsPointer()[0] = 9;
    MemoryImage other;
    ASSERT_TRUE(other.InitializeDIB(1, 1));
    EXPECT_FALSE(dib.TakePixels(other)) << "another kind of image";
    EXPECT_EQ(dib.Width(), 2);

    ASSERT_TRUE(dib.TakePixels(*fresh));
    EXPECT_EQ(dib.Width(), 3);
    EXPECT_EQ(dib.Height(), 5);
    EXPECT_EQ(dib.BitsPointer()[0], 9);
    EXPECT_EQ(fresh->BitsPointer(), nullptr);
    // The managed DC is there again, and selects the new section.
    HDC dc = dib.LoadDIBinDC(true);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(BitmapSelectedIn(dc), dib.Handle());
    dib.LoadDIBinDC(false);
}

TEST(c32bppDIB, ManageOwnDCBeforeAnImageCreatesTheDCWithIt) {
    c32bppDIB dib;
    dib.ManageOwnDC(true);
    ASSERT_TRUE(dib.InitializeDIB(2, 2));
    HDC dc = dib.LoadDIBinDC(true);
    ASSERT_NE(dc, nullptr);
    dib.DestroyDIB(); // deletes the DC whatever ManageOwnDC says
    EXPECT_EQ(GetObjectType(dc), 0u);
    EXPECT_TRUE(dib.ManageOwnDC());
}

TEST(c32bppDIB, CapabilitiesFollowTheSystemVersion) {
    EXPECT_EQ(CapabilityFlagsFor({2, 6, 1, 0}), 9u);
    EXPECT_EQ(CapabilityFlagsFor({2, 5, 0, 4}), 9u);
    EXPECT_EQ(CapabilityFlagsFor({2, 4, 0, 6}), 0u);
    EXPECT_EQ(CapabilityFlagsFor({2, 4, 0, 5}), 32u);
    EXPECT_EQ(CapabilityFlagsFor({1, 4, 10, 0}), 24u); // 98
    EXPECT_EQ(CapabilityFlagsFor({1, 4, 90, 0}), 24u); // Me
    EXPECT_EQ(CapabilityFlagsFor({1, 4, 0, 0}), 32u);  // 95

    c32bppDIB xp({2, 5, 1, 3});
    EXPECT_TRUE(xp.isAlphaBlendFriendly());
    xp.isAlphaBlendFriendly(false);
    EXPECT_FALSE(xp.isAlphaBlendFriendly());
    xp.isAlphaBlendFriendly(true);
    EXPECT_TRUE(xp.isAlphaBlendFriendly());

    c32bppDIB me({1, 4, 90, 0});
    EXPECT_FALSE(me.isAlphaBlendFriendly()) << "false until set";
    me.isAlphaBlendFriendly(true);
    EXPECT_TRUE(me.isAlphaBlendFriendly());

    c32bppDIB win95({1, 4, 0, 0});
    win95.isAlphaBlendFriendly(true);
    EXPECT_FALSE(win95.isAlphaBlendFriendly()) << "AlphaBlend unusable there";
    win95.isGDIplusEnabled(true);
    EXPECT_FALSE(win95.isGDIplusEnabled()) << "GDI+ never tried there";
}

TEST(c32bppDIB, RunningSystemReportsAModernVersion) {
    const SystemVersion v = QuerySystemVersion();
    EXPECT_EQ(v.platformId, 2u);
    EXPECT_GT(v.major, 4u);
    c32bppDIB dib;
    EXPECT_EQ(dib.CapabilityFlags() & ~capGDIplusEnabled, 9u);
    EXPECT_TRUE(dib.isAlphaBlendFriendly());
    EXPECT_EQ(dib.HighQualityInterpolation(), dib.isGDIplusEnabled());
}

TEST(c32bppDIB, GDIplusCanBeSwitchedOff) {
    c32bppDIB dib;
    dib.isGDIplusEnabled(false);
    EXPECT_FALSE(dib.isGDIplusEnabled());
    EXPECT_FALSE(dib.CapabilityFlags() & capGDIplusEnabled);
}

TEST(c32bppDIB, PlainProperties) {
    c32bppDIB dib;
    dib.gdiToken(0x1234);
    EXPECT_EQ(dib.gdiToken(), 0x1234u);
    dib.HighQualityInterpolation(true);
    EXPECT_TRUE(dib.HighQualityInterpolation());
    dib.HighQualityInterpolation(false);
    EXPECT_FALSE(dib.HighQualityInterpolation());
}

class ZlibPresence : public ::testing::Test {
  protected:
    void TearDown() override { SetZlibLibraryNames(DefaultZlibLibraryNames()); }
};

TEST_F(ZlibPresence, ReportsTheShippedLibraryAndItsAbsence) {
    c32bppDIB dib;
    EXPECT_TRUE(dib.isZlibEnabled()) << "zlib1.dll is shipped beside the programs";
    SetZlibLibraryNames({"", ""});
    EXPECT_FALSE(dib.isZlibEnabled());
}

} // namespace
} // namespace moirelle

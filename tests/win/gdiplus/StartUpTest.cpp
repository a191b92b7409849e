// The probe, the token handling and what the image object makes of them.

#include "GdiplusTestSupport.h"

#include "gdiplus/GdiplusSession.h"
#include "gdiplus/cGDIPlus.h"

#include <gtest/gtest.h>

namespace moirelle::test {
namespace {

TEST(GdiplusProbe, StartsAndReportsAToken) {
    uintptr_t token = 0;
    EXPECT_TRUE(cGDIPlus().isGDIplusOk(token, false));
    EXPECT_NE(token, 0u) << "the stale token of the session just stopped";

    uintptr_t kept = 0;
    ASSERT_TRUE(cGDIPlus().isGDIplusOk(kept, true));
    ASSERT_NE(kept, 0u);
    // The kept session is usable by an operation given its token.
    c32bppDIB image;
    MakeQuadrants(image, 4, 4);
    std::vector<uint8_t> png;
    EXPECT_TRUE(cGDIPlus().SaveToPNG(L"", png, image, kept));
    gdip::StopGdiplus(*gdip::LoadApi(), kept);
}

TEST(GdiplusProbe, WithoutTheLibraryEverythingAnswersFalse) {
    for (const char* name : {"", "no-such-gdiplus.dll", "kernel32.dll"}) {
        SCOPED_TRACE(name);
        const ScopedGdiplusLibrary missing(name);
        uintptr_t token = 1234;
        EXPECT_FALSE(cGDIPlus().isGDIplusOk(token, true));
        EXPECT_EQ(token, 0u);

        c32bppDIB image;
        MakeQuadrants(image, 4, 4);
        Canvas canvas(8, 8, kBlack);
        EXPECT_FALSE(cGDIPlus().RenderGDIplus(image, canvas.dc(), 0, 100, 0, 0, 4, 4, 0, 0, 4, 4,
                                              false, -1, 0, 0));
        EXPECT_EQ(canvas.At(0, 0), kBlack);
        // Opacity 0 draws nothing, which needs no GDI+.
        EXPECT_TRUE(cGDIPlus().RenderGDIplus(image, canvas.dc(), 0, 0, 0, 0, 4, 4, 0, 0, 4, 4,
                                             false, -1, 0, 0));

        std::vector<uint8_t> png{1, 2, 3};
        EXPECT_FALSE(cGDIPlus().SaveToPNG(L"", png, image, 0));
        EXPECT_FALSE(cGDIPlus().GDIplusLoadPicture(L"", png, image, 0));

        // The image object sees GDI+ as unavailable.
        c32bppDIB fresh;
        EXPECT_FALSE(fresh.isGDIplusEnabled());
        EXPECT_FALSE(fresh.HighQualityInterpolation());
    }
    uintptr_t token = 0;
    EXPECT_TRUE(cGDIPlus().isGDIplusOk(token)) << "the system's library is used again";
}

TEST(GdiplusProbe, ImageObjectsUseGdiplusWhenPresent) {
    c32bppDIB dib;
    EXPECT_TRUE(dib.isGDIplusEnabled());
    EXPECT_TRUE(dib.HighQualityInterpolation());
    dib.isGDIplusEnabled(false);
    EXPECT_FALSE(dib.isGDIplusEnabled());
    dib.isGDIplusEnabled(true);
    EXPECT_TRUE(dib.isGDIplusEnabled());

    // A system on which GDI+ must not be tried (NT 4 before service pack 6).
    c32bppDIB old(SystemVersion{2, 4, 0, 5});
    EXPECT_FALSE(old.isGDIplusEnabled());
    EXPECT_FALSE(old.HighQualityInterpolation());
}

} // namespace
} // namespace moirelle::test

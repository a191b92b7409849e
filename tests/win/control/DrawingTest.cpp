// Where the image control puts its image and what it paints: the scale methods, rotation,
// AutoSize, and the pixels of opacity, grayscale, lightness, shadow, mirror, mask,
// inversion and rotation; everything with and without GDI+.

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace moirelle;
using namespace moirelle::control;
using forms::Hosted;
using forms::PropertyBag;

namespace {

// A stored control (AutoSize off) filling the 300 x 300 form.
class Host : public test::HostForm {
  public:
    Hosted<aicAlphaImage> img{*this, {0, 0, 4500, 4500}, PropertyBag{}};
};

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kBlue = 0xFF0000FF;

bool Near(int a, int b, int tolerance = 2) {
    return std::abs(a - b) <= tolerance;
}

using Layout = aicAlphaImage::Layout;

void ExpectLayout(const Layout& l, int left, int top, int w, int h, const char* what) {
    EXPECT_EQ(l.DrawLeft, left) << what;
    EXPECT_EQ(l.DrawTop, top) << what;
    EXPECT_EQ(l.DrawWidth, w) << what;
    EXPECT_EQ(l.DrawHeight, h) << what;
}

} // namespace

TEST(ControlLayout, EachScaleMethodPlacesA100x50ImageIn300x300) {
    Host f;
    f.Load();
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(100, 50, kRed)));
    struct Case {
        int32_t method, left, top, w, h;
        bool actual;
    } cases[] = {
        {ScaleToFit, 0, 75, 300, 150, false},   {StretchToFit, 0, 0, 300, 300, false},
        {ShrinkToFit, 100, 125, 100, 50, true}, {ActualSize, 100, 125, 100, 50, true},
        {9, 100, 125, 100, 50, true}, // above 4 counts as the custom size, kept from before
    };
    for (const Case& c : cases) {
        f.img.ScaleMethod(c.method);
        const Layout l = f.img.CurrentLayout();
        ExpectLayout(l, c.left, c.top, c.w, c.h, std::to_string(c.method).c_str());
        EXPECT_EQ(l.IsActualSize, c.actual) << c.method;
    }
}

TEST(ControlLayout, RotationFitsTheDiagonalIntoTheSmallerSide) {
    Host f;
    f.Load();
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(100, 50, kRed)));
    f.img.RotateEnabled(true);
    // D = round(sqrt(100^2 + 50^2)) = 112; 300 x 100/112 = 267.86, 300 x 50/112 = 133.93.
    Layout l = f.img.CurrentLayout();
    ExpectLayout(l, 0, 0, 268, 134, "method 0");
    EXPECT_EQ(l.RotatedSize, 300); // round(sqrt(268^2 + 134^2)) = round(299.63)
    EXPECT_FALSE(l.IsActualSize);
    f.img.ScaleMethod(ShrinkToFit); // would enlarge: stays at the image's own size
    l = f.img.CurrentLayout();
    ExpectLayout(l, 94, 94, 100, 50, "method 2"); // (300 - 112) \ 2
    EXPECT_EQ(l.RotatedSize, 112);
    f.img.ScaleMethod(StretchToFit);
    ExpectLayout(f.img.CurrentLayout(), 0, 0, 268, 134, "method 1");
    int32_t w = -1, h = -1;
    f.img.GetImageScales(w, h, StretchToFit, 224, 112, true);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 50);
}

TEST(ControlLayout, ALargerImageAtActualSizeStartsAtTheCorner) {
    Host f;
    f.Load();
    f.img.ScaleMethod(ActualSize);
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(400, 320, kRed)));
    ExpectLayout(f.img.CurrentLayout(), 0, 0, 400, 320, "no negative position");
    f.img.RotateEnabled(true);
    const Layout l = f.img.CurrentLayout();
    EXPECT_EQ(l.RotatedSize, 512); // round(sqrt(400^2 + 320^2)) = round(512.25)
    EXPECT_EQ(l.DrawLeft, -106) << "(300 - 512) \\ 2; a rotated square may start outside";
}

TEST(ControlLayout, AutoSizeTakesTheImageSizeOrTheRotatedSquare) {
    Host f;
    f.Load();
    f.img.ScaleMethod(ActualSize);
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(100, 50, kRed)));
    f.img.AutoSize(true);
    EXPECT_EQ(f.img.Width(), 1500);
    EXPECT_EQ(f.img.Height(), 750);
    ExpectLayout(f.img.CurrentLayout(), 0, 0, 100, 50, "fits exactly");
    f.img.RotateEnabled(true);
    EXPECT_EQ(f.img.Width(), 112 * 15);
    EXPECT_EQ(f.img.Height(), 112 * 15);
}

// --- Painted pixels -------------------------------------------------------------------

class ControlPixels : public testing::TestWithParam<bool> {
  protected:
    // An image at its own size in the middle of the control, GDI+ as the parameter says.
    void Load(const std::vector<uint8_t>& png) {
        f.Load();
        if (!GetParam()) f.img.Image().isGDIplusEnabled(false);
        f.img.ScaleMethod(ActualSize);
        ASSERT_TRUE(f.img.LoadImage_FromArray(png));
        ASSERT_EQ(f.img.Image().isGDIplusEnabled(), GetParam());
    }
    Host f;
};

TEST_P(ControlPixels, OpacityGrayscaleAndLightness) {
    Load(test::Solid(100, 50, 0xFFC00000)); // at (100, 125)
    test::Painted full(f);
    EXPECT_EQ(full.At(150, 150), 0xC00000u);
    EXPECT_EQ(full.At(99, 150), 0xFFFFFFu) << "outside the image the form shows";
    f.img.Opacity(50);
    test::Painted half(f);
    EXPECT_TRUE(Near(half.Red(150, 150), (0xC0 + 0xFF + 1) / 2)) << half.Red(150, 150);
    EXPECT_TRUE(Near(half.Green(150, 150), 128)) << half.Green(150, 150);
    f.img.Opacity(100);
    f.img.GrayScale(1);
    test::Painted gray(f);
    EXPECT_EQ(gray.Red(150, 150), gray.Green(150, 150));
    EXPECT_EQ(gray.Green(150, 150), gray.Blue(150, 150));
    EXPECT_GT(gray.Red(150, 150), 0);
    EXPECT_LT(gray.Red(150, 150), 0xC0);
    f.img.GrayScale(0);
    f.img.IntensityOffset(50);
    test::Painted light(f);
    EXPECT_GT(light.Red(150, 150), 0xC0);
    EXPECT_GT(light.Green(150, 150), 0);
}

TEST_P(ControlPixels, ShadowFollowsTheFadedOpacity) {
    Load(test::Solid(100, 50, kRed)); // image (100, 125)-(200, 175)
    f.img.ShadowColor(0x000000);
    f.img.ShadowDepth(0);
    f.img.OffsetShadow(20, 20); // shadow (120, 145)-(220, 195)
    f.img.ShadowEnabled(true);
    test::Painted strong(f);
    EXPECT_TRUE(Near(strong.Red(210, 185), 128))
        << "50 % black over white: " << strong.Red(210, 185);
    EXPECT_EQ(strong.At(150, 150), 0xFF0000u) << "the image lies over its shadow";
    f.img.Opacity(50);
    test::Painted faded(f);
    EXPECT_TRUE(Near(faded.Red(210, 185), 191)) << "25 % black: " << faded.Red(210, 185);
    // Scaled, the shadow is prepared once instead of blurred at each paint.
    f.img.ScaleMethod(StretchToFit);
    EXPECT_TRUE(f.img.HasShadowImage());
}

TEST_P(ControlPixels, MirrorInversionAndRotationChangeTheDrawnPixels) {
    Load(test::Picture(100, 50, [](int x, int) { return x < 50 ? kRed : kBlue; }));
    test::Painted plain(f);
    EXPECT_EQ(plain.At(110, 150), 0xFF0000u);
    f.img.Mirror(1);
    test::Painted mirrored(f);
    EXPECT_EQ(mirrored.At(110, 150), 0x0000FFu);
    EXPECT_EQ(mirrored.At(190, 150), 0xFF0000u);
    f.img.Mirror(0);
    f.img.InversedImage(true);
    test::Painted inverted(f);
    EXPECT_EQ(inverted.At(110, 150), 0x00FFFFu);
    f.img.InversedImage(false);
    // Turned by 90 degrees about the control's centre: 50 wide, 100 high.
    f.img.RotateEnabled(true);
    f.img.Rotation(90);
    test::Painted turned(f);
    EXPECT_EQ(turned.At(110, 150), 0xFFFFFFu);
    EXPECT_NE(turned.At(150, 110), 0xFFFFFFu);
    EXPECT_NE(turned.At(150, 190), 0xFFFFFFu);
}

TEST_P(ControlPixels, MaskByColourAndByCorner) {
    // Green frame, red middle, no alpha channel.
    Load(test::OpaquePicture(100, 50, [](int x, int y) {
        return (x < 10 || y < 10 || x >= 90 || y >= 40) ? 0x00FF00u : 0xFF0000u;
    }));
    EXPECT_FALSE(f.img.Image().Alpha());
    f.img.MaskColor(0x00FF00);
    f.img.MaskUsed(1);
    test::Painted byColour(f);
    EXPECT_EQ(byColour.At(102, 127), 0xFFFFFFu) << "the green frame is transparent";
    EXPECT_EQ(byColour.At(150, 150), 0xFF0000u);
    f.img.MaskUsed(0);
    test::Painted none(f);
    EXPECT_EQ(none.At(102, 127), 0x00FF00u) << "the mask is removed";
    f.img.MaskUsed(5); // the bottom-right pixel's colour
    test::Painted byCorner(f);
    EXPECT_EQ(byCorner.At(102, 127), 0xFFFFFFu);
    EXPECT_EQ(byCorner.At(150, 150), 0xFF0000u);
    // A picture with its own alpha drops the mask.
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(100, 50, kBlue)));
    EXPECT_EQ(f.img.MaskUsed(), 0);
    f.img.MaskUsed(2);
    EXPECT_EQ(f.img.MaskUsed(), 0) << "an image with alpha takes no mask";
}

TEST_P(ControlPixels, APaintWhoseClipMissesTheImageDrawsNothing) {
    Load(test::Solid(100, 50, kRed)); // image (100, 125)-(200, 175)
    f.img.ShadowColor(0x000000);
    f.img.ShadowDepth(0);
    f.img.OffsetShadow(130, 0); // shadow (230, 125)-(330, 175)
    f.img.ShadowEnabled(true);
    test::Painted whole(f);
    EXPECT_LT(whole.Red(260, 150), 0xF0) << "the shadow shows when the image is painted too";
    test::Painted clipped(f, RECT{230, 130, 290, 170});
    EXPECT_EQ(clipped.At(260, 150), 0xFFFFFFu) << "only the background";
}

INSTANTIATE_TEST_SUITE_P(GdiplusOnAndOff, ControlPixels, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) {
                             return i.param ? "WithGdiplus" : "WithoutGdiplus";
                         });

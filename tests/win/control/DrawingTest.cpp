// Where the image control puts its image and what it paints: the scale methods, rotation,
// AutoSize, and the pixels of opacity, grayscale, lightness, shadow, mirror, mask,
// inversion and rotation; everything with and without GDI+.

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

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

// --- A control without size, the turned shadow, and work done once ------------------------

TEST(ControlLayout, AnEmptyAutoSizeControlGrowsToTheImageItLoads) {
    struct Case {
        const char* what;
        int32_t method;
        bool turned;
        int widthPx, heightPx, drawWidth, drawHeight;
    } cases[] = {
        {"scale to fit", ScaleToFit, false, 100, 50, 100, 50},
        {"stretch", StretchToFit, false, 100, 50, 100, 50},
        {"shrink", ShrinkToFit, false, 100, 50, 100, 50},
        // D = round(sqrt(100^2 + 50^2)) = 112: the square that holds the turned image.
        {"turned", ScaleToFit, true, 112, 112, 100, 50},
    };
    for (const Case& c : cases) {
        test::HostForm f;
        Hosted<aicAlphaImage> img{f, {0, 0, 1500, 1500}}; // a new control: AutoSize on
        f.Load();
        ASSERT_TRUE(img.AutoSize());
        img.ScaleMethod(c.method);
        img.RotateEnabled(c.turned);
        ASSERT_TRUE(img.LoadImage_FromArray(test::Solid(100, 50, kRed))) << c.what;
        EXPECT_EQ(img.Width(), c.widthPx * 15) << c.what;
        EXPECT_EQ(img.Height(), c.heightPx * 15) << c.what;
        EXPECT_EQ(img.CurrentLayout().DrawWidth, c.drawWidth) << c.what;
        EXPECT_EQ(img.CurrentLayout().DrawHeight, c.drawHeight) << c.what;
    }
    // Without AutoSize a control of no size still lays the image out at its own size.
    test::HostForm f;
    Hosted<aicAlphaImage> img{f, {0, 0, 0, 0}, PropertyBag{}};
    f.Load();
    ASSERT_TRUE(img.LoadImage_FromArray(test::Solid(100, 50, kRed)));
    ExpectLayout(img.CurrentLayout(), 0, 0, 100, 50, "no size");
}

TEST(ControlShadow, ATurnedImageCastsTheSameShadowWhateverHitTestAndAutoRedraw) {
    Host f;
    f.Load();
    f.img.ScaleMethod(ActualSize);
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(100, 50, kRed)));
    f.img.RotateEnabled(true);
    f.img.Rotation(90); // the image covers (125, 100)-(175, 200)
    f.img.ShadowColor(0);
    f.img.ShadowDepth(0);
    f.img.OffsetShadow(0, 60); // the shadow shows below it: (125, 200)-(175, 260)
    f.img.ShadowEnabled(true);
    const test::Painted reference(f);
    EXPECT_LT(reference.Red(150, 240), 0xF0) << "the shadow is there";
    EXPECT_EQ(reference.At(110, 240), 0xFFFFFFu) << "in the shape of the turned image";
    EXPECT_EQ(reference.At(150, 265), 0xFFFFFFu);
    const std::pair<const char*, std::function<void()>> settings[] = {
        {"HitTest 2", [&] { f.img.HitTest(2); }},
        {"AutoRedraw", [&] { f.img.AutoRedraw(true), f.img.Rotation(90 + 360); }},
        {"HitTest 0 with AutoRedraw", [&] { f.img.HitTest(0); }},
        {"AutoRedraw off again", [&] { f.img.AutoRedraw(false); }},
        {"HitTest 3", [&] { f.img.HitTest(3); }},
    };
    for (const auto& [what, set] : settings) {
        set();
        EXPECT_EQ(test::Painted(f).Differences(reference), 0) << what;
    }
}

TEST(ControlShadow, TheShadowUsesGdiplusExactlyWhenItsImageDoes) {
    Host f;
    f.Load();
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(100, 50, kRed))); // scaled: prepared
    ASSERT_TRUE(f.img.Image().isGDIplusEnabled());
    f.img.ShadowEnabled(true);
    ASSERT_NE(f.img.ShadowImage(), nullptr);
    EXPECT_TRUE(f.img.ShadowImage()->isGDIplusEnabled());
    // Switched off for the image once its drawings exist: the next shadow goes without it.
    f.img.Image().isGDIplusEnabled(false);
    f.img.ShadowDepth(4);
    ASSERT_NE(f.img.ShadowImage(), nullptr);
    EXPECT_FALSE(f.img.ShadowImage()->isGDIplusEnabled());
}

namespace {

// What the form's window shows now, read from its device context without asking for a
// paint, as 0x00RRGGBB.
std::vector<uint32_t> OnScreen(HWND hwnd) {
    uint32_t* bits = nullptr;
    win::UniqueBitmap bitmap = forms::CreateDibSection32(300, 300, &bits);
    win::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
    HDC window = GetDC(hwnd);
    {
        win::ScopedSelect select(dc.get(), bitmap.get());
        BitBlt(dc.get(), 0, 0, 300, 300, window, 0, 0, SRCCOPY);
        GdiFlush();
    }
    ReleaseDC(hwnd, window);
    std::vector<uint32_t> pixels(bits, bits + 300 * 300);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

int Differences(const std::vector<uint32_t>& screen, const test::Painted& painted) {
    int n = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            n += screen[static_cast<size_t>(y * 300 + x)] != painted.At(x, y) ? 1 : 0;
    return n;
}

} // namespace

TEST(ControlRepaint, EveryVisibleChangeIsOnScreenWhenTheSetterReturns) {
    Host f;
    f.Show();
    SetForegroundWindow(f.hWnd());
    f.img.ScaleMethod(ActualSize);
    // Red on the left, blue on the right, opaque: (100, 125)-(200, 175).
    ASSERT_TRUE(f.img.LoadImage_FromArray(
        test::OpaquePicture(100, 50, [](int x, int) { return x < 50 ? 0xFF0000u : 0x0000FFu; })));
    test::PumpFor(50);
    ASSERT_EQ(Differences(OnScreen(f.hWnd()), test::Painted(f)), 0);
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"mirror", [&] { f.img.Mirror(1); }},
        {"mask of red", [&] { f.img.MaskColor(0x0000FF), f.img.MaskUsed(1); }}, // OLE: BGR
        {"mask of blue instead", [&] { f.img.MaskColor(0xFF0000); }},
        {"inversion", [&] { f.img.InversedImage(true); }},
        {"shadow", [&] { f.img.ShadowEnabled(true); }},
        {"shadow lower", [&] { f.img.ShadowOffsetY(12); }},
        {"opacity", [&] { f.img.Opacity(60); }},
    };
    std::vector<uint32_t> before = OnScreen(f.hWnd());
    for (const auto& [what, change] : changes) {
        change(); // no message is handled from here on
        const std::vector<uint32_t> now = OnScreen(f.hWnd());
        EXPECT_NE(now, before) << what << " shows";
        EXPECT_EQ(Differences(now, test::Painted(f)), 0) << what << " shows as painted";
        before = now;
    }
}

TEST(ControlWork, EachCostlyStepRunsOncePerChangeOfWhatItDependsOn) {
    PropertyBag bag;
    bag.WriteProperty("Image", test::Solid(200, 100, kRed), forms::ByteArray{});
    bag.WriteProperty("Props", int32_t{0x081}, int32_t{1}); // quality, shadow
    bag.WriteProperty("HitTest", int32_t{2}, int32_t{0});
    test::HostForm f;
    Hosted<aicAlphaImage> img{f, {0, 0, 4500, 4500}, bag};
    f.Show();
    using W = aicAlphaImage::WorkCounts;
    const auto expectWork = [&](const W& w, const char* what) {
        EXPECT_EQ(img.Work().layouts, w.layouts) << what;
        EXPECT_EQ(img.Work().drawings, w.drawings) << what;
        EXPECT_EQ(img.Work().shadowBlurs, w.shadowBlurs) << what;
        EXPECT_EQ(img.Work().hitShapes, w.hitShapes) << what;
    };
    // Scaled to 300 x 150: one layout, one drawing that shadow, hit shape and paint share.
    expectWork({1, 1, 1, 1}, "start-up");
    test::Painted first(f);
    test::Painted second(f);
    EXPECT_EQ(first.At(150, 150), 0xFF0000u);
    expectWork({1, 1, 1, 1}, "two paints");
    struct Step {
        const char* what;
        std::function<void()> change;
        W after;
    } steps[] = {
        {"shadow offset", [&] { img.ShadowOffsetX(5); }, {1, 1, 1, 1}},
        {"opacity and grayscale", [&] { img.Opacity(50), img.GrayScale(2); }, {1, 1, 1, 1}},
        {"hit mode", [&] { img.HitTest(3); }, {1, 1, 1, 2}},
        {"shadow depth", [&] { img.ShadowDepth(4); }, {1, 1, 2, 2}},
        {"the same scale method", [&] { img.ScaleMethod(ScaleToFit); }, {1, 1, 2, 2}},
        {"another scale method", [&] { img.ScaleMethod(StretchToFit); }, {2, 2, 3, 3}},
        {"mirror", [&] { img.Mirror(2); }, {2, 3, 4, 4}},
        {"rotation stored while off", [&] { img.Rotation(30); }, {2, 3, 4, 4}},
        {"rotation on", [&] { img.RotateEnabled(true); }, {3, 4, 5, 5}},
        {"AutoRedraw", [&] { img.AutoRedraw(true), img.Rotation(40); }, {3, 5, 6, 6}},
    };
    for (const Step& s : steps) {
        s.change();
        test::Painted p(f);
        expectWork(s.after, s.what);
    }
}

TEST_P(ControlPixels, KeptScaledPixelsPaintAsAFreshScaleWould) {
    f.Load();
    if (!GetParam()) f.img.Image().isGDIplusEnabled(false);
    ASSERT_TRUE(f.img.LoadImage_FromArray(
        test::Picture(64, 16, [](int x, int y) { return (x + y) % 3 ? kRed : 0x80208040u; })));
    f.img.ScaleMethod(StretchToFit);
    const Layout l = f.img.CurrentLayout();
    // At full opacity the very pixels of a fresh scale; faded, the kept pixels are blended
    // after scaling instead of while scaling, which may round a level or two apart.
    struct Case {
        int32_t opacity;
        int tolerance;
    } cases[] = {{100, 0}, {70, 2}};
    for (const Case& c : cases) {
        f.img.Opacity(c.opacity);
        // The image drawn straight from its own pixels, as without the kept drawing.
        uint32_t* bits = nullptr;
        win::UniqueBitmap bitmap = forms::CreateDibSection32(300, 300, &bits);
        win::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
        {
            win::ScopedSelect select(dc.get(), bitmap.get());
            for (int i = 0; i < 300 * 300; ++i)
                bits[i] = 0xFFFFFFFF;
            ASSERT_TRUE(f.img.Image().Render(dc.get(), l.DrawLeft, l.DrawTop, l.DrawWidth,
                                             l.DrawHeight, 0, 0, 0, 0, c.opacity));
            GdiFlush();
        }
        for (int paint = 0; paint < 2; ++paint) {
            test::Painted p(f);
            int worst = 0;
            for (int y = 0; y < 300; ++y)
                for (int x = 0; x < 300; ++x)
                    for (int shift : {0, 8, 16})
                        worst = std::max(
                            worst, std::abs(static_cast<int>(p.At(x, y) >> shift & 0xFF) -
                                            static_cast<int>(bits[y * 300 + x] >> shift & 0xFF)));
            EXPECT_LE(worst, c.tolerance) << "opacity " << c.opacity << ", paint " << paint;
        }
    }
    EXPECT_EQ(f.img.Work().drawings, 1) << "one drawing for every paint";
}

// The image control's properties: accepted values, normalisation and notifications; the
// defaults of a new control and of stored data; the reset when the stored image is empty;
// the button state behind Click.

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

using namespace moirelle;
using namespace moirelle::control;
using forms::Hosted;
using forms::PropertyBag;

namespace {

class OneControl : public test::HostForm {
  public:
    Hosted<aicAlphaImage> img{*this, {0, 0, 4500, 4500}};
};

class StoredControl : public test::HostForm {
  public:
    explicit StoredControl(PropertyBag bag) : stored(*this, {0, 0, 4500, 4500}, std::move(bag)) {}
    Hosted<aicAlphaImage> stored;
};

struct Step {
    const char* what;
    std::function<void(aicAlphaImage&)> set;
    std::function<double(const aicAlphaImage&)> get;
    double expected;
    const char* notified; // nullptr: nothing is notified
};

} // namespace

TEST(ControlProperties, SettersNormaliseIgnoreAndNotify) {
    OneControl f;
    f.Load();
    aicAlphaImage& c = f.img;
    auto opacity = [](const aicAlphaImage& x) { return x.Opacity(); };
    const Step steps[] = {
        {"Opacity 0 stays 0", [](auto& x) { x.Opacity(0); }, opacity, 0, "Opacity"},
        {"Opacity 100 stays 100", [](auto& x) { x.Opacity(100); }, opacity, 100, "Opacity"},
        {"Opacity 250 gives 50", [](auto& x) { x.Opacity(250); }, opacity, 50, "Opacity"},
        {"Opacity -100 gives 100", [](auto& x) { x.Opacity(-100); }, opacity, 100, "Opacity"},
        {"Opacity -30 gives 30", [](auto& x) { x.Opacity(-30); }, opacity, 30, "Opacity"},
        {"Opacity unchanged still notifies", [](auto& x) { x.Opacity(30); }, opacity, 30,
         "Opacity"},
        {"Opacity of the most negative value", [](auto& x) { x.Opacity(INT32_MIN); }, opacity, 48,
         "Opacity"},
        {"HitTest 4 ignored", [](auto& x) { x.HitTest(4); },
         [](const auto& x) { return x.HitTest(); }, 0, nullptr},
        {"HitTest -1 ignored", [](auto& x) { x.HitTest(-1); },
         [](const auto& x) { return x.HitTest(); }, 0, nullptr},
        {"HitTest 2", [](auto& x) { x.HitTest(2); }, [](const auto& x) { return x.HitTest(); }, 2,
         "HitTest"},
        {"ShadowDepth 11 ignored", [](auto& x) { x.ShadowDepth(11); },
         [](const auto& x) { return x.ShadowDepth(); }, 2, nullptr},
        {"ShadowDepth 10", [](auto& x) { x.ShadowDepth(10); },
         [](const auto& x) { return x.ShadowDepth(); }, 10, "ShadowDepth"},
        {"ShadowDepth unchanged is silent", [](auto& x) { x.ShadowDepth(10); },
         [](const auto& x) { return x.ShadowDepth(); }, 10, nullptr},
        {"ShadowOpacity 101 ignored", [](auto& x) { x.ShadowOpacity(101); },
         [](const auto& x) { return x.ShadowOpacity(); }, 50, nullptr},
        {"ShadowOpacity 0", [](auto& x) { x.ShadowOpacity(0); },
         [](const auto& x) { return x.ShadowOpacity(); }, 0, "ShadowOpacity"},
        {"GrayScale 9 ignored", [](auto& x) { x.GrayScale(9); },
         [](const auto& x) { return x.GrayScale(); }, 0, nullptr},
        {"GrayScale 8", [](auto& x) { x.GrayScale(8); },
         [](const auto& x) { return x.GrayScale(); }, 8, "GrayScale"},
        {"MaskUsed 6 ignored", [](auto& x) { x.MaskUsed(6); },
         [](const auto& x) { return x.MaskUsed(); }, 0, nullptr},
        {"Rotation with rotation off: stored silently", [](auto& x) { x.Rotation(725); },
         [](const auto& x) { return x.Rotation(); }, 5, nullptr},
        {"RotateEnabled", [](auto& x) { x.RotateEnabled(true); },
         [](const auto& x) { return x.RotateEnabled(); }, 1, "RotateEnabled"},
        {"Rotation -725 keeps its sign", [](auto& x) { x.Rotation(-725); },
         [](const auto& x) { return x.Rotation(); }, -5, "Rotation"},
        {"Rotation to the same angle is silent", [](auto& x) { x.Rotation(-5); },
         [](const auto& x) { return x.Rotation(); }, -5, nullptr},
        {"Mirror 4 ignored", [](auto& x) { x.Mirror(4); }, [](const auto& x) { return x.Mirror(); },
         0, nullptr},
        {"Mirror equal still applies", [](auto& x) { x.Mirror(0); },
         [](const auto& x) { return x.Mirror(); }, 0, "Mirror"},
        {"IntensityOffset 100.5 ignored", [](auto& x) { x.IntensityOffset(100.5f); },
         [](const auto& x) { return x.IntensityOffset(); }, 0, nullptr},
        {"IntensityOffset -40", [](auto& x) { x.IntensityOffset(-40); },
         [](const auto& x) { return x.IntensityOffset(); }, -40, "Intensity"},
        {"ScaleMethod 7 kept as given", [](auto& x) { x.ScaleMethod(7); },
         [](const auto& x) { return x.ScaleMethod(); }, 7, "Stretch"},
        {"ShadowColor", [](auto& x) { x.ShadowColor(0x0000FF); },
         [](const auto& x) { return x.ShadowColor(); }, 0x0000FF, "ShadowColor"},
        {"ShadowOffsetX", [](auto& x) { x.ShadowOffsetX(-3); },
         [](const auto& x) { return x.ShadowOffsetX(); }, -3, "ShadowOffsetX"},
        {"MaskColor", [](auto& x) { x.MaskColor(0x00FF00); },
         [](const auto& x) { return x.MaskColor(); }, 0x00FF00, "MaskColor"},
        {"AutoRedraw", [](auto& x) { x.AutoRedraw(true); },
         [](const auto& x) { return x.HasBackBuffer() ? 1 : 0; }, 0, "AutoRedraw"},
        {"Enabled false", [](auto& x) { x.Enabled(false); },
         [](const auto& x) { return x.Enabled(); }, 0, "Enabled"},
        {"Enabled unchanged is silent", [](auto& x) { x.Enabled(false); },
         [](const auto& x) { return x.Enabled(); }, 0, nullptr},
    };
    for (const Step& s : steps) {
        const size_t before = c.ChangedProperties().size();
        s.set(c);
        EXPECT_EQ(s.get(c), s.expected) << s.what;
        const auto& changed = c.ChangedProperties();
        if (s.notified) {
            ASSERT_EQ(changed.size(), before + 1) << s.what;
            EXPECT_EQ(changed.back(), s.notified) << s.what;
        } else {
            EXPECT_EQ(changed.size(), before) << s.what;
        }
    }
}

TEST(ControlProperties, NewControlStartsWithTheInitialValuesAtEveryLoadOfItsForm) {
    OneControl f;
    f.Load();
    aicAlphaImage& c = f.img;
    const auto expectInitial = [&c](const char* when) {
        SCOPED_TRACE(when);
        EXPECT_TRUE(c.AutoSize());
        EXPECT_TRUE(c.StretchQuality());
        EXPECT_TRUE(c.Image().HighQualityInterpolation());
        EXPECT_FALSE(c.AutoRedraw() || c.ShadowEnabled() || c.RotateEnabled() ||
                     c.InversedImage() || c.KeepOriginalFormat());
        EXPECT_EQ(c.Opacity(), 100);
        EXPECT_EQ(c.GrayScale(), 0);
        EXPECT_EQ(c.ScaleMethod(), ScaleToFit);
        EXPECT_EQ(c.MaskColor(), static_cast<int32_t>(0x8000000F));
        EXPECT_EQ(c.ShadowColor(), 0x404040);
        EXPECT_EQ(c.ShadowDepth(), 2);
        EXPECT_EQ(c.ShadowOffsetX(), 2);
        EXPECT_EQ(c.ShadowOffsetY(), 2);
        EXPECT_EQ(c.ShadowOpacity(), 50);
        EXPECT_EQ(c.ContainerScaleMode(), forms::vbTwips);
    };
    expectInitial("first load");
    EXPECT_EQ(c.ImageType(), 0) << "no image yet";
    // A form loaded again makes its controls anew: a control without stored data is new.
    c.AutoSize(false);
    c.StretchQuality(false);
    c.Opacity(40);
    c.GrayScale(3);
    c.ScaleMethod(ActualSize);
    c.MaskColor(0x123456);
    c.ShadowColor(0x00FF00);
    c.ShadowDepth(5);
    c.ShadowOffsetX(-4);
    c.ShadowOffsetY(7);
    c.ShadowOpacity(80);
    ASSERT_TRUE(f.Unload());
    f.Load();
    expectInitial("loaded again");
}

TEST(ControlProperties, StoredDataWithoutKeysTakesTheKeyDefaults) {
    StoredControl f{PropertyBag{}};
    f.Load();
    const aicAlphaImage& c = f.stored;
    EXPECT_FALSE(c.AutoSize()) << "\"Props\" defaults to 1";
    EXPECT_TRUE(c.StretchQuality());
    EXPECT_EQ(c.GrayScale(), 0) << "\"GrayScale\" -1 is none";
    EXPECT_EQ(c.Opacity(), 100);
    EXPECT_EQ(c.ShadowOffsetX(), 2);
    EXPECT_TRUE(c.Enabled());
}

TEST(ControlProperties, AnEmptyStoredImageResetsTheLookButKeepsQualityAndFormat) {
    PropertyBag bag;
    bag.WriteProperty("Props", int32_t{0x1FD}, int32_t{1}); // every flag
    bag.WriteProperty("Scaler", int32_t{4}, int32_t{0});
    bag.WriteProperty("Angle", int32_t{30}, int32_t{0});
    bag.WriteProperty("Opacity", int16_t{40}, int16_t{100});
    bag.WriteProperty("Mirror", int32_t{2}, int32_t{0});
    bag.WriteProperty("ShadowDepth", int16_t{7}, int16_t{2});
    StoredControl f{bag};
    f.Load();
    const aicAlphaImage& c = f.stored;
    EXPECT_FALSE(c.AutoSize() || c.AutoRedraw() || c.ShadowEnabled() || c.InversedImage() ||
                 c.RotateEnabled());
    EXPECT_TRUE(c.StretchQuality());
    EXPECT_TRUE(c.KeepOriginalFormat());
    EXPECT_EQ(c.ScaleMethod(), ScaleToFit);
    EXPECT_EQ(c.Rotation(), 0);
    EXPECT_EQ(c.Opacity(), 100);
    EXPECT_EQ(c.Mirror(), 0);
    EXPECT_EQ(c.ShadowDepth(), 7) << "not part of the reset";
}

TEST(ControlProperties, AStoredImageKeepsItsValuesAsStored) {
    PropertyBag bag;
    bag.WriteProperty(
        "Image", test::Picture(4, 2, [](int x, int) { return x < 2 ? 0xFFFF0000u : 0xFF0000FFu; }),
        forms::ByteArray{});
    bag.WriteProperty("Opacity", int16_t{250}, int16_t{100});
    bag.WriteProperty("Mirror", int32_t{1}, int32_t{0});
    bag.WriteProperty("Props", int32_t{0x101}, int32_t{1}); // quality, rotation
    bag.WriteProperty("Angle", int32_t{720}, int32_t{0});
    StoredControl f{bag};
    f.Load();
    const aicAlphaImage& c = f.stored;
    EXPECT_EQ(c.Opacity(), 250) << "stored values skip the setters' checks";
    EXPECT_EQ(c.Rotation(), 720);
    EXPECT_TRUE(c.RotateEnabled());
    EXPECT_EQ(c.Mirror(), 1);
    EXPECT_EQ(c.Image().GetPixel(0, 0), 0xFF0000) << "the stored mirror is applied to the pixels";
}

TEST(ControlProperties, ClickReportsTheButtonOfTheLastAcceptedRelease) {
    StoredControl f{PropertyBag{}}; // keeps its size without an image (AutoSize off)
    f.Show();
    test::PumpFor(20);
    std::vector<int> clicks;
    f.stored.Click = [&clicks](int16_t b) { clicks.push_back(b); };
    HWND w = f.hWnd();
    // A right-button press and release, then a left-button click, all over the control.
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(50, 50));
    SendMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(50, 50));
    SendMessageW(w, WM_RBUTTONUP, 0, MAKELPARAM(50, 50));
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
    SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(50, 50));
    EXPECT_EQ(clicks, (std::vector<int>{2, 1}));
}

TEST(ControlProperties, StoredValuesASetterWouldRefuseKeepTheirDefaults) {
    struct Case {
        const char* key;
        int32_t stored;
        std::function<double(const aicAlphaImage&)> get;
        double expected;
    } cases[] = {
        {"HitTest", 7, [](const auto& c) { return c.HitTest(); }, 0},
        {"HitTest", 3, [](const auto& c) { return c.HitTest(); }, 3},
        {"Mirror", 4, [](const auto& c) { return c.Mirror(); }, 0},
        {"Mirror", -1, [](const auto& c) { return c.Mirror(); }, 0},
        {"Mirror", 3, [](const auto& c) { return c.Mirror(); }, 3},
        {"GrayScale", 8, [](const auto& c) { return c.GrayScale(); }, 0}, // stored as kind - 1
        {"GrayScale", -2, [](const auto& c) { return c.GrayScale(); }, 0},
        {"GrayScale", 7, [](const auto& c) { return c.GrayScale(); }, 8},
        {"MaskSource", 6, [](const auto& c) { return c.MaskUsed(); }, 0},
        {"MaskSource", 5, [](const auto& c) { return c.MaskUsed(); }, 5},
        {"ShadowDepth", 11, [](const auto& c) { return c.ShadowDepth(); }, 2},
        {"ShadowDepth", -1, [](const auto& c) { return c.ShadowDepth(); }, 2},
        {"ShadowDepth", 10, [](const auto& c) { return c.ShadowDepth(); }, 10},
        {"ShadowOpacity", 101, [](const auto& c) { return c.ShadowOpacity(); }, 50},
        {"ShadowOpacity", 0, [](const auto& c) { return c.ShadowOpacity(); }, 0},
    };
    for (const Case& c : cases) {
        PropertyBag bag;
        bag.WriteProperty("Image", test::Solid(4, 2, 0xFFFF0000), forms::ByteArray{});
        // (A default that no case stores, so that every value is written.)
        if (std::string(c.key).starts_with("Shadow"))
            bag.WriteProperty(c.key, static_cast<int16_t>(c.stored), int16_t{-999});
        else
            bag.WriteProperty(c.key, c.stored, int32_t{-999});
        StoredControl f{bag};
        f.Load();
        EXPECT_EQ(c.get(f.stored), c.expected) << c.key << " " << c.stored;
    }
    for (float intensity : {150.0f, -100.5f, std::nanf("")}) {
        PropertyBag bag;
        bag.WriteProperty("Intensity", intensity, 0.0f);
        StoredControl f{bag};
        f.Load();
        EXPECT_EQ(f.stored.IntensityOffset(), 0.0f) << intensity;
    }
}

TEST(ControlProperties, NoStoredSizeStopsOrOverflowsTheLayout) {
    struct Case {
        int32_t cx, cy, rotate;
        int32_t drawWidth, drawHeight;
    } cases[] = {
        {-40, 30, 0, 0, 30}, // a negative width would mark a layout in progress for ever
        {40, -30, 0, 40, 0},
        {INT32_MAX, INT32_MAX, 0x100, 0, 0}, // its diagonal and its sums would overflow
        {200, 100, 0x100, 200, 100},
    };
    for (const Case& c : cases) {
        PropertyBag bag;
        bag.WriteProperty("Image", test::Solid(100, 50, 0xFFFF0000), forms::ByteArray{});
        bag.WriteProperty("Scaler", int32_t{CustomSize}, int32_t{0});
        bag.WriteProperty("ScaleCx", c.cx, int32_t{0});
        bag.WriteProperty("ScaleCy", c.cy, int32_t{0});
        bag.WriteProperty("Props", int32_t{1 | c.rotate}, int32_t{1});
        StoredControl f{bag};
        f.Show();
        const auto l = f.stored.CurrentLayout();
        EXPECT_EQ(l.DrawWidth, c.drawWidth) << c.cx << " x " << c.cy;
        EXPECT_EQ(l.DrawHeight, c.drawHeight) << c.cx << " x " << c.cy;
        test::Painted p(f); // paints without fault
        if (c.drawWidth == 200) {
            // round(sqrt(200^2 + 100^2)) = 224, centred in 300: (300 - 224) \ 2 = 38.
            EXPECT_EQ(l.RotatedSize, 224);
            EXPECT_EQ(p.At(150, 150), 0xFF0000u);
        }
    }
}

TEST(ControlProperties, TheBackBufferIsNeverTakenFromStoredData) {
    PropertyBag bag;
    bag.WriteProperty("Image", test::Solid(4, 2, 0xFFFF0000), forms::ByteArray{});
    bag.WriteProperty("Props", int32_t{0x21}, int32_t{1}); // the in-use bit without AutoRedraw
    StoredControl f{bag};
    f.Load();
    EXPECT_FALSE(f.stored.HasBackBuffer());
    EXPECT_FALSE(f.stored.AutoRedraw());
}

TEST(ControlProperties, AStoredMaskIsAppliedToTheStoredImage) {
    PropertyBag bag;
    bag.WriteProperty(
        "Image",
        test::OpaquePicture(100, 50, [](int x, int) { return x < 10 ? 0x00FF00u : 0xFF0000u; }),
        forms::ByteArray{});
    bag.WriteProperty("Scaler", int32_t{ActualSize}, int32_t{0});
    bag.WriteProperty("MaskUsed", true, false);
    bag.WriteProperty("MaskSource", int32_t{1}, int32_t{0});
    bag.WriteProperty("MaskColor", int32_t{0x00FF00}, int32_t{0});
    bag.WriteProperty("Mask", int32_t{0x00FF00}, int32_t{0});
    StoredControl f{bag};
    f.Load();
    test::Painted p(f); // the image lies at (100, 125)
    EXPECT_EQ(p.At(105, 150), 0xFFFFFFu) << "the green band is transparent";
    EXPECT_EQ(p.At(150, 150), 0xFF0000u);
    EXPECT_EQ(f.stored.MaskUsed(), 1);
}

TEST(ControlProperties, InversionTogglesAndComesBackThroughMaskRemovalAndLoads) {
    StoredControl f{PropertyBag{}};
    f.Load();
    // Green frame (x < 2), red inside; no alpha channel. Colours read red in the low byte.
    const auto picture =
        test::OpaquePicture(8, 4, [](int x, int) { return x < 2 ? 0x00FF00u : 0xFF0000u; });
    ASSERT_TRUE(f.stored.LoadImage_FromArray(picture));
    aicAlphaImage& c = f.stored;
    c.AutoRedraw(true);
    c.ScaleMethod(StretchToFit); // the back buffer holds the drawn image
    c.InversedImage(true);
    EXPECT_TRUE(c.InversedImage());
    EXPECT_EQ(c.Image().GetPixel(5, 1), 0xFFFF00) << "red inverted: cyan";
    EXPECT_EQ(test::Painted(f).At(250, 150), 0x00FFFFu) << "and painted so";
    c.AutoRedraw(false);
    EXPECT_EQ(test::Painted(f).At(250, 150), 0x00FFFFu) << "also without the back buffer";
    c.MaskColor(0x00FF00);
    c.MaskUsed(1); // the inverted green frame (magenta) becomes transparent
    c.MaskUsed(0); // and comes back as it was shown: magenta
    EXPECT_EQ(c.Image().GetPixel(0, 1), 0xFF00FF);
    ASSERT_TRUE(c.LoadImage_FromArray(picture));
    EXPECT_EQ(c.Image().GetPixel(5, 1), 0xFFFF00) << "a new image is shown inverted";
    c.InversedImage(false);
    EXPECT_FALSE(c.InversedImage());
    EXPECT_EQ(c.Image().GetPixel(5, 1), 0x0000FF);
}

TEST(ControlProperties, DoubleClicksAndKeysReachTheContainer) {
    StoredControl f{PropertyBag{}};
    f.Show();
    test::PumpFor(20);
    std::vector<int> clicks, doubles;
    f.stored.Click = [&](int16_t b) { clicks.push_back(b); };
    f.stored.DblClick = [&](int16_t b) { doubles.push_back(b); };
    HWND w = f.hWnd();
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(50, 50));
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
    SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(50, 50));
    SendMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(50, 50));
    SendMessageW(w, WM_RBUTTONUP, 0, MAKELPARAM(50, 50));
    SendMessageW(w, WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(50, 50));
    SendMessageW(w, WM_RBUTTONUP, 0, MAKELPARAM(50, 50));
    EXPECT_EQ(clicks, (std::vector<int>{1, 2}));
    EXPECT_EQ(doubles, (std::vector<int>{2})) << "the button of the last release";

    std::vector<std::string> keys;
    f.stored.KeyDown = [&](int16_t& code, int16_t) {
        keys.push_back("down " + std::to_string(code));
        code = 0; // the container may swallow the key
    };
    f.stored.KeyPress = [&](int16_t& ascii) { keys.push_back("press " + std::to_string(ascii)); };
    f.stored.KeyUp = [&](int16_t& code, int16_t) { keys.push_back("up " + std::to_string(code)); };
    static_cast<forms::Control&>(f.stored).KeyInput(WM_KEYDOWN, 'A');
    static_cast<forms::Control&>(f.stored).KeyInput(WM_CHAR, 'a');
    static_cast<forms::Control&>(f.stored).KeyInput(WM_KEYUP, 'A');
    EXPECT_EQ(keys, (std::vector<std::string>{"down 65", "press 97", "up 65"}));
}

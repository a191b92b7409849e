// The image control's properties: accepted values, normalisation and notifications; the
// defaults of a new control and of stored data; the reset when the stored image is empty;
// the button state behind Click.

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

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

TEST(ControlProperties, NewControlStartsWithTheInitialValues) {
    OneControl f;
    f.Load();
    const aicAlphaImage& c = f.img;
    EXPECT_TRUE(c.AutoSize());
    EXPECT_TRUE(c.StretchQuality());
    EXPECT_TRUE(c.Image().HighQualityInterpolation());
    EXPECT_FALSE(c.AutoRedraw() || c.ShadowEnabled() || c.RotateEnabled() || c.InversedImage() ||
                 c.KeepOriginalFormat());
    EXPECT_EQ(c.Opacity(), 100);
    EXPECT_EQ(c.GrayScale(), 0);
    EXPECT_EQ(c.MaskColor(), static_cast<int32_t>(0x8000000F));
    EXPECT_EQ(c.ShadowColor(), 0x404040);
    EXPECT_EQ(c.ShadowDepth(), 2);
    EXPECT_EQ(c.ShadowOpacity(), 50);
    EXPECT_EQ(c.ContainerScaleMode(), forms::vbTwips);
    EXPECT_EQ(c.ImageType(), 0) << "no image yet";
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

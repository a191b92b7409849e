// The image control's hit shapes: what each HitTest mode takes the pointer on, an empty
// control, and the hit shape following the picture moved by OffsetImage through every
// rebuild.

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace moirelle;
using namespace moirelle::control;
using forms::Hosted;
using forms::PropertyBag;
using test::Hits;

namespace {

// A stored control (AutoSize off) of 100 x 100 pixels at the form's corner.
class Corner : public test::HostForm {
  public:
    Hosted<aicAlphaImage> img{*this, {0, 0, 1500, 1500}, PropertyBag{}};
};

// Opaque: rows 0..49 at x 0..19 and 70..89, rows 50..99 at x 40..59; transparent elsewhere.
// Its bounding box is x 0..89; row 25's span is x 0..89, row 75's x 40..59.
uint32_t Shape(int x, int y) {
    const bool opaque = y < 50 ? (x < 20 || (x >= 70 && x < 90)) : (x >= 40 && x < 60);
    return opaque ? 0xFFFF0000u : 0u;
}

} // namespace

TEST(ControlHitShape, EachModeTakesThePointerOnItsShape) {
    Corner f;
    f.Show();
    f.img.ScaleMethod(ActualSize);
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Picture(100, 100, Shape)));
    struct Case {
        int32_t mode;
        bool inRowSpanGap, inBoxOutsideSpan, outsideBox, onPixel;
    } cases[] = {
        {0, true, true, true, true},    // the whole control
        {1, true, true, false, true},   // the bounding box of the visible pixels
        {2, true, false, false, true},  // one span per row
        {3, false, false, false, true}, // the exact shape
    };
    for (const Case& c : cases) {
        f.img.HitTest(c.mode);
        EXPECT_EQ(Hits(f.img, 50, 25), c.inRowSpanGap) << "mode " << c.mode;
        EXPECT_EQ(Hits(f.img, 10, 75), c.inBoxOutsideSpan) << "mode " << c.mode;
        EXPECT_EQ(Hits(f.img, 95, 50), c.outsideBox) << "mode " << c.mode;
        EXPECT_EQ(Hits(f.img, 50, 75), c.onPixel) << "mode " << c.mode;
    }
}

TEST(ControlHitShape, APictureWithoutVisiblePixelsHasNoShape) {
    Corner f;
    f.Show();
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Solid(100, 100, 0)));
    for (int32_t mode : {0, 2, 0, 3, 0, 1}) {
        f.img.HitTest(mode);
        EXPECT_EQ(Hits(f.img, 50, 50), mode == 0) << "mode " << mode;
    }
}

TEST(ControlHitShape, AnEmptiedControlHitsOnlyAsARectangle) {
    Corner f;
    f.Show();
    f.img.ScaleMethod(ActualSize);
    ASSERT_TRUE(f.img.LoadImage_FromArray(test::Picture(100, 100, Shape)));
    f.img.HitTest(3);
    ASSERT_TRUE(Hits(f.img, 50, 75));
    f.img.ClearImage();
    EXPECT_FALSE(Hits(f.img, 50, 75)) << "no picture, no hit";
    f.img.HitTest(1);
    EXPECT_FALSE(Hits(f.img, 50, 75));
    f.img.HitTest(0);
    EXPECT_TRUE(Hits(f.img, 95, 95)) << "mode 0 is the control's rectangle";
}

TEST(ControlHitShape, TheHitShapeMovesWithThePictureThroughEveryRebuild) {
    test::HostForm f;
    Hosted<aicAlphaImage> img{f, {0, 0, 4500, 4500}, PropertyBag{}};
    f.Show();
    img.ScaleMethod(ActualSize);
    // Opaque 100 x 50, centred: drawn at (100, 125)-(200, 175).
    ASSERT_TRUE(img.LoadImage_FromArray(test::Solid(100, 50, 0xFFFF0000)));
    img.HitTest(2);
    int32_t x = 30, y = 10;
    img.OffsetImage(true, x, y); // now drawn at (130, 135)-(230, 185)
    const auto expectMoved = [&](const std::string& after) {
        test::Painted p(f);
        EXPECT_EQ(p.At(225, 180), 0xFF0000u) << after;
        EXPECT_EQ(p.At(105, 130), 0xFFFFFFu) << after;
        EXPECT_TRUE(Hits(img, 225, 180)) << after;
        EXPECT_TRUE(Hits(img, 131, 136)) << after;
        EXPECT_FALSE(Hits(img, 105, 130)) << after;
        EXPECT_FALSE(Hits(img, 128, 150)) << after;
    };
    expectMoved("OffsetImage");
    const std::pair<const char*, std::function<void()>> rebuilds[] = {
        {"mirror", [&] { img.Mirror(1); }},
        {"mode 3", [&] { img.HitTest(3); }},
        {"mode 1", [&] { img.HitTest(1); }},
        {"rotation", [&] { img.Rotation(180); }}, // stored only: rotation is off
        {"disabled and enabled", [&] { img.Enabled(false), img.Enabled(true); }},
        {"AutoRedraw", [&] { img.AutoRedraw(true), img.ScaleMethod(ActualSize); }},
        {"a new picture", [&] { img.LoadImage_FromArray(test::Solid(100, 50, 0xFFFF0000)); }},
    };
    for (const auto& [what, rebuild] : rebuilds) {
        rebuild();
        expectMoved(what);
    }
    // Mode 0 moves the control's rectangle the same way.
    img.HitTest(0);
    EXPECT_TRUE(Hits(img, 299, 299));
    EXPECT_FALSE(Hits(img, 20, 5));
    x = 0, y = 0;
    img.OffsetImage(true, x, y);
    EXPECT_TRUE(Hits(img, 20, 5));
}

// Fading: the opacities a fade sets and their order, a fade that ends inside the call,
// clamped targets, cancelling, Hide, and intervals below the floor.

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace moirelle;
using namespace moirelle::control;
using forms::Hosted;
using forms::PropertyBag;

namespace {

class Host : public test::HostForm {
  public:
    Host() {
        img.FadeTerminated = [this](int32_t o) { ended.push_back(o); };
    }
    Hosted<aicAlphaImage> img{*this, {0, 0, 1500, 1500}, PropertyBag{}};
    std::vector<int32_t> ended;

    // Every opacity the control takes from now until the fade ends (or the time is up).
    std::vector<int32_t> Follow(DWORD timeoutMs = 2000) {
        std::vector<int32_t> seen{img.Opacity()};
        test::PumpUntil(
            [&] {
                if (img.Opacity() != seen.back()) seen.push_back(img.Opacity());
                return !ended.empty();
            },
            timeoutMs);
        return seen;
    }
};

} // namespace

TEST(ControlFading, StepsDownByTenThenEndsAtTheTarget) {
    Host f;
    f.Show();
    f.img.FadeInOut(0);
    EXPECT_EQ(f.img.Opacity(), 90) << "the first step happens inside the call";
    EXPECT_TRUE(f.ended.empty());
    EXPECT_EQ(f.Follow(), (std::vector<int32_t>{90, 80, 70, 60, 50, 40, 30, 20, 10, 0}));
    EXPECT_EQ(f.ended, (std::vector<int32_t>{0}));
}

TEST(ControlFading, FadesThatEndInTheirFirstStepEndInsideTheCall) {
    Host f;
    f.Show();
    struct Case {
        int32_t from, target, step, expected;
    } cases[] = {
        {95, 100, 10, 100}, // 105 would pass the target
        {50, 150, 60, 100}, // targets are clamped
        {30, -5, 40, 0},
        {100, 0, INT32_MIN, 0}, // any step larger than the distance
    };
    for (const Case& c : cases) {
        f.ended.clear();
        f.img.Opacity(c.from);
        f.img.FadeInOut(c.target, c.step);
        EXPECT_EQ(f.ended, (std::vector<int32_t>{c.expected})) << c.from << " to " << c.target;
        EXPECT_EQ(f.img.Opacity(), c.expected);
    }
}

TEST(ControlFading, ANegativeStepRisesByItsSize) {
    Host f;
    f.Show();
    f.img.Opacity(10);
    f.img.FadeInOut(50, -20, 10);
    EXPECT_EQ(f.Follow(), (std::vector<int32_t>{30, 50}));
    EXPECT_EQ(f.ended, (std::vector<int32_t>{50}));
}

TEST(ControlFading, AZeroStepOrHideCancelsWithoutAnEvent) {
    Host f;
    f.Show();
    f.img.FadeInOut(0, 10, 10);
    f.img.FadeInOut(40, 0);
    EXPECT_EQ(f.img.Opacity(), 90);
    test::PumpFor(80);
    EXPECT_EQ(f.img.Opacity(), 90) << "nothing runs any more";
    f.img.FadeInOut(0, 10, 10);
    EXPECT_NE(KillTimer(f.hWnd(), static_cast<UINT_PTR>(-f.img.Identity())), 0)
        << "the fade timer runs on the form's window under the negated identity";
    f.img.FadeInOut(0, 10, 10);
    f.img.Visible(false);
    test::PumpFor(80);
    EXPECT_EQ(f.img.Opacity(), 70);
    EXPECT_TRUE(f.ended.empty());
}

TEST(ControlFading, IntervalsBelowTenMillisecondsStillRun) {
    // A negative interval taken as it is would never tick; it counts as the 10 ms floor.
    for (int32_t interval : {5, 0, -1000}) {
        Host f;
        f.Show();
        f.img.FadeInOut(0, 25, interval);
        EXPECT_EQ(f.Follow(), (std::vector<int32_t>{75, 50, 25, 0})) << interval;
        EXPECT_EQ(f.ended, (std::vector<int32_t>{0})) << interval;
    }
}

TEST(ControlFading, AFadeSetsEachStepOnceAndEndsOnItsLastStep) {
    Host f;
    f.Show();
    const size_t before = f.img.ChangedProperties().size();
    f.img.FadeInOut(0, 25, 10);
    EXPECT_EQ(f.Follow(), (std::vector<int32_t>{75, 50, 25, 0}));
    test::PumpFor(60);
    // 75, 50, 25, then 0 with the end: four assignments, each one notified.
    EXPECT_EQ(f.img.ChangedProperties().size() - before, 4u);
    EXPECT_EQ(f.ended, (std::vector<int32_t>{0}));
    EXPECT_FALSE(KillTimer(f.hWnd(), static_cast<UINT_PTR>(-f.img.Identity())))
        << "an ended fade leaves no timer";
    // A fade to where the opacity already is does nothing at all.
    f.img.FadeInOut(0);
    f.img.FadeInOut(-20, 30);
    test::PumpFor(60);
    EXPECT_EQ(f.img.ChangedProperties().size() - before, 4u);
    EXPECT_EQ(f.ended, (std::vector<int32_t>{0}));
}

TEST(ControlFading, ANewFadeCancelsTheRunningOneAlsoAtDesignTime) {
    for (bool userMode : {true, false}) {
        test::HostForm form(200, 200, userMode);
        Hosted<aicAlphaImage> img{form, {0, 0, 1500, 1500}, PropertyBag{}};
        std::vector<int32_t> ended;
        img.FadeTerminated = [&](int32_t o) { ended.push_back(o); };
        form.Show();
        img.FadeInOut(0, 10, 10);
        ASSERT_EQ(img.Opacity(), 90);
        // The new fade's first step happens at once; its next comes after 300 ms, and no
        // tick of the cancelled fade may step in before.
        img.FadeInOut(100, 5, 300);
        EXPECT_EQ(img.Opacity(), 95);
        test::PumpFor(150);
        EXPECT_EQ(img.Opacity(), 95) << (userMode ? "run time" : "design time");
        EXPECT_TRUE(ended.empty());
        ASSERT_TRUE(test::PumpUntil([&] { return !ended.empty(); }, 1500));
        EXPECT_EQ(ended, (std::vector<int32_t>{100}));
    }
}

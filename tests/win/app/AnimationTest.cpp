// The program's one animation clock, and an animated skin played on a form of its own: in
// this process, with the messages handled here.

#include "app/AnimationClock.h"
#include "app/SkinAnimation.h"
#include "forms/App.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "platform/win/Handles.h"
#include "tests/portable/animation/GifBuilder.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace moirelle;
using namespace moirelle::app;

namespace {

// What the clock allows a call to come before its time (a timer's coarse steps).
constexpr LONGLONG kEarlyMs = 8;

template <class Pred> bool PumpUntil(Pred done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        forms::App::DoEvents();
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 5)),
                                  QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// An owner that schedules itself again after each call, through a list of delays, and
// notes how far from its time each call came (negative: early).
struct Repeater {
    Repeater(AnimationClock& c, std::vector<UINT> d) : clock(c), delays(std::move(d)) {}
    AnimationClock& clock;
    std::vector<UINT> delays;
    std::vector<LONGLONG> offsets;
    ULONGLONG due = 0;
    size_t next = 0;
    void Start() {
        due = GetTickCount64() + delays[next];
        clock.Schedule(this, delays[next], [this] { Called(); });
    }
    void Called() {
        offsets.push_back(static_cast<LONGLONG>(GetTickCount64()) - static_cast<LONGLONG>(due));
        if (++next < delays.size()) Start();
    }
    bool Done() const { return offsets.size() == delays.size(); }
};

} // namespace

TEST(AnimationClock, ACallComesOnceAtItsTimeAndIsThenForgotten) {
    AnimationClock clock;
    ASSERT_TRUE(clock.Ready());
    EXPECT_FALSE(clock.Running()) << "nothing waits: no timer";
    int calls = 0;
    int a = 0, b = 0;
    clock.Schedule(&a, 40, [&] { ++calls; });
    clock.Schedule(&b, 40, [&] { calls += 100; });
    clock.Cancel(&b);
    EXPECT_TRUE(clock.Running());
    ASSERT_TRUE(PumpUntil([&] { return calls > 0; }, 2000));
    PumpFor(200);
    EXPECT_EQ(calls, 1) << "once, and the cancelled one never";
    EXPECT_FALSE(clock.Running()) << "a call made is not waited for any more";

    // A later schedule for the same owner takes the earlier one's place.
    const ULONGLONG start = GetTickCount64();
    ULONGLONG at = 0;
    clock.Schedule(&a, 30, [&] { ++calls; });
    clock.Schedule(&a, 150, [&] {
        ++calls;
        at = GetTickCount64();
    });
    ASSERT_TRUE(PumpUntil([&] { return calls > 1; }, 2000));
    PumpFor(100);
    EXPECT_EQ(calls, 2);
    EXPECT_GE(static_cast<LONGLONG>(at - start), 150 - kEarlyMs);
    EXPECT_FALSE(clock.Running());
}

// Owners of even and uneven delays side by side: the clock may leave its timer running
// when it comes back in time, but no call ever comes before its time.
TEST(AnimationClock, NoCallComesBeforeItsTimeWhateverTheDelaysOfTheOwners) {
    AnimationClock clock;
    Repeater even{clock, std::vector<UINT>(12, 40)};
    Repeater uneven{clock, {40, 40, 200, 40, 100, 40, 40, 300, 40, 60, 40}};
    even.Start();
    uneven.Start();
    ASSERT_TRUE(PumpUntil([&] { return even.Done() && uneven.Done(); }, 8000));
    for (const Repeater* r : {&even, &uneven})
        for (size_t i = 0; i < r->offsets.size(); ++i)
            EXPECT_GE(r->offsets[i], -kEarlyMs) << "call " << i << " of " << r->delays.size();
    PumpFor(100);
    EXPECT_FALSE(clock.Running()) << "both ended";
}

namespace {

// A form showing an Image, with a windowless control over it that counts the draws of
// the Image's area.
class Counter : public forms::Control {
  public:
    using Control::Control;
    std::string_view TypeName() const override { return "Counter"; }
    void Paint(HDC) override { ++paints; }
    int paints = 0;
};

class AnimatedForm : public forms::Form {
  public:
    AnimatedForm()
        : Form({.caption = "animated",
                .left = 1500,
                .top = 3000,
                .width = 1500,
                .height = 300,
                .borderStyle = 0,
                .showInTaskbar = false}) {
        Image1.Stretch(true);
    }
    forms::Image Image1{*this, {0, 0, 1500, 300}};
    Counter Counter1{*this, {0, 0, 1500, 300}};
};

std::string WriteGif(const std::string& name, const test::Bytes& bytes) {
    const std::string path = test::JoinPath(test::MakeTempDir("app_animation"), name);
    EXPECT_TRUE(test::WriteFile(path, std::string(bytes.begin(), bytes.end())));
    return path;
}

} // namespace

// Four frames of 250 ms played once, the third the same as the second: three are drawn
// (the first with the picture), the third is not drawn again. The third is then cleared, and
// the fourth covers the left half: the right half shows the overlay's background. When the
// play ends the clock forgets it, and a still picture afterwards leaves nothing playing.
TEST(SkinAnimation, AFrameThatChangesNothingIsNotDrawnAndAnEndedPlayLeavesNoTimer) {
    const std::vector<uint32_t> colours{0xFF0000, 0x0000FF};
    const test::Bytes gif = test::GifBuilder(4, 2, colours)
                                .Control(1, 25)
                                .Image(0, 0, 4, 2, test::Indices("00000000"))
                                .Control(1, 25)
                                .Image(0, 0, 4, 2, test::Indices("11111111"))
                                .Control(2, 25)
                                .Image(0, 0, 4, 2, test::Indices("11111111"))
                                .Control(1, 25)
                                .Image(0, 0, 2, 2, test::Indices("0000"))
                                .Finish();
    AnimatedForm f;
    f.Show();
    PumpFor(200);
    const auto painted = [&] { return !GetUpdateRect(f.hWnd(), nullptr, FALSE); };
    AnimationClock clock;
    SkinAnimation animation(clock, [&] {
        return std::vector<SkinAnimation::Overlay>{{f.hWnd(), &f.Image1}};
    });
    ASSERT_TRUE(animation.Play(WriteGif("four.gif", gif)));
    EXPECT_TRUE(f.Image1.Picture() == animation.Picture()) << "the image shows the animation";
    ASSERT_TRUE(PumpUntil(painted, 200)) << "the first frame is painted with the picture";
    f.Counter1.paints = 0;
    ASSERT_TRUE(PumpUntil([&] { return !animation.Playing(); }, 5000));
    PumpFor(100);
    EXPECT_EQ(f.Counter1.paints, 2) << "the second and the fourth frame";
    EXPECT_FALSE(clock.Running()) << "the play ended";
    {
        const RECT r = f.Image1.PixelRect();
        win::WindowDC dc(f.hWnd());
        const int y = (r.top + r.bottom) / 2;
        EXPECT_EQ(GetPixel(dc.get(), r.left + (r.right - r.left) / 8, y), RGB(255, 0, 0));
        EXPECT_EQ(GetPixel(dc.get(), r.right - (r.right - r.left) / 8, y),
                  GetSysColor(COLOR_BTNFACE))
            << "the cleared half shows the background";
    }

    ASSERT_TRUE(animation.Play(WriteGif("four.gif", gif)));
    EXPECT_TRUE(clock.Running());
    const std::string still =
        WriteGif("still.gif", test::GifBuilder(1, 1, colours).Image(0, 0, 1, 1, {0}).Finish());
    EXPECT_FALSE(animation.Play(still)) << "one frame is no animation";
    EXPECT_FALSE(animation.Playing());
    EXPECT_FALSE(clock.Running());
    EXPECT_TRUE(animation.Picture().Empty());
}

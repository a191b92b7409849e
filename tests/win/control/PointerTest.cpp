// The pointer and the image control, with real pointer moves: enter and exit between two
// controls, transparent pixels under the exact hit shape, the pointer leaving the form,
// OffsetImage moving the hit shape; and drops carrying wide file names.

#include "ControlTestSupport.h"
#include "platform/win/ComPtr.h"
#include "tests/support/win/FileDropData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace moirelle;
using namespace moirelle::control;
using forms::Hosted;
using forms::PropertyBag;

namespace {

using Journal = std::vector<std::string>;

// Two stored controls (AutoSize off) showing their images at their own size, each entry
// and exit journaled under its name. a: (0, 0) 100 x 100, opaque. b: (bLeft, 0) 100 x 100,
// exact hit shape, opaque only from its x = opaqueFrom on. By default b stands beside a;
// placed over a, a shows through b's transparent pixels.
class TwoControls : public test::HostForm {
  public:
    TwoControls(int bLeft = 150, int opaqueFrom = 50, std::string aName = "A",
                std::string bName = "B")
        : b{*this, {bLeft * 15, 0, 1500, 1500}, PropertyBag{}}, opaqueFrom_(opaqueFrom) {
        for (auto [c, name] : {std::pair{&a, aName}, std::pair{&b, bName}}) {
            c->MouseEnter = [this, name] { journal.push_back(name + ".MouseEnter"); };
            c->MouseExit = [this, name] { journal.push_back(name + ".MouseExit"); };
        }
    }
    void Prepare() {
        Show();
        SetForegroundWindow(hWnd());
        for (auto* c : {&a, &b})
            c->ScaleMethod(ActualSize);
        ASSERT_TRUE(a.LoadImage_FromArray(test::Solid(100, 100, 0xFFFF0000)));
        ASSERT_TRUE(b.LoadImage_FromArray(test::Picture(
            100, 100, [this](int x, int) { return x >= opaqueFrom_ ? 0xFF0000FFu : 0u; })));
        b.HitTest(2);
        test::PumpFor(30);
    }
    // Puts the pointer at a client point and lets the form see it move there.
    void MoveTo(int x, int y) {
        POINT p{x, y};
        ClientToScreen(hWnd(), &p);
        ASSERT_TRUE(test::PlacePointer(p));
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = MOUSEEVENTF_MOVE; // a move of 0 still reports the pointer
        SendInput(1, &in, sizeof(in));
    }
    bool WaitFor(const std::string& entry, DWORD ms = 1500) {
        return test::PumpUntil(
            [&] { return std::find(journal.begin(), journal.end(), entry) != journal.end(); }, ms);
    }
    Hosted<aicAlphaImage> a{*this, {0, 0, 1500, 1500}, PropertyBag{}};
    Hosted<aicAlphaImage> b;
    Journal journal;

  private:
    int opaqueFrom_;
};

} // namespace

TEST(ControlPointer, EnterAndExitFollowThePointerAcrossTwoControls) {
    TwoControls f;
    f.Prepare();
    f.MoveTo(50, 50);
    ASSERT_TRUE(f.WaitFor("A.MouseEnter"));
    EXPECT_TRUE(f.a.isMouseOver());
    EXPECT_EQ(f.a.Tag(), "Timer");
    // Over the transparent half of B the pointer is over neither control.
    f.journal.clear();
    f.MoveTo(160, 50);
    ASSERT_TRUE(f.WaitFor("A.MouseExit"));
    test::PumpFor(150);
    EXPECT_EQ(f.journal, (Journal{"A.MouseExit"}));
    EXPECT_FALSE(f.a.isMouseOver() || f.b.isMouseOver());
    // From A straight onto an opaque pixel of B: A exits, then B enters.
    f.MoveTo(50, 50);
    ASSERT_TRUE(f.WaitFor("A.MouseEnter"));
    f.journal.clear();
    f.MoveTo(230, 50);
    ASSERT_TRUE(f.WaitFor("B.MouseEnter"));
    EXPECT_EQ(f.journal, (Journal{"A.MouseExit", "B.MouseEnter"}));
    EXPECT_FALSE(f.a.isMouseOver());
    EXPECT_TRUE(f.b.isMouseOver());
    EXPECT_EQ(f.a.Tag(), "");
    // Leaving the form: one exit.
    f.journal.clear();
    f.MoveTo(-60, 50);
    ASSERT_TRUE(f.WaitFor("B.MouseExit"));
    test::PumpFor(250);
    EXPECT_EQ(f.journal, (Journal{"B.MouseExit"}));
    EXPECT_FALSE(f.b.isMouseOver());
}

TEST(ControlPointer, OffsetImageMovesTheHitShapeAndTheTickNoticesIt) {
    TwoControls f;
    f.Prepare();
    f.MoveTo(230, 50); // B's pixel (80, 50): opaque
    ASSERT_TRUE(f.WaitFor("B.MouseEnter"));
    // Drawn 50 pixels to the left, the opaque half now starts at B's x = 0: the pointer is
    // over nothing, and no pointer message tells the control; its tracking tick does.
    int32_t x = -50, y = 0;
    f.b.OffsetImage(true, x, y);
    EXPECT_TRUE(f.b.isMouseOver());
    ASSERT_TRUE(f.WaitFor("B.MouseExit", 400));
    f.journal.clear();
    f.MoveTo(170, 50); // B's pixel (20, 50): transparent before, opaque now
    ASSERT_TRUE(f.WaitFor("B.MouseEnter"));
    EXPECT_NE(KillTimer(f.hWnd(), static_cast<UINT_PTR>(f.b.Identity())), 0)
        << "the tracking timer runs on the form's window under the instance's identity";
    int32_t sx = 0, sy = 0;
    x = 0;
    f.b.OffsetImage(false, x, y, sx, sy);
    EXPECT_EQ(x, -50);
    EXPECT_EQ(sx, 2) << "shadow offsets of 0 leave the shadow where it was";
}

TEST(ControlPointer, ADropHandsOnTheFilesWithTheirWideNames) {
    TwoControls f;
    f.Show();
    f.a.OLEDropMode(forms::vbOLEDropManual);
    std::vector<std::wstring> names;
    float dropX = -1;
    f.a.OLEDragDrop = [&](forms::DataObject& d, int32_t& effect, int16_t, int16_t, float x, float) {
        names = d.Files();
        dropX = x;
        effect = DROPEFFECT_COPY;
    };
    // Names that no narrow code page holds.
    const std::vector<std::wstring> files{L"C:\\\u65e5\u672c\\a.png", L"C:\\\u03a9\\b.png"};
    const auto data = win::ComPtr<IDataObject>::Attach(new test::FileListDataObject(files));
    POINT origin{0, 0};
    ClientToScreen(f.hWnd(), &origin);
    IDropTarget* target = f.DropTarget();
    ASSERT_NE(target, nullptr);
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(data.Get(), MK_LBUTTON, POINTL{origin.x + 20, origin.y + 20}, &effect);
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target->Drop(data.Get(), 0, POINTL{origin.x + 25, origin.y + 30}, &effect), S_OK);
    EXPECT_EQ(names, files);
    EXPECT_FLOAT_EQ(dropX, 25 * 15.0f) << "in the form's scale (twips)";
    // A host that lists the names in the narrow code page: the control hands on wide ones.
    forms::DataObject narrow(data);
    narrow.Files() = {L"C:\\??\\a.png", L"C:\\?\\b.png"};
    int32_t dropEffect = DROPEFFECT_COPY;
    names.clear();
    f.a.DragInput(-1, narrow, dropEffect, 1, 0, 5, 6); // state -1: the drop
    EXPECT_EQ(names, files);
}

TEST(ControlPointer, ThroughATransparentPixelOfTheUpperControlTheLowerOneKeepsThePointer) {
    TwoControls f(50, 40, "L", "U"); // U over L from L's x = 50, opaque from L's x = 90
    f.Prepare();
    for (int x : {70, 72, 74, 76, 78}) {
        f.MoveTo(x, 50);
        test::PumpFor(60);
    }
    test::PumpFor(150); // tracking ticks too
    EXPECT_EQ(f.journal, (Journal{"L.MouseEnter"}));
    EXPECT_TRUE(f.a.isMouseOver());
    // Onto an opaque pixel of the upper control, still over the lower one.
    f.journal.clear();
    f.MoveTo(95, 50);
    test::PumpUntil([&] { return !f.journal.empty(); }, 1500);
    test::PumpFor(150);
    EXPECT_EQ(f.journal, (Journal{"L.MouseExit", "U.MouseEnter"}));
    EXPECT_TRUE(f.b.isMouseOver());
}

TEST(ControlPointer, AWindowOverTheControlTakesThePointerAwayAtTheNextTick) {
    TwoControls f;
    f.Prepare();
    f.MoveTo(50, 50);
    ASSERT_TRUE(f.WaitFor("A.MouseEnter"));
    // A window of another program over the control's middle: the form hears nothing more.
    POINT at{40, 40};
    ClientToScreen(f.hWnd(), &at);
    HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"BUTTON", L"", WS_POPUP, at.x,
                                 at.y, 20, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(cover, nullptr);
    ShowWindow(cover, SW_SHOWNOACTIVATE);
    f.MoveTo(50, 50);
    EXPECT_TRUE(f.WaitFor("A.MouseExit", 600)) << "the pointer is over another window";
    DestroyWindow(cover);
}

TEST(ControlPointer, DisablingTheControlThatHoldsThePointerLetsItGoWithoutAnExit) {
    TwoControls f;
    f.Prepare();
    f.MoveTo(230, 50); // B's pixel (80, 50): opaque
    ASSERT_TRUE(f.WaitFor("B.MouseEnter"));
    f.journal.clear();
    f.b.Enabled(false);
    EXPECT_FALSE(f.b.isMouseOver());
    EXPECT_EQ(f.b.Tag(), "");
    EXPECT_EQ(KillTimer(f.hWnd(), static_cast<UINT_PTR>(f.b.Identity())), FALSE)
        << "the tracking timer is stopped";
    test::PumpFor(150);
    EXPECT_EQ(f.journal, Journal{}) << "no event";
    // Mirrored while disabled, the shape is made anew when the control is enabled again.
    f.b.Mirror(1);
    f.b.Enabled(true);
    EXPECT_TRUE(test::Hits(f.b, 20, 50));
    EXPECT_FALSE(test::Hits(f.b, 80, 50));
}

TEST(ControlPointer, AMouseEnterHandlerMayDisableTheControl) {
    TwoControls f;
    f.Prepare();
    f.a.MouseEnter = [&] {
        f.journal.push_back("A.MouseEnter");
        f.a.Enabled(false);
    };
    f.MoveTo(50, 50);
    ASSERT_TRUE(f.WaitFor("A.MouseEnter"));
    EXPECT_FALSE(f.a.Enabled());
    EXPECT_EQ(f.a.Tag(), "");
    EXPECT_EQ(KillTimer(f.hWnd(), static_cast<UINT_PTR>(f.a.Identity())), FALSE)
        << "no tracking timer left armed";
    EXPECT_FALSE(f.a.isMouseOver());
}

TEST(ControlPointer, AMouseEnterHandlerMayDestroyTheControl) {
    using Victim = Hosted<aicAlphaImage>;
    test::HostForm f;
    // Its own storage, filled with garbage once the control is destroyed, as a checking heap
    // fills freed blocks: any later use of the control's members goes wrong at once.
    alignas(Victim) unsigned char storage[sizeof(Victim)];
    Victim* victim = new (storage) Victim(f, forms::Bounds{0, 0, 1500, 1500}, PropertyBag{});
    f.Show();
    ASSERT_TRUE(victim->LoadImage_FromArray(test::Solid(100, 100, 0xFFFF0000)));
    victim->HitTest(2);
    int entered = 0;
    victim->MouseEnter = [&] {
        ++entered;
        victim->~Victim();
        victim = nullptr;
        std::memset(storage, 0xDD, sizeof storage);
    };
    const auto identity = static_cast<UINT_PTR>(victim->Identity());
    SendMessageW(f.hWnd(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 50));
    EXPECT_FALSE(KillTimer(f.hWnd(), identity)) << "nothing armed for the destroyed control";
    SendMessageW(f.hWnd(), WM_MOUSEMOVE, 0, MAKELPARAM(51, 50));
    test::PumpFor(250); // no tick may reach the destroyed control
    EXPECT_EQ(entered, 1);
    if (victim) victim->~Victim();
}

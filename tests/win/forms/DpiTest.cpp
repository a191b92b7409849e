// Forms follow their window's resolution: on WM_DPICHANGED every control is laid out again
// from its twips, fonts are made for the new resolution and the window takes the suggested
// rectangle.

#include "Pump.h"
#include "forms/CheckBox.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/PictureBox.h"
#include "forms/Screen.h"
#include "forms/UserControl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace moirelle::forms;

namespace {

class Sizer : public UserControl {
  public:
    using UserControl::UserControl;
    std::string_view TypeName() const override { return "Sizer"; }
    std::vector<float> resized;

  protected:
    void UserControl_Resize() override { resized.push_back(ScaleWidth()); }
};

class DpiForm : public Form {
  public:
    DpiForm()
        : Form({.caption = "dpi",
                .left = 1500,
                .top = 1500,
                .width = 4800,
                .height = 3600,
                .borderStyle = 0}) {}
    Label Label1{*this, {150, 300, 1500, 450}};
    CheckBox Check1{*this, {1500, 150, 1800, 300}};
    Hosted<Sizer> sizer{*this, {300, 1200, 1500, 900}};
    PictureBox Picture1{*this, {2400, 1500, 1500, 1200}};
    Hosted<Sizer> inside{Picture1, {150, 150, 600, 300}};
};

struct Placed {
    const Control* control;
    Bounds twips;
};

RECT InPixels(const Bounds& b, int dpi) {
    auto px = [dpi](int32_t twips) { return static_cast<LONG>(std::lround(twips * dpi / 1440.0)); };
    return {px(b.left), px(b.top), px(b.left) + px(b.width), px(b.top) + px(b.height)};
}

RECT WindowInParent(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LONG FontHeight(HWND w) {
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    return lf.lfHeight;
}

void SendDpiChanged(HWND w, int dpi, RECT suggested) {
    SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

int ScreenDpi() {
    return static_cast<int>(std::lround(1440.0 / Screen::TwipsPerPixelX()));
}

} // namespace

TEST(FormDpi, ControlsFollowTheResolutionOfTheirWindow) {
    DpiForm f;
    f.Show();
    const std::vector<Placed> placed = {{&f.Label1, {150, 300, 1500, 450}},
                                        {&f.Check1, {1500, 150, 1800, 300}},
                                        {&f.sizer, {300, 1200, 1500, 900}},
                                        {&f.Picture1, {2400, 1500, 1500, 1200}},
                                        {&f.inside, {150, 150, 600, 300}}};
    for (int dpi : {144, 96}) {
        SCOPED_TRACE(dpi);
        f.sizer.resized.clear();
        const RECT suggested{200, 100, 200 + dpi * 5, 100 + dpi * 4};
        SendDpiChanged(f.hWnd(), dpi, suggested);
        for (const Placed& p : placed) {
            RECT want = InPixels(p.twips, dpi), got = p.control->PixelRect();
            EXPECT_TRUE(EqualRect(&want, &got)) << p.control->TypeName() << " " << got.left << ","
                                                << got.top << "," << got.right << "," << got.bottom;
        }
        RECT checkWant = InPixels({1500, 150, 1800, 300}, dpi),
             checkGot = WindowInParent(f.Check1.hWnd());
        EXPECT_TRUE(EqualRect(&checkWant, &checkGot));
        RECT boxWant = InPixels({2400, 1500, 1500, 1200}, dpi),
             boxGot = WindowInParent(f.Picture1.hWnd());
        EXPECT_TRUE(EqualRect(&boxWant, &boxGot));
        RECT window{};
        GetWindowRect(f.hWnd(), &window);
        EXPECT_TRUE(EqualRect(&window, &suggested));
        EXPECT_EQ(f.sizer.resized, std::vector<float>{static_cast<float>(1500 * dpi / 1440)});
        EXPECT_EQ(FontHeight(f.Check1.hWnd()), -std::lround(8.25 * dpi / 72));
        // Borderless, so the client area is the suggested five inches.
        EXPECT_FLOAT_EQ(f.ScaleWidth(), 7200.0f);
    }
}

TEST(FormDpi, TheResolutionAlreadyInUseChangesNothing) {
    DpiForm f;
    f.Show();
    RECT window{}, check{}, label = f.Label1.PixelRect();
    GetWindowRect(f.hWnd(), &window);
    check = WindowInParent(f.Check1.hWnd());
    const LONG font = FontHeight(f.Check1.hWnd());
    f.sizer.resized.clear();
    SendDpiChanged(f.hWnd(), ScreenDpi(), {0, 0, 50, 50});
    RECT windowNow{}, checkNow = WindowInParent(f.Check1.hWnd()), labelNow = f.Label1.PixelRect();
    GetWindowRect(f.hWnd(), &windowNow);
    EXPECT_TRUE(EqualRect(&window, &windowNow));
    EXPECT_TRUE(EqualRect(&check, &checkNow));
    EXPECT_TRUE(EqualRect(&label, &labelNow));
    EXPECT_TRUE(f.sizer.resized.empty());
    EXPECT_EQ(FontHeight(f.Check1.hWnd()), font);
}

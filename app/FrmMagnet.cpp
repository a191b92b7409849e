#include "app/FrmMagnet.h"

#include "app/AppResources.h"
#include "app/FrmOpt.h"
#include "app/Pictures.h"
#include "app/StartButton.h"
#include "forms/ScaleMode.h"
#include "forms/Screen.h"

#include <algorithm>

namespace moirelle::app {
namespace {

// The overlay starts this much lower than one start-button height above the screen's
// bottom, until the first placement.
constexpr int32_t kStartOffsetTwips = 30;

} // namespace

FrmMagnet::FrmMagnet(OverlayRole role)
    : Form({.caption = "Moirelle",
            .width = 6105,
            .height = 795,
            .borderStyle = 0,
            .showInTaskbar = false,
            .iconResource = IDI_MOIRELLE}),
      role_(role) {
    forms::Picture skin = BuiltInBitmap(IDB_DEFAULT_SKIN);
    Image1.Stretch(true);
    Image1.Picture(skin);
    Image2.Stretch(true);
    Image2.Picture(skin);
    Image2.Visible(false);
    Timer1.Tick.Bind(this, &FrmMagnet::Timer1_Timer);
    // The primary overlay's timer places them all.
    Timer1.Enabled(role_.primary);
}

FrmMagnet::~FrmMagnet() = default;

void FrmMagnet::Form_Load() {
    if (!role_.primary) {
        aicFX.ScaleMethod(1);
        PlaceOnSecondary();
        return;
    }
    Left(0);
    Top(forms::Screen::Height() - (StartButtonHeight() - kStartOffsetTwips));
    Height(WorkAreaBottomGap());
    Width(forms::Screen::Width());
    Image1.Width(Width());
    aicFX.ScaleMethod(1);
    aicFX.Width(Image1.Width());
    aicFX.Height(Height());
    horizontalSkin_ = {Image1.Width(), Image1.Height(), aicFX.Width(), aicFX.Height()};
    LocateTaskbar(true);
    if (options_) options_->Show();
}

LRESULT FrmMagnet::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DISPLAYCHANGE && role_.primary) Timer1_Timer();
    return Form::HandleMessage(msg, wParam, lParam);
}

TaskbarRect FrmMagnet::LocateTaskbar(bool inTwips) {
    TaskbarRect taskbar = ReadTaskbarRect(inTwips);
    // Reading the options window's height loads it on the first run.
    int32_t tolerance = options_ ? options_->NormalHeight() : 0;
    OverlayPlace now{Left(), Top(), Width(), Height()};
    OverlayPlace next = PlaceOverlay(taskbar, forms::Screen::Height(), tolerance, now);
    if (next != now) Move(next.left, next.top, next.width, next.height);
    // Along a side edge the skin fills the overlay; along the others it keeps its sizes.
    const bool vertical = IsVertical(taskbar);
    if (vertical && (next != now || !vertical_)) {
        Image1.Move(0, 0, next.width, next.height);
        aicFX.Move(0, 0, next.width, next.height);
    } else if (!vertical && vertical_) {
        Image1.Move(0, 0, horizontalSkin_[0], horizontalSkin_[1]);
        aicFX.Move(0, 0, horizontalSkin_[2], horizontalSkin_[3]);
    }
    vertical_ = vertical;
    return taskbar;
}

void FrmMagnet::Timer1_Timer() {
    if (Follow)
        Follow();
    else
        LocateTaskbar(true);
}

HWND FrmMagnet::TaskbarWindow() const {
    return role_.primary ? FindWindowW(kTaskbarClass, L"") : role_.taskbar;
}

void FrmMagnet::Place() {
    if (role_.primary)
        LocateTaskbar(true);
    else
        PlaceOnSecondary();
}

void FrmMagnet::PlaceOnSecondary() {
    RECT r{};
    if (!GetWindowRect(role_.taskbar, &r)) return;
    // The position is in screen twips, the size in the twips of the overlay's own window.
    const double tx = forms::Screen::TwipsPerPixelX(), ty = forms::Screen::TwipsPerPixelY();
    OverlayPlace next{forms::PixelsToTwips(r.left, tx), forms::PixelsToTwips(r.top, ty),
                      forms::PixelsToTwips(r.right - r.left, TwipsPerPixelX()),
                      forms::PixelsToTwips(r.bottom - r.top, TwipsPerPixelY())};
    OverlayPlace now{Left(), Top(), Width(), Height()};
    if (next != now) {
        Move(next.left, next.top, next.width, next.height);
        Image1.Move(0, 0, next.width, next.height);
        aicFX.Move(0, 0, next.width, next.height);
    }
    if (GetWindow(role_.taskbar, GW_HWNDNEXT) != hWnd())
        SetWindowPos(hWnd(), role_.taskbar, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void FrmMagnet::BasePicture(const forms::Picture& picture) {
    Image1.Picture(picture);
}

void FrmMagnet::Texture(const std::wstring& path) {
    aicFX.LoadImage_FromFile(path);
}

} // namespace moirelle::app

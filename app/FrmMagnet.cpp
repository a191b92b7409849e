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
    // A click on the skin must not take the focus from where the user works.
    SetWindowLongPtrW(hWnd(), GWL_EXSTYLE,
                      GetWindowLongPtrW(hWnd(), GWL_EXSTYLE) | WS_EX_NOACTIVATE);
    if (!role_.primary) {
        aicFX.ScaleMethod(1);
        PlaceOnSecondary();
        return;
    }
    MoveTo({0, forms::Screen::Height() - (StartButtonHeight() - kStartOffsetTwips),
            forms::Screen::Width(), WorkAreaBottomGap()});
    Image1.Width(Width());
    aicFX.ScaleMethod(1);
    aicFX.Width(Image1.Width());
    aicFX.Height(Height());
    horizontalSkin_ = {Image1.Width(), Image1.Height(), aicFX.Width(), aicFX.Height()};
    LocateTaskbar(true);
    if (options_) options_->Show();
}

// The user cannot close an overlay (Alt+F4, the system's close command): it lives as long
// as the program.
void FrmMagnet::Form_QueryUnload(bool& cancel, int16_t unloadMode) {
    if (unloadMode == forms::vbFormControlMenu) cancel = true;
}

LRESULT FrmMagnet::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    if (msg == WM_DISPLAYCHANGE && role_.primary) Timer1_Timer();
    return Form::HandleMessage(msg, wParam, lParam);
}

TaskbarRect FrmMagnet::LocateTaskbar(bool inTwips) {
    TaskbarRect taskbar = ReadTaskbarRect(inTwips);
    // Reading the options window's height loads it on the first run.
    int32_t tolerance = options_ ? options_->NormalHeight() : 0;
    OverlayPlace now = PlaceNow();
    OverlayPlace next = PlaceOverlay(taskbar, forms::Screen::Height(), tolerance, now);
    const OverlayPlace moved = next != now ? MoveTo(next) : WindowMove(next, Scale());
    // Along a side edge the skin fills the overlay; along the others it keeps its sizes.
    const bool vertical = IsVertical(taskbar);
    if (vertical && (next != now || !vertical_)) {
        Image1.Move(0, 0, moved.width, moved.height);
        aicFX.Move(0, 0, moved.width, moved.height);
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
    OverlayPlace next = ScreenPlace(r, Scale());
    if (next != PlaceNow()) {
        OverlayPlace moved = MoveTo(next);
        Image1.Move(0, 0, moved.width, moved.height);
        aicFX.Move(0, 0, moved.width, moved.height);
    }
    if (HWND after = OverlayInsertAfter(role_.taskbar, hWnd()))
        SetWindowPos(hWnd(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

PlacementScale FrmMagnet::Scale() const {
    return {forms::Screen::TwipsPerPixelX(), forms::Screen::TwipsPerPixelY(), TwipsPerPixelX(),
            TwipsPerPixelY()};
}

OverlayPlace FrmMagnet::PlaceNow() {
    RECT r{};
    if (HWND w = hWnd()) GetWindowRect(w, &r);
    return ScreenPlace(r, Scale());
}

OverlayPlace FrmMagnet::MoveTo(const OverlayPlace& place) {
    OverlayPlace moved = WindowMove(place, Scale());
    Move(moved.left, moved.top, moved.width, moved.height);
    return moved;
}

void FrmMagnet::BasePicture(const forms::Picture& picture) {
    Image1.Picture(picture);
}

void FrmMagnet::Texture(const std::wstring& path) {
    if (path.empty())
        aicFX.ClearImage();
    else
        aicFX.LoadImage_FromFile(path);
}

void FrmMagnet::Show() {
    if (HWND w = hWnd()) ShowWindow(w, SW_SHOWNA);
}

} // namespace moirelle::app

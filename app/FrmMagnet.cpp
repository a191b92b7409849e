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
constexpr const wchar_t* kSecondaryTaskbarClass = L"Shell_SecondaryTrayWnd";

std::vector<HWND> VisibleSecondaryTaskbars() {
    std::vector<HWND> found;
    for (HWND w = FindWindowExW(nullptr, nullptr, kSecondaryTaskbarClass, nullptr); w;
         w = FindWindowExW(nullptr, w, kSecondaryTaskbarClass, nullptr))
        if (IsWindowVisible(w)) found.push_back(w);
    return found;
}

} // namespace

FrmMagnet::FrmMagnet(HWND secondaryTaskbar)
    : Form({.caption = "Moirelle",
            .width = 6105,
            .height = 795,
            .borderStyle = 0,
            .showInTaskbar = false,
            .iconResource = IDI_MOIRELLE}),
      secondaryTaskbar_(secondaryTaskbar) {
    forms::Picture skin = BuiltInBitmap(IDB_DEFAULT_SKIN);
    Image1.Stretch(true);
    Image1.Picture(skin);
    Image2.Stretch(true);
    Image2.Picture(skin);
    Image2.Visible(false);
    Timer1.Tick.Bind(this, &FrmMagnet::Timer1_Timer);
    // The primary overlay places the secondary ones.
    if (secondaryTaskbar_) Timer1.Enabled(false);
}

FrmMagnet::~FrmMagnet() = default;

void FrmMagnet::Form_Load() {
    // A click on the skin must not take the focus from where the user works.
    SetWindowLongPtrW(hWnd(), GWL_EXSTYLE,
                      GetWindowLongPtrW(hWnd(), GWL_EXSTYLE) | WS_EX_NOACTIVATE);
    if (secondaryTaskbar_) {
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
    if (msg == WM_DISPLAYCHANGE && !secondaryTaskbar_) FollowTaskbars();
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

void FrmMagnet::FollowTaskbars() {
    LocateTaskbar(true);
    FollowSecondaryTaskbars();
}

void FrmMagnet::FollowSecondaryTaskbars() {
    std::vector<HWND> present = VisibleSecondaryTaskbars();
    std::erase_if(secondaries_, [&](const std::unique_ptr<FrmMagnet>& s) {
        return std::find(present.begin(), present.end(), s->secondaryTaskbar_) == present.end();
    });
    for (HWND taskbar : present) {
        auto known = std::find_if(secondaries_.begin(), secondaries_.end(),
                                  [&](const auto& s) { return s->secondaryTaskbar_ == taskbar; });
        if (known != secondaries_.end()) {
            (*known)->PlaceOnSecondary();
            continue;
        }
        if (options_) options_->TranslucencyTo(taskbar);
        auto overlay = std::make_unique<FrmMagnet>(taskbar);
        overlay->Image1.Picture(Image1.Picture());
        if (!texturePath_.empty()) overlay->aicFX.LoadImage_FromFile(texturePath_);
        overlay->Load();
        if (overlaysShown_) overlay->Show();
        secondaries_.push_back(std::move(overlay));
    }
}

void FrmMagnet::PlaceOnSecondary() {
    RECT r{};
    if (!GetWindowRect(secondaryTaskbar_, &r)) return;
    OverlayPlace next = ScreenPlace(r, Scale());
    if (next != PlaceNow()) {
        OverlayPlace moved = MoveTo(next);
        Image1.Move(0, 0, moved.width, moved.height);
        aicFX.Move(0, 0, moved.width, moved.height);
    }
    if (HWND after = OverlayInsertAfter(secondaryTaskbar_, hWnd()))
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
    for (auto& s : secondaries_)
        s->Image1.Picture(picture);
}

void FrmMagnet::Texture(const std::wstring& path) {
    texturePath_ = path;
    // No path: no texture.
    auto load = [&](forms::Hosted<control::aicAlphaImage>& fx) {
        if (path.empty())
            fx.ClearImage();
        else
            fx.LoadImage_FromFile(path);
    };
    load(aicFX);
    for (auto& s : secondaries_)
        load(s->aicFX);
}

void FrmMagnet::Show() {
    if (HWND w = hWnd()) ShowWindow(w, SW_SHOWNA);
}

void FrmMagnet::ShowOverlays(bool show) {
    overlaysShown_ = show;
    if (show)
        Show();
    else
        Hide();
    for (auto& s : secondaries_)
        if (show)
            s->Show();
        else
            s->Hide();
}

std::vector<HWND> FrmMagnet::SecondaryTaskbars() const {
    std::vector<HWND> taskbars;
    for (const auto& s : secondaries_)
        taskbars.push_back(s->secondaryTaskbar_);
    return taskbars;
}

} // namespace moirelle::app

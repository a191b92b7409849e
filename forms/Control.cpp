#include "forms/Control.h"

#include "forms/App.h"
#include "forms/Container.h"
#include "forms/ScaleMode.h"

namespace moirelle::forms {

Control::Control(Container& parent, Bounds twips) : parent_(parent), bounds_(twips) {
    parent_.AddControl(this);
}

Control::~Control() {
    if (window_) DestroyWindow(std::exchange(window_, nullptr));
    parent_.RemoveControl(this);
}

double Control::TwipsPerPixelX() const {
    return parent_.TwipsPerPixelX();
}
double Control::TwipsPerPixelY() const {
    return parent_.TwipsPerPixelY();
}
int Control::FontDpi() const {
    return parent_.WindowDpi();
}

RECT Control::PixelRect() const {
    return PixelRectAt(TwipsPerPixelX(), TwipsPerPixelY());
}

RECT Control::PixelRectAt(double tx, double ty) const {
    RECT r;
    r.left = TwipsToPixels(bounds_.left, tx);
    r.top = TwipsToPixels(bounds_.top, ty);
    r.right = r.left + TwipsToPixels(bounds_.width, tx);
    r.bottom = r.top + TwipsToPixels(bounds_.height, ty);
    return r;
}

bool Control::ContainerCreated() const {
    return parent_.Window() != nullptr;
}

void Control::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (width < 0 || height < 0) return;
    if (left == bounds_.left && top == bounds_.top && width == bounds_.width &&
        height == bounds_.height)
        return;
    RECT old = PixelRect();
    bounds_ = {left, top, width, height};
    BoundsChanged(old);
}

void Control::BoundsChanged(const RECT& oldPixels) {
    RECT now = PixelRect();
    if (window_) {
        MoveWindow(window_, now.left, now.top, now.right - now.left, now.bottom - now.top, TRUE);
    } else if (visible_) {
        InvalidateArea(oldPixels);
        InvalidateArea(now);
    }
}

void Control::DpiChanged(double oldTx, double oldTy) {
    RECT old = PixelRectAt(oldTx, oldTy);
    if (window_ || ContainerCreated()) BoundsChanged(old);
}

void Control::Visible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (window_)
        ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
    else
        InvalidateArea(PixelRect());
    ShownChanged();
}

void Control::Enabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (window_) EnableWindow(window_, enabled);
}

void Control::TabIndex(int16_t index) {
    tabIndex_ = index;
    if (ContainerCreated()) parent_.ApplyTabOrder();
}

void Control::Refresh() {
    HWND target = window_ ? window_ : parent_.Window();
    if (!target) return;
    if (window_) {
        RedrawWindow(window_, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    } else {
        RECT r = PixelRect();
        RedrawWindow(target, &r, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}

void Control::DrawNow() {
    if (window_)
        Refresh();
    else if (parent_.Window())
        parent_.DrawArea(PixelRect());
}

void Control::InvalidateArea(const RECT& pixels) const {
    if (HWND w = parent_.Window()) InvalidateRect(w, &pixels, FALSE);
}

void Control::Destroy() {
    if (window_) DestroyWindow(std::exchange(window_, nullptr));
}

bool Control::CreateChildWindow(HWND parentWindow, const wchar_t* className, std::wstring_view text,
                                DWORD style, DWORD exStyle) {
    if (window_) return true;
    RECT r = PixelRect();
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (visible_) style |= WS_VISIBLE;
    if (!enabled_) style |= WS_DISABLED;
    std::wstring caption(text);
    window_ =
        CreateWindowExW(exStyle, className, caption.c_str(), style, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, parentWindow, nullptr, App::hInstance(), nullptr);
    return window_ != nullptr;
}

} // namespace moirelle::forms

#include "forms/Container.h"

#include "forms/Color.h"
#include "forms/DibSection.h"
#include "forms/DropTargetSite.h"
#include "forms/FormsWindowClasses.h"
#include "forms/ScaleMode.h"
#include "forms/Screen.h"
#include "forms/Timer.h"
#include "forms/UserControl.h"
#include "forms/WindowDpi.h"
#include "platform/win/Handles.h"

#include <windowsx.h>

#include <algorithm>
#include <cctype>

namespace moirelle::forms {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

int16_t ButtonOfMessage(UINT msg) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        return 2;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        return 4;
    default:
        return 0;
    }
}

} // namespace

int16_t ButtonsOfKeys(WPARAM keys) {
    int16_t b = 0;
    if (keys & MK_LBUTTON) b |= 1;
    if (keys & MK_RBUTTON) b |= 2;
    if (keys & MK_MBUTTON) b |= 4;
    return b;
}

int16_t ShiftState() {
    int16_t s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= 1;
    if (GetKeyState(VK_CONTROL) < 0) s |= 2;
    if (GetKeyState(VK_MENU) < 0) s |= 4;
    return s;
}

Container::Container(uint32_t backColor) : backColor_(backColor) {}

Container::~Container() {
    if (dropTarget_) {
        DropTargetSite::Detach(dropTarget_.Get());
        if (window_) RevokeDragDrop(window_);
        dropTarget_.Reset();
    }
    if (oleStarted_) OleUninitialize();
}

void Container::ScaleMode(int16_t mode) {
    if (mode >= vbUser && mode <= vbHimetric) scaleMode_ = mode;
}

void Container::BackColor(uint32_t oleColor) {
    backColor_ = oleColor;
    if (window_) InvalidateRect(window_, nullptr, FALSE);
}

float Container::ScaleWidth() {
    EnsureCreated();
    RECT r{};
    if (window_) GetClientRect(window_, &r);
    return static_cast<float>(ScaleX(r.right, vbPixels, scaleMode_));
}

float Container::ScaleHeight() {
    EnsureCreated();
    RECT r{};
    if (window_) GetClientRect(window_, &r);
    return static_cast<float>(ScaleY(r.bottom, vbPixels, scaleMode_));
}

int16_t Container::ResolveScale(int16_t mode) const {
    return mode == vbUser || mode == vbContainerPosition || mode == vbContainerSize ? scaleMode_
                                                                                    : mode;
}

double Container::ScaleX(double value, int16_t fromMode, int16_t toMode) const {
    return ConvertScale(value, ResolveScale(fromMode), ResolveScale(toMode), false,
                        TwipsPerPixelX());
}

double Container::ScaleY(double value, int16_t fromMode, int16_t toMode) const {
    return ConvertScale(value, ResolveScale(fromMode), ResolveScale(toMode), true,
                        TwipsPerPixelY());
}

double Container::TwipsPerPixelX() const {
    int dpi = WindowDpi();
    return dpi > 0 ? 1440.0 / dpi : Screen::TwipsPerPixelX();
}

double Container::TwipsPerPixelY() const {
    int dpi = WindowDpi();
    return dpi > 0 ? 1440.0 / dpi : Screen::TwipsPerPixelY();
}

bool Container::IsCurrentDpi(int dpi) const {
    if (dpi <= 0) return true;
    if (WindowDpi() > 0) return dpi == WindowDpi();
    const float tpp = 1440.0f / static_cast<float>(dpi);
    return tpp == Screen::TwipsPerPixelX() && tpp == Screen::TwipsPerPixelY();
}

void Container::ReadWindowDpi() {
    dpi_ = 0;
    // At the screen's resolution the screen's factors stay, exactly as they were.
    if (int dpi = PerMonitorDpi(window_); !IsCurrentDpi(dpi)) dpi_ = dpi;
}

bool Container::ApplyDpi(int dpi) {
    if (dpi <= 0 || dpi > 9600 || IsCurrentDpi(dpi)) return false;
    double oldTx = TwipsPerPixelX(), oldTy = TwipsPerPixelY();
    dpi_ = dpi;
    RelayoutControls(oldTx, oldTy);
    if (window_) InvalidateRect(window_, nullptr, FALSE);
    return true;
}

void Container::RelayoutControls(double oldTx, double oldTy) {
    for (Control* c : std::vector<Control*>(controls_))
        c->DpiChanged(oldTx, oldTy);
}

std::optional<Variant> Container::Property(std::string_view name) {
    EnsureCreated();
    if (SameName(name, "ScaleMode")) return Variant(scaleMode_);
    if (SameName(name, "hWnd"))
        return Variant(static_cast<int64_t>(reinterpret_cast<intptr_t>(window_)));
    if (SameName(name, "BackColor")) return Variant(static_cast<int32_t>(backColor_));
    if (SameName(name, "ScaleWidth")) return Variant(ScaleWidth());
    if (SameName(name, "ScaleHeight")) return Variant(ScaleHeight());
    return std::nullopt;
}

void Container::AddControl(Control* control) {
    controls_.push_back(control);
}

void Container::RemoveControl(Control* control) {
    std::erase(controls_, control);
    if (hover_ == control) hover_ = nullptr;
    if (pressed_ == control) pressed_ = nullptr;
    if (keyFocus_ == control) keyFocus_ = nullptr;
    if (dragTarget_ == control) dragTarget_ = nullptr;
}

void Container::AddTimer(Timer* timer) {
    timers_.push_back(timer);
}
void Container::RemoveTimer(Timer* timer) {
    std::erase(timers_, timer);
}

void Container::CreateControls() {
    // Over a copy: a handler raised on the way may add controls.
    for (Control* c : std::vector<Control*>(controls_))
        c->Create(window_);
    ApplyTabOrder();
    for (Timer* t : timers_)
        t->Arm();
    UpdateDropTarget();
}

void Container::DestroyControls() {
    for (Timer* t : timers_)
        t->Disarm();
    for (Control* c : std::vector<Control*>(controls_))
        c->Destroy();
    hover_ = pressed_ = keyFocus_ = nullptr;
    dragTarget_ = nullptr;
    if (dropTarget_) {
        DropTargetSite::Detach(dropTarget_.Get());
        RevokeDragDrop(window_);
        dropTarget_.Reset();
    }
}

void Container::NotifyShownChanged() {
    for (Control* c : std::vector<Control*>(controls_))
        c->ShownChanged();
}

void Container::ApplyTabOrder() {
    if (!window_) return;
    std::vector<Control*> windowed;
    for (Control* c : controls_)
        if (c->hWnd()) windowed.push_back(c);
    // Controls with a tab index come first, by index; the others keep declaration order.
    std::stable_sort(windowed.begin(), windowed.end(), [](Control* a, Control* b) {
        int16_t ia = a->TabIndex() < 0 ? INT16_MAX : a->TabIndex();
        int16_t ib = b->TabIndex() < 0 ? INT16_MAX : b->TabIndex();
        return ia < ib;
    });
    HWND after = HWND_TOP;
    for (Control* c : windowed) {
        SetWindowPos(c->hWnd(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = c->hWnd();
    }
}

void Container::UpdateDropTarget() {
    if (!window_ || dropTarget_) return;
    bool wanted = std::any_of(controls_.begin(), controls_.end(), [](Control* c) {
        auto* uc = dynamic_cast<UserControl*>(c);
        return uc && uc->OLEDropMode() == vbOLEDropManual;
    });
    if (!wanted) return;
    if (!oleStarted_) {
        HRESULT hr = OleInitialize(nullptr);
        if (FAILED(hr)) return;
        oleStarted_ = true;
    }
    auto target = DropTargetSite::Create(*this);
    if (SUCCEEDED(RegisterDragDrop(window_, target.Get())))
        dropTarget_ = std::move(target);
    else
        DropTargetSite::Detach(target.Get());
}

Control* Container::FindByWindow(HWND child) const {
    for (Control* c : controls_)
        if (c->hWnd() && c->hWnd() == child) return c;
    return nullptr;
}

Control* Container::HitControl(POINT pt, std::vector<Control*>* asked) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        Control* c = *it;
        if (!c->IsWindowless() || !c->Visible() || !c->Enabled()) continue;
        RECT r = c->PixelRect();
        if (!PtInRect(&r, pt)) continue;
        if (asked) asked->push_back(c);
        const size_t count = controls_.size();
        const bool hit =
            c->HitTest(static_cast<float>(pt.x - r.left), static_cast<float>(pt.y - r.top));
        // The control's event handlers may have removed controls, this one among them: then
        // the walk stops, and a removed control is never the answer.
        if (controls_.size() != count)
            return hit && std::find(controls_.begin(), controls_.end(), c) != controls_.end()
                       ? c
                       : nullptr;
        if (hit) return c;
    }
    return nullptr;
}

void Container::HandleMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    int16_t shift = ShiftState();
    auto local = [&pt](Control* c, float& x, float& y) {
        RECT r = c->PixelRect();
        x = static_cast<float>(pt.x - r.left);
        y = static_cast<float>(pt.y - r.top);
    };
    float x = 0, y = 0;

    // A pressed control keeps the mouse until its button is released.
    if (pressed_) {
        Control* c = pressed_;
        local(c, x, y);
        if (msg == WM_MOUSEMOVE) {
            c->MouseInput(MouseAction::Move, ButtonsOfKeys(wParam), shift, x, y);
            return;
        }
        int16_t button = ButtonOfMessage(msg);
        bool up = msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP;
        if (!up) {
            c->MouseInput(MouseAction::Down, button, shift, x, y);
            return;
        }
        c->MouseInput(MouseAction::Up, button, shift, x, y);
        if (button != pressedButton_ || pressed_ != c) return;
        pressed_ = nullptr;
        bool twice = pressedTwice_;
        if (GetCapture() == window_) ReleaseCapture();
        RECT r = c->PixelRect();
        if (!twice && c->Visible() && c->Enabled() && PtInRect(&r, pt) && c->HitTest(x, y))
            c->MouseInput(MouseAction::Click, button, shift, x, y);
        return;
    }

    if (!trackingLeave_) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, window_, 0};
        trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
    }
    std::vector<Control*> asked;
    Control* target = HitControl(pt, &asked);
    if (hover_ && hover_ != target &&
        std::find(asked.begin(), asked.end(), hover_) == asked.end()) {
        // The control that had the pointer hears that it left, when the pointer is now
        // outside its rectangle. (A control that is only covered by the one that took the
        // pointer is not asked: it would claim the point for itself.)
        Control* left = hover_;
        hover_ = nullptr;
        RECT r = left->PixelRect();
        if (!PtInRect(&r, pt) && left->Visible() && left->Enabled()) {
            local(left, x, y);
            left->PointerLeft(x, y);
        }
    }
    hover_ = target;

    if (!target) {
        float px = static_cast<float>(pt.x), py = static_cast<float>(pt.y);
        if (msg == WM_MOUSEMOVE)
            BackgroundMouse(MouseAction::Move, ButtonsOfKeys(wParam), shift, px, py);
        else if (ButtonOfMessage(msg) != 0) {
            bool up = msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP;
            BackgroundMouse(up ? MouseAction::Up : MouseAction::Down, ButtonOfMessage(msg), shift,
                            px, py);
        }
        return;
    }

    local(target, x, y);
    switch (msg) {
    case WM_MOUSEMOVE:
        target->MouseInput(MouseAction::Move, ButtonsOfKeys(wParam), shift, x, y);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
        bool twice = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
        pressed_ = target;
        pressedButton_ = ButtonOfMessage(msg);
        pressedTwice_ = twice;
        SetCapture(window_);
        if (target->TakesKeyFocus()) {
            keyFocus_ = target;
            if (GetFocus() != window_) SetFocus(window_);
        }
        target->MouseInput(twice ? MouseAction::DblClick : MouseAction::Down, pressedButton_, shift,
                           x, y);
        break;
    }
    default:
        // A release without a press on this control (the press began elsewhere).
        target->MouseInput(MouseAction::Up, ButtonOfMessage(msg), shift, x, y);
        break;
    }
}

void Container::PointerLeftWindow() {
    if (!hover_ || pressed_) return;
    Control* left = std::exchange(hover_, nullptr);
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(window_, &pt);
    // Same rule as for moves inside the window: only a pointer outside the rectangle counts.
    RECT r = left->PixelRect();
    if (PtInRect(&r, pt) || !left->Visible() || !left->Enabled()) return;
    left->PointerLeft(static_cast<float>(pt.x - r.left), static_cast<float>(pt.y - r.top));
}

void Container::PaintContent(HDC dc, const RECT& area) {
    win::UniqueBrush background(CreateSolidBrush(TranslateColor(backColor_)));
    FillRect(dc, &area, background.get());
    for (Control* c : controls_) {
        if (!c->IsWindowless() || !c->Visible()) continue;
        RECT r = c->PixelRect(), common;
        if (!IntersectRect(&common, &r, &area)) continue;
        int saved = SaveDC(dc);
        POINT origin;
        OffsetViewportOrgEx(dc, r.left, r.top, &origin);
        IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
        c->Paint(dc);
        RestoreDC(dc, saved);
    }
}

void Container::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    if (!dc) return;
    RECT area = ps.rcPaint;
    int w = area.right - area.left, h = area.bottom - area.top;
    if (w > 0 && h > 0) {
        uint32_t* bits = nullptr;
        win::UniqueBitmap buffer = CreateDibSection32(w, h, &bits);
        win::UniqueMemoryDC memory(CreateCompatibleDC(dc));
        if (buffer && memory) {
            win::ScopedSelect select(memory.get(), buffer.get());
            SetViewportOrgEx(memory.get(), -area.left, -area.top, nullptr);
            PaintContent(memory.get(), area);
            SetViewportOrgEx(memory.get(), 0, 0, nullptr);
            BitBlt(dc, area.left, area.top, w, h, memory.get(), 0, 0, SRCCOPY);
        } else {
            PaintContent(dc, area);
        }
    }
    EndPaint(window_, &ps);
}

void Container::DrawArea(const RECT& area) {
    RECT client{}, r{};
    if (!window_ || !GetClientRect(window_, &client) || !IntersectRect(&r, &area, &client)) return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (!drawDC_ || w > drawSize_.cx || h > drawSize_.cy) {
        drawDC_.reset();
        uint32_t* bits = nullptr;
        drawBitmap_ = CreateDibSection32(w, h, &bits);
        if (drawBitmap_) drawDC_.reset(CreateCompatibleDC(nullptr));
        if (!drawDC_) {
            drawBitmap_.reset();
            InvalidateRect(window_, &r, FALSE); // painted as usual, then
            return;
        }
        SelectObject(drawDC_.get(), drawBitmap_.get());
        drawSize_ = {w, h};
    }
    win::WindowDC dc(window_);
    if (!dc) return;
    SetViewportOrgEx(drawDC_.get(), -r.left, -r.top, nullptr);
    PaintContent(drawDC_.get(), r);
    SetViewportOrgEx(drawDC_.get(), 0, 0, nullptr);
    BitBlt(dc.get(), r.left, r.top, w, h, drawDC_.get(), 0, 0, SRCCOPY);
}

void Container::Drag(DragStep step, IDataObject* data, DWORD keys, POINTL screen, DWORD* effect) {
    int16_t button = ButtonsOfKeys(keys);
    int16_t shift = static_cast<int16_t>(((keys & MK_SHIFT) ? 1 : 0) |
                                         ((keys & MK_CONTROL) ? 2 : 0) | ((keys & MK_ALT) ? 4 : 0));
    if (step == DragStep::Enter) {
        dragData_.emplace(win::ComPtr<IDataObject>::Share(data));
        dragTarget_ = nullptr;
    }
    if (step == DragStep::Leave) {
        if (dragTarget_ && dragData_) {
            int32_t none = DROPEFFECT_NONE;
            dragTarget_->DragInput(vbLeave, *dragData_, none, button, shift, 0, 0);
        }
        dragTarget_ = nullptr;
        dragData_.reset();
        return;
    }
    if (step == DragStep::Drop && data) dragData_.emplace(win::ComPtr<IDataObject>::Share(data));
    if (!dragData_) {
        *effect = DROPEFFECT_NONE;
        return;
    }

    POINT pt{screen.x, screen.y};
    ScreenToClient(window_, &pt);
    UserControl* target = nullptr;
    for (auto it = controls_.rbegin(); it != controls_.rend() && !target; ++it) {
        auto* uc = dynamic_cast<UserControl*>(*it);
        if (!uc || !uc->Visible() || !uc->Enabled() || uc->OLEDropMode() != vbOLEDropManual)
            continue;
        RECT r = uc->PixelRect();
        if (PtInRect(&r, pt)) target = uc;
    }
    if (dragTarget_ && dragTarget_ != target) {
        int32_t none = DROPEFFECT_NONE;
        dragTarget_->DragInput(vbLeave, *dragData_, none, button, shift, 0, 0);
        dragTarget_ = nullptr;
    }
    if (!target) {
        *effect = DROPEFFECT_NONE;
        if (step == DragStep::Drop) dragData_.reset();
        return;
    }
    RECT r = target->PixelRect();
    float x = static_cast<float>(pt.x - r.left), y = static_cast<float>(pt.y - r.top);
    DWORD allowed = *effect;
    int32_t chosen = static_cast<int32_t>(allowed);
    if (step == DragStep::Drop) {
        target->DragInput(-1, *dragData_, chosen, button, shift, x, y);
        dragTarget_ = nullptr;
        dragData_.reset();
    } else {
        int16_t state = dragTarget_ == target ? vbOver : vbEnter;
        dragTarget_ = target;
        target->DragInput(state, *dragData_, chosen, button, shift, x, y);
    }
    *effect = static_cast<DWORD>(chosen) & allowed;
}

LRESULT Container::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_PRINTCLIENT: {
        RECT r;
        GetClientRect(window_, &r);
        PaintContent(reinterpret_cast<HDC>(wParam), r);
        return 0;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        HandleMouse(msg, wParam, lParam);
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        PointerLeftWindow();
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window_) pressed_ = nullptr;
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == window_) {
            Control* c = pressed_ ? pressed_ : hover_;
            if (HCURSOR cursor = c ? c->Cursor() : nullptr) {
                SetCursor(cursor);
                return TRUE;
            }
        }
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        if (keyFocus_) {
            keyFocus_->KeyInput(msg, wParam);
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        if (keyFocus_) return DLGC_WANTARROWS | DLGC_WANTCHARS;
        break;
    case WM_TIMER:
        for (Timer* t : timers_)
            if (t->Id() == wParam) {
                t->Fire();
                return 0;
            }
        break;
    case WM_COMMAND:
        if (lParam)
            if (Control* c = FindByWindow(reinterpret_cast<HWND>(lParam))) {
                c->Command(HIWORD(wParam));
                return 0;
            }
        break;
    case WM_HSCROLL:
        if (lParam)
            if (Control* c = FindByWindow(reinterpret_cast<HWND>(lParam))) {
                c->Scroll(LOWORD(wParam));
                return 0;
            }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
        if (Control* c = FindByWindow(reinterpret_cast<HWND>(lParam)))
            if (HBRUSH brush = c->ControlColor(reinterpret_cast<HDC>(wParam)))
                return reinterpret_cast<LRESULT>(brush);
        break;
    default:
        break;
    }
    return DefWindowProcW(window_, msg, wParam, lParam);
}

LRESULT CALLBACK Container::WindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Container*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->window_ = hwnd;
    }
    auto* self = reinterpret_cast<Container*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT r = 0;
    if (!self) {
        r = DefWindowProcW(hwnd, msg, wParam, lParam);
    } else if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        r = DefWindowProcW(hwnd, msg, wParam, lParam);
        self->window_ = nullptr;
        self->WindowDestroyed();
    } else {
        r = self->HandleMessage(msg, wParam, lParam);
    }
    if ((msg == WM_NCCREATE && r) || msg == WM_NCDESTROY) CountFormWindow(hwnd, msg == WM_NCCREATE);
    return r;
}

} // namespace moirelle::forms

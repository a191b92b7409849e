#include "forms/Form.h"

#include "forms/App.h"
#include "forms/FormsWindowClasses.h"
#include "forms/Menu.h"
#include "forms/ScaleMode.h"
#include "forms/Screen.h"
#include "platform/win/Text.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace moirelle::forms {
namespace {

void StylesOf(const FormDesign& d, DWORD& style, DWORD& exStyle) {
    style = WS_CLIPCHILDREN;
    exStyle = WS_EX_CONTROLPARENT;
    switch (d.borderStyle) {
    case 0:
        style |= WS_POPUP;
        break;
    case 1:
        style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_BORDER;
        break;
    case 3:
        style |= WS_CAPTION | WS_SYSMENU;
        exStyle |= WS_EX_DLGMODALFRAME;
        break;
    case 4:
        style |= WS_CAPTION | WS_SYSMENU;
        exStyle |= WS_EX_TOOLWINDOW;
        break;
    case 5:
        style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        exStyle |= WS_EX_TOOLWINDOW;
        break;
    default:
        style |= WS_OVERLAPPEDWINDOW;
        break;
    }
    if (!d.showInTaskbar) exStyle |= WS_EX_TOOLWINDOW;
}

// A form's position is in screen twips; its size is in the twips of its own window.
double Tx() {
    return Screen::TwipsPerPixelX();
}
double Ty() {
    return Screen::TwipsPerPixelY();
}

} // namespace

Form::Form(FormDesign design) : Container(design.backColor), design_(std::move(design)) {
    ScaleMode(design_.scaleMode);
}

Form::~Form() {
    if (window_) {
        DestroyControls();
        DestroyWindow(window_);
    }
}

void Form::Load() {
    if (window_ || loading_) return;
    loading_ = true;
    EnsureWindowClasses();
    DWORD style = 0, exStyle = 0;
    StylesOf(design_, style, exStyle);
    int x = TwipsToPixels(design_.left, Tx()), y = TwipsToPixels(design_.top, Ty());
    int w = TwipsToPixels(design_.width, Tx()), h = TwipsToPixels(design_.height, Ty());
    if (design_.startUpPosition == 2) {
        x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    }
    std::wstring caption = win::Widen(design_.caption);
    CreateWindowExW(exStyle, formClassName, caption.c_str(), style, x, y, w, h, nullptr, nullptr,
                    App::hInstance(), static_cast<Container*>(this));
    if (!window_) {
        loading_ = false;
        return;
    }
    ReadWindowDpi();
    if (WindowDpi() > 0)
        SetWindowPos(window_, nullptr, 0, 0, TwipsToPixels(design_.width, TwipsPerPixelX()),
                     TwipsToPixels(design_.height, TwipsPerPixelY()),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (design_.iconResource) {
        resourceIcon_ =
            static_cast<HICON>(LoadImageW(App::hInstance(), MAKEINTRESOURCEW(design_.iconResource),
                                          IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        if (resourceIcon_) {
            SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(resourceIcon_));
            SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(resourceIcon_));
        }
    }
    CreateControls();
    Form_Load();
    loading_ = false;
}

bool Form::Unload() {
    return CloseRequested(vbFormCode);
}

bool Form::CloseRequested(int16_t unloadMode) {
    if (!window_) return true;
    bool cancel = false;
    Form_QueryUnload(cancel, unloadMode);
    if (cancel) return false;
    Form_Unload(cancel);
    if (cancel || !window_) return !window_;
    SetShown(false);
    DestroyControls();
    DestroyWindow(window_);
    return true;
}

HWND Form::hWnd() {
    Load();
    return window_;
}

int32_t Form::Left() {
    RECT r{};
    if (HWND w = hWnd()) GetWindowRect(w, &r);
    return PixelsToTwips(r.left, Tx());
}

int32_t Form::Top() {
    RECT r{};
    if (HWND w = hWnd()) GetWindowRect(w, &r);
    return PixelsToTwips(r.top, Ty());
}

int32_t Form::Width() {
    RECT r{};
    if (HWND w = hWnd()) GetWindowRect(w, &r);
    return PixelsToTwips(r.right - r.left, TwipsPerPixelX());
}

int32_t Form::Height() {
    RECT r{};
    if (HWND w = hWnd()) GetWindowRect(w, &r);
    return PixelsToTwips(r.bottom - r.top, TwipsPerPixelY());
}

void Form::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
    HWND w = hWnd();
    if (!w || width < 0 || height < 0) return;
    SetWindowPos(w, nullptr, TwipsToPixels(left, Tx()), TwipsToPixels(top, Ty()),
                 TwipsToPixels(width, TwipsPerPixelX()), TwipsToPixels(height, TwipsPerPixelY()),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::Left(int32_t twips) {
    Move(twips, Top(), Width(), Height());
}
void Form::Top(int32_t twips) {
    Move(Left(), twips, Width(), Height());
}
void Form::Width(int32_t twips) {
    Move(Left(), Top(), twips, Height());
}
void Form::Height(int32_t twips) {
    Move(Left(), Top(), Width(), twips);
}

bool Form::Visible() {
    HWND w = hWnd();
    return w && IsWindowVisible(w);
}

void Form::Visible(bool visible) {
    if (visible)
        Show();
    else
        Hide();
}

int16_t Form::WindowState() {
    HWND w = hWnd();
    if (!w) return vbNormal;
    if (pendingState_ >= 0 && !IsWindowVisible(w)) return pendingState_;
    if (IsIconic(w)) return vbMinimized;
    if (IsZoomed(w)) return vbMaximized;
    return vbNormal;
}

void Form::WindowState(int16_t state) {
    HWND w = hWnd();
    if (!w || state < vbNormal || state > vbMaximized) return;
    if (!IsWindowVisible(w)) {
        // A hidden window takes its new state when it is shown.
        pendingState_ = state;
        return;
    }
    ShowWindow(w, state == vbMinimized   ? SW_MINIMIZE
                  : state == vbMaximized ? SW_MAXIMIZE
                                         : SW_RESTORE);
}

HICON Form::Icon() {
    Load();
    if (!icon_.Empty()) return reinterpret_cast<HICON>(static_cast<uintptr_t>(icon_.Handle()));
    return resourceIcon_;
}

void Form::Icon(Picture icon) {
    HWND w = hWnd();
    icon_ = std::move(icon);
    HICON h = Icon();
    if (!w) return;
    SendMessageW(w, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(h));
    SendMessageW(w, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(h));
}

std::string Form::Caption() {
    HWND w = hWnd();
    if (!w) return {};
    int n = GetWindowTextLengthW(w);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(w, text.data(), n + 1)));
    return win::Narrow(text);
}

void Form::Caption(std::string_view text) {
    if (HWND w = hWnd()) SetWindowTextW(w, win::Widen(text).c_str());
}

void Form::Show() {
    HWND w = hWnd();
    if (!w) return;
    int cmd = SW_SHOW;
    if (pendingState_ == vbMinimized)
        cmd = SW_SHOWMINIMIZED;
    else if (pendingState_ == vbMaximized)
        cmd = SW_SHOWMAXIMIZED;
    else if (pendingState_ == vbNormal && (IsIconic(w) || IsZoomed(w)))
        cmd = SW_RESTORE;
    pendingState_ = -1;
    ShowWindow(w, cmd);
    if (!everShown_) {
        everShown_ = true;
        FocusFirstControl();
    }
    UpdateWindow(w);
}

void Form::Hide() {
    if (HWND w = hWnd()) ShowWindow(w, SW_HIDE);
}

void Form::Refresh() {
    if (HWND w = hWnd())
        RedrawWindow(w, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Form::PopupMenu(Menu& menu) {
    if (HWND w = hWnd()) menu.Popup(w);
}

void Form::SetShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    NotifyShownChanged();
}

void Form::FocusFirstControl() {
    if (!window_) return;
    if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) SetFocus(first);
}

void Form::BackgroundMouse(MouseAction action, int16_t button, int16_t shift, float x, float y) {
    if (action != MouseAction::Move) return;
    Form_MouseMove(button, shift, static_cast<float>(ScaleX(x, vbPixels, ScaleMode())),
                   static_cast<float>(ScaleY(y, vbPixels, ScaleMode())));
}

void Form::WindowDestroyed() {
    shown_ = false;
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE:
        CloseRequested(vbFormControlMenu);
        return 0;
    case WM_DPICHANGED:
        // The new resolution comes from the message: the system may still report the old
        // one for the window while it is sent.
        if (ApplyDpi(HIWORD(wParam)) && lParam) {
            const auto* r = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return 0;
    case WM_WINDOWPOSCHANGED:
        // Every change of visibility passes here (WM_SHOWWINDOW is not sent for all).
        SetShown(IsWindowVisible(window_) != FALSE);
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window_, focus)) lastFocus_ = focus;
        } else if (lastFocus_ && IsWindow(lastFocus_) && IsChild(window_, lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        } else if (GetNextDlgTabItem(window_, nullptr, FALSE)) {
            FocusFirstControl();
            return 0;
        }
        break;
    case WM_COMMAND:
        // Enter in the keyboard handling of the form presses the focused push button.
        if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED &&
            (!lParam || !IsChild(window_, reinterpret_cast<HWND>(lParam)))) {
            HWND focus = GetFocus();
            if (focus && IsChild(window_, focus) &&
                (SendMessageW(focus, WM_GETDLGCODE, 0, 0) &
                 (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
                SendMessageW(focus, BM_CLICK, 0, 0);
            return 0;
        }
        break;
    default:
        break;
    }
    return Container::HandleMessage(msg, wParam, lParam);
}

} // namespace moirelle::forms

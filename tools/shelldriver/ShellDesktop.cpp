#include "tools/shelldriver/ShellDesktop.h"

#include "platform/win/Handles.h"

#include <cwchar>
#include <sstream>

namespace moirelle::shelldriver {

void Pump(DWORD ms) {
    ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                  QS_ALLINPUT);
    }
}

HWND Taskbar() {
    return FindWindowW(L"Shell_TrayWnd", L"");
}

RECT WindowRect(HWND hwnd) {
    RECT r{};
    if (hwnd) GetWindowRect(hwnd, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
    std::ostringstream s;
    s << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
    return s.str();
}

std::optional<Layered> LayeredOf(HWND hwnd) {
    if (!hwnd || !(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED)) return std::nullopt;
    Layered l;
    if (!GetLayeredWindowAttributes(hwnd, &l.key, &l.alpha, &l.flags)) return std::nullopt;
    return l;
}

// Wine restacks the screen only for a window that becomes first in z-order.
void RaiseOnScreen(HWND hwnd) {
    bool topmost = (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    constexpr UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    if (topmost) {
        SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, flags);
    } else {
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    }
}

uint64_t ScreenRowHash(int left, int right, int y) {
    const int w = right - left;
    if (w <= 0) return 0;
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = 1;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    win::UniqueBitmap row(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    win::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
    if (!row || !dc) return 0;
    {
        win::ScopedSelect select(dc.get(), row.get());
        win::WindowDC screen(nullptr);
        BitBlt(dc.get(), 0, 0, w, 1, screen.get(), left, y, SRCCOPY);
    }
    GdiFlush();
    uint64_t hash = 1469598103934665603ull;
    const auto* p = static_cast<const uint8_t*>(bits);
    for (int i = 0; i < w * 4; ++i)
        hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}

COLORREF ScreenPixel(int x, int y) {
    win::WindowDC screen(nullptr);
    win::UniqueMemoryDC mem(CreateCompatibleDC(screen.get()));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 1;
    bi.bmiHeader.biHeight = -1;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    win::UniqueBitmap dib(CreateDIBSection(mem.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return CLR_INVALID;
    win::ScopedSelect select(mem.get(), dib.get());
    BitBlt(mem.get(), 0, 0, 1, 1, screen.get(), x, y, SRCCOPY);
    GdiFlush();
    uint32_t bgra = *static_cast<uint32_t*>(bits);
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

namespace {

// The pointer may still report an earlier place for a moment: wait until it stays.
void PlacePointer(POINT p) {
    int stable = 0;
    for (int i = 0; i < 50 && stable < 3; ++i) {
        SetCursorPos(p.x, p.y);
        Pump(20);
        POINT now{};
        GetCursorPos(&now);
        stable = now.x == p.x && now.y == p.y ? stable + 1 : 0;
    }
}

} // namespace

INPUT MouseAt(POINT p, DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    return in;
}

void MoveTo(POINT p) {
    INPUT move = MouseAt(p, 0);
    SendInput(1, &move, sizeof(INPUT));
    PlacePointer(p);
}

void ClickAt(POINT p, Button button) {
    PlacePointer(p);
    INPUT down = MouseAt(p, button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN);
    INPUT up = MouseAt(p, button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP);
    SendInput(1, &down, sizeof(INPUT));
    Pump(60);
    SendInput(1, &up, sizeof(INPUT));
    Pump(60);
}

namespace {

struct WindowQuery {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found = nullptr;
};

bool Matches(HWND hwnd, const wchar_t* className, const wchar_t* text) {
    wchar_t cls[128]{};
    GetClassNameW(hwnd, cls, 128);
    if (_wcsicmp(cls, className) != 0) return false;
    if (!text) return true;
    wchar_t title[256]{};
    GetWindowTextW(hwnd, title, 256);
    return std::wcscmp(title, text) == 0;
}

BOOL CALLBACK FindProcessWindow(HWND hwnd, LPARAM lParam) {
    auto* q = reinterpret_cast<WindowQuery*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != q->processId || !IsWindowVisible(hwnd) || !Matches(hwnd, q->className, q->title))
        return TRUE;
    q->found = hwnd;
    return FALSE;
}

} // namespace

HWND ProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title) {
    WindowQuery q{processId, className, title};
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

HWND ChildWithText(HWND parent, const wchar_t* className, const wchar_t* text) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (Matches(c, className, text)) return c;
    return nullptr;
}

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

ColourWindow::ColourWindow(const wchar_t* className, RECT r, COLORREF colour, bool topmost) {
    brush_ = CreateSolidBrush(colour);
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    wc.hbrBackground = brush_;
    RegisterClassW(&wc);
    DWORD ex = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | (topmost ? WS_EX_TOPMOST : 0);
    hwnd_ =
        CreateWindowExW(ex, className, L"", WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    Pump(50);
}

ColourWindow::~ColourWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (brush_) DeleteObject(brush_);
}

} // namespace moirelle::shelldriver

#include "app/StartButton.h"

#include "forms/Screen.h"

#include <cmath>
#include <cstring>
#include <cwchar>

namespace moirelle::app {
namespace {

// Twips per pixel of the start button's height, fixed whatever the screen's resolution.
constexpr int32_t kButtonTwipsPerPixel = 15;

bool ClassIs(HWND hwnd, const wchar_t* name) {
    wchar_t cls[64]{};
    return GetClassNameW(hwnd, cls, 64) > 0 && std::wcscmp(cls, name) == 0;
}

// Only the first six characters count, case-sensitively: "ButtonX" matches, "button" not.
bool ClassBeginsWithButton(HWND hwnd) {
    char cls[7]{};
    return GetClassNameA(hwnd, cls, 7) >= 6 && std::strncmp(cls, "Button", 6) == 0;
}

HWND FirstButtonChild(HWND parent) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassBeginsWithButton(child)) return child;
    return nullptr;
}

HWND Taskbar() {
    return FindWindowW(kTaskbarClass, L"");
}

int32_t HeightOf(HWND hwnd) {
    RECT r{};
    if (!hwnd || !GetWindowRect(hwnd, &r)) return 0;
    return (r.bottom - r.top) * kButtonTwipsPerPixel;
}

} // namespace

HWND FindStartButton(DWORD skipProcess) {
    for (HWND top = GetWindow(GetDesktopWindow(), GW_CHILD); top;
         top = GetWindow(top, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(top, &process);
        if (process == skipProcess) continue;
        if (HWND button = FirstButtonChild(top)) return button;
    }
    return nullptr;
}

HWND FindStartButton() {
    return FindStartButton(GetCurrentProcessId());
}

HWND StartButtonParent() {
    HWND button = FindStartButton();
    HWND parent = button ? GetParent(button) : nullptr;
    if (parent && ClassIs(parent, kTaskbarClass)) return parent;
    return Taskbar();
}

int32_t StartButtonHeight() {
    HWND button = FindStartButton();
    HWND parent = button ? GetParent(button) : nullptr;
    if (parent && ClassIs(parent, kTaskbarClass)) return HeightOf(button);
    HWND taskbar = Taskbar();
    if (!taskbar) return 0;
    if (HWND own = FirstButtonChild(taskbar)) return HeightOf(own);
    return HeightOf(taskbar);
}

int32_t WorkAreaBottomGap(int32_t screenHeightTwips, int32_t workAreaBottom, double twipsPerPixel) {
    if (twipsPerPixel <= 0) return 0;
    double gap = (screenHeightTwips / twipsPerPixel - workAreaBottom) * twipsPerPixel;
    return static_cast<int32_t>(std::nearbyint(gap));
}

// The horizontal factor serves both sides of this vertical measure, as it always has.
int32_t WorkAreaBottomGap() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return WorkAreaBottomGap(forms::Screen::Height(), work.bottom, forms::Screen::TwipsPerPixelX());
}

} // namespace moirelle::app

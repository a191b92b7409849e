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

// The first direct child of `parent`, in z-order, whose class begins with "Button". The
// system enumerates the children (deeper ones too, each after its parent): no walk of
// window links that a window destroyed meanwhile could break.
HWND FirstButtonChild(HWND parent) {
    struct Search {
        HWND parent;
        HWND found = nullptr;
    } search{parent};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM p) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(p);
            if (GetAncestor(child, GA_PARENT) != s.parent || !ClassBeginsWithButton(child))
                return TRUE;
            s.found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Found {
    HWND button = nullptr;
    DWORD skipProcess = 0;
};

Found& Cache() {
    static Found found;
    return found;
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

// The top-level windows in z-order, first to last, as the system lists them.
HWND FindStartButton(DWORD skipProcess) {
    struct Search {
        DWORD skipProcess;
        HWND found = nullptr;
    } search{skipProcess};
    EnumWindows(
        [](HWND top, LPARAM p) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(p);
            DWORD process = 0;
            GetWindowThreadProcessId(top, &process);
            if (process == s.skipProcess) return TRUE;
            s.found = FirstButtonChild(top);
            return s.found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindStartButton() {
    return FindStartButton(GetCurrentProcessId());
}

HWND StartButton(DWORD skipProcess) {
    Found& cache = Cache();
    if (!cache.button || !IsWindow(cache.button) || cache.skipProcess != skipProcess)
        cache = {FindStartButton(skipProcess), skipProcess};
    return cache.button;
}

HWND StartButton() {
    return StartButton(GetCurrentProcessId());
}

void ForgetStartButton() {
    Cache() = {};
}

HWND StartButtonParent() {
    HWND button = StartButton();
    HWND parent = button ? GetParent(button) : nullptr;
    if (parent && ClassIs(parent, kTaskbarClass)) return parent;
    return Taskbar();
}

int32_t StartButtonHeight() {
    HWND button = StartButton();
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

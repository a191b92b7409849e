#include "app/TaskbarPlacement.h"

#include "app/StartButton.h"
#include "forms/ScaleMode.h"
#include "forms/Screen.h"

#include <cmath>

namespace moirelle::app {
namespace {

int32_t Scaled(LONG pixels, double factor) {
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(pixels) * factor));
}

bool IsTopmost(HWND hwnd) {
    return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

} // namespace

TaskbarRect MakeTaskbarRect(const RECT& r, bool inTwips, double tx, double ty) {
    TaskbarRect t{r.left, r.top, r.bottom - r.top, r.right - r.left};
    if (!inTwips) return t;
    return {Scaled(t.Left, tx), Scaled(t.Top, ty), Scaled(t.Height, ty), Scaled(t.Width, tx)};
}

TaskbarRect ReadTaskbarRect(bool inTwips) {
    RECT r{};
    HWND taskbar = FindWindowW(kTaskbarClass, L"");
    if (!taskbar || !GetWindowRect(taskbar, &r)) r = RECT{};
    return MakeTaskbarRect(r, inTwips, forms::Screen::TwipsPerPixelX(),
                           forms::Screen::TwipsPerPixelY());
}

bool IsVertical(const TaskbarRect& taskbar) {
    return taskbar.Height > taskbar.Width;
}

OverlayPlace PlaceOverlay(const TaskbarRect& taskbar, int32_t screenHeight, int32_t tolerance,
                          OverlayPlace place) {
    // Docked left or right, shown or hidden: exactly on it.
    if (IsVertical(taskbar)) return {taskbar.Left, taskbar.Top, taskbar.Width, taskbar.Height};
    // Back from a side edge: as wide as the taskbar again.
    auto across = [&] {
        if (taskbar.Width <= 0) return;
        place.left = taskbar.Left;
        place.width = taskbar.Width;
    };
    // At the top edge; a hidden one lies above it.
    if (taskbar.Top <= 0) {
        place.height = taskbar.Height;
        place.left = 0;
        place.top = taskbar.Top;
        across();
    }
    if (screenHeight - tolerance > taskbar.Top) return place;
    across();
    place.height = taskbar.Height;
    // A hidden taskbar reaches below the bottom edge.
    place.top =
        taskbar.Top + taskbar.Height > screenHeight ? taskbar.Top : screenHeight - place.height;
    return place;
}

OverlayPlace ScreenPlace(const RECT& r, const PlacementScale& s) {
    TaskbarRect t = MakeTaskbarRect(r, true, s.screenX, s.screenY);
    return {t.Left, t.Top, t.Width, t.Height};
}

OverlayPlace WindowMove(const OverlayPlace& place, const PlacementScale& s) {
    auto size = [](int32_t twips, double screen, double window) {
        return forms::PixelsToTwips(forms::TwipsToPixels(twips, screen), window);
    };
    return {place.left, place.top, size(place.width, s.screenX, s.windowX),
            size(place.height, s.screenY, s.windowY)};
}

HWND OverlayInsertAfter(HWND taskbar, HWND overlay) {
    if (!taskbar || !overlay) return nullptr;
    if (IsTopmost(taskbar)) return IsTopmost(overlay) ? HWND_NOTOPMOST : nullptr;
    return GetWindow(taskbar, GW_HWNDNEXT) == overlay ? nullptr : taskbar;
}

} // namespace moirelle::app

#include "app/TaskbarPlacement.h"

#include "app/StartButton.h"
#include "forms/Screen.h"

#include <cmath>

namespace moirelle::app {
namespace {

int32_t Scaled(LONG pixels, double factor) {
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(pixels) * factor));
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

OverlayPlace PlaceOverlay(const TaskbarRect& taskbar, int32_t screenHeight, int32_t tolerance,
                          OverlayPlace place) {
    if (taskbar.Top == 0) {
        place.height = taskbar.Height;
        place.left = 0;
        place.top = 0;
    }
    if (screenHeight - tolerance > taskbar.Top) return place;
    place.height = taskbar.Height;
    place.top = screenHeight - place.height;
    return place;
}

} // namespace moirelle::app

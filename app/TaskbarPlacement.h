#pragma once
// Where the taskbar is and where the overlay goes: the overlay lies exactly under a taskbar
// at the top edge, under one docked left or right, and under a bottom taskbar whose top edge
// lies within one options-window height of the bottom of the screen; a taskbar that hides
// itself (auto-hide), sliding over the screen's edge, is followed there.

#include <windows.h>

#include <cstdint>

namespace moirelle::app {

// The taskbar window's rectangle: all in pixels or all in twips. 32-bit, so that screens
// over 2,184 pixels are measured in twips without overflow.
struct TaskbarRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    friend bool operator==(const TaskbarRect&, const TaskbarRect&) = default;
};

// From a window rectangle in pixels; in twips each product is rounded to nearest.
TaskbarRect MakeTaskbarRect(const RECT& pixels, bool inTwips, double twipsPerPixelX,
                            double twipsPerPixelY);
// The "Shell_TrayWnd" window's rectangle (all 0 without one).
TaskbarRect ReadTaskbarRect(bool inTwips);

// An overlay's place in twips.
struct OverlayPlace {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const OverlayPlace&, const OverlayPlace&) = default;
};

// A taskbar taller than wide is docked at a side edge.
bool IsVertical(const TaskbarRect& taskbar);

// The overlay's next place for a taskbar rectangle (twips), the screen's height and the
// tolerance (the options window's normal height). Along the top or bottom edge the overlay
// takes the taskbar's rectangle (a hidden one's too); a taskbar elsewhere leaves it where it
// is; a vertical one gets the overlay on its own rectangle.
OverlayPlace PlaceOverlay(const TaskbarRect& taskbar, int32_t screenHeight, int32_t tolerance,
                          OverlayPlace current);

// The twips per pixel an overlay is placed with: the screen's, in which positions, taskbar
// rectangles and the rule above are measured, and the overlay window's own (its monitor's
// resolution), in which the window takes its size.
struct PlacementScale {
    double screenX = 15;
    double screenY = 15;
    double windowX = 15;
    double windowY = 15;
};

// A window rectangle in pixels as a place in screen twips (each product rounded).
OverlayPlace ScreenPlace(const RECT& pixels, const PlacementScale& scale);
// What the overlay window is moved with to lie on a place given in screen twips: the
// position as it is, the size in the window's own twips, so that the window covers the
// place's whole pixels whatever the two resolutions.
OverlayPlace WindowMove(const OverlayPlace& place, const PlacementScale& scale);

// Where a secondary overlay goes in z-order, given to SetWindowPos as the window to insert it
// after: just below its taskbar, except below a topmost taskbar, where a window inserted
// would become topmost itself; every other window lies below the topmost band already.
// HWND_NOTOPMOST for an overlay that is topmost; null when it is where it belongs.
HWND OverlayInsertAfter(HWND taskbar, HWND overlay);

} // namespace moirelle::app

#include "forms/Screen.h"

#include "forms/ScaleMode.h"
#include "platform/win/Handles.h"

#include <windows.h>

namespace moirelle::forms {
namespace {

int ReadLogPixels(int axis) {
    win::WindowDC screen;
    int dpi = screen ? GetDeviceCaps(screen.get(), axis) : 0;
    return dpi > 0 ? dpi : 96;
}

} // namespace

// A process's system resolution stays what it was at its start (a change takes a new
// sign-in), so it is asked once: every layout and paint converts through it.
int Screen::LogPixelsX() {
    static const int dpi = ReadLogPixels(LOGPIXELSX);
    return dpi;
}
int Screen::LogPixelsY() {
    static const int dpi = ReadLogPixels(LOGPIXELSY);
    return dpi;
}

float Screen::TwipsPerPixelX() {
    return 1440.0f / static_cast<float>(LogPixelsX());
}
float Screen::TwipsPerPixelY() {
    return 1440.0f / static_cast<float>(LogPixelsY());
}

int32_t Screen::Width() {
    return PixelsToTwips(GetSystemMetrics(SM_CXSCREEN), TwipsPerPixelX());
}
int32_t Screen::Height() {
    return PixelsToTwips(GetSystemMetrics(SM_CYSCREEN), TwipsPerPixelY());
}

} // namespace moirelle::forms

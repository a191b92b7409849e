#include "forms/Screen.h"

#include "forms/ScaleMode.h"
#include "platform/win/Handles.h"

#include <windows.h>

namespace moirelle::forms {
namespace {

float TwipsPerPixel(int axis) {
    win::WindowDC screen;
    int dpi = screen ? GetDeviceCaps(screen.get(), axis) : 0;
    if (dpi <= 0) dpi = 96;
    return 1440.0f / static_cast<float>(dpi);
}

} // namespace

float Screen::TwipsPerPixelX() {
    return TwipsPerPixel(LOGPIXELSX);
}
float Screen::TwipsPerPixelY() {
    return TwipsPerPixel(LOGPIXELSY);
}

int32_t Screen::Width() {
    return PixelsToTwips(GetSystemMetrics(SM_CXSCREEN), TwipsPerPixelX());
}
int32_t Screen::Height() {
    return PixelsToTwips(GetSystemMetrics(SM_CYSCREEN), TwipsPerPixelY());
}

} // namespace moirelle::forms

#pragma once
// The resolution of the monitor a window is on, for windows that scale themselves per
// monitor.

#include <windows.h>

namespace moirelle::forms {

// Dots per inch of the window's monitor when the window is per-monitor DPI aware and the
// system can tell (Windows 10 1607 and later); 0 otherwise, when the screen's resolution
// applies.
int PerMonitorDpi(HWND window);

} // namespace moirelle::forms

#pragma once
// Gives any window, by handle, one constant opacity through the layered-window facility, or
// takes it away again. Holds no state: one instance serves every window; each change is
// noted in the list of layered windows, so that the shell watcher can undo what a process
// that died left behind. Failing system calls leave the window as it was and are not
// reported.

#include <windows.h>

#include <cstdint>

namespace moirelle::app {

class clsAlpha {
  public:
    // Enable: the window becomes layered with `alpha` (0 transparent .. 255 opaque).
    // Otherwise it stops being layered and is redrawn whole.
    void SetWindowAlpha(HWND hWnd, bool enable, uint8_t alpha) const;
    void RestoreWindowAlpha(HWND hWnd) const { SetWindowAlpha(hWnd, false, 255); }
};

} // namespace moirelle::app

#pragma once
// The program's icon in the notification area. One icon per process: the record given to
// the shell when the icon is added is kept for removing it. Mouse activity on the icon
// arrives at the window as the callback message, with the mouse message (WM_LBUTTONUP,
// WM_RBUTTONUP, ...) in lParam. A shell still busy starting may refuse the icon: the caller
// learns it from the result and tries again.

#include "platform/win/Handles.h"

#include <windows.h>

#include <string_view>

namespace moirelle::app {

// The icon's callback message: a private one, so that it can never be taken for real
// mouse input of the window.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 0x11;

// The tip is cut to what the record holds. True when the shell shows the icon now (added,
// or already there from before).
bool AddTrayIcon(HWND hWnd, HICON icon, std::string_view tip, UINT callbackMessage);
void RemoveTrayIcon();

// The program's icon from the module's resources at the notification area's size: the
// system's small-icon size at its resolution (16 pixels at 96 dpi).
win::UniqueIcon LoadTrayIcon(HINSTANCE module, int resourceId);

} // namespace moirelle::app

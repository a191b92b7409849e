#pragma once
// The program's icon in the notification area. One icon per process: the record given to
// the shell when the icon is added is kept for removing it. Mouse activity on the icon
// arrives at the window as the callback message, with the mouse message (WM_LBUTTONUP,
// WM_RBUTTONUP, ...) in lParam. Nothing is reported when the shell refuses.

#include <windows.h>

#include <string_view>

namespace moirelle::app {

// The icon's callback message: a private one, so that it can never be taken for real
// mouse input of the window.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 0x11;

// The tip is cut to what the record holds.
void AddTrayIcon(HWND hWnd, HICON icon, std::string_view tip, UINT callbackMessage);
void RemoveTrayIcon();

} // namespace moirelle::app

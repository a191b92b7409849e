#pragma once
// The shell's start button and the taskbar window that holds it.
//
// The start button is found by going through the top-level windows in z-order and their
// direct children, taking the first child whose class begins with "Button"; it is found once
// and kept while its window lives and the shell has not started again. Windows of this
// program are passed over: its own check boxes and command buttons are "Button" children
// too, and where the taskbar is not the first window in z-order they would come first.
// The taskbar is the button's parent when that is a "Shell_TrayWnd"; otherwise (a shell
// whose start button is no "Button", or another program's window with a button above the
// taskbar) it is the "Shell_TrayWnd" window itself, so that no foreign window is ever made
// translucent in the taskbar's place.

#include <windows.h>

#include <cstdint>

namespace moirelle::app {

inline constexpr const wchar_t* kTaskbarClass = L"Shell_TrayWnd";

// The first "Button" child of a top-level window not of process `skipProcess`; null when
// none.
HWND FindStartButton(DWORD skipProcess);
// The same, passing over this process's windows.
HWND FindStartButton();
// The start button found once per shell start and kept: found again only when the window
// kept is gone, or after ForgetStartButton (the shell started again).
HWND StartButton(DWORD skipProcess);
HWND StartButton();
void ForgetStartButton();
// The taskbar window that every change of the taskbar's transparency goes to; null when
// there is no taskbar.
HWND StartButtonParent();
// The start button's height in twips (15 per pixel, whatever the screen): the found
// button's when it sits on the taskbar, else the taskbar's own "Button" child's, else the
// taskbar's height; 0 without a taskbar.
int32_t StartButtonHeight();
// The height in twips of the screen below the work area's bottom edge:
// (screen height in pixels - work area bottom) x twips per pixel, rounded.
int32_t WorkAreaBottomGap();
// The same from its parts (the screen's height in twips, the work area's bottom in pixels,
// twips per pixel).
int32_t WorkAreaBottomGap(int32_t screenHeightTwips, int32_t workAreaBottom, double twipsPerPixel);

} // namespace moirelle::app

#pragma once
// The window classes of forms and boxes, registered once per process.

#include <windows.h>

namespace moirelle::forms {

inline constexpr wchar_t formClassName[] = L"MoirelleForm";
inline constexpr wchar_t boxClassName[] = L"MoirelleBox";

// Registers both classes on first use; the window procedure is the containers'.
void EnsureWindowClasses();
bool IsFormWindow(HWND hwnd);
// Whether this thread has a form window (shown or hidden). The message loop asks at every
// message, so the windows are counted as they are made and end (see CountFormWindow).
bool AnyFormWindowOnThread();
// Counts a window of the containers' procedure that was made (WM_NCCREATE accepted) or ends
// (WM_NCDESTROY), when it is a form.
void CountFormWindow(HWND hwnd, bool made);

} // namespace moirelle::forms

#pragma once
// The window classes of forms and boxes, registered once per process.

#include <windows.h>

namespace moirelle::forms {

inline constexpr wchar_t formClassName[] = L"MoirelleForm";
inline constexpr wchar_t boxClassName[] = L"MoirelleBox";

// Registers both classes on first use; the window procedure is the containers'.
void EnsureWindowClasses();
bool IsFormWindow(HWND hwnd);
// Whether this thread has a form window (shown or hidden).
bool AnyFormWindowOnThread();

} // namespace moirelle::forms

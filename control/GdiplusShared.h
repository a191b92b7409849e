#pragma once
// One GDI+ start-up per top-level window tree, shared by the image controls of every
// container in that tree, and shut down only after the tree is gone.
//
// The first start-up under a root window leaves a hidden child window there (class "Static",
// title "GDI+Safe Patch") that marks the tree as served. That marker is subclassed by a
// procedure of this module that owns the start-up: once the marker has seen WM_DESTROY and
// no call of its window procedure is still on the stack, it un-subclasses the marker and
// starts a 50 ms thread timer, whose procedure shuts GDI+ down, releases the reference to
// the GDI+ library it holds and frees its data. The program's objects may be released
// before or after that, in any order; none of them ever shuts the shared start-up down.
//
// Single-threaded: everything runs on the user-interface thread, the shutdown from its
// message loop.

#include <windows.h>

#include <cstdint>

namespace moirelle::control {

inline constexpr wchar_t kGdiplusMarkerClass[] = L"Static";
inline constexpr wchar_t kGdiplusMarkerTitle[] = L"GDI+Safe Patch";
// Time between the end of the root window's destruction and the shutdown.
inline constexpr UINT kGdiplusShutdownDelayMs = 50;

// The root of a window's tree: parents up to the top, then owners up to the top.
HWND RootWindowOf(HWND hwnd);
// The marker child of a root window, or null.
HWND FindGdiplusMarker(HWND root);

// Starts GDI+ for the window tree of containerHwnd or joins the start-up there. Answers
// -1 when the tree already has one, the new token, or 0 when there is no window, GDI+ is not
// available or did not start (the caller then works without a shared start-up). When the
// marker cannot be made, GDI+ stays started until the process ends.
intptr_t StartSharedGdiplus(HWND containerHwnd);

} // namespace moirelle::control

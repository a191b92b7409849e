#include "forms/WindowDpi.h"

namespace moirelle::forms {
namespace {

// Loaded at run time: older systems lack them.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetWindowDpiAwarenessContextFn = HANDLE(WINAPI*)(HWND);
using GetAwarenessFromDpiAwarenessContextFn = int(WINAPI*)(HANDLE);

constexpr int kPerMonitorAware = 2;

template <class F> F UserFunction(const char* name) {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    return user ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, name)))
                : nullptr;
}

} // namespace

int PerMonitorDpi(HWND window) {
    static const auto dpiForWindow = UserFunction<GetDpiForWindowFn>("GetDpiForWindow");
    static const auto windowContext =
        UserFunction<GetWindowDpiAwarenessContextFn>("GetWindowDpiAwarenessContext");
    static const auto awarenessOf =
        UserFunction<GetAwarenessFromDpiAwarenessContextFn>("GetAwarenessFromDpiAwarenessContext");
    if (!window || !dpiForWindow || !windowContext || !awarenessOf) return 0;
    // Windows that are not per-monitor aware are scaled by the system: for them the
    // screen's resolution is the one their drawing is made at.
    if (awarenessOf(windowContext(window)) != kPerMonitorAware) return 0;
    UINT dpi = dpiForWindow(window);
    return dpi > 0 && dpi <= 9600 ? static_cast<int>(dpi) : 0;
}

} // namespace moirelle::forms

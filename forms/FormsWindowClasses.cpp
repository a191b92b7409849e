#include "forms/FormsWindowClasses.h"

#include "forms/App.h"
#include "forms/Container.h"

namespace moirelle::forms {
namespace {

bool RegisterContainerClass(const wchar_t* name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Container::WindowProcedure;
    wc.hInstance = App::hInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

void EnsureWindowClasses() {
    static const bool registered =
        RegisterContainerClass(formClassName) && RegisterContainerClass(boxClassName);
    (void)registered;
}

bool IsFormWindow(HWND hwnd) {
    wchar_t name[32] = {};
    if (!GetClassNameW(hwnd, name, 32)) return false;
    return lstrcmpW(name, formClassName) == 0;
}

bool AnyFormWindowOnThread() {
    bool found = false;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (!IsFormWindow(hwnd)) return TRUE;
            *reinterpret_cast<bool*>(param) = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace moirelle::forms

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

// A window lives on the thread that made it, which alone receives its creation and its end.
thread_local int formWindowsOnThread = 0;

void CountFormWindow(HWND hwnd, bool made) {
    if (IsFormWindow(hwnd)) formWindowsOnThread += made ? 1 : -1;
}

bool AnyFormWindowOnThread() {
    return formWindowsOnThread > 0;
}

} // namespace moirelle::forms

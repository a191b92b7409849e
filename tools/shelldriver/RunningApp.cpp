#include "tools/shelldriver/RunningApp.h"

#include "tools/shelldriver/ShellDesktop.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

namespace moirelle::shelldriver {
namespace {

constexpr const wchar_t* kFormClass = L"MoirelleForm";
constexpr DWORD kStartTimeoutMs = 15000;

} // namespace

bool RunningApp::Start(const std::wstring& exe) {
    Kill();
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    // A start that failed at once, right after a kill, was seen once under Wine: a few more
    // tries, each failure printed with its error, before giving up.
    bool started = false;
    for (int attempt = 0; attempt < 4 && !started; ++attempt) {
        if (attempt) Pump(500);
        started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, folder.c_str(), &si, &pi_) != FALSE;
        if (!started)
            std::fprintf(stderr, "start of the program failed: error %lu\n", GetLastError());
    }
    if (!started) {
        pi_ = {};
        return false;
    }
    bool up = WaitFor(
        [&] {
            options_ = ProcessWindow(pi_.dwProcessId, kFormClass, L"Moirelle options");
            overlay_ = ProcessWindow(pi_.dwProcessId, kFormClass, L"Moirelle");
            auto layered = LayeredOf(Taskbar());
            return options_ && overlay_ && layered && layered->alpha == 155;
        },
        kStartTimeoutMs);
    if (!up) {
        Kill();
        return false;
    }
    Pump(300);
    FindChildren();
    return true;
}

bool RunningApp::Running() const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

bool RunningApp::WaitForExit(DWORD ms) {
    if (!pi_.hProcess) return true;
    return WaitFor([&] { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }, ms);
}

void RunningApp::FindChildren() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == pi_.dwProcessId)
            if (HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID))
                children_.push_back(child);
    CloseHandle(snapshot);
}

bool RunningApp::ChildrenEnded(DWORD ms) {
    return WaitFor(
        [&] {
            return std::all_of(children_.begin(), children_.end(),
                               [](HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; });
        },
        ms);
}

void RunningApp::Kill() {
    if (pi_.hProcess) {
        if (Running()) {
            TerminateProcess(pi_.hProcess, 1);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    ChildrenEnded(5000);
    for (HANDLE child : children_)
        CloseHandle(child);
    children_.clear();
    pi_ = {};
    overlay_ = options_ = nullptr;
}

POINT RunningApp::OptionsPoint(int x, int y) const {
    POINT p{x, y};
    ClientToScreen(options_, &p);
    return p;
}

HWND RunningApp::Find(const wchar_t* className) const {
    return ProcessWindow(pi_.dwProcessId, className);
}

HWND RunningApp::OpenTrayMenu(Button button) const {
    RECT t = WindowRect(Taskbar());
    ClickAt({t.right - 10, (t.top + t.bottom) / 2}, button);
    HWND menu = nullptr;
    WaitFor([&] { return (menu = Find(L"#32768")) != nullptr; }, 3000);
    Pump(200);
    return menu;
}

// The first item is 10 pixels below the menu's top, the last 10 above its bottom; three
// text items and a separator share the height. x stays off the left edge and its tooltips.
void RunningApp::ChooseMenuItem(HWND menu, int index) const {
    RECT r = WindowRect(menu);
    int separator = GetSystemMetrics(SM_CYMENUSIZE) / 2;
    int itemHeight = (r.bottom - r.top - 6 - separator) / 3;
    int y = index == 0 ? r.top + 10 : index == 1 ? r.top + 10 + itemHeight : r.bottom - 10;
    ClickAt({r.left + 20, y}, Button::Left);
    WaitFor([&] { return Find(L"#32768") == nullptr; }, 3000);
    Pump(200);
}

} // namespace moirelle::shelldriver

// What following the desktop's states costs the application, measured from outside in the
// shell desktop (not part of `make test`; `make bench-rules`).
//
//   rulescost EXE [MINUTES]
//
// 1. Idle: the program runs with its rules off (only the 100 ms placement timer works) and
//    with them on, in turns, each for a stretch of idle time; its CPU time is summed over its
//    threads (GetProcessTimes on another process is not measured under Wine). Prints the
//    milliseconds per minute of each, their medians and the ratio on / off.
// 2. Growth: rules on, a window of this program is maximised and restored every second for
//    MINUTES (default 10); the program's handle count, private memory and GDI/USER objects
//    are printed each minute, with the growth from the first minute to the last.
//
// The settings file beside EXE is rewritten for each run.

#include "tools/shelldriver/ProcessCost.h"
#include "tools/shelldriver/RunningApp.h"
#include "tools/shelldriver/ShellDesktop.h"


#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace moirelle::shelldriver;

namespace {

constexpr DWORD kIdleStretchMs = 20000;
constexpr int kIdleTurns = 3;

void WriteSettings(const std::wstring& exe, bool rules) {
    std::wstring path = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"Moirelle.ini";
    std::wstring text = L"\xFEFF[General]\r\nRules=";
    text += rules ? L"1" : L"0";
    text += L"\r\n";
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(f);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

LRESULT CALLBACK Plain(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Raise(HWND hwnd, DWORD event) {
    NotifyWinEvent(event, hwnd, OBJID_WINDOW, CHILDID_SELF);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rulescost EXE [MINUTES]\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    const int minutes = argc > 2 ? std::max(0, _wtoi(argv[2])) : 10;
    SetProcessDPIAware();
    // The desktop's taskbar comes up with the first window of its first client.
    ColourWindow anchor(L"RulesCostAnchor", RECT{0, 0, 8, 8}, RGB(0, 0, 0));
    if (!WaitFor([] { return Taskbar() && IsWindowVisible(Taskbar()); }, 30000)) {
        std::printf("rulescost: no taskbar\n");
        return 1;
    }
    SetWindowPos(Taskbar(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    // 1. Idle, rules off and on in turns.
    std::vector<double> off, on;
    const int turns = std::getenv("RULESCOST_NO_IDLE") ? 0 : kIdleTurns * 2;
    for (int turn = 0; turn < turns; ++turn) {
        const bool rules = turn % 2 == 1;
        WriteSettings(exe, rules);
        RunningApp app;
        if (!app.Start(exe)) {
            std::printf("rulescost: the program did not come up\n");
            return 1;
        }
        Pump(2000);
        const double before = ProcessCpuSeconds(app.Id());
        Sleep(kIdleStretchMs);
        const double perMinute =
            (ProcessCpuSeconds(app.Id()) - before) * 1000.0 * 60000.0 / kIdleStretchMs;
        (rules ? on : off).push_back(perMinute);
        std::printf("idle, rules %s: %.1f ms CPU per minute\n", rules ? "on " : "off", perMinute);
        std::fflush(stdout);
        app.Kill();
    }
    const double medianOff = Median(off), medianOn = Median(on);
    std::printf("idle medians: rules off %.1f ms/min, rules on %.1f ms/min, on / off %.2f\n",
                medianOff, medianOn, medianOff > 0 ? medianOn / medianOff : 0.0);

    // 2. Growth under a window maximised and restored every second.
    WriteSettings(exe, true);
    RunningApp app;
    if (!app.Start(exe)) return 1;
    WNDCLASSW wc{};
    wc.lpfnWndProc = Plain;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RulesCostWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"cost", WS_OVERLAPPEDWINDOW, 100, 100, 300,
                                  200, nullptr, nullptr, wc.hInstance, nullptr);
    std::vector<ProcessFootprint> samples;
    int seen = 0, flips = 0;
    const ULONGLONG start = GetTickCount64();
    for (int minute = 0; minute <= minutes; ++minute) {
        const ProcessFootprint f = FootprintOf(app.Id());
        if (!f.opened)
            std::printf("rulescost: the program cannot be opened (%lu)\n", GetLastError());
        samples.push_back(f);
        std::printf("minute %2d: handles %lu, private %zu KiB, GDI %lu, USER %lu, states %d/%d\n",
                    minute, f.handles, f.privateBytes / 1024, f.gdiObjects, f.userObjects, seen,
                    flips);
        std::fflush(stdout);
        if (minute == minutes) break;
        while (GetTickCount64() - start < static_cast<ULONGLONG>(minute + 1) * 60000) {
            ShowWindow(window, SW_MAXIMIZE);
            Raise(window, EVENT_OBJECT_LOCATIONCHANGE);
            Pump(500);
            auto l = LayeredOf(Taskbar());
            seen += l && l->alpha == 255;
            ShowWindow(window, SW_RESTORE);
            Raise(window, EVENT_OBJECT_LOCATIONCHANGE);
            Pump(500);
            l = LayeredOf(Taskbar());
            seen += l && l->alpha != 255;
            flips += 2;
        }
    }
    DestroyWindow(window);
    const ProcessFootprint& a = samples[1 < samples.size() ? 1 : 0];
    const ProcessFootprint& b = samples.back();
    std::printf("growth from minute 1 to %d: handles %+ld, private %+lld KiB, GDI %+ld, USER "
                "%+ld; states followed %d of %d\n",
                minutes, static_cast<long>(b.handles) - static_cast<long>(a.handles),
                (static_cast<long long>(b.privateBytes) - static_cast<long long>(a.privateBytes)) /
                    1024,
                static_cast<long>(b.gdiObjects) - static_cast<long>(a.gdiObjects),
                static_cast<long>(b.userObjects) - static_cast<long>(a.userObjects), seen, flips);
    app.Kill();
    return 0;
}

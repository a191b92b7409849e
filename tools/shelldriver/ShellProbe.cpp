// Runs the application in the shell desktop for `make run` and watches it from outside.
//
//   shellprobe EXE                      start it and wait until it ends (the user exits it)
//   shellprobe EXE SECONDS READY SHOT   start it; once it is up, rest the pointer on the
//                                       third thumbnail of its gallery (the taskbar previews
//                                       that skin), create the file READY and wait (at most a
//                                       minute) for the file SHOT (the caller takes its
//                                       screenshot in between); then move the pointer off
//                                       (the kept skin comes back) and after SECONDS in all
//                                       choose "Exit" in its notification menu
//
// It prints what it saw and exits 0 when the program came up and, when it was ended here,
// ended with the taskbar restored; 1 otherwise; 2 on a usage error. The probe is a client of
// the desktop for the whole run, so the desktop and its taskbar stay the same.

#include "tools/shelldriver/RunningApp.h"
#include "tools/shelldriver/ShellDesktop.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace moirelle::shelldriver;

namespace {

bool FileExists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void Say(const char* text) {
    std::printf("shellprobe: %s\n", text);
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: shellprobe EXE [SECONDS READY SHOT]\n");
        return 2;
    }
    if (!WaitFor([] { return Taskbar() && IsWindowVisible(Taskbar()); }, 30000)) {
        Say("no taskbar in the desktop");
        return 1;
    }
    // The shell's taskbar is topmost on Windows; Wine's is not.
    SetWindowPos(Taskbar(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RaiseOnScreen(Taskbar());
    ULONGLONG started = GetTickCount64();
    RunningApp app;
    if (!app.Start(argv[1])) {
        Say("the program did not come up");
        return 1;
    }
    auto layered = LayeredOf(Taskbar());
    std::printf("shellprobe: up; overlay %s, taskbar %s at alpha %d\n",
                Describe(WindowRect(app.Overlay())).c_str(),
                Describe(WindowRect(Taskbar())).c_str(), layered ? layered->alpha : 255);
    std::fflush(stdout);
    if (argc == 2) {
        while (!app.WaitForExit(60000)) {
        }
        Say("the program ended");
        return 0;
    }
    const ULONGLONG seconds = std::wcstoul(argv[2], nullptr, 10);
    Pump(1500);
    // The gallery's third thumbnail and a place off the controls, in pixels at 96 dpi.
    MoveTo(app.OptionsPoint(16 + 2 * 47 + 23, 197 + 16));
    Pump(500);
    HANDLE ready = CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    WaitFor([&] { return FileExists(argv[4]); }, 60000);
    MoveTo(app.OptionsPoint(200, 30));
    while (GetTickCount64() - started < seconds * 1000)
        Pump(100);
    HWND menu = app.OpenTrayMenu(Button::Left);
    if (!menu) {
        Say("no notification menu");
        return 1;
    }
    app.ChooseMenuItem(menu, 3);
    bool ended = app.WaitForExit(5000);
    bool restored = !LayeredOf(Taskbar());
    std::printf("shellprobe: \"Exit\" chosen; program %s; taskbar %s\n",
                ended ? "ended" : "still running", restored ? "restored" : "still translucent");
    return ended && restored ? 0 : 1;
}

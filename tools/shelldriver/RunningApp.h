#pragma once
// The application's executable run as a separate process from a folder of its own (where
// it writes its skin files), with its two windows found once they are up.

#include "tools/shelldriver/ShellDesktop.h"

#include <windows.h>

#include <string>
#include <vector>

namespace moirelle::shelldriver {

class RunningApp {
  public:
    RunningApp() = default;
    ~RunningApp() { Kill(); }
    RunningApp(const RunningApp&) = delete;
    RunningApp& operator=(const RunningApp&) = delete;

    // Starts `exe` in its folder and waits until the options window and the overlay are
    // visible and the load sequence has made the taskbar translucent; false (with the
    // process ended) when that does not happen in time.
    bool Start(const std::wstring& exe);
    bool Running() const;
    // Waits for the process to end by itself.
    bool WaitForExit(DWORD ms);
    // Ends it without any of its handlers, and waits for the processes it started to end.
    void Kill();
    // The processes it started (its shell watcher), found when it came up.
    size_t ChildCount() const { return children_.size(); }
    // Waits until every process it started has ended.
    bool ChildrenEnded(DWORD ms);

    DWORD Id() const { return pi_.dwProcessId; }
    HWND Overlay() const { return overlay_; }
    HWND Options() const { return options_; }
    // A point of the options window's client area on the screen.
    POINT OptionsPoint(int x, int y) const;
    // A visible window of the program's of this class ("#32768" menus, "#32770" dialogs).
    HWND Find(const wchar_t* className) const;

    // Real clicks on the notification icon (the only one, at the taskbar's right end) and
    // on the popup menu's items: Hide, Show, separator, Exit.
    HWND OpenTrayMenu(Button button) const;
    void ChooseMenuItem(HWND menu, int index) const;

  private:
    void FindChildren();

    PROCESS_INFORMATION pi_{};
    std::vector<HANDLE> children_;
    HWND overlay_ = nullptr;
    HWND options_ = nullptr;
};

} // namespace moirelle::shelldriver

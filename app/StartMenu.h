#pragma once
// Whether the start menu is open. Where the system can say (IAppVisibility, Windows 8 and
// later) its answer and its change notices are used; elsewhere the start menu is a window
// of the shell: "DV2ControlHost" (Windows 7), or a popup menu ("#32768") of the taskbar's
// process lying against the start button, as the Start button's menu of some shells is.

#include "platform/win/ComPtr.h"

#include <windows.h>

#include <functional>
#include <string>

namespace moirelle::app {

// What is known of a window that could be the start menu.
struct MenuWindowFacts {
    std::wstring className;
    // Whether it belongs to the taskbar's process.
    bool ofShell = false;
    bool visible = false;
    RECT rect{};
    RECT startButton{};
};

bool IsStartMenuWindow(const MenuWindowFacts& window);

// The system's launcher visibility with its change notices. Not available before Windows 8
// (and not under every compatibility layer): Available() is then false.
class LauncherVisibility {
  public:
    // `changed` is called with the new visibility on the thread that made this object.
    explicit LauncherVisibility(std::function<void(bool)> changed);
    ~LauncherVisibility();
    LauncherVisibility(const LauncherVisibility&) = delete;
    LauncherVisibility& operator=(const LauncherVisibility&) = delete;

    bool Available() const { return static_cast<bool>(service_); }
    bool Visible() const;

  private:
    class Sink;
    bool comStarted_ = false;
    // The system's IAppVisibility.
    win::ComPtr<IUnknown> service_;
    DWORD cookie_ = 0;
};

} // namespace moirelle::app

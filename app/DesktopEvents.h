#pragma once
// Follows the top-level windows of every program through the system's window events,
// received out of context (nothing is loaded into other processes; the events arrive
// through this thread's message loop): foreground, show and hide, minimise start and end,
// location changes, cloak and uncloak, creation and destruction, popup menus. From them it
// keeps the windows that lie maximised on a monitor, and whether the start menu is open.
// Windows are looked at once at the start and then only when an event names them.
//
// Wine 8 raises hardly any of these events itself (window creation only); there the
// events a change would raise on Windows must come from elsewhere (NotifyWinEvent).

#include "app/StartMenu.h"
#include "app/StateRules.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace moirelle::app {

class DesktopEvents {
  public:
    // `changed` is called whenever a monitor gains or loses its last maximised window, or
    // the start menu opens or closes.
    explicit DesktopEvents(std::function<void()> changed);
    ~DesktopEvents();
    DesktopEvents(const DesktopEvents&) = delete;
    DesktopEvents& operator=(const DesktopEvents&) = delete;

    // Whether the hooks are in place.
    bool Hooked() const { return !hooks_.empty(); }
    bool MaximisedOn(HMONITOR monitor) const;
    bool StartMenuOpen() const;
    // Looks again at the windows that count now (maximised ones, the start menu) and at the
    // shell's menu windows, so that a lost event cannot hold or miss a state; no other
    // window is looked at.
    void Recheck();

    // The facts of a window and of a monitor, as the rules take them.
    static WindowFacts FactsOf(HWND hwnd);
    static MonitorFacts MonitorFactsOf(HMONITOR monitor);

  private:
    static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG idObject,
                                 LONG idChild, DWORD thread, DWORD time);
    void Seen(DWORD event, HWND hwnd);
    // Whether the window counts as maximised now (false for windows never counted).
    bool Look(HWND hwnd);
    bool LookForStartMenu(HWND hwnd);
    // A shell menu created but not shown yet is looked at again shortly, a few times.
    void WatchNewMenu();
    static void CALLBACK MenuTimer(HWND, UINT, UINT_PTR id, DWORD);
    void LookAtMenus();

    std::function<void()> changed_;
    std::vector<HWINEVENTHOOK> hooks_;
    std::map<HWND, HMONITOR> maximised_;
    std::unique_ptr<LauncherVisibility> launcher_;
    bool launcherVisible_ = false;
    HWND startMenu_ = nullptr;
    // The shell's menu windows named by an event: a window is created before it shows, and
    // not every system says when it shows, so these few are looked at again.
    std::vector<HWND> menus_;
    UINT_PTR menuTimer_ = 0;
    int menuLooks_ = 0;
};

} // namespace moirelle::app

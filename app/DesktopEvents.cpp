#include "app/DesktopEvents.h"

#include "app/StartButton.h"

#include <dwmapi.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace moirelle::app {
namespace {

DesktopEvents* g_events = nullptr;

// Windows 8 and later; declared here for builds that aim at Windows 7.
constexpr DWORD kEventObjectCloaked = 0x8017;
constexpr DWORD kEventObjectUncloaked = 0x8018;

// A menu created hidden is looked at this often, this many times, until it shows.
constexpr UINT kMenuLookMs = 15;
constexpr int kMenuLooks = 20;

struct EventRange {
    DWORD first, last;
};
constexpr EventRange kHookedEvents[] = {
    {EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND},
    {EVENT_SYSTEM_MENUPOPUPSTART, EVENT_SYSTEM_MENUPOPUPEND},
    {EVENT_SYSTEM_MINIMIZESTART, EVENT_SYSTEM_MINIMIZEEND},
    {EVENT_OBJECT_CREATE, EVENT_OBJECT_HIDE},
    {EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_LOCATIONCHANGE},
    {kEventObjectCloaked, kEventObjectUncloaked},
};

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64]{};
    GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
    return name;
}

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// Our own windows and the taskbars never make a state.
bool Counts(HWND hwnd) {
    if (ProcessOf(hwnd) == GetCurrentProcessId()) return false;
    std::wstring cls = ClassOf(hwnd);
    return cls != L"Shell_TrayWnd" && cls != L"Shell_SecondaryTrayWnd";
}

} // namespace

WindowFacts DesktopEvents::FactsOf(HWND hwnd) {
    WindowFacts f;
    f.visible = IsWindowVisible(hwnd) != FALSE;
    DWORD cloaked = 0;
    f.cloaked = SUCCEEDED(DwmGetWindowAttribute(hwnd, DWMWA_CLOAKED, &cloaked, sizeof(cloaked))) &&
                cloaked != 0;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (GetWindowPlacement(hwnd, &placement)) f.maximised = placement.showCmd == SW_SHOWMAXIMIZED;
    f.minimised = IsIconic(hwnd) != FALSE;
    GetWindowRect(hwnd, &f.rect);
    f.monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTONULL);
    return f;
}

MonitorFacts DesktopEvents::MonitorFactsOf(HMONITOR monitor) {
    MonitorFacts m;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return m;
    m.monitor = monitor;
    m.bounds = info.rcMonitor;
    m.workArea = info.rcWork;
    return m;
}

DesktopEvents::DesktopEvents(std::function<void()> changed) : changed_(std::move(changed)) {
    g_events = this;
    // The taskbars' owner applies only what changed.
    launcher_ = std::make_unique<LauncherVisibility>([this](bool visible) {
        launcherVisible_ = visible;
        changed_();
    });
    if (launcher_->Available())
        launcherVisible_ = launcher_->Visible();
    else
        launcher_.reset();
    for (const auto& range : kHookedEvents)
        if (HWINEVENTHOOK hook = SetWinEventHook(range.first, range.last, nullptr, OnEvent, 0, 0,
                                                 WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS))
            hooks_.push_back(hook);
    // The windows there are already: looked at once.
    EnumWindows(
        [](HWND hwnd, LPARAM self) -> BOOL {
            auto* events = reinterpret_cast<DesktopEvents*>(self);
            events->Look(hwnd);
            events->LookForStartMenu(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
}

DesktopEvents::~DesktopEvents() {
    for (HWINEVENTHOOK hook : hooks_)
        UnhookWinEvent(hook);
    if (menuTimer_) KillTimer(nullptr, menuTimer_);
    if (g_events == this) g_events = nullptr;
}

bool DesktopEvents::MaximisedOn(HMONITOR monitor) const {
    for (const auto& [hwnd, on] : maximised_)
        if (on == monitor) return true;
    return false;
}

bool DesktopEvents::StartMenuOpen() const {
    return launcher_ ? launcherVisible_ : startMenu_ != nullptr;
}

void CALLBACK DesktopEvents::OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG idObject,
                                     LONG idChild, DWORD, DWORD) {
    if (!g_events || !hwnd || idChild != CHILDID_SELF) return;
    const bool menuEvent =
        event == EVENT_SYSTEM_MENUPOPUPSTART || event == EVENT_SYSTEM_MENUPOPUPEND;
    if (idObject != OBJID_WINDOW && !menuEvent) return;
    g_events->Seen(event, hwnd);
}

void DesktopEvents::Seen(DWORD event, HWND hwnd) {
    const auto before = maximised_;
    const bool wasOpen = StartMenuOpen();
    if (event == EVENT_OBJECT_DESTROY) {
        maximised_.erase(hwnd);
        std::erase(menus_, hwnd);
        if (hwnd == startMenu_) startMenu_ = nullptr;
    } else if (GetAncestor(hwnd, GA_ROOT) == hwnd) {
        Look(hwnd);
        LookForStartMenu(hwnd);
    }
    if (maximised_ != before || StartMenuOpen() != wasOpen) changed_();
}

bool DesktopEvents::Look(HWND hwnd) {
    if (!IsWindow(hwnd) || !Counts(hwnd)) {
        maximised_.erase(hwnd);
        return false;
    }
    WindowFacts facts = FactsOf(hwnd);
    if (CoverageOf(facts, MonitorFactsOf(facts.monitor)) == Coverage::Maximised) {
        maximised_[hwnd] = facts.monitor;
        return true;
    }
    maximised_.erase(hwnd);
    return false;
}

bool DesktopEvents::LookForStartMenu(HWND hwnd) {
    if (launcher_) return false;
    MenuWindowFacts facts;
    facts.className = ClassOf(hwnd);
    // Only menus are candidates: the taskbar is not looked up for every other window.
    if (hwnd != startMenu_ && facts.className != L"#32768" && facts.className != L"DV2ControlHost")
        return false;
    HWND taskbar = FindWindowW(kTaskbarClass, L"");
    facts.visible = IsWindowVisible(hwnd) != FALSE;
    facts.ofShell = taskbar && ProcessOf(hwnd) == ProcessOf(taskbar);
    GetWindowRect(hwnd, &facts.rect);
    if (HWND button = FindWindowExW(taskbar, nullptr, L"Button", nullptr))
        GetWindowRect(button, &facts.startButton);
    if (facts.ofShell && std::find(menus_.begin(), menus_.end(), hwnd) == menus_.end()) {
        menus_.push_back(hwnd);
        if (!facts.visible) WatchNewMenu();
    }
    if (IsStartMenuWindow(facts)) {
        startMenu_ = hwnd;
        return true;
    }
    if (hwnd == startMenu_) startMenu_ = nullptr;
    return false;
}

void DesktopEvents::Recheck() {
    const auto before = maximised_;
    const bool wasOpen = StartMenuOpen();
    for (const auto& [hwnd, on] : before)
        Look(hwnd);
    LookAtMenus();
    if (maximised_ != before || StartMenuOpen() != wasOpen) changed_();
}

void DesktopEvents::LookAtMenus() {
    std::erase_if(menus_, [](HWND menu) { return !IsWindow(menu); });
    if (startMenu_ && !IsWindow(startMenu_)) startMenu_ = nullptr;
    for (HWND menu : std::vector<HWND>(menus_))
        LookForStartMenu(menu);
}

void DesktopEvents::WatchNewMenu() {
    menuLooks_ = kMenuLooks;
    if (!menuTimer_) menuTimer_ = SetTimer(nullptr, 0, kMenuLookMs, MenuTimer);
}

void CALLBACK DesktopEvents::MenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    DesktopEvents* self = g_events;
    // A tick already queued when its timer was killed.
    if (!self || id != self->menuTimer_) return;
    const bool wasOpen = self->StartMenuOpen();
    self->LookAtMenus();
    if (self->StartMenuOpen() || --self->menuLooks_ <= 0) {
        KillTimer(nullptr, self->menuTimer_);
        self->menuTimer_ = 0;
    }
    if (self->StartMenuOpen() != wasOpen) self->changed_();
}

} // namespace moirelle::app

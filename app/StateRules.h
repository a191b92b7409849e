#pragma once
// The state of a taskbar and what it shows in it. Three states: normal; a maximised window
// on the taskbar's monitor; the start menu open. A window counts as maximised on a monitor
// when it is visible, not cloaked, not minimised, lies on that monitor, and is maximised or
// covers exactly the monitor's work area. A window covering the whole monitor is full
// screen: it hides the taskbar, so it changes nothing.

#include "app/Settings.h"

#include <windows.h>

#include <cstdint>

namespace moirelle::app {

enum class TaskbarState { Normal, Maximised, StartMenu };

// What is known of a top-level window.
struct WindowFacts {
    bool visible = false;
    bool cloaked = false;
    bool minimised = false;
    bool maximised = false;
    RECT rect{};
    HMONITOR monitor = nullptr;
};

struct MonitorFacts {
    HMONITOR monitor = nullptr;
    RECT bounds{};
    RECT workArea{};
};

enum class Coverage { None, Maximised, FullScreen };

Coverage CoverageOf(const WindowFacts& window, const MonitorFacts& monitor);

// The start menu's state comes first, then the maximised one; a state whose rule changes
// nothing does not count.
TaskbarState StateOf(const TaskbarRules& rules, bool maximisedWindow, bool startMenuOpen);

// What the taskbar shows in a state: its opacity (the normal one unless the state's rule
// gives another) and its skin (its own unless the rule gives another; nothing is the
// shared skin).
struct Look {
    uint8_t alpha = 255;
    std::optional<Skin> skin;
    friend bool operator==(const Look&, const Look&) = default;
};
Look LookIn(TaskbarState state, const TaskbarRules& rules, uint8_t normalAlpha,
            const std::optional<Skin>& ownSkin);

} // namespace moirelle::app

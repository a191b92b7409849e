#include "app/StateRules.h"

namespace moirelle::app {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

Coverage CoverageOf(const WindowFacts& w, const MonitorFacts& m) {
    if (!w.visible || w.cloaked || w.minimised || !m.monitor || w.monitor != m.monitor)
        return Coverage::None;
    // A maximised window's frame reaches past the work area by its border; one as large as
    // the monitor is full screen either way.
    if (SameRect(w.rect, m.bounds)) return Coverage::FullScreen;
    if (w.maximised || SameRect(w.rect, m.workArea)) return Coverage::Maximised;
    return Coverage::None;
}

TaskbarState StateOf(const TaskbarRules& rules, bool maximisedWindow, bool startMenuOpen) {
    if (startMenuOpen && rules.startMenu.ChangesSomething()) return TaskbarState::StartMenu;
    if (maximisedWindow && rules.maximised.ChangesSomething()) return TaskbarState::Maximised;
    return TaskbarState::Normal;
}

Look LookIn(TaskbarState state, const TaskbarRules& rules, uint8_t normalAlpha,
            const std::optional<Skin>& ownSkin) {
    const StateRule* rule = state == TaskbarState::Maximised   ? &rules.maximised
                            : state == TaskbarState::StartMenu ? &rules.startMenu
                                                               : nullptr;
    Look look{normalAlpha, ownSkin};
    if (!rule) return look;
    if (rule->alpha) look.alpha = *rule->alpha;
    if (rule->skin) look.skin = *rule->skin;
    return look;
}

} // namespace moirelle::app

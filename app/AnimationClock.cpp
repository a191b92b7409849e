#include "app/AnimationClock.h"

#include <wtsapi32.h>

#include <algorithm>
#include <utility>

namespace moirelle::app {
namespace {

constexpr const wchar_t* kWindowClass = L"MoirelleAnimationClock";
constexpr UINT_PTR kTimerId = 1;
// A timer may come a little before its time (the system's tick is coarse): what is due
// within this much is shown with it rather than a tick later.
constexpr ULONGLONG kEarlyMs = 8;

} // namespace

AnimationClock::AnimationClock() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &AnimationClock::WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc); // fails harmlessly when already registered
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, instance, this);
    if (window_) WTSRegisterSessionNotification(window_, NOTIFY_FOR_THIS_SESSION);
}

AnimationClock::~AnimationClock() {
    if (!window_) return;
    if (armed_) KillTimer(window_, kTimerId);
    WTSUnRegisterSessionNotification(window_);
    DestroyWindow(window_);
}

LRESULT CALLBACK AnimationClock::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<AnimationClock*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && msg == WM_TIMER && wParam == kTimerId) {
        self->Fire();
        return 0;
    }
    if (self && msg == WM_WTSSESSION_CHANGE) {
        if (wParam == WTS_SESSION_LOCK) self->locked_ = true;
        if (wParam == WTS_SESSION_UNLOCK) self->locked_ = false;
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

void AnimationClock::Schedule(const void* who, UINT ms, std::function<void()> due) {
    if (!window_) return;
    const ULONGLONG at = GetTickCount64() + ms;
    auto known = std::find_if(waiting_.begin(), waiting_.end(),
                              [&](const Waiting& w) { return w.who == who; });
    if (known != waiting_.end())
        *known = {who, at, std::move(due)};
    else
        waiting_.push_back({who, at, std::move(due)});
    Arm();
}

void AnimationClock::Cancel(const void* who) {
    std::erase_if(waiting_, [&](const Waiting& w) { return w.who == who; });
    Arm();
}

void AnimationClock::Fire() {
    // Each call may schedule its owner again, or cancel another: what is due is looked up
    // again before each call, and one scheduled during this round waits for the next.
    const ULONGLONG now = GetTickCount64();
    // The timer repeats at its period from where it came: a message late or a little early
    // (the clocks' coarse steps) still names the time it stands for.
    if (armed_)
        while (next_ <= now + period_ / 2)
            next_ += period_;
    firing_ = true;
    std::vector<std::pair<const void*, ULONGLONG>> due;
    for (const Waiting& w : waiting_)
        if (w.at <= now + kEarlyMs) due.emplace_back(w.who, w.at);
    for (const auto& [who, at] : due) {
        auto it = std::find_if(waiting_.begin(), waiting_.end(),
                               [&](const Waiting& w) { return w.who == who && w.at == at; });
        if (it == waiting_.end()) continue;
        std::function<void()> call = std::move(it->due);
        waiting_.erase(it);
        if (call) call();
    }
    firing_ = false;
    Arm();
}

void AnimationClock::Arm() {
    if (firing_) return;
    if (waiting_.empty()) {
        if (armed_) KillTimer(window_, kTimerId);
        armed_ = false;
        return;
    }
    ULONGLONG soonest = waiting_.front().at;
    for (const Waiting& w : waiting_)
        soonest = std::min(soonest, w.at);
    // An animation of even delays asks each time for what the timer does anyway: it comes
    // back no later than the call is due and early by no more than a call may be made.
    if (armed_ && next_ <= soonest && next_ + kEarlyMs >= soonest) return;
    const ULONGLONG now = GetTickCount64();
    const UINT ms = std::max<UINT>(
        soonest > now ? static_cast<UINT>(soonest - now) : USER_TIMER_MINIMUM, USER_TIMER_MINIMUM);
    armed_ = SetTimer(window_, kTimerId, ms, nullptr) != 0;
    period_ = ms;
    next_ = now + ms;
}

} // namespace moirelle::app

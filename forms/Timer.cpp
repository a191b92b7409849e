#include "forms/Timer.h"

#include "forms/Container.h"

namespace moirelle::forms {

Timer::Timer(Container& owner, int32_t intervalMs, bool enabled)
    : owner_(owner), interval_(intervalMs < 0 ? 0 : intervalMs), enabled_(enabled) {
    owner_.AddTimer(this);
    Arm();
}

Timer::~Timer() {
    Disarm();
    owner_.RemoveTimer(this);
}

void Timer::Interval(int32_t milliseconds) {
    if (milliseconds < 0) return;
    interval_ = milliseconds;
    Arm();
}

void Timer::Enabled(bool enabled) {
    enabled_ = enabled;
    Arm();
}

void Timer::Arm() {
    Disarm();
    HWND w = owner_.Window();
    if (!w || !enabled_ || interval_ == 0) return;
    armed_ = SetTimer(w, Id(), static_cast<UINT>(interval_), nullptr) != 0;
}

void Timer::Disarm() {
    if (!armed_) return;
    if (HWND w = owner_.Window()) KillTimer(w, Id());
    armed_ = false;
}

void Timer::Fire() {
    // A message already queued before the timer was stopped is dropped.
    if (armed_ && enabled_ && interval_ != 0) Tick();
}

} // namespace moirelle::forms

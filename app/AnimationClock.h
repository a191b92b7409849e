#pragma once
// The one timer every animated skin of the program runs on: a hidden window whose timer is
// armed for the soonest frame any animation waits for, so that however many animations
// play there is one timer, and none while nothing plays. The window also hears the
// session's lock changes, during which the animations rest.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace moirelle::app {

class AnimationClock {
  public:
    AnimationClock();
    ~AnimationClock();
    AnimationClock(const AnimationClock&) = delete;
    AnimationClock& operator=(const AnimationClock&) = delete;

    // Whether the clock could make its window (without it nothing can be scheduled).
    bool Ready() const { return window_ != nullptr; }
    // Calls `due` once, `ms` milliseconds from now, under the owner `who`; a later call for
    // the same owner replaces the earlier one.
    void Schedule(const void* who, UINT ms, std::function<void()> due);
    // Forgets what the owner waits for.
    void Cancel(const void* who);
    // Whether the timer runs now.
    bool Running() const { return armed_; }
    bool Locked() const { return locked_; }

  private:
    struct Waiting {
        const void* who;
        ULONGLONG at;
        std::function<void()> due;
    };
    static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void Fire();
    // Sets the timer for the soonest call waiting, or stops it when none waits. A running
    // timer that comes back at that time anyway is left as it is.
    void Arm();

    HWND window_ = nullptr;
    bool armed_ = false;
    bool locked_ = false;
    // While calls are made: the timer is set once, after them.
    bool firing_ = false;
    // The running timer's period and the time it comes back next (it repeats until changed).
    UINT period_ = 0;
    ULONGLONG next_ = 0;
    std::vector<Waiting> waiting_;
};

} // namespace moirelle::app

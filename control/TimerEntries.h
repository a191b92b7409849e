#pragma once
// Binds system timers (SetTimer on a window with an explicit id) to one object without
// executable memory: one static timer procedure finds the entry through a process-wide
// table of (window, id) pairs, so nothing is called after the object is gone.

#include <windows.h>

#include <array>
#include <functional>

namespace moirelle::control {

using TimerTick = std::function<void(HWND hwnd, UINT msg, UINT_PTR idEvent, DWORD time)>;

class TimerEntries { // one per control instance; entry 0 = mouse tracking, entry 1 = fading
  public:
    TimerEntries() = default;
    ~TimerEntries();
    TimerEntries(const TimerEntries&) = delete;
    TimerEntries& operator=(const TimerEntries&) = delete;

    // False for an entry number other than 0 or 1.
    bool Create(int entryNo, TimerTick tick);
    bool Made(int entryNo) const;
    // SetTimer with the one timer procedure; enters (hwnd, id) -> this entry.
    UINT_PTR Set(int entryNo, HWND hwnd, UINT_PTR idEvent, UINT ms);
    // KillTimer and leaves the table.
    BOOL Kill(HWND hwnd, UINT_PTR idEvent);
    // Kills every timer of this object and drops the entries.
    void Release();

  private:
    friend struct TimerEntriesAccess;
    std::array<TimerTick, 2> ticks_;
};

} // namespace moirelle::control

#pragma once
// Binds system timers to one object without executable memory. A timer is set on a window
// with an explicit id and one static timer procedure; a process-wide table maps (window, id)
// to the entry that set it, and the procedure calls that entry's tick. An object leaves the
// table when it kills a timer and when it is released, so no tick ever reaches an object
// that is gone; a tick of an unknown (window, id) just kills that timer.
//
// Single-threaded: the table, the entries and the ticks belong to the user-interface thread
// (timer procedures run from that thread's message loop).

#include <windows.h>

#include <functional>
#include <memory>

namespace moirelle::control {

using TimerTick = std::function<void(HWND hwnd, UINT msg, UINT_PTR idEvent, DWORD time)>;

class TimerEntries {
  public:
    // The entry numbers the controls use.
    static constexpr int kMouseTracking = 0;
    static constexpr int kFading = 1;
    static constexpr int kEntryCount = 2;

    TimerEntries() = default;
    ~TimerEntries() { Release(); }
    TimerEntries(const TimerEntries&) = delete;
    TimerEntries& operator=(const TimerEntries&) = delete;

    // Makes entry entryNo call tick. False (nothing changed) for an entry number other than
    // 0 or 1 or an empty tick.
    bool Create(int entryNo, TimerTick tick);
    bool Made(int entryNo) const;

    // SetTimer(hwnd, idEvent, ms, <the static timer procedure>) and enters (hwnd, id) -> this
    // entry in the table. Answers SetTimer's result; 0 without a timer when the entry is not
    // made. Without a window the system chooses the id, and the table uses that one.
    UINT_PTR Set(int entryNo, HWND hwnd, UINT_PTR idEvent, UINT ms);
    // KillTimer(hwnd, idEvent), and (hwnd, idEvent) leaves the table when it is this object's.
    BOOL Kill(HWND hwnd, UINT_PTR idEvent);
    // Kills every timer this object set, leaves the table and drops the entries.
    void Release();

  private:
    static void CALLBACK TimerProc(HWND hwnd, UINT msg, UINT_PTR idEvent, DWORD time);

    // Shared so that a tick that releases or destroys its own object finishes safely.
    std::shared_ptr<const TimerTick> entries_[kEntryCount];
};

} // namespace moirelle::control

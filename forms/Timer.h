#pragma once
// A message-loop timer placed on a form or box: raises Tick every Interval milliseconds
// while Enabled and its container's window exists. An interval of 0 never fires.

#include "forms/Event.h"

#include <windows.h>

#include <cstdint>

namespace moirelle::forms {

class Container;

class Timer {
  public:
    explicit Timer(Container& owner, int32_t intervalMs = 0, bool enabled = true);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    int32_t Interval() const { return interval_; }
    // Negative intervals are ignored.
    void Interval(int32_t milliseconds);
    bool Enabled() const { return enabled_; }
    void Enabled(bool enabled);

    Event<> Tick;

    // --- For the container --------------------------------------------------------
    UINT_PTR Id() const { return reinterpret_cast<UINT_PTR>(this); }
    void Arm();
    void Disarm();
    void Fire();

  private:
    Container& owner_;
    int32_t interval_;
    bool enabled_;
    bool armed_ = false;
};

} // namespace moirelle::forms

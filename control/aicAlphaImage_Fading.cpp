// Fading: Opacity moves to a target in equal steps, one per tick of the fade timer. A fade
// runs while its timer is set; the fade fields hold the last fade's step, target and interval.
#include "control/aicAlphaImage.h"

#include <algorithm>
#include <cstdlib>

namespace moirelle::control {

// The shortest fade interval is the system's shortest timer interval.
static_assert(USER_TIMER_MINIMUM == 10);

void aicAlphaImage::FadeInOut(int32_t FinalOpacity, int32_t FadeStepPercent,
                              int32_t FadeDelayInterval) {
    // A running fade stops here without an event; with none running this changes nothing.
    timers_.Kill(containerHwnd_, FadeTimerId());
    FinalOpacity = std::clamp(FinalOpacity, 0, 100);
    if (FadeStepPercent == 0 || FinalOpacity == opacity_) return;
    // A step over 100 ends every fade at once as well; capping it keeps |INT_MIN| sane.
    int32_t step = static_cast<int32_t>(std::min<long long>(std::llabs(FadeStepPercent), 100));
    if (FinalOpacity < opacity_) step = -step;
    if (!timers_.Made(TimerEntries::kFading))
        timers_.Create(TimerEntries::kFading, [this](HWND h, UINT m, UINT_PTR id, DWORD t) {
            FadeTimerTick(h, m, id, t);
        });
    fadeStep_ = step;
    fadeTarget_ = FinalOpacity;
    fadeInterval_ = std::max<int32_t>(FadeDelayInterval, USER_TIMER_MINIMUM);
    FadeTimerTick(containerHwnd_, WM_TIMER, FadeTimerId(), 0);
}

void aicAlphaImage::FadeTimerTick(HWND hWnd, UINT /*uMsg*/, UINT_PTR idEvent, DWORD /*dwTime*/) {
    // Every step re-arms the timer, so the interval counts from the end of the last step.
    timers_.Kill(hWnd, idEvent);
    const int32_t next = opacity_ + fadeStep_;
    const bool ends = fadeStep_ < 0 ? next <= fadeTarget_ : next >= fadeTarget_;
    if (!ends) {
        Opacity(next);
        timers_.Set(TimerEntries::kFading, hWnd, idEvent, static_cast<UINT>(fadeInterval_));
        return;
    }
    Opacity(fadeTarget_);
    FadeTerminated(opacity_);
}

} // namespace moirelle::control

#pragma once
// Bounded message pumping for the forms tests: no wait here can hang.

#include "forms/App.h"

#include <windows.h>

namespace moirelle::test {

// Handles messages until `done()` holds or `timeoutMs` passed; answers whether it held.
template <class Pred> bool PumpUntil(Pred done, DWORD timeoutMs = 2000) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        forms::App::DoEvents();
        if (done()) return true;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(deadline - now > 10 ? 10 : deadline - now),
                                  QS_ALLINPUT);
    }
}

inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// Client point (pixels) packed for a mouse message.
inline LPARAM At(int x, int y) {
    return MAKELPARAM(x, y);
}

} // namespace moirelle::test

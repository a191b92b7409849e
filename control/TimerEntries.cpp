#include "control/TimerEntries.h"

#include <map>
#include <utility>

namespace moirelle::control {
namespace {

struct Binding {
    TimerEntries* owner;
    int entryNo;
};

std::map<std::pair<HWND, UINT_PTR>, Binding>& Table() {
    static std::map<std::pair<HWND, UINT_PTR>, Binding> table;
    return table;
}

} // namespace

struct TimerEntriesAccess {
    static void CALLBACK Procedure(HWND hwnd, UINT msg, UINT_PTR id, DWORD time) {
        auto it = Table().find({hwnd, id});
        if (it == Table().end()) {
            KillTimer(hwnd, id);
            return;
        }
        Binding b = it->second;
        // A copy: the tick may release the entries.
        TimerTick tick = b.owner->ticks_[static_cast<size_t>(b.entryNo)];
        if (tick)
            tick(hwnd, msg, id, time);
        else
            KillTimer(hwnd, id);
    }
};

TimerEntries::~TimerEntries() {
    Release();
}

bool TimerEntries::Create(int entryNo, TimerTick tick) {
    if (entryNo != 0 && entryNo != 1) return false;
    ticks_[static_cast<size_t>(entryNo)] = std::move(tick);
    return true;
}

bool TimerEntries::Made(int entryNo) const {
    return (entryNo == 0 || entryNo == 1) &&
           static_cast<bool>(ticks_[static_cast<size_t>(entryNo)]);
}

UINT_PTR TimerEntries::Set(int entryNo, HWND hwnd, UINT_PTR idEvent, UINT ms) {
    if (!Made(entryNo)) return 0;
    UINT_PTR r = SetTimer(hwnd, idEvent, ms, &TimerEntriesAccess::Procedure);
    if (r != 0) Table()[{hwnd, idEvent}] = Binding{this, entryNo};
    return r;
}

BOOL TimerEntries::Kill(HWND hwnd, UINT_PTR idEvent) {
    auto it = Table().find({hwnd, idEvent});
    if (it != Table().end() && it->second.owner == this) Table().erase(it);
    return KillTimer(hwnd, idEvent);
}

void TimerEntries::Release() {
    for (auto it = Table().begin(); it != Table().end();) {
        if (it->second.owner == this) {
            KillTimer(it->first.first, it->first.second);
            it = Table().erase(it);
        } else {
            ++it;
        }
    }
    ticks_ = {};
}

} // namespace moirelle::control

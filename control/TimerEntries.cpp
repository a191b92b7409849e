#include "control/TimerEntries.h"

#include <map>
#include <utility>

namespace moirelle::control {
namespace {

struct Binding {
    TimerEntries* owner;
    std::shared_ptr<const TimerTick> tick;
};

// (window, timer id) -> the entry that set the timer. UI thread only.
std::map<std::pair<HWND, UINT_PTR>, Binding>& Table() {
    static std::map<std::pair<HWND, UINT_PTR>, Binding> table;
    return table;
}

bool ValidEntry(int entryNo) {
    return entryNo >= 0 && entryNo < TimerEntries::kEntryCount;
}

} // namespace

bool TimerEntries::Create(int entryNo, TimerTick tick) {
    if (!ValidEntry(entryNo) || !tick) return false;
    entries_[entryNo] = std::make_shared<const TimerTick>(std::move(tick));
    return true;
}

bool TimerEntries::Made(int entryNo) const {
    return ValidEntry(entryNo) && entries_[entryNo] != nullptr;
}

UINT_PTR TimerEntries::Set(int entryNo, HWND hwnd, UINT_PTR idEvent, UINT ms) {
    if (!Made(entryNo)) return 0;
    const UINT_PTR result = SetTimer(hwnd, idEvent, ms, &TimerEntries::TimerProc);
    if (result == 0) return 0;
    const UINT_PTR id = hwnd != nullptr ? idEvent : result;
    Table()[{hwnd, id}] = Binding{this, entries_[entryNo]};
    return result;
}

BOOL TimerEntries::Kill(HWND hwnd, UINT_PTR idEvent) {
    auto& table = Table();
    if (auto it = table.find({hwnd, idEvent}); it != table.end() && it->second.owner == this)
        table.erase(it);
    return KillTimer(hwnd, idEvent);
}

void TimerEntries::Release() {
    auto& table = Table();
    for (auto it = table.begin(); it != table.end();) {
        if (it->second.owner == this) {
            KillTimer(it->first.first, it->first.second);
            it = table.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& entry : entries_)
        entry.reset();
}

void CALLBACK TimerEntries::TimerProc(HWND hwnd, UINT msg, UINT_PTR idEvent, DWORD time) {
    auto& table = Table();
    const auto it = table.find({hwnd, idEvent});
    if (it == table.end()) {
        KillTimer(hwnd, idEvent);
        return;
    }
    // A copy: the tick may kill its timer, release or destroy its object.
    const std::shared_ptr<const TimerTick> tick = it->second.tick;
    (*tick)(hwnd, msg, idEvent, time);
}

} // namespace moirelle::control

#include "control/cCrossComm.h"

#include "control/ICrossComm.h"

#include <algorithm>

namespace moirelle::control {

void cCrossComm::CapturedControl(intptr_t ucPointer) {
    if (captured_ != 0 && captured_ != ucPointer) {
        ICrossComm* previous = FromIdentity(captured_);
        // Cleared first, so the released instance reads "not captured" while it reacts.
        captured_ = 0;
        previous->ReleaseMouseCapture();
    }
    captured_ = ucPointer;
}

void cCrossComm::AddRef(intptr_t ucPointer) {
    if (ucPointer == 0) return;
    auto at = std::lower_bound(registered_.begin(), registered_.end(), ucPointer);
    if (at != registered_.end() && *at == ucPointer) return;
    registered_.insert(at, ucPointer);
}

void cCrossComm::RemoveRef(intptr_t ucPointer) {
    auto at = std::lower_bound(registered_.begin(), registered_.end(), ucPointer);
    if (at != registered_.end() && *at == ucPointer) registered_.erase(at);
    if (captured_ == ucPointer) captured_ = 0;
}

void cCrossComm::ManageGDIToken(HWND /*containerHwnd*/) {}

} // namespace moirelle::control

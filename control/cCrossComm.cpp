#include "control/cCrossComm.h"

#include "control/GdiplusShared.h"

#include <algorithm>

namespace moirelle::control {

std::vector<intptr_t>::const_iterator cCrossComm::Place(intptr_t value) const {
    return std::lower_bound(registered_.begin(), registered_.end(), value);
}

void cCrossComm::AddRef(intptr_t ucPointer) {
    if (ucPointer == 0) return;
    const auto at = Place(ucPointer);
    if (at == registered_.end() || *at != ucPointer) registered_.insert(at, ucPointer);
}

void cCrossComm::RemoveRef(intptr_t ucPointer) {
    // 0 is never registered.
    const auto at = Place(ucPointer);
    if (at != registered_.end() && *at == ucPointer) registered_.erase(at);
    if (captured_ == ucPointer) captured_ = 0;
}

void cCrossComm::CapturedControl(intptr_t ucPointer) {
    if (captured_ == 0 || ucPointer == captured_) {
        captured_ = ucPointer;
        return;
    }
    // The released instance raises MouseExit, whose handler may drop the last reference to
    // this object: keep it alive until the new value is stored.
    const std::shared_ptr<cCrossComm> keep = weak_from_this().lock();
    ICrossComm* released = FromIdentity(captured_);
    // A handler that sets the capture again while its instance is being told gets no second
    // notification: that instance is losing the pointer already.
    if (released != notifyTarget_) {
        ICrossComm* outer = notifyTarget_;
        notifyTarget_ = released;
        released->ReleaseMouseCapture();
        notifyTarget_ = outer;
    }
    captured_ = ucPointer;
}

void cCrossComm::ManageGDIToken(HWND containerHwnd) {
    if (containerHwnd == nullptr) return;
    gdiToken_ = StartSharedGdiplus(containerHwnd);
}

} // namespace moirelle::control

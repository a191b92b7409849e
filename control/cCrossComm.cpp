#include "control/cCrossComm.h"

#include "control/GdiplusShared.h"

#include <algorithm>

namespace moirelle::control {

bool cCrossComm::FindControl(intptr_t value, size_t& index) const {
    // The first entry not below the value: the value itself, or the place it belongs.
    const auto at = std::lower_bound(registered_.begin(), registered_.end(), value);
    index = static_cast<size_t>(at - registered_.begin());
    return at != registered_.end() && *at == value;
}

void cCrossComm::AddRef(intptr_t ucPointer) {
    if (ucPointer == 0) return;
    size_t index = 0;
    if (FindControl(ucPointer, index)) return;
    registered_.insert(registered_.begin() + static_cast<ptrdiff_t>(index), ucPointer);
}

void cCrossComm::RemoveRef(intptr_t ucPointer) {
    size_t index = 0;
    if (ucPointer != 0 && FindControl(ucPointer, index))
        registered_.erase(registered_.begin() + static_cast<ptrdiff_t>(index));
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

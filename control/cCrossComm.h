#pragma once
// The state that the image controls of one container share: the registered instances, the
// instance the pointer is over (with the hand-over of that capture from one instance to the
// next), and the GDI+ token of the container's window tree.
//
// Everything here runs on the user-interface thread; nothing is locked.

#include "control/ICrossComm.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace moirelle::control {

class cCrossComm : public std::enable_shared_from_this<cCrossComm> {
  public:
    // Stores the identity of the instance the pointer is over (0 = none). When another
    // instance is captured, that one is told first through its ReleaseMouseCapture; setting
    // 0 while an instance is captured always tells it, also when it is the caller itself.
    void CapturedControl(intptr_t ucPointer);
    intptr_t CapturedControl() const { return captured_; }

    // 0: no shared start-up; -1: GDI+ already started for this window tree by another
    // shared state; anything else: the token of the start-up this object made.
    intptr_t gdiToken() const { return gdiToken_; }

    // Registers an instance (sorted, no duplicates); 0 is ignored.
    void AddRef(intptr_t ucPointer);
    // Unregisters an instance; a matching CapturedControl becomes 0 without a notification.
    void RemoveRef(intptr_t ucPointer);

    // Starts GDI+ once for the window tree of containerHwnd or joins the start-up there.
    // A window handle of 0 changes nothing.
    void ManageGDIToken(HWND containerHwnd);

    // The registered identities, ascending.
    std::span<const intptr_t> Registered() const { return registered_; }

  private:
    // The first registered identity not below the value: the value's own entry when it is
    // registered, else the place where it belongs.
    std::vector<intptr_t>::const_iterator Place(intptr_t value) const;

    std::vector<intptr_t> registered_;
    // The instance being told that it lost the pointer, held only during the hand-over.
    ICrossComm* notifyTarget_ = nullptr;
    intptr_t gdiToken_ = 0;
    intptr_t captured_ = 0;
};

} // namespace moirelle::control

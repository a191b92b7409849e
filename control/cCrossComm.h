#pragma once
// The state that the image controls of one container share: which of them are registered,
// which one has the pointer, and the GDI+ token.

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

namespace moirelle::control {

class cCrossComm {
  public:
    // Hands the pointer to ucPointer; the instance that had it is told first.
    void CapturedControl(intptr_t ucPointer);
    intptr_t CapturedControl() const { return captured_; }
    // 0 none, -1 held under this root by another object, else the token.
    intptr_t gdiToken() const { return gdiToken_; }
    void AddRef(intptr_t ucPointer);
    void RemoveRef(intptr_t ucPointer);
    void ManageGDIToken(HWND containerHwnd);
    // Registered identities, sorted.
    std::span<const intptr_t> Registered() const { return registered_; }

  private:
    std::vector<intptr_t> registered_;
    intptr_t gdiToken_ = 0;
    intptr_t captured_ = 0;
};

} // namespace moirelle::control

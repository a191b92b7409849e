#include "app/clsAlpha.h"

#include "app/LayeredWindows.h"

namespace moirelle::app {

void clsAlpha::SetWindowAlpha(HWND hWnd, bool enable, uint8_t alpha) const {
    LONG_PTR style = GetWindowLongPtrW(hWnd, GWL_EXSTYLE);
    style = enable ? (style | WS_EX_LAYERED) : (style & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    SetWindowLongPtrW(hWnd, GWL_EXSTYLE, style);
    // Listed only as the window is now: a change refused (a window gone, one that keeps its
    // style) leaves the list as it was.
    if (((GetWindowLongPtrW(hWnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0) == enable)
        LayeredWindows::Note(hWnd, enable);
    if (enable)
        SetLayeredWindowAttributes(hWnd, 0, alpha, LWA_ALPHA);
    else
        RedrawWindow(hWnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

} // namespace moirelle::app

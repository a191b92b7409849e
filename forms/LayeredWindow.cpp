#include "forms/LayeredWindow.h"

namespace moirelle::forms {
namespace {

bool AddLayeredStyle(HWND hwnd) {
    if (!IsWindow(hwnd)) return false;
    LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    if (ex & WS_EX_LAYERED) return true;
    SetLastError(0);
    return SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ex | WS_EX_LAYERED) != 0 || GetLastError() == 0;
}

} // namespace

bool SetLayeredColorKey(HWND hwnd, COLORREF colorKey) {
    return AddLayeredStyle(hwnd) &&
           SetLayeredWindowAttributes(hwnd, colorKey & 0x00FFFFFF, 0, LWA_COLORKEY);
}

bool SetLayeredAlpha(HWND hwnd, uint8_t alpha) {
    return AddLayeredStyle(hwnd) && SetLayeredWindowAttributes(hwnd, 0, alpha, LWA_ALPHA);
}

bool ClearLayered(HWND hwnd) {
    if (!IsWindow(hwnd)) return false;
    LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    return RedrawWindow(hwnd, nullptr, nullptr,
                        RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME) != FALSE;
}

bool IsLayered(HWND hwnd) {
    return IsWindow(hwnd) && (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

std::optional<LayeredAttributes> GetLayered(HWND hwnd) {
    if (!IsLayered(hwnd)) return std::nullopt;
    LayeredAttributes a;
    BYTE alpha = 255;
    if (!GetLayeredWindowAttributes(hwnd, &a.colorKey, &alpha, &a.flags)) return std::nullopt;
    a.alpha = alpha;
    return a;
}

} // namespace moirelle::forms

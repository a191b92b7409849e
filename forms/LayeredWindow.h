#pragma once
// The system's layered-window facility for any window: a colour key (pixels of one colour
// become fully transparent and let mouse input through) or one constant alpha for the
// whole window.

#include <windows.h>

#include <cstdint>
#include <optional>

namespace moirelle::forms {

struct LayeredAttributes {
    COLORREF colorKey = 0;
    uint8_t alpha = 255;
    DWORD flags = 0; // LWA_COLORKEY, LWA_ALPHA
};

// Adds WS_EX_LAYERED and sets the colour key (an RGB value), alpha 0, LWA_COLORKEY.
bool SetLayeredColorKey(HWND hwnd, COLORREF colorKey);
// Adds WS_EX_LAYERED and sets a constant alpha (0 transparent .. 255 opaque), LWA_ALPHA.
bool SetLayeredAlpha(HWND hwnd, uint8_t alpha);
// Removes WS_EX_LAYERED and redraws the whole window with its children and frame.
bool ClearLayered(HWND hwnd);
bool IsLayered(HWND hwnd);
// The window's layered attributes; nothing when it is not layered or they were not set.
std::optional<LayeredAttributes> GetLayered(HWND hwnd);

} // namespace moirelle::forms

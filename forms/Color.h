#pragma once
// OLE colours: non-negative values are 0x00BBGGRR, values with the top bit set name a
// system colour by their low byte.

#include <windows.h>

#include <cstdint>

namespace moirelle::forms {

inline constexpr uint32_t colorButtonFace = 0x8000000F;
inline constexpr uint32_t colorButtonText = 0x80000012;

// The RGB value of an OLE colour; system colours are read from the system's table.
inline COLORREF TranslateColor(uint32_t oleColor) {
    if (oleColor & 0x80000000u) return GetSysColor(static_cast<int>(oleColor & 0xFF));
    return static_cast<COLORREF>(oleColor & 0x00FFFFFF);
}

} // namespace moirelle::forms

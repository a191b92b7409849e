#pragma once
// OLE colours: a negative value names a system colour by its low byte; any other value is
// 0x00BBGGRR as it is.

#include <windows.h>

#include <cstdint>

namespace moirelle::control {

inline uint32_t TranslateColor(int32_t oleColor) {
    if (oleColor < 0) return GetSysColor(static_cast<int>(oleColor & 0xFF));
    return static_cast<uint32_t>(oleColor);
}

} // namespace moirelle::control

#pragma once
// The system's version, as the image object's capability probe reads it.

#include <cstdint>

namespace moirelle {

struct SystemVersion {
    uint32_t platformId = 2; // 1 = the Windows 95/98/Me family, 2 = NT
    uint32_t major = 0;
    uint32_t minor = 0;
    uint16_t servicePackMajor = 0;
};

// The real version of the running system (not the one a compatibility shim reports).
SystemVersion QuerySystemVersion();

// Capability flag bits of an image object.
inline constexpr uint32_t capAlphaBlendFriendly = 1; // draw with AlphaBlend
inline constexpr uint32_t capGDIplusEnabled = 2;     // GDI+ enabled for this object
inline constexpr uint32_t capAlphaBlendUsable = 8;   // AlphaBlend may be used at all
inline constexpr uint32_t capWin9x = 16;             // Windows 98/Me: no halftone, ANSI files
inline constexpr uint32_t capNoGDIplus = 32;         // never try GDI+ here

// The flags a system of this version starts with.
constexpr uint32_t CapabilityFlagsFor(const SystemVersion& v) {
    if (v.platformId == 1) return v.minor != 0 ? (capAlphaBlendUsable | capWin9x) : capNoGDIplus;
    if (v.major > 4) return capAlphaBlendFriendly | capAlphaBlendUsable;
    return v.servicePackMajor >= 6 ? 0 : capNoGDIplus;
}

} // namespace moirelle

#pragma once
// The bits of the image control's Flags: its Boolean properties, stored together under the
// key "Props", and whether a back buffer is in use.

#include <cstdint>

namespace moirelle::control {

inline constexpr uint32_t kStretchQuality = 0x001;
inline constexpr uint32_t kAutoSize = 0x004;
inline constexpr uint32_t kAutoRedraw = 0x008;
inline constexpr uint32_t kKeepOriginalFormat = 0x010;
// AutoRedraw at run time: the control-sized back buffer is kept.
inline constexpr uint32_t kBackBufferInUse = 0x020;
inline constexpr uint32_t kInversedImage = 0x040;
inline constexpr uint32_t kShadowEnabled = 0x080;
inline constexpr uint32_t kRotateEnabled = 0x100;

} // namespace moirelle::control

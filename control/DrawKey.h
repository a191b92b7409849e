#pragma once
// What the image control's drawn pixels depend on. A drawing (the back buffer, the paint
// cache, the shadow and the hit shape made from it) stays valid while its key is unchanged.

#include <cstdint>

namespace moirelle::control {

struct DrawKey {
    uint64_t pixels = 0; // version of the image's pixels
    int32_t controlWidth = 0;
    int32_t controlHeight = 0;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool highQuality = false;
    bool turned = false;
    int32_t angle = 0; // 0 when not turned
    bool operator==(const DrawKey&) const = default;
};

// What the layout depends on: the control's size, the image's size and the settings that
// choose the scale.
struct LayoutKey {
    int32_t controlWidth = 0;
    int32_t controlHeight = 0;
    bool hasImage = false;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t scaleMethod = 0;
    uint32_t flags = 0; // the rotation and AutoSize bits
    bool operator==(const LayoutKey&) const = default;
};

} // namespace moirelle::control

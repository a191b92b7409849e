#include "dib/AdjustLight.h"

#include <algorithm>
#include <cmath>

namespace moirelle {
namespace {

void AdjustPixels(float amount, const uint8_t* src, uint8_t* dst, size_t pixels) {
    const std::array<int32_t, 256> delta = LightDeltas(amount);
    const bool brighten = amount > 0;
    for (size_t i = 0; i < pixels; ++i, src += 4, dst += 4) {
        const int32_t a = src[3];
        if (a == 0) continue;
        const int32_t d = delta[a];
        for (int c = 0; c < 3; ++c) {
            const int32_t v = src[c] + d;
            dst[c] = static_cast<uint8_t>(brighten ? std::min(v, a) : std::max(v, 0));
        }
        dst[3] = static_cast<uint8_t>(a);
    }
}

} // namespace

std::array<int32_t, 256> LightDeltas(float amount) {
    std::array<int32_t, 256> delta{};
    const float f = amount / 100.0f * 255.0f;
    for (int32_t a = 1; a < 256; ++a)
        delta[a] = static_cast<int32_t>(std::nearbyint(f * static_cast<float>(a))) / 255;
    return delta;
}

void AdjustLight(float amount, const PixelView& pixels) {
    if (amount == 0 || pixels.empty()) return;
    const size_t count = static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height);
    AdjustPixels(amount, pixels.bits, pixels.bits, count);
}

bool AdjustLightCopy(float amount, const PixelView& source, PixelBuffer& out) {
    if (source.empty() || !out.Allocate(source.width, source.height)) return false;
    const size_t count = static_cast<size_t>(source.width) * static_cast<size_t>(source.height);
    AdjustPixels(amount, source.bits, out.View().bits, count);
    return true;
}

} // namespace moirelle

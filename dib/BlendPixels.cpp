#include "dib/BlendPixels.h"

#include "dib/RenderKernels.h"

#include <cstring>

namespace moirelle {

void BlendRow32(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op,
                const modParsers::GrayWeights* gray) {
    if (!gray) return ActiveRenderKernels().blendRow32(src, dst, count, op);
    for (size_t i = 0; i < count; ++i, src += 4, dst += 4)
        BlendPixel(src, dst, 4, op, gray);
}

void BlendRow24(const uint8_t* src, uint8_t* dst, size_t count, uint32_t op,
                const modParsers::GrayWeights* gray) {
    for (size_t i = 0; i < count; ++i, src += 4, dst += 3) {
        const uint8_t a = src[3];
        if (a == 0) continue;
        if (a == 255 && op == 255 && !gray) {
            std::memcpy(dst, src, 3);
            continue;
        }
        BlendPixel(src, dst, 3, op, gray);
    }
}

} // namespace moirelle

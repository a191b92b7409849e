// The plain form of the double-precision rule for the pixels the float form leaves.
#include "dib/ScaleKernels.h"

namespace moirelle {

void BilinearExactPixelsScalar(const uint8_t* row0, const uint8_t* row1, const int32_t* taps,
                               const double* weights, double r0, double r1, const uint32_t* pixels,
                               size_t count, uint8_t* out) {
    for (size_t k = 0; k < count; ++k) {
        const size_t i = pixels[k];
        const size_t x0 = static_cast<size_t>(taps[2 * i]) * 4;
        const size_t x1 = static_cast<size_t>(taps[2 * i + 1]) * 4;
        const double w0 = weights[2 * i], w1 = weights[2 * i + 1];
        for (size_t c = 0; c < 4; ++c) {
            const double h0 = row0[x0 + c] * w0 + row0[x1 + c] * w1;
            const double h1 = row1[x0 + c] * w0 + row1[x1 + c] * w1;
            out[4 * i + c] = static_cast<uint8_t>(static_cast<int32_t>(h0 * r0 + h1 * r1));
        }
    }
}

} // namespace moirelle

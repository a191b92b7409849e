#pragma once
// The per-level forms of the double-precision rule for the pixels that the float form of
// the bilinear scaler leaves (dib/ScaleKernels.h, BilinearExactPixels). Each gives exactly
// the bytes of BilinearExactPixelsScalar: the same operations in the same order per value.
// Each is built only where its level is, as are the tables that name it.

#include <cstddef>
#include <cstdint>

namespace moirelle {

void BilinearExactPixelsSse2(const uint8_t* row0, const uint8_t* row1, const int32_t* taps,
                             const double* weights, double r0, double r1, const uint32_t* pixels,
                             size_t count, uint8_t* out);
void BilinearExactPixelsAvx2(const uint8_t* row0, const uint8_t* row1, const int32_t* taps,
                             const double* weights, double r0, double r1, const uint32_t* pixels,
                             size_t count, uint8_t* out);

} // namespace moirelle

#include "dib/ScaleKernels.h"

#include "dib/RenderKernels.h"

#include <cstring>

namespace moirelle {

void NearestGather(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* out) {
    ActiveRenderKernels().nearestGather(src, columns, count, out);
}

void NearestBlendRow32(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* dst,
                       uint32_t op) {
    ActiveRenderKernels().nearestBlendRow32(src, columns, count, dst, op);
}

void BilinearHorizontal(const uint8_t* src, const int32_t* taps, const double* weights,
                        size_t count, double* h) {
    ActiveRenderKernels().bilinearHorizontal(src, taps, weights, count, h);
}

void BilinearVertical(const double* h0, const double* h1, double w0, double w1, size_t count,
                      uint8_t* out) {
    ActiveRenderKernels().bilinearVertical(h0, h1, w0, w1, count, out);
}

void BilinearTruncate(const double* h, size_t count, uint8_t* out) {
    ActiveRenderKernels().bilinearTruncate(h, count, out);
}

void BilinearRows128(const uint8_t* row0, const uint8_t* row1, int32_t k0, int32_t k1, size_t count,
                     int16_t* B) {
    ActiveRenderKernels().bilinearRows128(row0, row1, k0, k1, count, B);
}

void BilinearColumns128(const int16_t* B, const int32_t* columns, const uint32_t* pairs,
                        size_t count, uint8_t* out) {
    ActiveRenderKernels().bilinearColumns128(B, columns, pairs, count, out);
}

void BilinearColumnsOneRow128(const uint8_t* row, const int32_t* columns, const uint32_t* pairs,
                              size_t count, uint8_t* out) {
    ActiveRenderKernels().bilinearColumnsOneRow128(row, columns, pairs, count, out);
}

void BilinearRowsFloat(const uint8_t* row0, const uint8_t* row1, float r0, float r1, size_t count,
                       float* P, uint8_t* L) {
    ActiveRenderKernels().bilinearRowsFloat(row0, row1, r0, r1, count, P, L);
}

size_t BilinearColumnsFloat(const float* P, const uint8_t* L, const int32_t* columns,
                            const float* weights, size_t count, uint8_t* out,
                            uint32_t* unresolved) {
    return ActiveRenderKernels().bilinearColumnsFloat(P, L, columns, weights, count, out,
                                                      unresolved);
}

void BilinearExactPixels(const uint8_t* row0, const uint8_t* row1, const int32_t* taps,
                         const double* weights, double r0, double r1, const uint32_t* pixels,
                         size_t count, uint8_t* out) {
    ActiveRenderKernels().bilinearExactPixels(row0, row1, taps, weights, r0, r1, pixels, count,
                                              out);
}

} // namespace moirelle

#pragma once
// The inner loops of the scaler, with vectorised forms that give exactly the bytes of
// the plain loops (the same double-precision operations in the same order per value).

#include <cstddef>
#include <cstdint>

namespace moirelle {

// out pixel i = source pixel columns[i].
void NearestGather(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* out);

// For every output column i and channel c:
//   h[4i + c] = src[x0 * 4 + c] * w0 + src[x1 * 4 + c] * w1
// with x0, x1 = taps[2i], taps[2i + 1] and w0, w1 = weights[2i], weights[2i + 1].
void BilinearHorizontal(const uint8_t* src, const int32_t* taps, const double* weights,
                        size_t count, double* h);

// out[k] = floor(h0[k] * w0 + h1[k] * w1) for k < count (values 0..255.x).
void BilinearVertical(const double* h0, const double* h1, double w0, double w1, size_t count,
                      uint8_t* out);

// The same rule when every weight is k / 128 (kx, ky: the weights' k), in integers:
//   A[4i + c] = src[x0 * 4 + c] * kx0 + src[x1 * 4 + c] * kx1
//   out[k]    = (A0[k] * ky0 + A1[k] * ky1) >> 14
// A is at most 255 * 128 and fits 16 bits.
void BilinearHorizontal128(const uint8_t* src, const int32_t* taps, const int32_t* k, size_t count,
                           int16_t* A);
void BilinearVertical128(const int16_t* A0, const int16_t* A1, int32_t k0, int32_t k1, size_t count,
                         uint8_t* out);
void BilinearHorizontal128Scalar(const uint8_t* src, const int32_t* taps, const int32_t* k,
                                 size_t count, int16_t* A);
void BilinearVertical128Scalar(const int16_t* A0, const int16_t* A1, int32_t k0, int32_t k1,
                               size_t count, uint8_t* out);

// The plain loops, for tests.
void BilinearHorizontalScalar(const uint8_t* src, const int32_t* taps, const double* weights,
                              size_t count, double* h);
void BilinearVerticalScalar(const double* h0, const double* h1, double w0, double w1, size_t count,
                            uint8_t* out);

} // namespace moirelle

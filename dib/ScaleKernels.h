#pragma once
// The inner loops of the scaler, with vectorised forms that give exactly the bytes of
// the plain loops (the same double-precision operations in the same order per value).

#include <cstddef>
#include <cstdint>

namespace moirelle {

// out pixel i = source pixel columns[i].
void NearestGather(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* out);
// BlendRow32 (no grayscale) of those pixels onto `dst`, without a row of them between.
void NearestBlendRow32(const uint8_t* src, const int32_t* columns, size_t count, uint8_t* dst,
                       uint32_t op);

// For every output column i and channel c:
//   h[4i + c] = src[x0 * 4 + c] * w0 + src[x1 * 4 + c] * w1
// with x0, x1 = taps[2i], taps[2i + 1] and w0, w1 = weights[2i], weights[2i + 1].
void BilinearHorizontal(const uint8_t* src, const int32_t* taps, const double* weights,
                        size_t count, double* h);

// out[k] = floor(h0[k] * w0 + h1[k] * w1) for k < count (values 0..255.x).
void BilinearVertical(const double* h0, const double* h1, double w0, double w1, size_t count,
                      uint8_t* out);

// A row of weight 1 alone: w0 = 1, w1 = 0 give h0 * 1 + h1 * 0 = h0 exactly, so
//   out[k] = floor(h[k])
void BilinearTruncate(const double* h, size_t count, uint8_t* out);
void BilinearTruncateScalar(const double* h, size_t count, uint8_t* out);

// The same rule when every weight is k / 128, in integers. Its value is the exact sum
//   sum over the four taps of s * kx * ky, shifted right by 14,
// which does not depend on the order of the passes, so the rows are combined first
// (over the source columns, contiguous) and the columns then (once per output pixel):
//   B[k] = row0[k] * ky0 + row1[k] * ky1                          (at most 255 * 128)
//   out[4i + c] = (B[4x + c] * kx0 + B[4(x + 1) + c] * kx1) >> 14
// with x = columns[i] and kx0 | kx1 << 16 = pairs[i]. A column alone has kx1 = 0; B has
// room for one pixel past its last, read with that weight 0.
void BilinearRows128(const uint8_t* row0, const uint8_t* row1, int32_t k0, int32_t k1, size_t count,
                     int16_t* B);
void BilinearColumns128(const int16_t* B, const int32_t* columns, const uint32_t* pairs,
                        size_t count, uint8_t* out);
// A row of weight 1 alone (ky0 = 128, ky1 = 0): B = row * 128 needs no pass, and
//   out[4i + c] = (row[4x + c] * kx0 + row[4(x + 1) + c] * kx1) >> 7
// straight from the source row, which holds pixel x + 1 for every x given.
void BilinearColumnsOneRow128(const uint8_t* row, const int32_t* columns, const uint32_t* pairs,
                              size_t count, uint8_t* out);
void BilinearColumnsOneRow128Scalar(const uint8_t* row, const int32_t* columns,
                                    const uint32_t* pairs, size_t count, uint8_t* out);
void BilinearRows128Scalar(const uint8_t* row0, const uint8_t* row1, int32_t k0, int32_t k1,
                           size_t count, int16_t* B);
void BilinearColumns128Scalar(const int16_t* B, const int32_t* columns, const uint32_t* pairs,
                              size_t count, uint8_t* out);

// Any other weights, in floats with a checked bound (dib/ScaleSource.cpp gives the
// proof). The rows first, over source channels:
//   P[k] = row0[k] * r0 + row1[k] * r1    (float operations in this order)
//   L[k] = min(row0[k], row1[k], row0[k + 4], row1[k + 4])
// L being the least of the four taps of an output pixel whose left tap is at k; for the
// last pixel (k + 4 >= count) the least of its own two.
void BilinearRowsFloat(const uint8_t* row0, const uint8_t* row1, float r0, float r1, size_t count,
                       float* P, uint8_t* L);
// Then the columns: with x = columns[i] and W0, W1 the column weights times 65536, each
// given four times (weights[8i .. 8i + 3] = W0, weights[8i + 4 .. 8i + 7] = W1), per
// channel c
//   t = 8 + nearest integer to float(float(P[4x + c] * W0) + float(P[4x + 4 + c] * W1))
// the byte is n = t >> 16. It is left to the caller when t mod 65536 is below 16 and
// L[4x + c] is below n: the pixel's index goes to `unresolved` (room for `count`), in
// rising order, and the count of those is the answer. P holds pixel x + 1 for every x
// given.
size_t BilinearColumnsFloat(const float* P, const uint8_t* L, const int32_t* columns,
                            const float* weights, size_t count, uint8_t* out, uint32_t* unresolved);

// The double-precision rule (dib/BilinearTaps.h) for the output pixels listed in
// `pixels[0 .. count)`, straight from the two source rows of weights r0, r1: pixel i has
// the columns taps[2i], taps[2i + 1] of weights weights[2i], weights[2i + 1], and its
// four bytes go to out[4i ..].
void BilinearExactPixels(const uint8_t* row0, const uint8_t* row1, const int32_t* taps,
                         const double* weights, double r0, double r1, const uint32_t* pixels,
                         size_t count, uint8_t* out);

// The plain loops, for tests.
void BilinearHorizontalScalar(const uint8_t* src, const int32_t* taps, const double* weights,
                              size_t count, double* h);
void BilinearVerticalScalar(const double* h0, const double* h1, double w0, double w1, size_t count,
                            uint8_t* out);
void BilinearRowsFloatScalar(const uint8_t* row0, const uint8_t* row1, float r0, float r1,
                             size_t count, float* P, uint8_t* L);
size_t BilinearColumnsFloatScalar(const float* P, const uint8_t* L, const int32_t* columns,
                                  const float* weights, size_t count, uint8_t* out,
                                  uint32_t* unresolved);
void BilinearExactPixelsScalar(const uint8_t* row0, const uint8_t* row1, const int32_t* taps,
                               const double* weights, double r0, double r1, const uint32_t* pixels,
                               size_t count, uint8_t* out);

} // namespace moirelle

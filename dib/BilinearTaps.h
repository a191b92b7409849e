#pragma once
// The sampling rule shared by the scaler and the rotator. A sample position (xs, ys) is
// given in source pixels, xs counted from the left, ys from the bottom row of storage.
//
// Columns: X = floor(xs), fx = xs - X. Column X has weight 1 - fx and column X + 1
// weight fx, except when X is the last column of the source rectangle: then column X
// alone with weight 1.
// Rows: Y = floor(ys), fy = ys - Y. Row Y has weight 1 - fy and row Y + 1 (the row
// above in storage) weight fy, except when Y is the top row of the source rectangle:
// then row Y alone with weight 1. This mirrors the column rule, so an unscaled copy
// reproduces the source exactly.
//
// Each byte is floor(v), evaluated in double precision as
//   h(row) = s(row, X) * wc0 + s(row, X1) * wc1
//   v      = h(Y) * wr0 + h(Y1) * wr1
// A single tap is expressed as the same column (or row) twice with weights 1 and 0,
// which gives exactly the single sample (s * 1 + s * 0 = s).

#include "dib/PixelView.h"

#include <cmath>
#include <cstdint>

namespace moirelle {

struct ColumnTaps {
    int32_t x0 = 0; // column X
    int32_t x1 = 0; // column X + 1, or X when it is alone
    double w0 = 1;
    double w1 = 0;
};

struct RowTaps {
    int32_t y0 = 0; // storage row Y
    int32_t y1 = 0; // storage row Y + 1, or Y when it is alone
    double w0 = 1;  // weight of row Y
    double w1 = 0;  // weight of row Y + 1
};

// floor(x). For 0 <= x < 2^31 (every sample position) truncation is the floor and
// needs no library call on processors without a rounding instruction.
inline double FloorOf(double x) {
    if (x >= 0 && x < 2147483648.0) return static_cast<double>(static_cast<int32_t>(x));
    return std::floor(x);
}

inline ColumnTaps ColumnTapsAt(double xs, int32_t lastColumn) {
    ColumnTaps t;
    const double X = FloorOf(xs);
    t.x0 = static_cast<int32_t>(X);
    if (t.x0 >= lastColumn) {
        t.x0 = t.x1 = lastColumn;
        return t;
    }
    const double fx = xs - X;
    t.x1 = t.x0 + 1;
    t.w0 = 1 - fx;
    t.w1 = fx;
    return t;
}

// lastRow: storage row of the source rectangle's top row. The column rule, along rows.
inline RowTaps RowTapsAt(double ys, int32_t lastRow) {
    const ColumnTaps t = ColumnTapsAt(ys, lastRow);
    return {t.x0, t.x1, t.w0, t.w1};
}

// One output pixel by the rule above.
inline void SampleBilinear(const PixelView& src, const ColumnTaps& c, const RowTaps& r,
                           uint8_t* out) {
    const uint8_t* row0 = src.row(r.y0);
    const uint8_t* row1 = src.row(r.y1);
    const uint8_t* a = row0 + static_cast<size_t>(c.x0) * 4;
    const uint8_t* b = row0 + static_cast<size_t>(c.x1) * 4;
    const uint8_t* d = row1 + static_cast<size_t>(c.x0) * 4;
    const uint8_t* e = row1 + static_cast<size_t>(c.x1) * 4;
    for (int k = 0; k < 4; ++k) {
        const double h0 = a[k] * c.w0 + b[k] * c.w1;
        const double h1 = d[k] * c.w0 + e[k] * c.w1;
        out[k] = static_cast<uint8_t>(static_cast<int32_t>(h0 * r.w0 + h1 * r.w1));
    }
}

} // namespace moirelle

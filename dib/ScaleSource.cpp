#include "dib/ScaleSource.h"

#include "dib/AdjustLight.h"
#include "dib/BilinearTaps.h"
#include "dib/ScaleKernels.h"
#include "dib/VectorLevel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace moirelle {
namespace {

bool PrepareRect(ScaleJob& job) {
    if (job.source.empty()) return false;
    if (job.rect.width == 0) job.rect.width = job.source.width;
    if (job.rect.height == 0) job.rect.height = job.source.height;
    return RectInside(job.rect, job.source.width, job.source.height);
}

// Whether w is k / 128 exactly (0 <= k <= 128); then w * 128 is k (a power-of-two
// scaling is exact).
bool IsWeight128(double w) {
    const double t = w * 128;
    return t >= 0 && t <= 128 && t == std::floor(t);
}

// w rounded to the nearest multiple of 2^-24 (0 <= w <= 1), exact as a float.
float Weight24(double w) {
    return static_cast<float>(std::nearbyint(w * 16777216.0) / 16777216.0);
}

// floor(i * ratio) for an output column (row) i below the scaled size n, with ratio the
// rectangle's width (height) S over n rounded: i * ratio <= (n - 1) * (S / n) *
// (1 + 2^-52) < S for any n below 2^52, so the column lies in the rectangle without a
// clamp.
int32_t NearestIndex(int64_t i, double ratio) {
    return static_cast<int32_t>(std::floor(static_cast<double>(i) * ratio));
}

} // namespace

// The float form. Let V be the rule's value taken in exact arithmetic with its double
// weights: V = sum of s * wc * wr over the four taps. Each pair of weights sums to
// exactly 1: a position is 0 or at least 1 (ratios of 1 and more), so its fraction is a
// multiple of 2^-52 and 1 minus it is exact. The rule's double-precision value v then
// differs from V by under 2^-43 (six roundings of values below 256). The float form
// rounds each weight to a multiple of 2^-24 (error at most 2^-25, the pair still summing
// to 1), then makes
//   P = float(float(a * r0) + float(d * r1))   (error under 255 * 2^-25 + 3 * 2^-17)
//   F = float(float(P0 * w0) + float(P1 * w1)) (error of V under 2^-14 = 4 / 65536)
// with the column weights times 65536 (exact), and t, F's nearest integer, is within
// 4.5 + 2^-27 of 65536 * v. So when t mod 65536 lies in [8, 65527], v lies strictly
// between two whole numbers and the byte floor(v) is t >> 16, which is also
// (t + 8) >> 16. Otherwise v is within 2^-12 of n = (t + 8) >> 16, and the byte is n or
// n - 1: n when n is 0, and n when the four taps are all at least n. For the latter,
// every operation of the rule is monotonic, and it gives s itself for four taps equal
// to s: s * w0 and s * w1 round to doubles whose sum is s or half a unit of s away, and
// a half rounds to s's even last bit. Pixels that neither test settles are made by the
// double-precision rule.
void ScaledRows::StartFloats() {
    const size_t n = static_cast<size_t>(outWidth_);
    floatColumns_.resize(n);
    floatWeights_.resize(8 * n);
    unresolved_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        floatColumns_[i] = tapColumns_[2 * i] - job_.rect.x;
        const float q1 = Weight24(tapWeights_[2 * i + 1]);
        for (int c = 0; c < 4; ++c) {
            floatWeights_[8 * i + c] = (1 - q1) * 65536;
            floatWeights_[8 * i + 4 + c] = q1 * 65536;
        }
    }
    const size_t room = (static_cast<size_t>(job_.rect.width) + 1) * 4;
    floatRows_.assign(room, 0);
    floatLeast_.resize(room);
    exactPixels_ = 0;
    floatRowsDone_ = 0;
    float_ = true;
}

void ScaledRows::FloatRow(const RowTaps& r, uint8_t* out) {
    const float q1 = Weight24(r.w1);
    const uint8_t* row0 = job_.source.row(r.y0) + static_cast<size_t>(job_.rect.x) * 4;
    // A row of weight 0 adds nothing (h * 0 = 0, and h * 1 + 0 = h) and its taps do not
    // bound the value: the minima are the other row's.
    const uint8_t* row1 =
        job_.source.row(r.w1 == 0 ? r.y0 : r.y1) + static_cast<size_t>(job_.rect.x) * 4;
    const size_t n = static_cast<size_t>(outWidth_);
    size_t left = 0;
    // A block of output columns at a time, so that its rows' combination is still in the
    // nearest cache when the columns read it.
    constexpr size_t kBlock = 128;
    for (size_t i = 0; i < n; i += kBlock) {
        const size_t count = std::min(kBlock, n - i);
        // The rows' pass covers the block's taps, rounded up to 8k + 1 pixels where the
        // rectangle has them: whole steps of its widest form, and one pixel after them.
        const int32_t first = floatColumns_[i];
        const int32_t span = floatColumns_[i + count - 1] + 1 - first;
        const int32_t last = std::min(first + (span + 7) / 8 * 8, job_.rect.width - 1);
        const size_t at = static_cast<size_t>(first) * 4;
        BilinearRowsFloat(row0 + at, row1 + at, 1 - q1, q1,
                          static_cast<size_t>(last - first + 1) * 4, floatRows_.data() + at,
                          floatLeast_.data() + at);
        const size_t blockLeft = BilinearColumnsFloat(
            floatRows_.data(), floatLeast_.data(), floatColumns_.data() + i,
            floatWeights_.data() + 8 * i, count, out + 4 * i, unresolved_.data() + left);
        for (size_t u = left; u < left + blockLeft; ++u)
            unresolved_[u] += static_cast<uint32_t>(i);
        left += blockLeft;
    }
    BilinearExactPixels(job_.source.row(r.y0), job_.source.row(r.y1), tapColumns_.data(),
                        tapWeights_.data(), r.w0, r.w1, unresolved_.data(), left, out);
    exactPixels_ += static_cast<int64_t>(left);
    // Weights that leave many pixels to the rule (fifths, sixths, ...) run faster on the
    // double-precision passes: beyond 1/32 of them at AVX2, 1/16 at the narrower levels,
    // where those passes cost twice as much.
    if (++floatRowsDone_ >= 8 && exactPixels_ * floatGiveUp_ > int64_t{floatRowsDone_} * outWidth_)
        float_ = false;
}

bool ScaledRows::Start(const ScaleJob& job, int32_t targetWidth, int32_t targetHeight) {
    job_ = job;
    if (!PrepareRect(job_)) return false;
    if (targetWidth > 0) {
        if (targetHeight < 1) return false;
        outWidth_ = targetWidth;
        outHeight_ = targetHeight;
        xRatio_ = static_cast<double>(job_.rect.width) / targetWidth;
        yRatio_ = static_cast<double>(job_.rect.height) / targetHeight;
        skipColumns_ = 0;
    } else {
        const int64_t w = std::llabs(static_cast<int64_t>(job_.destWidth));
        const int64_t h = std::llabs(static_cast<int64_t>(job_.destHeight));
        if (w < 1 || h < 1) return false;
        xRatio_ = static_cast<double>(job_.rect.width) / static_cast<double>(w);
        yRatio_ = static_cast<double>(job_.rect.height) / static_cast<double>(h);
        int64_t outW = w;
        int64_t outH = h;
        skipColumns_ = 0;
        if (job_.destX < 0) {
            skipColumns_ = -static_cast<int64_t>(job_.destX);
            outW -= skipColumns_;
        }
        if (job_.destY < 0) outH += job_.destY; // the top rows are left out
        if (outW < 1 || outH < 1) return false;
        outWidth_ = static_cast<int32_t>(outW);
        outHeight_ = static_cast<int32_t>(outH);
    }
    bottom_ = job_.source.height - job_.rect.height - job_.rect.y;
    passRow_[0] = passRow_[1] = -1;
    nearestRow_ = -1;
    sourceRowsMade_ = 0;
    integer_ = false;
    float_ = false;
    const size_t n = static_cast<size_t>(outWidth_);
    try {
        row_.resize(n * 4); // every row written whole before it is read
        if (!job_.highQuality) {
            // Column positions once per output column.
            columns_.resize(n);
            for (size_t i = 0; i < n; ++i)
                columns_[i] =
                    job_.rect.x + NearestIndex(skipColumns_ + static_cast<int64_t>(i), xRatio_);
        } else {
            tapColumns_.resize(2 * n);
            tapWeights_.resize(2 * n);
            const int32_t lastColumn = job_.rect.x + job_.rect.width - 1;
            for (size_t i = 0; i < n; ++i) {
                const double xs =
                    job_.rect.x +
                    static_cast<double>(skipColumns_ + static_cast<int64_t>(i)) * xRatio_;
                const ColumnTaps t = ColumnTapsAt(xs, lastColumn);
                tapColumns_[2 * i] = t.x0;
                tapColumns_[2 * i + 1] = t.x1;
                tapWeights_[2 * i] = t.w0;
                tapWeights_[2 * i + 1] = t.w1;
            }
            // With every weight a multiple of 1/128, each product and sum of the
            // double-precision rule is exact, so the rule's value is the rational
            //   sum over the four taps of s * kx * ky / 128^2
            // and its floor is that integer sum shifted right by 14: the same bytes, in
            // integers (dib/ScaleKernels.h).
            integer_ = job_.integerWeights;
            integerColumns_.resize(n);
            integerPairs_.resize(n);
            for (size_t i = 0; integer_ && i < n; ++i) {
                const int32_t x0 = tapColumns_[2 * i], x1 = tapColumns_[2 * i + 1];
                const double w0 = tapWeights_[2 * i], w1 = tapWeights_[2 * i + 1];
                integer_ =
                    IsWeight128(w0) && IsWeight128(w1) && (x1 == x0 + 1 || (x1 == x0 && w1 == 0));
                integerColumns_[i] = x0 - job_.rect.x;
                integerPairs_[i] = static_cast<uint32_t>(w0 * 128) | static_cast<uint32_t>(w1 * 128)
                                                                         << 16;
            }
            for (int32_t j = 0; integer_ && j < outHeight_; ++j) {
                const RowTaps r = RowTapsAt(static_cast<double>(j) * yRatio_ + bottom_, LastRow());
                integer_ = IsWeight128(r.w0) && IsWeight128(r.w1);
            }
            if (integer_) {
                // Output columns whose left tap has a right neighbour in the rectangle
                // (the left taps rise).
                oneRowCount_ = 0;
                while (oneRowCount_ < n && integerColumns_[oneRowCount_] + 1 < job_.rect.width)
                    ++oneRowCount_;
                // The rectangle's columns and one more, read with weight 0.
                combined_.assign((static_cast<size_t>(job_.rect.width) + 1) * 4, 0);
            } else {
                // The float form combines every source column of the two rows for each
                // output row, so it pays where the source is wider than the output by a
                // modest factor and the rows shrink too (measured: from 1.25 to 1.6 at
                // AVX2; to 2 at the narrower levels, whose double passes take two values
                // per instruction).
                const bool wide = ActiveVectorLevel() == VectorLevel::Avx2;
                floatGiveUp_ = wide ? 32 : 16;
                if (job_.floatWeights && xRatio_ >= 1.25 && xRatio_ <= (wide ? 1.6 : 2.0) &&
                    yRatio_ >= 1)
                    StartFloats();
                for (auto& pass : passes_)
                    pass.resize(n * 4);
            }
        }
    } catch (const std::bad_alloc&) {
        outWidth_ = outHeight_ = 0;
        return false;
    }
    return true;
}

int ScaledRows::PassSlot(int32_t sourceRow, int keepSlot) {
    for (int s = 0; s < 2; ++s)
        if (passRow_[s] == sourceRow) return s;
    const int slot = 1 - keepSlot;
    ++sourceRowsMade_;
    const uint8_t* src = job_.source.row(sourceRow);
    const size_t n = static_cast<size_t>(outWidth_);
    BilinearHorizontal(src, tapColumns_.data(), tapWeights_.data(), n, passes_[slot].data());
    passRow_[slot] = sourceRow;
    return slot;
}

const uint8_t* ScaledRows::StorageRow(int32_t j) {
    uint8_t* out = row_.data();
    const size_t n = static_cast<size_t>(outWidth_);
    if (!job_.highQuality) {
        const int32_t sourceRow = bottom_ + NearestIndex(j, yRatio_);
        // An enlargement maps runs of output rows to one source row: the row made for the
        // first serves them all, lightened already.
        if (sourceRow == nearestRow_) return out;
        NearestGather(job_.source.row(sourceRow), columns_.data(), n, out);
        nearestRow_ = sourceRow;
        ++sourceRowsMade_;
    } else {
        const RowTaps r = RowTapsAt(static_cast<double>(j) * yRatio_ + bottom_, LastRow());
        if (integer_) {
            // Start found every row weight a multiple of 1/128: times 128 it is exact.
            const auto k0 = static_cast<int32_t>(r.w0 * 128), k1 = static_cast<int32_t>(r.w1 * 128);
            const size_t left = static_cast<size_t>(job_.rect.x) * 4;
            if (k1 == 0) {
                // One row alone: no combination needed. Where the left tap is the last
                // column it is alone too (weights 128, 0), and the byte is the sample.
                const uint8_t* row = job_.source.row(r.y0) + left;
                BilinearColumnsOneRow128(row, integerColumns_.data(), integerPairs_.data(),
                                         oneRowCount_, out);
                for (size_t i = oneRowCount_; i < n; ++i)
                    std::memcpy(out + 4 * i, row + static_cast<size_t>(integerColumns_[i]) * 4, 4);
            } else {
                BilinearRows128(job_.source.row(r.y0) + left, job_.source.row(r.y1) + left, k0, k1,
                                static_cast<size_t>(job_.rect.width) * 4, combined_.data());
                BilinearColumns128(combined_.data(), integerColumns_.data(), integerPairs_.data(),
                                   n, out);
            }
        } else if (float_) {
            FloatRow(r, out);
        } else if (r.w1 == 0) {
            // One row alone: its pass is the value (BilinearTruncate). Rows read in order,
            // either way, use no row beyond this one after it, so the other slot may go.
            BilinearTruncate(passes_[PassSlot(r.y0, 0)].data(), n * 4, out);
        } else {
            // Keep the pass of the other row of the pair when making this one.
            const int s0 = PassSlot(r.y0, passRow_[0] == r.y1 ? 0 : 1);
            const int s1 = PassSlot(r.y1, s0);
            BilinearVertical(passes_[s0].data(), passes_[s1].data(), r.w0, r.w1, n * 4, out);
        }
    }
    if (job_.amount != 0) AdjustLight(job_.amount, PixelView{out, outWidth_, 1});
    return out;
}

bool ScaledRows::BlendRowOnto(int32_t y, int32_t x, uint8_t* dst, size_t count, uint32_t op) {
    if (job_.highQuality || job_.amount != 0 || x < 0 || y < 0 || y >= outHeight_ ||
        count > static_cast<size_t>(outWidth_) || static_cast<size_t>(x) > outWidth_ - count)
        return false;
    const int32_t j = outHeight_ - 1 - y;
    const uint8_t* src = job_.source.row(bottom_ + NearestIndex(j, yRatio_));
    NearestBlendRow32(src, columns_.data() + x, count, dst, op);
    return true;
}

bool ScaleSource(ScaleJob& job, PixelBuffer& out) {
    ScaledRows rows;
    if (!rows.Start(job) || !out.Allocate(rows.Width(), rows.Height())) return false;
    const PixelView v = out.View();
    for (int32_t j = 0; j < v.height; ++j)
        std::memcpy(v.row(j), rows.StorageRow(j), v.stride());
    job.destWidth = v.width;
    job.destHeight = v.height;
    job.amount = 0;
    return true;
}

bool ScaleSourceInto(ScaleJob& job, const PixelView& target) {
    if (target.empty()) return false;
    ScaledRows rows;
    if (!rows.Start(job, target.width, target.height)) return false;
    for (int32_t j = 0; j < target.height; ++j)
        std::memcpy(target.row(j), rows.StorageRow(j), target.stride());
    job.amount = 0;
    return true;
}

} // namespace moirelle

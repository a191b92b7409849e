#pragma once
// The scale step of the software renderer: resamples a source rectangle to the size of
// the destination, by nearest neighbour or bilinearly (dib/BilinearTaps.h).

#include "dib/MirrorSource.h"
#include "dib/PixelBuffer.h"
#include "dib/PixelView.h"
#include "dib/SourceRows.h"

#include <cstdint>
#include <vector>

namespace moirelle {

struct RowTaps;

struct ScaleJob {
    // The pixels read: the image, or a mirrored copy that is exactly the source rectangle.
    PixelView source;
    // The source rectangle in picture coordinates; a width or height of 0 means the
    // source's.
    SourceRect rect;
    // Destination origin and signed size (the sign is ignored). A negative origin clips:
    // the output leaves out |destX| columns on the left and |destY| rows at the top.
    int32_t destX = 0;
    int32_t destY = 0;
    int32_t destWidth = 0;
    int32_t destHeight = 0;
    bool highQuality = false; // bilinear instead of nearest neighbour
    float amount = 0;         // pending lightness change, applied to the output
    // Lets the bilinear scaler work in integers when every weight is a multiple of
    // 1/128, which gives exactly the same bytes (tests switch it off to compare).
    bool integerWeights = true;
    // Lets it work in floats for any other weights, with every byte near a whole number
    // checked or made by the double-precision rule: the same bytes again.
    bool floatWeights = true;
};

// The scaler's output produced row by row, so that it can be blended without an
// intermediate image. Rows are computed on demand; any order works.
class ScaledRows final : public SourceRows {
  public:
    // Plans the job as ScaleSource does, or at the target's size (ratios source /
    // target, no clipping) when targetWidth is above 0. False when ScaleSource would
    // fail. The job's source pixels must stay alive while rows are read.
    bool Start(const ScaleJob& job, int32_t targetWidth = 0, int32_t targetHeight = 0);
    int32_t Width() const override { return outWidth_; }
    int32_t Height() const override { return outHeight_; }
    const uint8_t* Row(int32_t y) override { return StorageRow(outHeight_ - 1 - y); }
    // Nearest rows without a change of lightness: the source pixels go onto `dst` at once.
    bool BlendRowOnto(int32_t y, int32_t x, uint8_t* dst, size_t count, uint32_t op) override;
    // Output row j counted from the bottom.
    const uint8_t* StorageRow(int32_t j);
    // Whether the bilinear rule runs in integers (every weight a multiple of 1/128).
    bool UsesIntegerWeights() const { return integer_; }
    // Whether it runs in floats (ScaleJob::floatWeights), and the pixels so far that the
    // float bound left to the double-precision rule.
    bool UsesFloatWeights() const { return float_; }
    int64_t ExactPixels() const { return exactPixels_; }
    // Source rows made into the row caches so far: horizontal passes of the
    // double-precision rule, or rows of picked pixels.
    int64_t SourceRowsMade() const { return sourceRowsMade_; }

  private:
    // The cache slot holding the horizontal pass of a source row, made in the slot other
    // than `keepSlot` (0 or 1) when missing.
    int PassSlot(int32_t sourceRow, int keepSlot);
    // The row by the float form.
    void FloatRow(const RowTaps& r, uint8_t* out);
    void StartFloats();
    // Storage row of the source rectangle's top row.
    int32_t LastRow() const { return bottom_ + job_.rect.height - 1; }

    ScaleJob job_;
    int32_t outWidth_ = 0;
    int32_t outHeight_ = 0;
    int64_t skipColumns_ = 0; // columns of the scaled picture left out on the left
    double xRatio_ = 0;
    double yRatio_ = 0;
    int32_t bottom_ = 0;              // storage row of the rectangle's bottom row
    std::vector<int32_t> columns_;    // nearest: source column of each output column
    std::vector<int32_t> tapColumns_; // bilinear: x0, x1 of each output column
    std::vector<double> tapWeights_;  // bilinear: w0, w1 of each output column
    std::vector<double> passes_[2];   // two cached horizontal passes
    int32_t passRow_[2] = {-1, -1};
    // Integer form: all weights are k / 128. Per output column its left tap (from the
    // rectangle's left) and k0 | k1 << 16; one row of the rows' combination.
    bool integer_ = false;
    std::vector<int32_t> integerColumns_;
    std::vector<uint32_t> integerPairs_;
    std::vector<int16_t> combined_;
    size_t oneRowCount_ = 0; // leading output columns whose left tap is not the last column
    // Float form: per output column its left tap (from the rectangle's left) and weights
    // (dib/ScaleKernels.h); one row of the rows' combination, with room for a column past
    // the rectangle (0, read with weight 0), and the least taps of the pixels starting there.
    bool float_ = false;
    std::vector<int32_t> floatColumns_;
    std::vector<float> floatWeights_;
    std::vector<float> floatRows_;
    std::vector<uint8_t> floatLeast_;
    std::vector<uint32_t> unresolved_;
    int64_t exactPixels_ = 0;
    int32_t floatRowsDone_ = 0;
    int64_t floatGiveUp_ = 32; // the form gives up beyond 1 / floatGiveUp_ of pixels left
    std::vector<uint8_t> row_;
    int32_t nearestRow_ = -1; // nearest: the source row that row_ holds, or -1
    int64_t sourceRowsMade_ = 0;
};

// Scales into a new buffer of |destWidth| x |destHeight| less the clipped part. On
// success the job's destination size becomes the output size and its amount 0.
// False for an empty output, a rectangle outside the source, or when memory runs out.
bool ScaleSource(ScaleJob& job, PixelBuffer& out);

// Scales the whole job's rectangle into `target` (its size, ratios source / target,
// no clipping). The job's destination fields are ignored.
bool ScaleSourceInto(ScaleJob& job, const PixelView& target);

} // namespace moirelle

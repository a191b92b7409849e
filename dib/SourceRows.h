#pragma once
// Rows of source pixels for the blend, fetched one at a time so that a step such as the
// scaler can hand its output over row by row instead of filling a whole image first.

#include "dib/PixelView.h"

#include <cstddef>
#include <cstdint>

namespace moirelle {

class SourceRows {
  public:
    virtual ~SourceRows() = default;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // The Width() pixels of picture row `y` (0 = top). Valid until the next call.
    virtual const uint8_t* Row(int32_t y) = 0;
    // Blends `count` pixels of picture row `y` from column `x` onto `dst` as BlendRow32
    // does without grayscale, when the rows can do it without making the row first;
    // false (nothing done) otherwise.
    virtual bool BlendRowOnto(int32_t y, int32_t x, uint8_t* dst, size_t count, uint32_t op) {
        (void)y, (void)x, (void)dst, (void)count, (void)op;
        return false;
    }
};

// The rows of pixels in memory.
class ViewRows final : public SourceRows {
  public:
    explicit ViewRows(const PixelView& view) : view_(view) {}
    int32_t Width() const override { return view_.width; }
    int32_t Height() const override { return view_.height; }
    const uint8_t* Row(int32_t y) override { return view_.row(view_.height - 1 - y); }

  private:
    PixelView view_;
};

} // namespace moirelle

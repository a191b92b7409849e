#pragma once
// An intermediate 32-bpp pixel buffer of the software renderer: rows of Width * 4 bytes
// (B, G, R, A, premultiplied), bottom-up, the same layout as an image object's pixels.

#include "dib/DibGeometry.h"
#include "dib/PixelView.h"

#include <cstdint>
#include <new>
#include <vector>

namespace moirelle {

class PixelBuffer {
  public:
    // Makes a zero-filled Width x Height buffer; false (and empty) for a size the image
    // rules refuse or when memory runs out.
    bool Allocate(int32_t width, int32_t height) {
        Clear();
        int32_t h = 0;
        int32_t bytes = 0;
        if (width < 1 || height < 1 || !NormaliseDibSize(width, height, h, bytes)) return false;
        try {
            bytes_.assign(static_cast<size_t>(bytes), 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        width_ = width;
        height_ = height;
        return true;
    }
    void Clear() {
        std::vector<uint8_t>().swap(bytes_);
        width_ = height_ = 0;
    }
    bool empty() const { return bytes_.empty(); }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    PixelView View() { return {bytes_.empty() ? nullptr : bytes_.data(), width_, height_}; }
    PixelView View() const {
        return {bytes_.empty() ? nullptr : const_cast<uint8_t*>(bytes_.data()), width_, height_};
    }

  private:
    std::vector<uint8_t> bytes_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

} // namespace moirelle

#pragma once
// A 32-bpp image in plain memory, with the same creation rules as the Windows image
// object. Used where no DIB section exists: native tests, benchmarks and fuzzers.

#include "dib/ImageTarget.h"
#include "dib/ImageType.h"
#include "dib/PixelView.h"

#include <vector>

namespace moirelle {

class MemoryImage final : public IImageTarget {
  public:
    bool InitializeDIB(int32_t Width, int32_t Height) override;
    // Keeps the buffer (and its bytes) when the byte size stays the same.
    bool InitializeDIBForOverwrite(int32_t Width, int32_t Height) override;
    void DestroyDIB() override;
    uint8_t* BitsPointer() const override { return pixels_.empty() ? nullptr : pixels_.data(); }
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    void SetAlphaFlag(bool value) override { alpha_ = value; }
    void SetImageType(int32_t value) override { imageType_ = value; }
    std::unique_ptr<IImageTarget> NewSameKind() const override;
    bool TakePixels(IImageTarget& from) override;

    bool Alpha() const { return alpha_; }
    int32_t ImageType() const { return imageType_; }
    int32_t scanWidth() const { return width_ * 4; }
    PixelView View() const { return {BitsPointer(), width_, height_}; }
    // Pixel at picture coordinates (top-left origin) as 0xAARRGGBB.
    uint32_t PixelAt(int32_t x, int32_t y) const;

  private:
    mutable std::vector<uint8_t> pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool alpha_ = false;
    int32_t imageType_ = imgBlank;
};

} // namespace moirelle

#pragma once
// A target over an image in memory of its own that passes every call on to it, for tests
// and fuzz targets that change only how images are made (a budget, a failure on cue).
// It makes no images of its own kind and takes none; InitializeDIBForOverwrite is left to
// go through InitializeDIB, so that a derived rule for making images holds for both.

#include "dib/ImageTarget.h"
#include "dib/MemoryImage.h"

#include <memory>

namespace moirelle::test {

class WrappedImage : public IImageTarget {
  public:
    bool InitializeDIB(int32_t width, int32_t height) override {
        return image.InitializeDIB(width, height);
    }
    void DestroyDIB() override { image.DestroyDIB(); }
    uint8_t* BitsPointer() const override { return image.BitsPointer(); }
    int32_t Width() const override { return image.Width(); }
    int32_t Height() const override { return image.Height(); }
    void SetAlphaFlag(bool value) override { image.SetAlphaFlag(value); }
    void SetImageType(int32_t value) override { image.SetImageType(value); }
    std::unique_ptr<IImageTarget> NewSameKind() const override { return nullptr; }
    bool TakePixels(IImageTarget&) override { return false; }

    MemoryImage image;
};

} // namespace moirelle::test

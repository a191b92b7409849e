#include "dib/MemoryImage.h"

#include "dib/DibGeometry.h"

#include <memory>
#include <new>

namespace moirelle {

bool MemoryImage::InitializeDIB(int32_t Width, int32_t Height) {
    DestroyDIB();
    int32_t height = 0;
    int32_t bytes = 0;
    if (!NormaliseDibSize(Width, Height, height, bytes) || bytes == 0) return false;
    try {
        pixels_.assign(static_cast<size_t>(bytes), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width_ = Width;
    height_ = height;
    alpha_ = true;
    imageType_ = imgBlank;
    return true;
}

bool MemoryImage::InitializeDIBForOverwrite(int32_t Width, int32_t Height) {
    int32_t height = 0;
    int32_t bytes = 0;
    if (!NormaliseDibSize(Width, Height, height, bytes) || bytes == 0 ||
        pixels_.size() != static_cast<size_t>(bytes))
        return InitializeDIB(Width, Height);
    width_ = Width;
    height_ = height;
    alpha_ = true;
    imageType_ = imgBlank;
    return true;
}

void MemoryImage::DestroyDIB() {
    std::vector<uint8_t>().swap(pixels_);
    width_ = height_ = 0;
    alpha_ = false;
    imageType_ = imgNone;
}

std::unique_ptr<IImageTarget> MemoryImage::NewSameKind() const {
    return std::make_unique<MemoryImage>();
}

bool MemoryImage::TakePixels(IImageTarget& from) {
    auto* other = dynamic_cast<MemoryImage*>(&from);
    if (!other) return false;
    if (other == this) return true;
    DestroyDIB();
    pixels_.swap(other->pixels_);
    width_ = other->width_;
    height_ = other->height_;
    alpha_ = true;
    imageType_ = imgBlank;
    other->DestroyDIB();
    return true;
}

uint32_t MemoryImage::PixelAt(int32_t x, int32_t y) const {
    const uint8_t* p = pixels_.data() + (static_cast<size_t>(height_ - 1 - y) * width_ + x) * 4;
    return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[1]) << 8 | p[0];
}

} // namespace moirelle

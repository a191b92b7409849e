#pragma once
// A 32-bpp bottom-up DIB section selected into a memory device context of its own, for
// the readers that let the system draw (pictures, icons) and then take the pixels.

#include "platform/win/Handles.h"

#include <windows.h>

#include <cstdint>

namespace moirelle::win {

class DrawingSurface {
  public:
    // Zero-filled; check with ok().
    DrawingSurface(int32_t width, int32_t height);
    ~DrawingSurface();
    DrawingSurface(const DrawingSurface&) = delete;
    DrawingSurface& operator=(const DrawingSurface&) = delete;

    bool ok() const { return bits_ != nullptr && dc_; }
    HDC dc() const { return dc_.get(); }
    uint8_t* bits() const { return bits_; }
    size_t byteSize() const { return static_cast<size_t>(width_) * height_ * 4; }

  private:
    int32_t width_;
    int32_t height_;
    UniqueBitmap bitmap_;
    UniqueMemoryDC dc_;
    HGDIOBJ previous_ = nullptr;
    uint8_t* bits_ = nullptr;
};

// Reads a bitmap as 32-bit bottom-up rows of `width` pixels for `lines` rows starting at
// storage row `firstLine` of a bitmap `fullHeight` rows high. False when the system
// cannot read it.
bool ReadBitmapBits32(HBITMAP bitmap, int32_t width, int32_t fullHeight, int32_t firstLine,
                      int32_t lines, uint8_t* out);

} // namespace moirelle::win

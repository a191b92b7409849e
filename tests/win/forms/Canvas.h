#pragma once
// Paints a container's windowless layer into memory and reads its pixels back.

#include "forms/Container.h"
#include "forms/DibSection.h"

namespace moirelle::test {

class Canvas {
  public:
    Canvas(forms::Container& c, int w, int h)
        : w_(w), bitmap_(forms::CreateDibSection32(w, h, &bits_)),
          dc_(CreateCompatibleDC(nullptr)) {
        win::ScopedSelect select(dc_.get(), bitmap_.get());
        RECT area{0, 0, w, h};
        c.PaintContent(dc_.get(), area);
        GdiFlush();
    }
    // 0x00RRGGBB.
    uint32_t At(int x, int y) const { return bits_[y * w_ + x] & 0xFFFFFF; }

  private:
    int w_;
    uint32_t* bits_ = nullptr;
    win::UniqueBitmap bitmap_;
    win::UniqueMemoryDC dc_;
};

} // namespace moirelle::test

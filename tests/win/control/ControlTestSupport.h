#pragma once
// Shared pieces of the image control's tests: generated pictures, a borderless host form
// and the pixels its painting produces.

#include "control/aicAlphaImage.h"
#include "forms/DibSection.h"
#include "forms/Form.h"
#include "forms/ScaleMode.h"
#include "tests/support/PngWriter.h"
#include "tests/win/forms/Pump.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace moirelle::test {

namespace detail {
inline std::vector<uint8_t> EncodePicture(uint32_t w, uint32_t h, bool withAlpha,
                                          const std::function<uint32_t(int, int)>& colour) {
    PngSpec s;
    s.width = w;
    s.height = h;
    s.colorType = withAlpha ? 6 : 2;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t c = colour(static_cast<int>(x), static_cast<int>(y));
            s.pixels.push_back(static_cast<uint8_t>(c >> 16));
            s.pixels.push_back(static_cast<uint8_t>(c >> 8));
            s.pixels.push_back(static_cast<uint8_t>(c));
            if (withAlpha) s.pixels.push_back(static_cast<uint8_t>(c >> 24));
        }
    return EncodePng(s);
}
} // namespace detail

// A w x h RGBA picture whose pixel (x, y) is colour(x, y) = 0xAARRGGBB, as PNG bytes.
inline std::vector<uint8_t> Picture(uint32_t w, uint32_t h,
                                    const std::function<uint32_t(int, int)>& colour) {
    return detail::EncodePicture(w, h, true, colour);
}

// The same without an alpha channel (colour 0x00RRGGBB).
inline std::vector<uint8_t> OpaquePicture(uint32_t w, uint32_t h,
                                          const std::function<uint32_t(int, int)>& colour) {
    return detail::EncodePicture(w, h, false, colour);
}

inline std::vector<uint8_t> Solid(uint32_t w, uint32_t h, uint32_t argb) {
    return Picture(w, h, [argb](int, int) { return argb; });
}

// A borderless white form at screen pixel (left, top), 300 x 300 pixels (15 twips each).
class HostForm : public forms::Form {
  public:
    explicit HostForm(int left = 200, int top = 200, bool userMode = true)
        : Form({.caption = "image control",
                .left = left * 15,
                .top = top * 15,
                .width = 4500,
                .height = 4500,
                .borderStyle = 0,
                .backColor = 0xFFFFFF,
                .userMode = userMode}) {}
};

// The container's painting of `area` (client pixels), read back as 0x00RRGGBB.
class Painted {
  public:
    explicit Painted(forms::Container& c, RECT area = {0, 0, 300, 300})
        : bitmap_(forms::CreateDibSection32(300, 300, &bits_)), dc_(CreateCompatibleDC(nullptr)) {
        for (int i = 0; i < 300 * 300; ++i)
            bits_[i] = 0xFF00FF; // never painted: magenta
        win::ScopedSelect select(dc_.get(), bitmap_.get());
        // As a window's update region would: nothing outside the area is drawn.
        IntersectClipRect(dc_.get(), area.left, area.top, area.right, area.bottom);
        c.PaintContent(dc_.get(), area);
        GdiFlush();
    }
    uint32_t At(int x, int y) const { return bits_[y * 300 + x] & 0xFFFFFF; }
    int Red(int x, int y) const { return static_cast<int>(At(x, y) >> 16 & 0xFF); }
    int Green(int x, int y) const { return static_cast<int>(At(x, y) >> 8 & 0xFF); }
    int Blue(int x, int y) const { return static_cast<int>(At(x, y) & 0xFF); }
    // How many pixels differ from another painting's.
    int Differences(const Painted& other) const {
        int n = 0;
        for (int i = 0; i < 300 * 300; ++i)
            n += (bits_[i] & 0xFFFFFF) != (other.bits_[i] & 0xFFFFFF) ? 1 : 0;
        return n;
    }

  private:
    uint32_t* bits_ = nullptr;
    win::UniqueBitmap bitmap_;
    win::UniqueMemoryDC dc_;
};

// The host's question whether a control takes the pointer at (x, y) of its own pixels.
inline bool Hits(control::aicAlphaImage& c, int x, int y) {
    return static_cast<forms::Control&>(c).HitTest(static_cast<float>(x), static_cast<float>(y));
}

} // namespace moirelle::test

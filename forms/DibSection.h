#pragma once
// A 32-bit, top-down DIB section: the drawing surface of the forms' double buffering.

#include "platform/win/Handles.h"

#include <cstdint>

namespace moirelle::forms {

// A width x height bitmap of 0x00RRGGBB pixels, first row at the top; `bits` receives the
// pixels' address. Empty on failure or for a size of 0.
inline win::UniqueBitmap CreateDibSection32(int width, int height, uint32_t** bits) {
    *bits = nullptr;
    if (width <= 0 || height <= 0) return {};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    win::UniqueBitmap bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
    if (bitmap) *bits = static_cast<uint32_t*>(p);
    return bitmap;
}

} // namespace moirelle::forms

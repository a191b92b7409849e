#pragma once
// A GDI+ bitmap over an image object's own pixel memory (no copy), upright.

#include "gdiplus/GdiplusObjects.h"

namespace moirelle {
class c32bppDIB;
}

namespace moirelle::gdip {

// Wraps the premultiplied pixels of dib in a 32-bpp PARGB bitmap. The DIB's rows lie
// bottom-up, so the bitmap starts at the last row in memory and steps backwards: it shows
// the picture upright without a flip (a flip would make GDI+ copy the pixels). The bitmap
// must not outlive the DIB's pixels. Empty when dib holds no image or GDI+ refuses.
UniqueImage BitmapOverDib(const Api& api, const c32bppDIB& dib);

} // namespace moirelle::gdip

#include "gdiplus/DibBitmap.h"

#include "dib/win/c32bppDIB.h"

namespace moirelle::gdip {

UniqueImage BitmapOverDib(const Api& api, const c32bppDIB& dib) {
    UniqueImage bitmap(api);
    if (!dib.Handle() || !dib.BitsPointer()) return bitmap;
    GdiFlush(); // the system may still be drawing into the section
    const int32_t stride = dib.scanWidth();
    uint8_t* topRow = dib.BitsPointer() + static_cast<size_t>(dib.Height() - 1) * stride;
    if (api.GdipCreateBitmapFromScan0(dib.Width(), dib.Height(), -stride, pixelFormat32bppPARGB,
                                      topRow, bitmap.put()) != statusOk)
        bitmap.reset();
    return bitmap;
}

} // namespace moirelle::gdip

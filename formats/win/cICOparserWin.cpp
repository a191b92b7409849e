// The handle half of the icon reader: an icon or cursor handle of the system into the
// image, described as the object's one entry.
#include "dib/ImageType.h"
#include "formats/cICOparser.h"
#include "formats/modParsers.h"
#include "formats/win/DrawingSurface.h"

#include <windows.h>

#include <cstring>

namespace moirelle {

bool cICOparser::ConvertstdPicTo32bpp(void* Handle, IImageTarget& cHost) {
    ICONINFO info{};
    if (!Handle || !GetIconInfo(static_cast<HICON>(Handle), &info)) return false;
    const win::UniqueBitmap colour(info.hbmColor);
    const win::UniqueBitmap mask(info.hbmMask);
    entries_.assign(1, Entry{});
    handleMask_.clear();
    isIcon_ = info.fIcon != FALSE;
    Entry& e = entries_[0];
    e.planes = kMarkerBitmap;

    int32_t width = 0;
    int32_t height = 0;
    if (colour) {
        BITMAP bm{};
        if (GetObject(colour.get(), sizeof(bm), &bm) == 0) return false;
        width = bm.bmWidth;
        height = bm.bmHeight;
        if (!cHost.InitializeDIB(width, height)) return false;
        if (!win::ReadBitmapBits32(colour.get(), width, height, 0, height, cHost.BitsPointer())) {
            cHost.DestroyDIB();
            return false;
        }
        const uint8_t* bits = cHost.BitsPointer();
        const size_t bytes = static_cast<size_t>(width) * height * 4;
        bool anyAlpha = false;
        for (size_t i = 3; i < bytes && !anyAlpha; i += 4)
            anyAlpha = bits[i] != 0;
        e.bitCount = anyAlpha ? 32 : 1;
    } else {
        e.bitCount = 1;
    }
    e.width = static_cast<uint8_t>(width >= 256 ? 0 : width);
    e.height = static_cast<uint8_t>(height >= 256 ? 0 : height);

    if (e.bitCount == 32) {
        bool hasAlpha = false;
        int32_t type = imgBitmap;
        modParsers::AnalyseAlpha({cHost.BitsPointer(), width, height}, true, hasAlpha, type);
        cHost.SetImageType(isIcon_ ? imgIconAlpha : imgCursorAlpha);
        cHost.SetAlphaFlag(true);
        return true;
    }

    BITMAP maskInfo{};
    if (!mask || GetObject(mask.get(), sizeof(maskInfo), &maskInfo) == 0) {
        cHost.DestroyDIB();
        return false;
    }
    if (!colour) {
        // A monochrome icon: its mask holds the AND rows above the XOR rows.
        width = maskInfo.bmWidth;
        height = maskInfo.bmHeight / 2;
        if (!cHost.InitializeDIB(width, height)) return false;
        win::DrawingSurface surface(width, height);
        if (!surface.ok() || !DrawIconEx(surface.dc(), 0, 0, static_cast<HICON>(Handle), width,
                                         height, 0, nullptr, DI_NORMAL)) {
            cHost.DestroyDIB();
            return false;
        }
        GdiFlush();
        std::memcpy(cHost.BitsPointer(), surface.bits(), surface.byteSize());
        e.width = static_cast<uint8_t>(width >= 256 ? 0 : width);
        e.height = static_cast<uint8_t>(height >= 256 ? 0 : height);
    }

    // The AND rows: the mask's top `height` rows, read as 1-bit bottom-up rows.
    const size_t maskStride = static_cast<size_t>(modParsers::ScanWidth(1, width));
    handleMask_.assign(maskStride * static_cast<size_t>(height), 0);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } maskFormat{};
    maskFormat.header.biSize = sizeof(BITMAPINFOHEADER);
    maskFormat.header.biWidth = width;
    maskFormat.header.biHeight = maskInfo.bmHeight;
    maskFormat.header.biPlanes = 1;
    maskFormat.header.biBitCount = 1;
    maskFormat.header.biCompression = BI_RGB;
    maskFormat.colours[1] = {255, 255, 255, 0};
    const int32_t firstLine = maskInfo.bmHeight - height;
    win::WindowDC screen;
    if (firstLine < 0 ||
        GetDIBits(screen.get(), mask.get(), static_cast<UINT>(firstLine), static_cast<UINT>(height),
                  handleMask_.data(), reinterpret_cast<BITMAPINFO*>(&maskFormat),
                  DIB_RGB_COLORS) != height) {
        handleMask_.clear();
        cHost.DestroyDIB();
        return false;
    }
    e.bytesInImage = static_cast<uint32_t>(handleMask_.size());
    ApplyIconMask(1, cHost);
    handleMask_.clear();
    return true;
}

} // namespace moirelle

// The picture half of the bitmap reader: data the direct path does not take go through
// the system's picture loader, and pictures and bitmap handles are drawn into the image.
#include "dib/ImageType.h"
#include "formats/cBMPparser.h"
#include "formats/modParsers.h"
#include "formats/win/DrawingSurface.h"
#include "formats/win/modParsersWin.h"

#include <cmath>
#include <cstring>

namespace moirelle {
namespace {

// Every alpha byte to 255.
void MakeOpaque(IImageTarget& cHost) {
    uint8_t* bits = cHost.BitsPointer();
    const size_t bytes = static_cast<size_t>(cHost.Width()) * cHost.Height() * 4;
    for (size_t i = 3; i < bytes; i += 4)
        bits[i] = 255;
}

// The pixels of a 32-bit bitmap, bottom-up, into the image. The system's read serves
// sections (whatever their row order) and device-dependent bitmaps alike and keeps the
// alpha bytes. False when unreadable.
bool Take32BitPixels(HBITMAP bitmap, IImageTarget& cHost) {
    return win::ReadBitmapBits32(bitmap, cHost.Width(), cHost.Height(), 0, cHost.Height(),
                                 cHost.BitsPointer());
}

} // namespace

int32_t cBMPparser::HiMetricToPixels(int32_t value, bool horizontal) {
    win::WindowDC screen;
    const int dpi = GetDeviceCaps(screen.get(), horizontal ? LOGPIXELSX : LOGPIXELSY);
    const double twipsPerPixel = 1440.0 / (dpi > 0 ? dpi : 96);
    // Default rounding: to nearest, halves to even.
    return static_cast<int32_t>(std::nearbyint(value * 1440.0 / 2540.0 / twipsPerPixel));
}

void cBMPparser::UseSystemPictureLoader() {
    SetPictureLoader([](std::span<const uint8_t> stream, IImageTarget& cHost, int32_t bitCount) {
        const win::ComPtr<IPicture> picture =
            modParsers::PictureFromBytes(stream, 0, stream.size());
        return picture &&
               cBMPparser().ConvertstdPicTo32bpp(picture.Get(), nullptr, cHost, bitCount);
    });
}

bool cBMPparser::ConvertstdPicTo32bpp(IPicture* stdPic, void* Handle, IImageTarget& cHost,
                                      int32_t /*bitCount*/) {
    short pictureType = PICTYPE_NONE;
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    int32_t width = 0;
    int32_t height = 0;
    BITMAP bm{};
    const HBITMAP bitmap = static_cast<HBITMAP>(Handle);

    if (stdPic) {
        if (FAILED(stdPic->get_Type(&pictureType)) || pictureType == PICTYPE_NONE) return false;
        if (FAILED(stdPic->get_Width(&hmWidth)) || FAILED(stdPic->get_Height(&hmHeight)))
            return false;
        OLE_HANDLE handle = 0;
        ENHMETAHEADER header{};
        if ((hmWidth == 0 || hmHeight == 0) && pictureType == PICTYPE_ENHMETAFILE &&
            SUCCEEDED(stdPic->get_Handle(&handle)) &&
            GetEnhMetaFileHeader(reinterpret_cast<HENHMETAFILE>(static_cast<uintptr_t>(handle)),
                                 sizeof(header), &header) != 0) {
            // Some picture objects report no size for an enhanced metafile made from a
            // handle; its frame (in the same 0.01 mm units) gives it.
            hmWidth = header.rclFrame.right - header.rclFrame.left;
            hmHeight = header.rclFrame.bottom - header.rclFrame.top;
        }
        width = HiMetricToPixels(hmWidth, true);
        height = HiMetricToPixels(hmHeight, false);
    } else {
        if (!bitmap || GetObject(bitmap, sizeof(bm), &bm) == 0) return false;
        width = bm.bmWidth;
        height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    }
    if (!cHost.InitializeDIB(width, height)) return false;
    const size_t bytes = static_cast<size_t>(width) * height * 4;

    if (!stdPic) {
        if (bm.bmBitsPixel == 32 && Take32BitPixels(bitmap, cHost)) {
            bool hasAlpha = false;
            int32_t type = imgBitmap;
            modParsers::AnalyseAlpha({cHost.BitsPointer(), width, height}, true, hasAlpha, type);
            cHost.SetAlphaFlag(hasAlpha);
            cHost.SetImageType(type);
            return true;
        }
        // Other depths: copied onto a drawing surface (the system converts the colours).
        win::DrawingSurface surface(width, height);
        win::UniqueMemoryDC source(CreateCompatibleDC(surface.dc()));
        if (!surface.ok() || !source) {
            cHost.DestroyDIB();
            return false;
        }
        {
            win::ScopedSelect select(source.get(), bitmap);
            BitBlt(surface.dc(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY);
            GdiFlush();
        }
        std::memcpy(cHost.BitsPointer(), surface.bits(), bytes);
        MakeOpaque(cHost);
        cHost.SetAlphaFlag(false);
        cHost.SetImageType(imgBitmap);
        return true;
    }

    win::DrawingSurface surface(width, height);
    if (!surface.ok()) {
        cHost.DestroyDIB();
        return false;
    }
    const bool metafile = pictureType == PICTYPE_METAFILE || pictureType == PICTYPE_ENHMETAFILE;
    // Drawing leaves the alpha of what it touches at 0: the 255s mark the untouched area.
    if (metafile) std::memset(surface.bits(), 255, bytes);
    stdPic->Render(surface.dc(), 0, 0, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
    GdiFlush();
    std::memcpy(cHost.BitsPointer(), surface.bits(), bytes);

    if (metafile) {
        bool anyTransparent = false;
        uint8_t* bits = cHost.BitsPointer();
        for (size_t i = 0; i < bytes; i += 4) {
            if (bits[i + 3] == 255) {
                std::memset(bits + i, 0, 4);
                anyTransparent = true;
            } else {
                bits[i + 3] = 255;
            }
        }
        cHost.SetAlphaFlag(anyTransparent);
    } else {
        MakeOpaque(cHost);
        cHost.SetAlphaFlag(false);
    }
    cHost.SetImageType(pictureType);
    return true;
}

} // namespace moirelle

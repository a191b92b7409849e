#include "tests/win/readers/WinSamples.h"

#include "platform/win/ComPtr.h"

#include <objidl.h>
// GDI+ expects min and max from the Windows headers.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

#include <cstring>

namespace moirelle::test {

std::vector<uint8_t> MakeSolidJpeg(int width, int height, uint32_t rgb) {
    std::vector<uint8_t> out;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return out;
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0xFF000000u | rgb);
        Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppARGB,
                               reinterpret_cast<BYTE*>(pixels.data()));
        // The JPEG encoder's class id.
        const CLSID jpeg = {
            0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
        win::ComPtr<IStream> stream;
        if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.ReleaseAndGetAddressOf())) &&
            bitmap.Save(stream.Get(), &jpeg, nullptr) == Gdiplus::Ok) {
            HGLOBAL global = nullptr;
            STATSTG stat{};
            if (SUCCEEDED(GetHGlobalFromStream(stream.Get(), &global)) &&
                SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
                const void* p = GlobalLock(global);
                const auto* bytes = static_cast<const uint8_t*>(p);
                out.assign(bytes, bytes + stat.cbSize.QuadPart);
                GlobalUnlock(global);
            }
        }
    }
    Gdiplus::GdiplusShutdown(token);
    return out;
}

win::UniqueBitmap MakeDibSection32(int width, int height, const std::vector<uint32_t>& argbTopDown,
                                   bool topDown) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = topDown ? -height : height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    win::UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) return bitmap;
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        const int row = topDown ? y : height - 1 - y;
        std::memcpy(px + static_cast<size_t>(row) * width,
                    &argbTopDown[static_cast<size_t>(y) * width], static_cast<size_t>(width) * 4);
    }
    GdiFlush();
    return bitmap;
}

win::UniqueIcon MakeIcon(int width, int height, const std::vector<uint32_t>& argbTopDown,
                         const std::vector<bool>& maskTopDown, bool icon) {
    const win::UniqueBitmap colour = MakeDibSection32(width, height, argbTopDown);
    const int stride = ((width + 15) / 16) * 2; // CreateBitmap rows: 16-bit aligned
    std::vector<uint8_t> maskBits(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (maskTopDown[static_cast<size_t>(y) * width + x])
                maskBits[static_cast<size_t>(y) * stride + x / 8] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    const win::UniqueBitmap mask(CreateBitmap(width, height, 1, 1, maskBits.data()));
    ICONINFO info{};
    info.fIcon = icon ? TRUE : FALSE;
    info.hbmColor = colour.get();
    info.hbmMask = mask.get();
    return win::UniqueIcon(CreateIconIndirect(&info));
}

} // namespace moirelle::test

// The general image loader: anything GDI+ decodes, drawn into a c32bppDIB.

#include "dib/ImageType.h"
#include "dib/win/c32bppDIB.h"
#include "gdiplus/GdiplusObjects.h"
#include "gdiplus/GdiplusSession.h"
#include "gdiplus/GdiplusStreams.h"
#include "gdiplus/cGDIPlus.h"

#include <cmath>

namespace moirelle {
namespace {

gdip::UniqueImage LoadImage(const gdip::Api& api, const std::wstring& FileName,
                            std::span<const uint8_t> inStream) {
    gdip::UniqueImage image(api);
    if (!FileName.empty()) {
        if (api.GdipLoadImageFromFile(FileName.c_str(), image.put()) != gdip::statusOk)
            image.reset();
        return image;
    }
    const win::ComPtr<IStream> stream = gdip::ArrayToStream(inStream, 0);
    if (stream && api.GdipLoadImageFromStream(stream.Get(), image.put()) != gdip::statusOk)
        image.reset();
    return image;
}

// Draws the whole image 1:1 into cHost, made to its size. False when GDI+ cannot tell the
// size, the DIB or a graphics object on it cannot be made, or the image does not draw
// (data that GDI+ opened but cannot decode).
bool DrawIntoHost(const gdip::Api& api, gdip::GpImage* image, c32bppDIB& cHost) {
    gdip::RectF bounds{};
    INT unit = gdip::unitPixel;
    if (api.GdipGetImageBounds(image, &bounds, &unit) != gdip::statusOk) return false;
    const auto x = static_cast<int32_t>(std::lrint(bounds.X));
    const auto y = static_cast<int32_t>(std::lrint(bounds.Y));
    const auto width = static_cast<int32_t>(std::lrint(bounds.Width));
    const auto height = static_cast<int32_t>(std::lrint(bounds.Height));
    if (width <= 0 || height <= 0 || !cHost.InitializeDIB(width, height)) return false;

    const HDC dc = cHost.LoadDIBinDC(true);
    bool drawn = false;
    {
        gdip::UniqueGraphics graphics(api);
        if (dc && api.GdipCreateFromHDC(dc, graphics.put()) == gdip::statusOk) {
            drawn = api.GdipDrawImageRectRectI(graphics.get(), image, 0, 0, width, height, x, y,
                                               width, height, gdip::unitPixel, nullptr, nullptr,
                                               nullptr) == gdip::statusOk;
        }
    }
    cHost.LoadDIBinDC(false);
    return drawn;
}

} // namespace

bool cGDIPlus::GDIplusLoadPicture(const std::wstring& FileName, std::span<const uint8_t> inStream,
                                  c32bppDIB& cHost, uintptr_t GlobalToken) {
    // Whatever cHost held is replaced, by the loaded image or by nothing.
    cHost.DestroyDIB();
    const gdip::TokenScope session(GlobalToken);
    if (!session) return false;
    const gdip::Api& api = *session.api();

    INT format = 0;
    {
        // Disposed of at the end of this block on every path: a file stays locked while
        // its image exists.
        const gdip::UniqueImage image = LoadImage(api, FileName, inStream);
        if (!image) return false;
        if (!DrawIntoHost(api, image.get(), cHost)) {
            cHost.DestroyDIB();
            return false;
        }
        if (api.GdipGetImagePixelFormat(image.get(), &format) != gdip::statusOk) format = 0;
    }
    cHost.SetAlphaFlag(format == gdip::pixelFormat32bppARGB ||
                       format == gdip::pixelFormat32bppPARGB);
    cHost.SetImageType(imgPNG);
    return true;
}

} // namespace moirelle

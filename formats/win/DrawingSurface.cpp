#include "formats/win/DrawingSurface.h"

#include "dib/DibGeometry.h"

namespace moirelle::win {
namespace {

// A 32-bpp uncompressed bottom-up format of the given size.
BITMAPINFO Format32(int32_t width, int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

} // namespace

DrawingSurface::DrawingSurface(int32_t width, int32_t height) : width_(width), height_(height) {
    int32_t h = 0, bytes = 0;
    if (!NormaliseDibSize(width, height, h, bytes) || bytes == 0) return;
    BITMAPINFO info = Format32(width, h);
    WindowDC screen;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_ || !bits) return;
    dc_.reset(CreateCompatibleDC(screen.get()));
    if (!dc_) return;
    previous_ = SelectObject(dc_.get(), bitmap_.get());
    bits_ = static_cast<uint8_t*>(bits);
}

DrawingSurface::~DrawingSurface() {
    if (dc_ && previous_) SelectObject(dc_.get(), previous_);
}

bool ReadBitmapBits32(HBITMAP bitmap, int32_t width, int32_t fullHeight, int32_t firstLine,
                      int32_t lines, uint8_t* out) {
    BITMAPINFO info = Format32(width, fullHeight);
    WindowDC screen;
    return GetDIBits(screen.get(), bitmap, static_cast<UINT>(firstLine), static_cast<UINT>(lines),
                     out, &info, DIB_RGB_COLORS) == lines;
}

} // namespace moirelle::win

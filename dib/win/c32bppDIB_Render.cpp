// Render and its roads: AlphaBlend, GDI+ (the bridge's render operation) and the
// software renderer, whose maths lives in the portable dib/ files.
#include "dib/BlendToDestination.h"
#include "dib/RenderRequest.h"
#include "dib/SoftwareRender.h"
#include "dib/win/c32bppDIB.h"
#include "gdiplus/cGDIPlus.h"

#include <cstring>

namespace moirelle {
namespace {

// A 24-bit DIB section in a memory DC, holding a copy of a rectangle of another DC.
class DestinationCopy {
  public:
    bool Create(HDC source, int32_t x, int32_t y, int32_t width, int32_t height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height; // bottom-up
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        win::WindowDC screen;
        dc_.reset(CreateCompatibleDC(screen.get()));
        void* bits = nullptr;
        section_.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!dc_ || !section_ || !bits) return false;
        previous_ = SelectObject(dc_.get(), section_.get());
        // A destination whose pixels cannot be read (a printer, a metafile) cannot be
        // blended onto.
        if (!BitBlt(dc_.get(), 0, 0, width, height, source, x, y, SRCCOPY)) return false;
        GdiFlush();
        info_ = info;
        bits_ = static_cast<uint8_t*>(bits);
        stride_ = ((static_cast<size_t>(width) * 24 + 31) / 32) * 4;
        return true;
    }
    ~DestinationCopy() {
        if (dc_ && previous_) SelectObject(dc_.get(), previous_);
    }
    // Writes the pixels back to the DC they came from.
    bool WriteBack(HDC destination, int32_t x, int32_t y) {
        const int32_t w = info_.bmiHeader.biWidth;
        const int32_t h = info_.bmiHeader.biHeight;
        return SetDIBitsToDevice(destination, x, y, static_cast<DWORD>(w), static_cast<DWORD>(h), 0,
                                 0, 0, static_cast<UINT>(h), bits_, &info_, DIB_RGB_COLORS) != 0;
    }
    uint8_t* bits() const { return bits_; }
    size_t stride() const { return stride_; }

  private:
    win::UniqueMemoryDC dc_;
    win::UniqueBitmap section_;
    HGDIOBJ previous_ = nullptr;
    BITMAPINFO info_{};
    uint8_t* bits_ = nullptr;
    size_t stride_ = 0;
};

} // namespace

bool c32bppDIB::Render(HDC destinationDC, int32_t destX, int32_t destY, int32_t destWidth,
                       int32_t destHeight, int32_t SrcX, int32_t SrcY, int32_t srcWidth,
                       int32_t srcHeight, int32_t Opacity, bool /*Blend*/, bool SetHalfTone,
                       c32bppDIB* destHostDIB, int32_t grayScale, float LightAdjustment,
                       float Angle, bool CenterOnDestXY) {
    return Render(destinationDC,
                  RenderRequest{.destX = destX,
                                .destY = destY,
                                .destWidth = destWidth,
                                .destHeight = destHeight,
                                .SrcX = SrcX,
                                .SrcY = SrcY,
                                .srcWidth = srcWidth,
                                .srcHeight = srcHeight,
                                .Opacity = Opacity,
                                .SetHalfTone = SetHalfTone,
                                .grayScale = grayScale,
                                .LightAdjustment = LightAdjustment,
                                .Angle = Angle,
                                .CenterOnDestXY = CenterOnDestXY},
                  destHostDIB);
}

bool c32bppDIB::Render(HDC destinationDC, const RenderRequest& request, c32bppDIB* destHostDIB) {
    RenderRequest r = request;
    const bool SetHalfTone = r.SetHalfTone;

    // Drawing an image into itself would read pixels it has already written.
    const bool hasDestination = (destinationDC || destHostDIB) && destHostDIB != this &&
                                (!destHostDIB || destHostDIB->Handle());
    int32_t opacity = 0;
    switch (NormaliseRender(r, dib_ ? width_ : 0, dib_ ? height_ : 0, hasDestination, opacity)) {
    case RenderRoad::NothingToDraw:
        return static_cast<bool>(dib_);
    case RenderRoad::Refused:
        return false;
    case RenderRoad::Rotated:
        return RenderRotated(destinationDC, r, opacity, destHostDIB);
    case RenderRoad::Unrotated:
        break;
    }

    EngineSettings settings;
    settings.gdiplusEnabled = isGDIplusEnabled();
    settings.gdiToken = gdiToken_;
    settings.alphaBlendFriendly = isAlphaBlendFriendly();
    settings.highQuality = highQuality_;
    switch (ChooseEngine(r, settings)) {
    case RenderEngine::AlphaBlend:
        return RenderAlphaBlend(destinationDC, r, opacity, SetHalfTone, destHostDIB);
    case RenderEngine::GdiPlus: {
        HDC target = destHostDIB ? destHostDIB->LoadDIBinDC(true) : destinationDC;
        const bool drawn = target && RenderThroughGDIplus(target, 0, opacity, r);
        if (destHostDIB) destHostDIB->LoadDIBinDC(false);
        return drawn;
    }
    case RenderEngine::Software:
        break;
    }
    return RenderSoftware(destinationDC, r, opacity, destHostDIB);
}

// The GDI+ bridge's render operation with this object's quality choice and token; false
// when GDI+ is not there or declines.
bool c32bppDIB::RenderThroughGDIplus(HDC destinationDC, float Angle, int32_t opacity,
                                     const RenderRequest& r) {
    return cGDIPlus().RenderGDIplus(
        *this, destinationDC, Angle, opacity, r.destX, r.destY, r.destWidth, r.destHeight, r.SrcX,
        r.SrcY, r.srcWidth, r.srcHeight, highQuality_, r.grayScale, gdiToken_, r.LightAdjustment);
}

bool c32bppDIB::RenderAlphaBlend(HDC destinationDC, const RenderRequest& r, int32_t opacity,
                                 bool SetHalfTone, c32bppDIB* destHostDIB) {
    const bool wasSelected = previousBitmap_ != nullptr;
    HDC source = LoadDIBinDC(true);
    HDC target = destHostDIB ? destHostDIB->LoadDIBinDC(true) : destinationDC;
    bool drawn = false;
    if (source && target) {
        int oldMode = 0;
        if (SetHalfTone && !(flags_ & capWin9x)) oldMode = SetStretchBltMode(target, HALFTONE);
        BLENDFUNCTION blend{};
        blend.BlendOp = AC_SRC_OVER;
        blend.BlendFlags = 0;
        blend.SourceConstantAlpha = static_cast<BYTE>(ConstantAlpha(opacity));
        blend.AlphaFormat = alpha_ ? AC_SRC_ALPHA : 0;
        drawn = AlphaBlend(target, r.destX, r.destY, r.destWidth, r.destHeight, source, r.SrcX,
                           r.SrcY, r.srcWidth, r.srcHeight, blend) != FALSE;
        if (oldMode) SetStretchBltMode(target, oldMode);
    }
    if (destHostDIB) destHostDIB->LoadDIBinDC(false);
    if (!wasSelected) LoadDIBinDC(false);
    return drawn;
}

bool c32bppDIB::RenderSoftware(HDC destinationDC, const RenderRequest& r, int32_t opacity,
                               c32bppDIB* destHostDIB) {
    GdiFlush(); // the system may still be drawing into either image
    PreparedSource prepared;
    if (!PrepareSoftwareSource(View(), r, highQuality_, prepared)) return false;
    return BlendToDestination(destinationDC, prepared, ConstantAlpha(opacity), destHostDIB,
                              r.grayScale);
}

bool c32bppDIB::BlendToDestination(HDC destinationDC, PreparedSource& prepared, uint32_t op,
                                   c32bppDIB* destHostDIB, int32_t grayScale) {
    const int32_t hostWidth = destHostDIB ? destHostDIB->Width() : 0;
    const int32_t hostHeight = destHostDIB ? destHostDIB->Height() : 0;
    BlendPlan plan;
    if (!PlanBlend(prepared.Rows(), prepared.srcX, prepared.srcY, prepared.destX, prepared.destY,
                   prepared.destWidth, prepared.destHeight, hostWidth, hostHeight, plan))
        return destHostDIB && LiesBeyondHost(prepared.destX, prepared.destY, prepared.destWidth,
                                             prepared.destHeight, hostWidth, hostHeight);
    if (destHostDIB) {
        BlendOntoHost(prepared.Rows(), plan, destHostDIB->View(), op, grayScale);
        return true;
    }
    DestinationCopy copy;
    if (!copy.Create(destinationDC, plan.dstX, plan.dstY, plan.width, plan.height)) return false;
    BlendOnto24(prepared.Rows(), plan, copy.bits(), copy.stride(), op, grayScale);
    return copy.WriteBack(destinationDC, plan.dstX, plan.dstY);
}

bool c32bppDIB::RenderRotated(HDC destinationDC, const RenderRequest& r, int32_t opacity,
                              c32bppDIB* destHostDIB) {
    if (isGDIplusEnabled()) {
        HDC target = destHostDIB ? destHostDIB->LoadDIBinDC(true) : destinationDC;
        const bool drawn = target && RenderThroughGDIplus(target, r.Angle, opacity, r);
        if (destHostDIB) destHostDIB->LoadDIBinDC(false);
        if (drawn) return true;
    }
    GdiFlush();
    c32bppDIB canvas;
    canvas.isGDIplusEnabled(isGDIplusEnabled());
    canvas.HighQualityInterpolation(highQuality_);
    int32_t x = 0, y = 0;
    // Only the canvas pixels that can reach the destination are sampled: the host
    // image's bounds, or the device context's clip box (logical units, as the canvas is
    // drawn; a box around everything visible even under a world transform).
    SourceRect visible{};
    RECT clip{};
    const SourceRect* window = nullptr;
    if (destHostDIB) {
        visible = {0, 0, destHostDIB->Width(), destHostDIB->Height()};
        window = &visible;
    } else if (destinationDC) {
        const int kind = GetClipBox(destinationDC, &clip);
        if (kind == SIMPLEREGION || kind == COMPLEXREGION) {
            visible = {clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top};
            window = &visible;
        }
    }
    // When the canvas would be drawn by the software engine, its rows are made as the
    // blend reads them instead: the same bytes, without a canvas of the diagonal's square.
    // AlphaBlend and GDI+ draw whole images, so they still get the canvas.
    RenderRequest natural; // the canvas drawn at its natural size
    natural.grayScale = r.grayScale;
    natural.destWidth = natural.destHeight = natural.srcWidth = natural.srcHeight = 1;
    EngineSettings settings;
    settings.gdiplusEnabled = canvas.isGDIplusEnabled();
    settings.gdiToken = gdiToken_;
    settings.alphaBlendFriendly = canvas.isAlphaBlendFriendly();
    settings.highQuality = highQuality_;
    if (ChooseEngine(natural, settings) == RenderEngine::Software) {
        PreparedSource rows;
        if (!PrepareRotatedRows(View(), r, highQuality_, rows, window)) return false;
        return BlendToDestination(destinationDC, rows, ConstantAlpha(opacity), destHostDIB,
                                  r.grayScale);
    }
    if (!PrepareRotatedCanvas(View(), r, highQuality_, canvas, x, y, window)) return false;
    canvas.gdiToken(gdiToken_);
    return canvas.Render(destinationDC, x, y, 0, 0, 0, 0, 0, 0, opacity, true,
                         destHostDIB == nullptr, destHostDIB, r.grayScale, 0, 0, false);
}

} // namespace moirelle

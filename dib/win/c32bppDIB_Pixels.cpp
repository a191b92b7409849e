// Pixel access, regions and copies of the image object.
#include "dib/MirrorSource.h"
#include "dib/PixelLayout.h"
#include "dib/ScaleSource.h"
#include "dib/win/c32bppDIB.h"
#include "formats/modParsers.h"
#include "formats/win/modParsersWin.h"
#include "gdiplus/cGDIPlus.h"

#include <cstdlib>
#include <cstring>

namespace moirelle {

int32_t c32bppDIB::GetPixel(int32_t X, int32_t Y, int32_t* AlphaValue, bool asPreMultiplied) const {
    int32_t alpha = 0;
    if (dib_) GdiFlush();
    const int32_t colour = ReadPixel(View(), X, Y, alpha, asPreMultiplied);
    if (AlphaValue) *AlphaValue = alpha;
    return colour;
}

bool c32bppDIB::GetDIBbits(ByteArray& outStream, bool as2dArray, bool asBGRformat, bool as32bpp,
                           bool asWordAligned, bool asBottomUp, int32_t X, int32_t Y, int32_t Width,
                           int32_t Height, bool asPreMultiplied) const {
    if (!dib_) return false;
    GdiFlush();
    BlockLayout layout;
    layout.bgr = asBGRformat;
    layout.bytes4 = as32bpp;
    layout.wordAligned = asWordAligned;
    layout.bottomUp = asBottomUp;
    return ExportBlock(View(), X, Y, Width, Height, layout, asPreMultiplied, as2dArray, outStream);
}

bool c32bppDIB::SetDIBbits(std::span<const uint8_t> inStream, bool isBGRformat, bool is32bpp,
                           bool isWordAligned, bool isBottomUp, int32_t dstX, int32_t dstY,
                           int32_t dstWidth, int32_t dstHeight) {
    if (!dib_) return false;
    GdiFlush();
    BlockLayout layout;
    layout.bgr = isBGRformat;
    layout.bytes4 = is32bpp;
    layout.wordAligned = isWordAligned;
    layout.bottomUp = isBottomUp;
    if (!ImportBlock(View(), inStream, dstX, dstY, dstWidth, dstHeight, layout)) return false;
    bool hasAlpha = false;
    int32_t verdict = imgBlank;
    modParsers::AnalyseAlpha(View(), true, hasAlpha, verdict);
    alpha_ = hasAlpha;
    return true;
}

win::UniqueRegion c32bppDIB::CreateRegion(int32_t Style, int32_t xOffset, int32_t yOffset) const {
    if (!dib_ || Style < 0 || Style > 2) return {};
    GdiFlush();
    win::UniqueRegion region = modParsers::RegionFromAlpha(*this, Style);
    if (region && (xOffset != 0 || yOffset != 0)) OffsetRgn(region.get(), xOffset, yOffset);
    return region;
}

void c32bppDIB::CopyImageTo(std::unique_ptr<c32bppDIB>& cDIBclass, int32_t newWidth,
                            int32_t newHeight, bool CopyOriginalFormat) {
    if (!dib_ || cDIBclass.get() == this) return;
    if (newWidth == 0) newWidth = width_;
    if (newHeight == 0) newHeight = height_;
    if (newWidth == INT32_MIN || newHeight == INT32_MIN) return;
    const int32_t w = std::abs(newWidth);
    const int32_t h = std::abs(newHeight);

    if (!cDIBclass) {
        cDIBclass = std::make_unique<c32bppDIB>();
        cDIBclass->gdiToken(gdiToken_);
        cDIBclass->isGDIplusEnabled(isGDIplusEnabled());
        cDIBclass->HighQualityInterpolation(highQuality_);
        if (!cDIBclass->InitializeDIB(w, h)) return;
    } else {
        cDIBclass->gdiToken(gdiToken_);
        if ((cDIBclass->Width() != w || cDIBclass->Height() != h) &&
            !cDIBclass->InitializeDIB(w, h))
            return;
    }
    c32bppDIB& target = *cDIBclass;
    target.alpha_ = alpha_;
    target.imageType_ = imageType_;
    GdiFlush();

    if (newWidth == width_ && newHeight == height_) {
        std::memcpy(target.bits_, bits_, View().size());
    } else {
        // A target kept from before still holds its old pixels: the roads that draw over
        // the target (GDI+, Render) would mix them with the new image.
        std::memset(target.bits_, 0, target.View().size());
        const bool friendly = isAlphaBlendFriendly();
        if (friendly && (flags_ & capWin9x)) isAlphaBlendFriendly(false);
        bool copied = false;
        if ((!isAlphaBlendFriendly() || highQuality_) && isGDIplusEnabled()) {
            // Always the high-quality filter here, whatever this object's own choice.
            HDC dc = target.LoadDIBinDC(true);
            copied = dc && cGDIPlus().RenderGDIplus(*this, dc, 0, 100, 0, 0, newWidth, newHeight, 0,
                                                    0, width_, height_, true, -1, gdiToken_, 0);
            target.LoadDIBinDC(false);
        }
        // Without GDI+ (or when it declines) the library's own scaler does the work.
        if (!copied && (newWidth < 0 || newHeight < 0)) {
            // The whole image, mirrored, then scaled to the target when sizes differ.
            SourceRect rect{0, 0, width_, height_};
            int32_t mw = newWidth < 0 ? -width_ : width_;
            int32_t mh = newHeight < 0 ? -height_ : height_;
            float amount = 0;
            if (w == width_ && h == height_) {
                MirrorSource(View(), rect, mw, mh, target.View(), amount);
            } else {
                PixelBuffer mirrored;
                if (MirrorSource(View(), rect, mw, mh, mirrored, amount)) {
                    ScaleJob job;
                    job.source = mirrored.View();
                    job.highQuality = highQuality_;
                    ScaleSourceInto(job, target.View());
                }
            }
        } else if (!copied && (!isAlphaBlendFriendly() || highQuality_)) {
            ScaleJob job;
            job.source = View();
            job.highQuality = highQuality_;
            ScaleSourceInto(job, target.View());
        } else if (!copied) {
            Render(nullptr, 0, 0, newWidth, newHeight, 0, 0, width_, height_, 100, true, false,
                   &target, -1, 0, 0, false);
        }
        isAlphaBlendFriendly(friendly);
    }
    if (CopyOriginalFormat) target.SetOriginalFormatBytes(originalFormat_);
}

} // namespace moirelle

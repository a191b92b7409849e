// How the image control turns its image into pixels: the scaled size, the layout in the
// control, AutoSize, the control-sized cache (AutoRedraw), the prepared shadow and Paint.
#include "control/aicAlphaImage.h"

#include "control/ControlFlags.h"
#include "control/OleColor.h"
#include "forms/ScaleMode.h"

#include <algorithm>
#include <cmath>

namespace moirelle::control {
namespace {

// Shadows of images up to this size shown unscaled are blurred at every paint instead.
constexpr int32_t kLargestJustInTimeShadow = 128;

int32_t Round(double v) {
    return static_cast<int32_t>(std::nearbyint(v));
}

// The side of the square that holds a w x h image at any angle.
int32_t Diagonal(int32_t w, int32_t h) {
    return Round(std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h));
}

} // namespace

void aicAlphaImage::GetImageScales(int32_t& Width, int32_t& Height, int32_t ScaleMethod,
                                   int32_t desiredWidth, int32_t desiredHeight,
                                   bool asRotatedImage) {
    if (!image_->Handle()) return;
    if (ScaleMethod < 0) ScaleMethod = scaleMethod_;
    if (ScaleMethod > CustomSize) ScaleMethod = CustomSize;
    if (ScaleMethod == CustomSize) {
        Width = drawWidth_;
        Height = drawHeight_;
        return;
    }
    const int32_t W = image_->Width();
    const int32_t H = image_->Height();
    if (desiredWidth < 1) desiredWidth = ScaleWidthPx();
    if (desiredHeight < 1) desiredHeight = ScaleHeightPx();
    // A control without size (an AutoSize control shrunk while it was empty) gives the image
    // room for its own size, or for its diagonal when it turns.
    if (desiredWidth < 1) desiredWidth = asRotatedImage ? Diagonal(W, H) : W;
    if (desiredHeight < 1) desiredHeight = asRotatedImage ? Diagonal(W, H) : H;

    if (!asRotatedImage) {
        if (ScaleMethod == StretchToFit) {
            Width = desiredWidth;
            Height = desiredHeight;
        } else if (ScaleMethod == ActualSize) {
            Width = W;
            Height = H;
        } else {
            float r = std::min(static_cast<float>(desiredWidth) / static_cast<float>(W),
                               static_cast<float>(desiredHeight) / static_cast<float>(H));
            if (ScaleMethod == ShrinkToFit && r > 1.0f) r = 1.0f;
            Width = Round(static_cast<double>(W) * r);
            Height = Round(static_cast<double>(H) * r);
        }
        return;
    }

    if (ScaleMethod == ActualSize) {
        Width = W;
        Height = H;
        return;
    }
    const int32_t D = Diagonal(W, H);
    const float rx = static_cast<float>(W) / static_cast<float>(D);
    const float ry = static_cast<float>(H) / static_cast<float>(D);
    if (ScaleMethod == StretchToFit) {
        Width = Round(static_cast<double>(desiredWidth) * rx);
        Height = Round(static_cast<double>(desiredHeight) * ry);
        return;
    }
    const int32_t m = std::min(desiredWidth, desiredHeight);
    int32_t w = Round(static_cast<double>(m) * rx);
    int32_t h = Round(static_cast<double>(m) * ry);
    if (ScaleMethod == ShrinkToFit && (W < w || H < h)) {
        w = W;
        h = H;
    }
    Width = w;
    Height = h;
}

void aicAlphaImage::UserControl_Resize() {
    if (drawWidth_ < 0) return; // AutoSize is resizing the control
    if (!image_->Handle() && !RunTime()) {
        image_->InitializeDIB(ScaleWidthPx(), ScaleHeightPx());
        image_->CreateCheckerBoard(12, 0xFFFFFF, 0xC0C0C0);
        PixelsChanged();
    }
    if (laidOut_ != CurrentLayoutKey()) {
        ++work_.layouts;
        const float sw = ScaleWidth();
        const float sh = ScaleHeight();
        const bool rotate = Flag(kRotateEnabled);
        GetImageScales(drawWidth_, drawHeight_, scaleMethod_, ScaleWidthPx(), ScaleHeightPx(),
                       rotate);
        if (rotate) {
            rotatedSize_ = Diagonal(drawWidth_, drawHeight_);
            if (scaleMethod_ == CustomSize) {
                drawLeft_ = std::max(0, Round(sw - drawWidth_) / 2);
                drawTop_ = std::max(0, Round(sh - drawHeight_) / 2);
            } else {
                // May be negative: the square is wider than the control.
                drawLeft_ = Round(sw - rotatedSize_) / 2;
                drawTop_ = Round(sh - rotatedSize_) / 2;
            }
            isActualSize_ = false;
        } else {
            drawLeft_ = std::max(0, Round(sw - drawWidth_) / 2);
            drawTop_ = std::max(0, Round(sh - drawHeight_) / 2);
            isActualSize_ = drawWidth_ == image_->Width() && drawHeight_ == image_->Height();
        }
        if (Flag(kAutoSize)) {
            const int32_t wantedW = rotate ? rotatedSize_ : drawWidth_;
            const int32_t wantedH = rotate ? rotatedSize_ : drawHeight_;
            drawWidth_ = -drawWidth_;
            drawLeft_ = 0;
            drawTop_ = 0;
            Size(Round(ScaleX(wantedW, forms::vbPixels, forms::vbTwips)),
                 Round(ScaleY(wantedH, forms::vbPixels, forms::vbTwips)));
            drawWidth_ = -drawWidth_;
        }
        laidOut_ = CurrentLayoutKey();
    }
    if (!BuildBackBuffer(true, true)) BuildHitRegion();
}

void aicAlphaImage::RelayoutAndRefresh() {
    const int32_t sw = ScaleWidthPx();
    const int32_t sh = ScaleHeightPx();
    UserControl_Resize();
    // A changed size has repainted through the resize already.
    if (sw == ScaleWidthPx() && sh == ScaleHeightPx()) Repaint();
}

LayoutKey aicAlphaImage::CurrentLayoutKey() const {
    const bool hasImage = image_->Handle() != nullptr;
    return {ScaleWidthPx(),
            ScaleHeightPx(),
            hasImage,
            hasImage ? image_->Width() : 0,
            hasImage ? image_->Height() : 0,
            scaleMethod_,
            flags_ & (kRotateEnabled | kAutoSize)};
}

DrawKey aicAlphaImage::CurrentDrawKey() const {
    const bool turned = Flag(kRotateEnabled);
    // Every change of the control's size lays it out: the layout knows the size (and asking
    // the container for it costs more than a paint should).
    return {pixelsVersion_,
            laidOut_ ? laidOut_->controlWidth : ScaleWidthPx(),
            laidOut_ ? laidOut_->controlHeight : ScaleHeightPx(),
            drawLeft_,
            drawTop_,
            drawWidth_,
            drawHeight_,
            image_->HighQualityInterpolation(),
            turned,
            turned ? rotation_ : 0};
}

void aicAlphaImage::DrawLaidOut(c32bppDIB& target, bool controlSized) {
    const bool rotate = Flag(kRotateEnabled);
    const int32_t w = rotate || controlSized ? ScaleWidthPx() : drawWidth_;
    const int32_t h = rotate || controlSized ? ScaleHeightPx() : drawHeight_;
    if (target.Handle() && target.Width() == w && target.Height() == h)
        target.EraseDIB();
    else if (!target.InitializeDIB(w, h))
        return;
    ++work_.drawings;
    HDC dc = target.LoadDIBinDC(true);
    if (!dc) return;
    if (rotate) {
        target.SetAlphaFlag(true);
        image_->Render(dc,
                       {.destX = w / 2,
                        .destY = h / 2,
                        .destWidth = drawWidth_,
                        .destHeight = drawHeight_,
                        .SetHalfTone = true,
                        .Angle = static_cast<float>(rotation_),
                        .CenterOnDestXY = true},
                       &target);
    } else {
        target.SetAlphaFlag(image_->Alpha());
        // The control-sized back buffer is drawn without halftone, the paint cache as a
        // direct paint would draw.
        image_->Render(dc,
                       {.destX = controlSized ? drawLeft_ : 0,
                        .destY = controlSized ? drawTop_ : 0,
                        .destWidth = drawWidth_,
                        .destHeight = drawHeight_,
                        .SetHalfTone = !controlSized},
                       &target);
    }
}

bool aicAlphaImage::BuildBackBuffer(bool force, bool rebuildHitRegion) {
    bool built = false;
    if (Flag(kBackBufferInUse)) {
        if (force || !backBuffer_) {
            if (!backBuffer_) {
                backBuffer_ = NewDIB();
                backBuffer_->ManageOwnDC(true);
                backBufferDrawn_.reset();
            }
            if (drawWidth_ == 0) return false;
        }
        // The paint cache is not needed while the back buffer serves.
        paintCache_.reset();
        paintCacheDrawn_.reset();
        const DrawKey key = CurrentDrawKey();
        if (backBufferDrawn_ != key) {
            DrawLaidOut(*backBuffer_, true);
            backBufferDrawn_ = key;
        }
        if (rebuildHitRegion) BuildHitRegion();
        built = true;
    }
    if (Flag(kShadowEnabled)) BuildShadowImage();
    return built;
}

c32bppDIB* aicAlphaImage::PaintCache() {
    if (drawWidth_ <= 0 || drawHeight_ <= 0 || !image_->Handle()) return nullptr;
    if (!paintCache_) {
        paintCache_ = NewDIB();
        paintCache_->ManageOwnDC(true);
        paintCacheDrawn_.reset();
    }
    const DrawKey key = CurrentDrawKey();
    if (paintCacheDrawn_ != key) {
        DrawLaidOut(*paintCache_, false);
        paintCacheDrawn_ = key;
    }
    return paintCache_->Handle() ? paintCache_.get() : nullptr;
}

void aicAlphaImage::BuildShadowImage() {
    if (!Flag(kShadowEnabled)) {
        shadowImage_.reset();
        shadowMade_.reset();
        return;
    }
    if (drawWidth_ < 0) return;
    const bool rotate = Flag(kRotateEnabled);
    const bool prepare = !(isActualSize_ && !rotate) ||
                         image_->Width() > kLargestJustInTimeShadow ||
                         image_->Height() > kLargestJustInTimeShadow;
    const ShadowKey key{CurrentDrawKey(), shadowDepth_, shadowColor_, prepare};
    if (shadowMade_ == key) return;
    shadowMade_ = key;
    shadowImage_.reset();
    if (!prepare) return;
    // The shadow is cut from the image as it is painted: turned in a control-sized drawing
    // when it turns, else at its scaled size; the same drawing whatever caches are in use.
    c32bppDIB* source = nullptr;
    std::unique_ptr<c32bppDIB> drawing;
    if (rotate && backBuffer_ && backBufferDrawn_ == key.drawn) {
        source = backBuffer_.get();
    } else if (!Flag(kBackBufferInUse)) {
        source = PaintCache();
    } else if (drawWidth_ > 0 && drawHeight_ > 0 && image_->Handle()) {
        drawing = NewDIB();
        DrawLaidOut(*drawing, false);
        if (drawing->Handle()) source = drawing.get();
    }
    if (!source) return;
    ++work_.shadowBlurs;
    shadowImage_ = source->CreateDropShadow(shadowDepth_, TranslateColor(shadowColor_));
    if (shadowImage_) {
        shadowImage_->gdiToken(image_->gdiToken());
        if (!image_->isGDIplusEnabled()) shadowImage_->isGDIplusEnabled(false);
    }
}

void aicAlphaImage::PaintCached(HDC dc, c32bppDIB& cache, const RECT& paint, POINT origin) {
    RECT src = paint;
    OffsetRect(&src, -origin.x, -origin.y);
    const RECT bounds{0, 0, cache.Width(), cache.Height()};
    if (!IntersectRect(&src, &src, &bounds)) return;
    const int32_t w = src.right - src.left;
    const int32_t h = src.bottom - src.top;
    // Copied 1:1 without recolouring, the pixels are the same whichever engine draws them:
    // without the GDI+ token AlphaBlend does it, at a fraction of GDI+'s cost.
    const uintptr_t token = cache.gdiToken();
    if (grayScaleMethod_ < 0 && intensityOffset_ == 0) cache.gdiToken(0);
    cache.Render(dc, {.destX = src.left + origin.x + imageOffsetX_,
                      .destY = src.top + origin.y + imageOffsetY_,
                      .destWidth = w,
                      .destHeight = h,
                      .SrcX = src.left,
                      .SrcY = src.top,
                      .srcWidth = w,
                      .srcHeight = h,
                      .Opacity = opacity_,
                      .SetHalfTone = false, // nothing is stretched
                      .grayScale = grayScaleMethod_,
                      .LightAdjustment = intensityOffset_});
    cache.gdiToken(token);
}

void aicAlphaImage::UserControl_Paint() {
    if (drawWidth_ < 0) return;
    HDC dc = hDC();
    if (!dc) return;
    const bool rotate = Flag(kRotateEnabled);

    RECT clip{};
    GetClipBox(dc, &clip);
    const RECT imageRect =
        rotate ? RECT{drawLeft_, drawTop_, drawLeft_ + rotatedSize_, drawTop_ + rotatedSize_}
               : RECT{drawLeft_, drawTop_, drawLeft_ + drawWidth_, drawTop_ + drawHeight_};
    RECT paint{};
    if (!IntersectRect(&paint, &clip, &imageRect)) return;

    if (Flag(kShadowEnabled)) {
        const float sw = ScaleWidth();
        const float sh = ScaleHeight();
        const int32_t faded = (shadowOpacity_ * opacity_) / 100;
        if (!shadowImage_) {
            image_->RenderDropShadow_JIT(dc, shadowOffsetX_ + Round(sw - image_->Width()) / 2,
                                         shadowOffsetY_ + Round(sh - image_->Height()) / 2,
                                         shadowDepth_, TranslateColor(shadowColor_), faded);
        } else {
            // Cut from the image as painted (turned already when it turns): centred at its
            // own size, like the image.
            shadowImage_->Render(dc,
                                 {.destX = shadowOffsetX_ + Round(sw - shadowImage_->Width()) / 2,
                                  .destY = shadowOffsetY_ + Round(sh - shadowImage_->Height()) / 2,
                                  .Opacity = faded,
                                  .SetHalfTone = false});
        }
    }

    if (backBuffer_) {
        PaintCached(dc, *backBuffer_, paint, {0, 0});
    } else if (isActualSize_) {
        PaintCached(dc, *image_, paint, {drawLeft_, drawTop_});
    } else if (c32bppDIB* cache = PaintCache()) {
        PaintCached(dc, *cache, paint, rotate ? POINT{0, 0} : POINT{drawLeft_, drawTop_});
    }
}

} // namespace moirelle::control

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
    if (desiredWidth < 1) desiredWidth = ScaleWidthPx();
    if (desiredHeight < 1) desiredHeight = ScaleHeightPx();
    const int32_t W = image_->Width();
    const int32_t H = image_->Height();

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
    const float sw = ScaleWidth();
    const float sh = ScaleHeight();
    if (!image_->Handle() && !RunTime()) {
        image_->InitializeDIB(ScaleWidthPx(), ScaleHeightPx());
        image_->CreateCheckerBoard(12, 0xFFFFFF, 0xC0C0C0);
    }
    const bool rotate = Flag(kRotateEnabled);
    GetImageScales(drawWidth_, drawHeight_, scaleMethod_, ScaleWidthPx(), ScaleHeightPx(), rotate);
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
    if (!BuildBackBuffer(true, true)) BuildHitRegion();
}

void aicAlphaImage::RelayoutAndRefresh() {
    const int32_t sw = ScaleWidthPx();
    const int32_t sh = ScaleHeightPx();
    UserControl_Resize();
    // A changed size has repainted through the resize already.
    if (sw == ScaleWidthPx() && sh == ScaleHeightPx()) Repaint();
}

bool aicAlphaImage::BuildBackBuffer(bool force, bool rebuildHitRegion) {
    bool built = false;
    if (Flag(kBackBufferInUse)) {
        if (force || !backBuffer_) {
            if (!backBuffer_) {
                backBuffer_ = NewDIB();
                backBuffer_->ManageOwnDC(true);
            }
            if (drawWidth_ == 0) return false;
            if (backBuffer_->Width() == ScaleWidthPx() && backBuffer_->Height() == ScaleHeightPx())
                backBuffer_->EraseDIB();
            else
                backBuffer_->InitializeDIB(ScaleWidthPx(), ScaleHeightPx());
        } else {
            backBuffer_->EraseDIB();
        }
        if (HDC dc = backBuffer_->LoadDIBinDC(true)) {
            if (Flag(kRotateEnabled)) {
                backBuffer_->SetAlphaFlag(true);
                image_->Render(dc, backBuffer_->Width() / 2, backBuffer_->Height() / 2, drawWidth_,
                               drawHeight_, 0, 0, 0, 0, 100, true, true, backBuffer_.get(), -1, 0,
                               static_cast<float>(rotation_), true);
            } else {
                backBuffer_->SetAlphaFlag(image_->Alpha());
                image_->Render(dc, drawLeft_, drawTop_, drawWidth_, drawHeight_, 0, 0, 0, 0, 100,
                               true, false, backBuffer_.get(), -1, 0, 0, false);
            }
        }
        if (rebuildHitRegion) BuildHitRegion();
        built = true;
    }
    if (Flag(kShadowEnabled)) BuildShadowImage();
    return built;
}

void aicAlphaImage::BuildShadowImage() {
    if (!Flag(kShadowEnabled)) {
        shadowImage_.reset();
        return;
    }
    const bool rotate = Flag(kRotateEnabled);
    const bool prepare = !(isActualSize_ && !rotate) ||
                         image_->Width() > kLargestJustInTimeShadow ||
                         image_->Height() > kLargestJustInTimeShadow;
    if (prepare) {
        const uint32_t color = TranslateColor(shadowColor_);
        if (backBuffer_) {
            shadowImage_ = backBuffer_->CreateDropShadow(shadowDepth_, color);
        } else if (rotate) {
            std::unique_ptr<c32bppDIB> copy;
            image_->CopyImageTo(copy, drawWidth_, drawHeight_, false);
            shadowImage_ = copy ? copy->CreateDropShadow(shadowDepth_, color) : nullptr;
        } else {
            std::unique_ptr<c32bppDIB> scaled = NewDIB();
            shadowImage_.reset();
            if (scaled->InitializeDIB(drawWidth_, drawHeight_)) {
                image_->Render(nullptr, 0, 0, drawWidth_, drawHeight_, 0, 0, 0, 0, 100, true, true,
                               scaled.get(), -1, 0, 0, false);
                shadowImage_ = scaled->CreateDropShadow(shadowDepth_, color);
            }
        }
    } else {
        shadowImage_.reset();
    }
    if (shadowImage_) {
        shadowImage_->gdiToken(image_->gdiToken());
        if (!image_->isGDIplusEnabled()) shadowImage_->isGDIplusEnabled(false);
    }
}

void aicAlphaImage::UserControl_Paint() {
    if (drawWidth_ < 0) return;
    HDC dc = hDC();
    if (!dc) return;
    const bool rotate = Flag(kRotateEnabled);
    const float sw = ScaleWidth();
    const float sh = ScaleHeight();
    const int32_t HW = ScaleWidthPx();
    const int32_t HH = ScaleHeightPx();

    RECT clip{};
    GetClipBox(dc, &clip);
    const RECT imageRect =
        rotate ? RECT{drawLeft_, drawTop_, drawLeft_ + rotatedSize_, drawTop_ + rotatedSize_}
               : RECT{drawLeft_, drawTop_, drawLeft_ + drawWidth_, drawTop_ + drawHeight_};
    RECT paint{};
    if (!IntersectRect(&paint, &clip, &imageRect)) return;
    const int32_t paintWidth = paint.right - paint.left;
    const int32_t paintHeight = paint.bottom - paint.top;

    if (Flag(kShadowEnabled)) {
        const int32_t faded = (shadowOpacity_ * opacity_) / 100;
        if (!shadowImage_) {
            image_->RenderDropShadow_JIT(dc, shadowOffsetX_ + Round(sw - image_->Width()) / 2,
                                         shadowOffsetY_ + Round(sh - image_->Height()) / 2,
                                         shadowDepth_, TranslateColor(shadowColor_), faded);
        } else if (rotate && !backBuffer_) {
            shadowImage_->Render(dc, shadowOffsetX_ + HW / 2, shadowOffsetY_ + HH / 2, drawWidth_,
                                 drawHeight_, 0, 0, 0, 0, faded, true, true, nullptr,
                                 grayScaleMethod_, 0, static_cast<float>(rotation_), true);
        } else {
            // Also the shadow of a rotated back buffer, which holds the turned image already.
            shadowImage_->Render(dc, shadowOffsetX_ + Round(sw - shadowImage_->Width()) / 2,
                                 shadowOffsetY_ + Round(sh - shadowImage_->Height()) / 2, 0, 0, 0,
                                 0, 0, 0, faded, true, false, nullptr, -1, 0, 0, false);
        }
    }

    if (backBuffer_) {
        backBuffer_->Render(dc, paint.left + imageOffsetX_, paint.top + imageOffsetY_, paintWidth,
                            paintHeight, paint.left, paint.top, paintWidth, paintHeight, opacity_,
                            true, true, nullptr, grayScaleMethod_, intensityOffset_, 0, false);
    } else if (rotate) {
        image_->Render(dc, imageOffsetX_ + HW / 2, imageOffsetY_ + HH / 2, drawWidth_, drawHeight_,
                       0, 0, 0, 0, opacity_, true, true, nullptr, grayScaleMethod_,
                       intensityOffset_, static_cast<float>(rotation_), true);
    } else if (isActualSize_) {
        image_->Render(dc, paint.left + imageOffsetX_, paint.top + imageOffsetY_, paintWidth,
                       paintHeight, paint.left - drawLeft_, paint.top - drawTop_, paintWidth,
                       paintHeight, opacity_, true, true, nullptr, grayScaleMethod_,
                       intensityOffset_, 0, false);
    } else {
        image_->Render(dc, drawLeft_ + imageOffsetX_, drawTop_ + imageOffsetY_, drawWidth_,
                       drawHeight_, 0, 0, 0, 0, opacity_, true, true, nullptr, grayScaleMethod_,
                       intensityOffset_, 0, false);
    }
}

} // namespace moirelle::control

// Pixel effects and drop shadows of the image object; the pixel work is in the portable
// dib/PixelEffects and dib/DropShadow.
#include "dib/DropShadow.h"
#include "dib/PixelEffects.h"
#include "dib/win/c32bppDIB.h"
#include "formats/modParsers.h"

namespace moirelle {

bool c32bppDIB::MakeImageInverse() {
    if (!dib_) return false;
    GdiFlush();
    InvertColours(View());
    return true;
}

bool c32bppDIB::MakeTransparent(uint32_t TransparentColor, bool Revert) {
    if (!dib_) return false;
    GdiFlush();
    const uint32_t key = OpaqueKey(TransparentColor);
    if (!Revert) {
        if (ClearKeyColour(View(), key) > 0) {
            alpha_ = true;
            if (imageType_ == imgBitmap) imageType_ = imgAlphaPremultiplied;
        }
        return true;
    }
    RestoreKeyColour(View(), key);
    bool hasAlpha = false;
    int32_t verdict = 0;
    modParsers::AnalyseAlpha(View(), false, hasAlpha, verdict);
    alpha_ = hasAlpha;
    if (!hasAlpha && (imageType_ == imgAlphaStraight || imageType_ == imgAlphaPremultiplied))
        imageType_ = imgBitmap;
    return true;
}

bool c32bppDIB::MirrorImage(bool MirrorAxisX, bool MirrorAxisY) {
    if (!dib_ || (!MirrorAxisX && !MirrorAxisY)) return false;
    GdiFlush();
    return MirrorPixels(View(), MirrorAxisX, MirrorAxisY);
}

bool c32bppDIB::CreateCheckerBoard(int32_t CheckerSize, uint32_t FirstColor, uint32_t SecondColor) {
    // A size below 1 would never finish the squares.
    if (!dib_ || CheckerSize < 1) return false;
    GdiFlush();
    if (!PaintCheckerBoard(View(), CheckerSize, FirstColor, SecondColor)) return false;
    alpha_ = false;
    imageType_ = imgCheckerBoard;
    return true;
}

std::unique_ptr<c32bppDIB> c32bppDIB::CreateDropShadow(int32_t blurDepth, uint32_t Color) {
    if (!dib_) return nullptr;
    GdiFlush();
    auto shadow = std::make_unique<c32bppDIB>();
    shadow->gdiToken(gdiToken_);
    if (!isGDIplusEnabled()) shadow->isGDIplusEnabled(false); // the shadow follows its image
    if (!MakeDropShadow(View(), blurDepth, Color, *shadow)) return nullptr;
    shadow->gdiToken(gdiToken_);
    return shadow;
}

bool c32bppDIB::RenderDropShadow_JIT(HDC hDC, int32_t X, int32_t Y, int32_t blurDepth,
                                     uint32_t Color, int32_t Opacity) {
    const std::unique_ptr<c32bppDIB> shadow = CreateDropShadow(blurDepth, Color);
    if (!shadow) return false;
    return shadow->Render(hDC, X, Y, 0, 0, 0, 0, 0, 0, Opacity, true, true, nullptr, -1, 0, 0,
                          false);
}

} // namespace moirelle

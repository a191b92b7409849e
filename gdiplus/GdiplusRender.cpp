// The render operation: a c32bppDIB drawn onto a device context through GDI+.

#include "dib/win/c32bppDIB.h"
#include "formats/modParsers.h"
#include "gdiplus/DibBitmap.h"
#include "gdiplus/GdiplusSession.h"
#include "gdiplus/cGDIPlus.h"

#include <climits>

namespace moirelle {
namespace {

using gdip::ColorMatrix;

// Colours kept, alpha kept, and the light adjustment (per cent of full brightness) added
// to red, green and blue.
ColorMatrix PlainMatrix(float LightAdjustment) {
    ColorMatrix matrix;
    matrix.m[0][0] = matrix.m[1][1] = matrix.m[2][2] = 1.0f;
    matrix.m[3][3] = matrix.m[4][4] = 1.0f;
    if (LightAdjustment != 0.0f)
        matrix.m[4][0] = matrix.m[4][1] = matrix.m[4][2] = LightAdjustment / 100.0f;
    return matrix;
}

// Every output colour channel is the weighted sum of the input's red, green and blue.
ColorMatrix GrayMatrix(int32_t grayScale, float LightAdjustment) {
    ColorMatrix matrix = PlainMatrix(LightAdjustment);
    const modParsers::GrayWeights w = modParsers::GrayscaleWeights(grayScale);
    const float weights[3] = {w.red, w.green, w.blue};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            matrix.m[row][column] = weights[row];
    return matrix;
}

bool SetMatrix(const gdip::Api& api, gdip::UniqueImageAttributes& attributes,
               const ColorMatrix& matrix) {
    return api.GdipSetImageAttributesColorMatrix(attributes.get(), gdip::colorAdjustTypeBitmap,
                                                 TRUE, &matrix, &matrix, 0) == gdip::statusOk;
}

} // namespace

bool cGDIPlus::RenderGDIplus(const c32bppDIB& cHost, HDC destinationDC, float Angle,
                             int32_t Opacity, int32_t destX, int32_t destY, int32_t destWidth,
                             int32_t destHeight, int32_t SrcX, int32_t SrcY, int32_t srcWidth,
                             int32_t srcHeight, bool HighQuality, int32_t grayScale,
                             uintptr_t GlobalToken, float LightAdjustment) {
    if (Opacity == 0) return true;
    if (destWidth == INT_MIN || destHeight == INT_MIN) return false; // no size to mirror

    // Declared first so that every GDI+ object below is gone before GDI+ may stop.
    const gdip::TokenScope session(GlobalToken);
    if (!session) return false;
    const gdip::Api& api = *session.api();

    gdip::UniqueImage bitmap = gdip::BitmapOverDib(api, cHost);
    if (!bitmap) return false;
    gdip::UniqueGraphics graphics(api);
    if (api.GdipCreateFromHDC(destinationDC, graphics.put()) != gdip::statusOk) return false;
    api.GdipSetInterpolationMode(graphics.get(), HighQuality ? gdip::interpolationHighQualityBicubic
                                                             : gdip::interpolationNearestNeighbor);

    // Mirrors: negative extents flip the bitmap and are made positive. The source
    // rectangle is moved with the flip so that it still covers the same pixels.
    int32_t flip = gdip::rotateNoneFlipNone;
    int32_t xSign = 1;
    int32_t ySign = 1;
    if (destHeight < 0) {
        flip = gdip::rotateNoneFlipY;
        ySign = -1;
        destHeight = -destHeight;
        SrcY = cHost.Height() - SrcY - srcHeight;
    }
    if (destWidth < 0) {
        flip ^= gdip::rotateNoneFlipX; // 0 -> 4 (left to right), 6 -> 2 (both)
        xSign = -1;
        destWidth = -destWidth;
        SrcX = cHost.Width() - SrcX - srcWidth;
    }
    if (flip != gdip::rotateNoneFlipNone &&
        api.GdipImageRotateFlip(bitmap.get(), flip) != gdip::statusOk)
        return false;

    gdip::UniqueImageAttributes attributes(api);
    if (grayScale != -1 || LightAdjustment != 0.0f) {
        const ColorMatrix matrix =
            grayScale != -1 ? GrayMatrix(grayScale, LightAdjustment) : PlainMatrix(LightAdjustment);
        if (api.GdipCreateImageAttributes(attributes.put()) == gdip::statusOk &&
            !SetMatrix(api, attributes, matrix))
            attributes.reset(); // draw without the effects rather than not at all
    }

    if (Angle != 0.0f || Opacity != 100) {
        ColorMatrix matrix =
            grayScale != -1 ? GrayMatrix(grayScale, LightAdjustment) : PlainMatrix(LightAdjustment);
        if (!attributes) {
            matrix = PlainMatrix(LightAdjustment);
            if (api.GdipCreateImageAttributes(attributes.put()) != gdip::statusOk) return false;
        }
        matrix.m[3][3] = static_cast<float>(static_cast<double>(Opacity) / 100.0);
        if (!SetMatrix(api, attributes, matrix)) return false;
    }

    if (Angle != 0.0f) {
        // Turned by Angle + 180 about the origin, then moved to the destination's centre;
        // the image is drawn with negative extents about the origin, which turns it by a
        // further 180 degrees.
        if (api.GdipRotateWorldTransform(graphics.get(), Angle + 180.0f,
                                         gdip::matrixOrderPrepend) == gdip::statusOk) {
            const double centreX = static_cast<double>(destX) + (destWidth / 2) * xSign;
            const double centreY = static_cast<double>(destY) + (destHeight / 2) * ySign;
            api.GdipTranslateWorldTransform(graphics.get(), static_cast<float>(centreX),
                                            static_cast<float>(centreY), gdip::matrixOrderAppend);
        }
        destX = destWidth / 2;
        destY = destHeight / 2;
        destWidth = -destWidth;
        destHeight = -destHeight;
    }
    return api.GdipDrawImageRectRectI(graphics.get(), bitmap.get(), destX, destY, destWidth,
                                      destHeight, SrcX, SrcY, srcWidth, srcHeight, gdip::unitPixel,
                                      attributes.get(), nullptr, nullptr) == gdip::statusOk;
}

} // namespace moirelle

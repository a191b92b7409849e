#include "dib/RenderRequest.h"

#include <cmath>
#include <cstdlib>

namespace moirelle {

bool IsRotated(float Angle) {
    if (std::trunc(Angle) != Angle) return true;
    return std::fmod(Angle, 360.0f) != 0;
}

RenderRoad NormaliseRender(RenderRequest& r, int32_t imageWidth, int32_t imageHeight,
                           bool hasDestination, int32_t& effectiveOpacity) {
    const bool hasImage = imageWidth > 0 && imageHeight > 0;
    if (r.Opacity <= 0) return RenderRoad::NothingToDraw;
    if (!hasImage || !hasDestination) return RenderRoad::Refused;
    if (!std::isfinite(r.Angle) || !std::isfinite(r.LightAdjustment)) return RenderRoad::Refused;
    // Sizes change sign below; INT32_MIN has no positive counterpart.
    if (r.destWidth == INT32_MIN || r.destHeight == INT32_MIN || r.srcWidth == INT32_MIN ||
        r.srcHeight == INT32_MIN)
        return RenderRoad::Refused;

    if (r.destWidth == 0) r.destWidth = imageWidth;
    if (r.destHeight == 0) r.destHeight = imageHeight;
    if (r.SrcX < 0) r.SrcX = 0;
    if (r.SrcY < 0) r.SrcY = 0;
    if (r.srcWidth == 0) {
        r.srcWidth = imageWidth;
    } else if (r.srcWidth < 0) {
        r.srcWidth = -r.srcWidth;
        r.destWidth = -r.destWidth;
    }
    if (r.srcHeight == 0) {
        r.srcHeight = imageHeight;
    } else if (r.srcHeight < 0) {
        r.srcHeight = -r.srcHeight;
        r.destHeight = -r.destHeight;
    }
    if (r.SrcX >= imageWidth || r.SrcY >= imageHeight) return RenderRoad::Refused;
    if (r.srcWidth > imageWidth - r.SrcX) r.srcWidth = imageWidth - r.SrcX;
    if (r.srcHeight > imageHeight - r.SrcY) r.srcHeight = imageHeight - r.SrcY;

    const bool rotated = IsRotated(r.Angle);
    effectiveOpacity = std::abs(r.Opacity) % 100;
    if (effectiveOpacity == 0) effectiveOpacity = 100;
    if (r.LightAdjustment > 100 || r.LightAdjustment < -100) r.LightAdjustment = 0;

    if (r.CenterOnDestXY) {
        const int64_t halfW = r.destWidth / 2;
        const int64_t halfH = r.destHeight / 2;
        const int64_t x = rotated ? r.destX - halfW : r.destX - std::llabs(halfW);
        const int64_t y = rotated ? r.destY - halfH : r.destY - std::llabs(halfH);
        if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX)
            return RenderRoad::Refused;
        r.destX = static_cast<int32_t>(x);
        r.destY = static_cast<int32_t>(y);
    }
    return rotated ? RenderRoad::Rotated : RenderRoad::Unrotated;
}

bool IsScaled(const RenderRequest& r) {
    return std::abs(r.destWidth) != r.srcWidth || std::abs(r.destHeight) != r.srcHeight;
}

RenderEngine ChooseEngine(const RenderRequest& r, const EngineSettings& s) {
    const bool gdiplusInUse = s.gdiToken != 0 && s.gdiplusEnabled;
    if (!gdiplusInUse && s.alphaBlendFriendly && !IsMirrored(r) && r.grayScale == -1 &&
        r.LightAdjustment == 0 && (!IsScaled(r) || !s.highQuality))
        return RenderEngine::AlphaBlend;
    if (s.gdiplusEnabled) return RenderEngine::GdiPlus;
    return RenderEngine::Software;
}

} // namespace moirelle

#pragma once
// The arguments of the image object's Render, their normalisation and the choice of the
// drawing engine. Portable so that the rules can be checked without a display.

#include <cstdint>

namespace moirelle {

struct RenderRequest {
    int32_t destX = 0;
    int32_t destY = 0;
    int32_t destWidth = 0; // 0: the image's; negative mirrors
    int32_t destHeight = 0;
    int32_t SrcX = 0;
    int32_t SrcY = 0;
    int32_t srcWidth = 0; // 0: the image's; negative mirrors
    int32_t srcHeight = 0;
    int32_t Opacity = 100;   // per cent
    bool SetHalfTone = true; // halftone stretching where AlphaBlend draws
    int32_t grayScale = -1;
    float LightAdjustment = 0; // per cent, -100..100
    float Angle = 0;           // degrees
    bool CenterOnDestXY = false;
};

enum class RenderRoad {
    NothingToDraw, // opacity 0 or below: the answer is whether an image is held
    Refused,       // answer false
    Rotated,
    Unrotated,
};

// Whether an angle turns the image: a whole number counts when it is not a multiple of
// 360, a number with a fraction always counts.
bool IsRotated(float Angle);

// Normalises the request in place for an image of the given size (0 x 0 when none):
// default sizes, mirroring moved to the destination size, the source rectangle cut at
// the image's edge, the effective opacity (|Opacity| mod 100, 0 meaning 100), an out-of-
// range lightness dropped, and the centring of CenterOnDestXY. Also refuses what cannot
// be drawn: no image, no destination, a source rectangle that lies outside the image, a
// size whose magnitude does not fit 32 bits, an angle that is not a finite number.
RenderRoad NormaliseRender(RenderRequest& r, int32_t imageWidth, int32_t imageHeight,
                           bool hasDestination, int32_t& effectiveOpacity);

// The constant alpha of an effective opacity: opacity * 255 / 100, truncated.
inline uint32_t ConstantAlpha(int32_t effectiveOpacity) {
    return static_cast<uint32_t>(effectiveOpacity) * 255 / 100;
}

enum class RenderEngine { AlphaBlend, GdiPlus, Software };

struct EngineSettings {
    bool gdiplusEnabled = false;
    uintptr_t gdiToken = 0;
    bool alphaBlendFriendly = false;
    bool highQuality = false;
};

// The engine of the unrotated road for a normalised request.
RenderEngine ChooseEngine(const RenderRequest& r, const EngineSettings& s);

inline bool IsMirrored(const RenderRequest& r) {
    return r.destWidth < 0 || r.destHeight < 0;
}
bool IsScaled(const RenderRequest& r);

} // namespace moirelle

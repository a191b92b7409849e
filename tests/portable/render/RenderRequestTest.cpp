#include "dib/RenderRequest.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

namespace moirelle {
namespace {

RenderRoad Normalise(RenderRequest& r, int32_t& opacity, int32_t w = 100, int32_t h = 50) {
    return NormaliseRender(r, w, h, true, opacity);
}

TEST(RenderRequest, OpacityRules) {
    int32_t op = 0;
    RenderRequest r;
    r.Opacity = 0;
    EXPECT_EQ(Normalise(r, op), RenderRoad::NothingToDraw);
    r.Opacity = -20;
    EXPECT_EQ(NormaliseRender(r, 0, 0, false, op), RenderRoad::NothingToDraw);
    for (auto [in, out] : {std::pair{100, 100}, {150, 50}, {200, 100}, {1, 1}, {99, 99}}) {
        RenderRequest q;
        q.Opacity = in;
        ASSERT_EQ(Normalise(q, op), RenderRoad::Unrotated);
        EXPECT_EQ(op, out) << in;
    }
    EXPECT_EQ(ConstantAlpha(100), 255u);
    EXPECT_EQ(ConstantAlpha(50), 127u);
    EXPECT_EQ(ConstantAlpha(1), 2u);
}

TEST(RenderRequest, RefusalsAndDefaults) {
    int32_t op = 0;
    RenderRequest r;
    EXPECT_EQ(NormaliseRender(r, 0, 0, true, op), RenderRoad::Refused);
    EXPECT_EQ(NormaliseRender(r, 10, 10, false, op), RenderRoad::Refused);
    r.SrcX = 100; // starts past the image's right edge
    EXPECT_EQ(Normalise(r, op), RenderRoad::Refused);
    RenderRequest n;
    n.Angle = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(Normalise(n, op), RenderRoad::Refused);

    RenderRequest d;
    d.SrcX = -5;
    d.SrcY = 10;
    d.srcHeight = 0; // the image's height, then cut at its edge
    ASSERT_EQ(Normalise(d, op), RenderRoad::Unrotated);
    EXPECT_EQ(d.SrcX, 0);
    EXPECT_EQ(d.destWidth, 100);
    EXPECT_EQ(d.destHeight, 50);
    EXPECT_EQ(d.srcWidth, 100);
    EXPECT_EQ(d.srcHeight, 40);
}

TEST(RenderRequest, MirrorsMoveToTheDestination) {
    int32_t op = 0;
    RenderRequest r;
    r.srcWidth = -100;
    r.destWidth = 100;
    ASSERT_EQ(Normalise(r, op), RenderRoad::Unrotated);
    EXPECT_EQ(r.srcWidth, 100);
    EXPECT_EQ(r.destWidth, -100);
    EXPECT_TRUE(IsMirrored(r));
    RenderRequest both;
    both.srcWidth = -100;
    both.destWidth = -100;
    ASSERT_EQ(Normalise(both, op), RenderRoad::Unrotated);
    EXPECT_EQ(both.destWidth, 100);
    EXPECT_FALSE(IsMirrored(both));
}

TEST(RenderRequest, RotationTestAndCentring) {
    EXPECT_FALSE(IsRotated(360));
    EXPECT_FALSE(IsRotated(-720));
    EXPECT_FALSE(IsRotated(0));
    EXPECT_TRUE(IsRotated(0.5f));
    EXPECT_TRUE(IsRotated(30));
    int32_t op = 0;
    RenderRequest r;
    r.destX = 200;
    r.destY = 100;
    r.CenterOnDestXY = true;
    ASSERT_EQ(Normalise(r, op), RenderRoad::Unrotated);
    EXPECT_EQ(r.destX, 150);
    EXPECT_EQ(r.destY, 75);
    // Unrotated centring takes the magnitude of a mirrored size, rotated centring its sign.
    RenderRequest m;
    m.destX = 200, m.destWidth = -101, m.CenterOnDestXY = true;
    ASSERT_EQ(Normalise(m, op), RenderRoad::Unrotated);
    EXPECT_EQ(m.destX, 150);
    m = {};
    m.destX = 200, m.destWidth = -101, m.CenterOnDestXY = true, m.Angle = 45;
    ASSERT_EQ(Normalise(m, op), RenderRoad::Rotated);
    EXPECT_EQ(m.destX, 250);
    RenderRequest light;
    light.LightAdjustment = 150;
    ASSERT_EQ(Normalise(light, op), RenderRoad::Unrotated);
    EXPECT_EQ(light.LightAdjustment, 0);
}

TEST(RenderRequest, EngineChoice) {
    int32_t op = 0;
    RenderRequest r;
    ASSERT_EQ(Normalise(r, op), RenderRoad::Unrotated);
    EngineSettings s;
    s.alphaBlendFriendly = true;
    EXPECT_EQ(ChooseEngine(r, s), RenderEngine::AlphaBlend);
    s.gdiplusEnabled = true; // enabled but no token held: still AlphaBlend
    EXPECT_EQ(ChooseEngine(r, s), RenderEngine::AlphaBlend);
    s.gdiToken = 7;
    EXPECT_EQ(ChooseEngine(r, s), RenderEngine::GdiPlus);
    s = {};
    s.alphaBlendFriendly = true;
    s.highQuality = true;
    RenderRequest scaled = r;
    scaled.destWidth = 50;
    EXPECT_EQ(ChooseEngine(scaled, s), RenderEngine::Software);
    s.highQuality = false;
    EXPECT_EQ(ChooseEngine(scaled, s), RenderEngine::AlphaBlend);
    RenderRequest gray = r;
    gray.grayScale = 0;
    EXPECT_EQ(ChooseEngine(gray, s), RenderEngine::Software);
    RenderRequest mirrored = r;
    mirrored.destHeight = -50;
    EXPECT_EQ(ChooseEngine(mirrored, s), RenderEngine::Software);
    RenderRequest lit = r;
    lit.LightAdjustment = 5;
    EXPECT_EQ(ChooseEngine(lit, s), RenderEngine::Software);
    s.alphaBlendFriendly = false;
    EXPECT_EQ(ChooseEngine(r, s), RenderEngine::Software);
}

} // namespace
} // namespace moirelle

// The rotated road without a canvas: blending the rotator's rows changes the destination
// byte for byte as blending the whole canvas does, onto a host image and onto a 24-bit
// copy of a device context, whatever the angle, size, mirroring, lightness, opacity,
// grayscale, offset and clipping.
#include "dib/BlendToDestination.h"
#include "dib/MemoryImage.h"
#include "dib/SoftwareRender.h"
#include "tests/portable/render/RenderTestImages.h"

#include <gtest/gtest.h>

#include <vector>

namespace moirelle {
namespace {

struct Case {
    float angle;
    int32_t destX, destY, destWidth, destHeight; // negative sizes mirror
    float light;
    bool bilinear;
    uint32_t op;
    int32_t gray;
    int32_t hostWidth, hostHeight; // 0: a device context whose clip box is `clip`
    SourceRect clip;
    bool changes; // whether the destination changes at all
};

// The destination after one route: the host's pixels, or the 24-bit rectangle's bytes.
std::vector<uint8_t> Draw(const PixelView& image, const RenderRequest& r, const Case& c, bool rows,
                          bool& drawn, bool& changed) {
    changed = false;
    const SourceRect visible =
        c.hostWidth > 0 ? SourceRect{0, 0, c.hostWidth, c.hostHeight} : c.clip;
    PreparedSource prepared;
    MemoryImage canvas;
    int32_t x = 0, y = 0;
    SourceRows* source = nullptr;
    ViewRows canvasRows{PixelView{}};
    if (rows) {
        drawn = PrepareRotatedRows(image, r, c.bilinear, prepared, &visible);
        source = &prepared.Rows();
        x = prepared.destX, y = prepared.destY;
    } else {
        drawn = PrepareRotatedCanvas(image, r, c.bilinear, canvas, x, y, &visible);
        canvasRows = ViewRows(canvas.View());
        source = &canvasRows;
    }
    if (!drawn) return {};
    const int32_t side = source->Width();
    BlendPlan plan;
    if (!PlanBlend(*source, 0, 0, x, y, side, side, c.hostWidth, c.hostHeight, plan)) return {};
    if (c.hostWidth > 0) {
        MemoryImage host;
        EXPECT_TRUE(host.InitializeDIB(c.hostWidth, c.hostHeight));
        test::FillRandomPremultiplied(host.View(), 5);
        const std::vector<uint8_t> before(host.View().bits, host.View().bits + host.View().size());
        BlendOntoHost(*source, plan, host.View(), c.op, c.gray);
        const std::vector<uint8_t> after(host.View().bits, host.View().bits + host.View().size());
        changed = after != before;
        return after;
    }
    // A 24-bit copy of the destination rectangle as the device-context road makes it.
    const size_t stride = (static_cast<size_t>(plan.width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bits(stride * static_cast<size_t>(plan.height));
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<uint8_t>(i * 37 + 11);
    const std::vector<uint8_t> before = bits;
    BlendOnto24(*source, plan, bits.data(), stride, c.op, c.gray);
    changed = bits != before;
    bits.push_back(static_cast<uint8_t>(plan.dstX)); // where it goes counts too
    bits.push_back(static_cast<uint8_t>(plan.dstY));
    return bits;
}

TEST(Rotation, RowsBlendExactlyAsTheCanvas) {
    MemoryImage img;
    ASSERT_TRUE(img.InitializeDIB(57, 41));
    test::FillRandomPremultiplied(img.View(), 31);
    const Case cases[] = {
        {30, 0, 0, 57, 41, 0, true, 255, -1, 57, 41, {}, true},
        {30, 0, 0, 57, 41, 0, false, 255, -1, 57, 41, {}, true},
        {-115, 9, -6, 80, 33, 0, true, 140, -1, 70, 50, {}, true},
        {200, 40, 12, -61, 29, 0, true, 255, 1, 64, 48, {}, true}, // mirrored, grey
        {45, 5, 3, 40, -50, -40, false, 77, 2, 60, 60, {}, true},  // mirrored, darkened
        {90, 2, 2, 57, 41, 35, true, 255, -1, 90, 70, {}, true},   // lightened, exact turn
        {-30, 3, -4, 61, 29, 0, true, 200, 0, 0, 0, {10, 5, 30, 20}, true},
        {130, -15, -9, 45, 70, 0, false, 255, -1, 0, 0, {-50, -40, 70, 60}, true},
        {10, 30, 20, 25, 25, 0, true, 255, -1, 20, 16, {}, false},   // canvas beyond the host
        {60, 0, 0, 40000, 40000, 0, true, 255, -1, 8, 8, {}, false}, // no canvas of that size
    };
    for (const Case& c : cases) {
        RenderRequest r;
        r.SrcX = 2, r.SrcY = 1, r.srcWidth = 50, r.srcHeight = 37;
        r.destX = c.destX, r.destY = c.destY, r.destWidth = c.destWidth,
        r.destHeight = c.destHeight, r.LightAdjustment = c.light, r.Angle = c.angle;
        bool canvasDrawn = false, rowsDrawn = false, canvasChanged = false, rowsChanged = false;
        const std::vector<uint8_t> canvas =
            Draw(img.View(), r, c, false, canvasDrawn, canvasChanged);
        const std::vector<uint8_t> rows = Draw(img.View(), r, c, true, rowsDrawn, rowsChanged);
        EXPECT_EQ(rowsDrawn, canvasDrawn) << c.angle;
        EXPECT_EQ(canvasChanged, c.changes) << c.angle;
        EXPECT_TRUE(rows == canvas) << c.angle << " " << c.destX;
    }
}

} // namespace
} // namespace moirelle

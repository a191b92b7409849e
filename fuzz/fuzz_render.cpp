// Fuzz target: the software renderer's portable steps (request normalisation, mirror,
// scale, lightness, rotation and blend) with random small images and random Render
// arguments, drawing into a memory host image and into a 24-bit buffer as the image
// object does. Nothing may read or write outside its buffers.
#include "dib/BlendToDestination.h"
#include "dib/MemoryImage.h"
#include "dib/RenderRequest.h"
#include "dib/SoftwareRender.h"
#include "fuzz/RenderFuzzInput.h"

#include <cstring>
#include <vector>

namespace {

using namespace moirelle;

// The unrotated road: prepare, then blend onto the host and onto a 24-bit copy of the
// destination rectangle.
void DrawUnrotated(const PixelView& image, const RenderRequest& r, int32_t opacity, bool bilinear,
                   MemoryImage& host) {
    PreparedSource prepared;
    if (!PrepareSoftwareSource(image, r, bilinear, prepared)) return;
    const uint32_t op = ConstantAlpha(opacity);
    BlendPlan plan;
    if (PlanBlend(prepared.Rows(), prepared.srcX, prepared.srcY, prepared.destX, prepared.destY,
                  prepared.destWidth, prepared.destHeight, host.Width(), host.Height(), plan))
        BlendOntoHost(prepared.Rows(), plan, host.View(), op, r.grayScale);
    // Without a host the plan is only clipped at the left and top; keep it small.
    if (PlanBlend(prepared.Rows(), prepared.srcX, prepared.srcY, prepared.destX, prepared.destY,
                  prepared.destWidth, prepared.destHeight, 0, 0, plan) &&
        plan.width <= 256 && plan.height <= 256) {
        const size_t stride = (static_cast<size_t>(plan.width) * 3 + 3) & ~size_t{3};
        std::vector<uint8_t> bits(stride * static_cast<size_t>(plan.height), 0x55);
        BlendOnto24(prepared.Rows(), plan, bits.data(), stride, op, r.grayScale);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < fuzz::kRenderHeaderSize) return 0;
    auto s8 = [&](size_t i) { return static_cast<int32_t>(static_cast<int8_t>(data[i])); };
    const int32_t width = data[0] % 24 + 1, height = data[1] % 24 + 1;
    MemoryImage image, host;
    if (!image.InitializeDIB(width, height) ||
        !host.InitializeDIB(data[2] % 40 + 1, data[3] % 40 + 1))
        return 0;
    // Pixels from the rest of the input, repeated; the host starts grey and opaque.
    const uint8_t* pixels = data + fuzz::kRenderHeaderSize;
    const size_t count = size - fuzz::kRenderHeaderSize;
    uint8_t* bits = image.BitsPointer();
    for (size_t i = 0; i < image.View().size(); ++i)
        bits[i] = count ? pixels[i % count] : static_cast<uint8_t>(i * 37);
    std::memset(host.BitsPointer(), 0x80, host.View().size());

    RenderRequest r;
    r.destX = s8(4);
    r.destY = s8(5);
    r.destWidth = data[6] % 97 - 48;
    r.destHeight = data[7] % 97 - 48;
    r.SrcX = s8(8) / 4;
    r.SrcY = s8(9) / 4;
    r.srcWidth = s8(10) / 4;
    r.srcHeight = s8(11) / 4;
    r.Opacity = s8(12);
    r.grayScale = data[13] % 10 - 2;
    r.LightAdjustment = static_cast<float>(s8(14));
    const uint8_t flags = data[16];
    r.Angle =
        (flags & 8) ? 0.0f : static_cast<float>(data[15] * 3 - 384) + ((flags & 1) ? 0.5f : 0.0f);
    r.CenterOnDestXY = (flags & 2) != 0;
    const bool bilinear = (flags & 4) != 0;

    int32_t opacity = 0;
    switch (NormaliseRender(r, width, height, true, opacity)) {
    case RenderRoad::NothingToDraw:
    case RenderRoad::Refused:
        return 0;
    case RenderRoad::Unrotated:
        DrawUnrotated(image.View(), r, opacity, bilinear, host);
        return 0;
    case RenderRoad::Rotated:
        break;
    }
    // The rotated road: a canvas drawn at its natural size through the unrotated road.
    MemoryImage canvas;
    int32_t x = 0, y = 0;
    if (!PrepareRotatedCanvas(image.View(), r, bilinear, canvas, x, y)) return 0;
    RenderRequest c;
    c.destX = x;
    c.destY = y;
    c.Opacity = opacity;
    c.grayScale = r.grayScale;
    int32_t canvasOpacity = 0;
    if (NormaliseRender(c, canvas.Width(), canvas.Height(), true, canvasOpacity) ==
        RenderRoad::Unrotated)
        DrawUnrotated(canvas.View(), c, canvasOpacity, bilinear, host);
    return 0;
}

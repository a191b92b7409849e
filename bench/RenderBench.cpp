// The software renderer against pixman on 1080p premultiplied images: blending, scaling,
// rotation and drop shadows, plus a plain copy of the same bytes as the bandwidth bound.
#include "dib/BlendToDestination.h"
#include "dib/DropShadow.h"
#include "dib/MemoryImage.h"
#include "dib/PixelBuffer.h"
#include "dib/RenderRequest.h"
#include "dib/SoftwareRender.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace moirelle {
namespace {

constexpr int32_t kW = 1920, kH = 1080;

// A texture-like picture: opaque, transparent and translucent areas, premultiplied.
void FillPicture(const PixelView& v, uint32_t salt) {
    for (int32_t y = 0; y < v.height; ++y) {
        uint8_t* p = v.row(y);
        for (int32_t x = 0; x < v.width; ++x, p += 4) {
            const double dx = x - v.width / 2.0, dy = y - v.height / 2.0;
            const double r = std::sqrt(dx * dx + dy * dy) / (v.height / 2.0);
            int a = r < 0.5 ? 255 : r > 1.1 ? 0 : static_cast<int>(255 * (1.1 - r) / 0.6);
            if (((x / 64 + y / 64 + salt) & 3) == 0) a = a / 2;
            const uint32_t h = (static_cast<uint32_t>(x) * 2654435761u) ^
                               (static_cast<uint32_t>(y) * 40503u) ^ salt;
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>(((h >> (8 * c)) & 0xFF) * a / 255);
            p[3] = static_cast<uint8_t>(a);
        }
    }
}

struct Images {
    PixelBuffer src, dst, dst720, original, original720, dst768, original768;
    Images() {
        src.Allocate(kW, kH);
        dst.Allocate(kW, kH);
        dst720.Allocate(1280, 720);
        dst768.Allocate(1366, 768);
        FillPicture(dst768.View(), 11);
        original768 = dst768;
        FillPicture(src.View(), 1);
        FillPicture(dst.View(), 7);
        FillPicture(dst720.View(), 9);
        original = dst;
        original720 = dst720;
    }
};

Images& Shared() {
    static Images images;
    return images;
}

pixman_image_t* Wrap(const PixelView& v) {
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, v.width, v.height,
                                    reinterpret_cast<uint32_t*>(v.bits),
                                    static_cast<int>(v.stride()));
}

void Reset(PixelBuffer& dst, const PixelBuffer& original) {
    std::memcpy(dst.View().bits, original.View().bits, dst.View().size());
}

void BlendOurs(benchmark::State& state, uint32_t op) {
    Images& im = Shared();
    BlendPlan plan;
    PlanBlend(im.src.View(), 0, 0, 0, 0, kW, kH, kW, kH, plan);
    for (auto _ : state) {
        state.PauseTiming();
        Reset(im.dst, im.original);
        state.ResumeTiming();
        BlendOntoHost(im.src.View(), plan, im.dst.View(), op, -1);
        benchmark::ClobberMemory();
    }
}

void BlendPixman(benchmark::State& state, int opacity) {
    Images& im = Shared();
    pixman_image_t* s = Wrap(im.src.View());
    pixman_image_t* d = Wrap(im.dst.View());
    pixman_image_t* mask = nullptr;
    if (opacity < 100) {
        const pixman_color_t c{0, 0, 0, static_cast<uint16_t>(opacity * 255 / 100 * 257)};
        mask = pixman_image_create_solid_fill(&c);
    }
    for (auto _ : state) {
        state.PauseTiming();
        Reset(im.dst, im.original);
        state.ResumeTiming();
        pixman_image_composite32(PIXMAN_OP_OVER, s, mask, d, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    if (mask) pixman_image_unref(mask);
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void BM_Blend_Ours(benchmark::State& state) {
    BlendOurs(state, 255);
}
void BM_Blend_Pixman(benchmark::State& state) {
    BlendPixman(state, 100);
}
void BM_Blend50_Ours(benchmark::State& state) {
    BlendOurs(state, 127);
}
void BM_Blend50_Pixman(benchmark::State& state) {
    BlendPixman(state, 50);
}
void BM_Blend_Memcpy(benchmark::State& state) {
    Images& im = Shared();
    for (auto _ : state) {
        std::memcpy(im.dst.View().bits, im.src.View().bits, im.src.View().size());
        benchmark::ClobberMemory();
    }
}

// Scaling 1080p to 720p (every weight a multiple of 1/2) and to 1366 x 768 (weights of
// no such kind), blended onto an image of the target size.
void ScaleOurs(benchmark::State& state, bool bilinear, PixelBuffer& dst,
               const PixelBuffer& original) {
    Images& im = Shared();
    const int32_t w = dst.Width(), h = dst.Height();
    RenderRequest r;
    r.destWidth = w, r.destHeight = h, r.srcWidth = kW, r.srcHeight = kH;
    for (auto _ : state) {
        state.PauseTiming();
        Reset(dst, original);
        state.ResumeTiming();
        PreparedSource p;
        PrepareSoftwareSource(im.src.View(), r, bilinear, p);
        BlendPlan plan;
        PlanBlend(p.Rows(), p.srcX, p.srcY, p.destX, p.destY, p.destWidth, p.destHeight, w, h,
                  plan);
        BlendOntoHost(p.Rows(), plan, dst.View(), 255, -1);
        benchmark::ClobberMemory();
    }
}

void ScalePixman(benchmark::State& state, pixman_filter_t filter, PixelBuffer& dst,
                 const PixelBuffer& original) {
    Images& im = Shared();
    const int32_t w = dst.Width(), h = dst.Height();
    pixman_image_t* s = Wrap(im.src.View());
    pixman_image_t* d = Wrap(dst.View());
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(kW) / w),
                                pixman_double_to_fixed(static_cast<double>(kH) / h));
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, filter, nullptr, 0);
    for (auto _ : state) {
        state.PauseTiming();
        Reset(dst, original);
        state.ResumeTiming();
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void BM_ScaleNearest_Ours(benchmark::State& state) {
    ScaleOurs(state, false, Shared().dst720, Shared().original720);
}
void BM_ScaleNearest_Pixman(benchmark::State& state) {
    ScalePixman(state, PIXMAN_FILTER_NEAREST, Shared().dst720, Shared().original720);
}
void BM_ScaleBilinear_Ours(benchmark::State& state) {
    ScaleOurs(state, true, Shared().dst720, Shared().original720);
}
void BM_ScaleBilinear_Pixman(benchmark::State& state) {
    ScalePixman(state, PIXMAN_FILTER_BILINEAR, Shared().dst720, Shared().original720);
}
void BM_ScaleBilinear768_Ours(benchmark::State& state) {
    ScaleOurs(state, true, Shared().dst768, Shared().original768);
}
void BM_ScaleBilinear768_Pixman(benchmark::State& state) {
    ScalePixman(state, PIXMAN_FILTER_BILINEAR, Shared().dst768, Shared().original768);
}

// A 30-degree bilinear turn about the picture's centre, blended onto a 1080p image.
void BM_Rotate30_Ours(benchmark::State& state) {
    Images& im = Shared();
    RenderRequest r;
    r.destWidth = kW, r.destHeight = kH, r.srcWidth = kW, r.srcHeight = kH;
    r.Angle = 30;
    for (auto _ : state) {
        state.PauseTiming();
        Reset(im.dst, im.original);
        state.ResumeTiming();
        MemoryImage canvas;
        int32_t x = 0, y = 0;
        PrepareRotatedCanvas(im.src.View(), r, true, canvas, x, y);
        BlendPlan plan;
        PlanBlend(canvas.View(), 0, 0, x, y, canvas.Width(), canvas.Height(), kW, kH, plan);
        BlendOntoHost(canvas.View(), plan, im.dst.View(), 255, -1);
        benchmark::ClobberMemory();
    }
}

void BM_Rotate30_Pixman(benchmark::State& state) {
    Images& im = Shared();
    pixman_image_t* s = Wrap(im.src.View());
    pixman_image_t* d = Wrap(im.dst.View());
    pixman_f_transform_t f, rot;
    pixman_f_transform_init_translate(&f, -kW / 2.0, -kH / 2.0);
    const double a = 30 * M_PI / 180;
    pixman_f_transform_init_rotate(&rot, std::cos(a), std::sin(a));
    pixman_f_transform_multiply(&f, &rot, &f);
    pixman_f_transform_init_translate(&rot, kW / 2.0, kH / 2.0);
    pixman_f_transform_multiply(&f, &rot, &f);
    pixman_transform_t t;
    pixman_transform_from_pixman_f_transform(&t, &f);
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    for (auto _ : state) {
        state.PauseTiming();
        Reset(im.dst, im.original);
        state.ResumeTiming();
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
}

// Drop shadows: ours makes the coloured silhouette with running box sums; pixman takes
// the picture's alpha and blurs it with a horizontal and then a vertical box filter
// (two separable-convolution passes) into an a8 image of the same grown size.
void SetBox(pixman_image_t* img, int width, int height) {
    const int n = width * height; // one of them is 1
    std::vector<pixman_fixed_t> params(4 + width + height);
    params[0] = pixman_int_to_fixed(width);
    params[1] = pixman_int_to_fixed(height);
    params[2] = params[3] = 0; // no subpixel phases
    for (int i = 0; i < width; ++i)
        params[4 + i] = width == 1 ? pixman_fixed_1 : pixman_double_to_fixed(1.0 / n);
    for (int i = 0; i < height; ++i)
        params[4 + width + i] = height == 1 ? pixman_fixed_1 : pixman_double_to_fixed(1.0 / n);
    pixman_image_set_filter(img, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params.data(),
                            static_cast<int>(params.size()));
}

void ShadowOurs(benchmark::State& state, int32_t depth) {
    Images& im = Shared();
    for (auto _ : state) {
        MemoryImage shadow;
        MakeDropShadow(im.src.View(), depth, 0xC0C0C0, shadow);
        benchmark::DoNotOptimize(shadow.BitsPointer());
    }
}

void ShadowPixman(benchmark::State& state, int32_t depth) {
    Images& im = Shared();
    const int n = 2 * depth + 1;
    const int w = kW + 2 * depth, h = kH + 2 * depth;
    pixman_image_t* s = Wrap(im.src.View());
    for (auto _ : state) {
        pixman_image_t* alpha = pixman_image_create_bits(PIXMAN_a8, w, h, nullptr, 0);
        pixman_image_t* across = pixman_image_create_bits(PIXMAN_a8, w, h, nullptr, 0);
        pixman_image_t* out = pixman_image_create_bits(PIXMAN_a8, w, h, nullptr, 0);
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, alpha, 0, 0, 0, 0, depth, depth, kW,
                                 kH);
        SetBox(alpha, n, 1);
        pixman_image_composite32(PIXMAN_OP_SRC, alpha, nullptr, across, 0, 0, 0, 0, 0, 0, w, h);
        SetBox(across, 1, n);
        pixman_image_composite32(PIXMAN_OP_SRC, across, nullptr, out, 0, 0, 0, 0, 0, 0, w, h);
        benchmark::DoNotOptimize(pixman_image_get_data(out));
        pixman_image_unref(alpha);
        pixman_image_unref(across);
        pixman_image_unref(out);
    }
    pixman_image_unref(s);
}

void BM_Shadow1_Ours(benchmark::State& state) {
    ShadowOurs(state, 1);
}
void BM_Shadow1_Pixman(benchmark::State& state) {
    ShadowPixman(state, 1);
}
void BM_Shadow10_Ours(benchmark::State& state) {
    ShadowOurs(state, 10);
}
void BM_Shadow10_Pixman(benchmark::State& state) {
    ShadowPixman(state, 10);
}

} // namespace
} // namespace moirelle

using namespace moirelle;
BENCHMARK(BM_Blend_Ours)->Name("Blend 1080p/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blend_Pixman)->Name("Blend 1080p/pixman")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blend_Memcpy)->Name("Blend 1080p/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blend50_Ours)->Name("Blend 1080p opacity 50/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blend50_Pixman)->Name("Blend 1080p opacity 50/pixman")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blend_Memcpy)->Name("Blend 1080p opacity 50/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleNearest_Ours)
    ->Name("Scale nearest 1080p to 720p/ours")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleNearest_Pixman)
    ->Name("Scale nearest 1080p to 720p/pixman")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleBilinear_Ours)
    ->Name("Scale bilinear 1080p to 720p/ours")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleBilinear_Pixman)
    ->Name("Scale bilinear 1080p to 720p/pixman")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleBilinear768_Ours)
    ->Name("Scale bilinear 1080p to 1366x768/ours")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleBilinear768_Pixman)
    ->Name("Scale bilinear 1080p to 1366x768/pixman")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rotate30_Ours)->Name("Rotate 30 bilinear 1080p/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rotate30_Pixman)
    ->Name("Rotate 30 bilinear 1080p/pixman")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shadow1_Ours)->Name("Drop shadow 1080p depth 1/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shadow1_Pixman)
    ->Name("Drop shadow 1080p depth 1/pixman")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shadow10_Ours)->Name("Drop shadow 1080p depth 10/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shadow10_Pixman)
    ->Name("Drop shadow 1080p depth 10/pixman")
    ->Unit(benchmark::kMillisecond);

// The software renderer against pixman on premultiplied images: blending, scaling and
// rotation, and drop shadows against a plain copy of their output (the bound). Ours runs
// at every instruction-set level the processor has, side by side with the peer.
#include "bench/GrowthTable.h"
#include "bench/PairedRuns.h"
#include "dib/BlendToDestination.h"
#include "dib/DropShadow.h"
#include "dib/MemoryImage.h"
#include "dib/PixelBuffer.h"
#include "dib/RenderRequest.h"
#include "dib/SoftwareRender.h"
#include "dib/VectorLevel.h"

#include <pixman.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moirelle {
namespace {

using bench::PairedCase;
using bench::PairedImpl;

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

std::shared_ptr<PixelBuffer> Picture(int32_t w, int32_t h, uint32_t salt) {
    auto p = std::make_shared<PixelBuffer>();
    p->Allocate(w, h);
    FillPicture(p->View(), salt);
    return p;
}

pixman_image_t* Wrap(const PixelView& v) {
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, v.width, v.height,
                                    reinterpret_cast<uint32_t*>(v.bits),
                                    static_cast<int>(v.stride()));
}

// A destination and the picture it is put back to before every run.
struct Destination {
    std::shared_ptr<PixelBuffer> pixels, original;
    Destination(int32_t w, int32_t h, uint32_t salt)
        : pixels(Picture(w, h, salt)), original(std::make_shared<PixelBuffer>(*pixels)) {}
    std::function<void()> Reset() const {
        return [p = pixels, o = original] {
            std::memcpy(p->View().bits, o->View().bits, p->View().size());
        };
    }
};

// "ours <level>" for every level, each running `run` at its level.
void AddOurs(PairedCase& c, const std::function<void()>& prepare, std::function<void()> run) {
    for (VectorLevel level : AvailableVectorLevels()) {
        if (level == VectorLevel::Portable) continue;
        c.impls.push_back({std::string("ours ") + VectorLevelName(level), prepare, [level, run] {
                               const ScopedVectorLevel at(level);
                               run();
                           }});
    }
}

// Ours: source-over of `src` onto `d` (the same size) at constant alpha `op`.
std::function<void()> BlendOurs(std::shared_ptr<PixelBuffer> src, std::shared_ptr<PixelBuffer> d,
                                uint32_t op) {
    return [src, d, op] {
        const int32_t w = src->Width(), h = src->Height();
        BlendPlan plan;
        PlanBlend(src->View(), 0, 0, 0, 0, w, h, w, h, plan);
        BlendOntoHost(src->View(), plan, d->View(), op, -1);
    };
}

// Source-over of a 1080p picture onto another, at constant alpha `op` (255: none).
PairedCase BlendCase(const char* name, uint32_t op) {
    auto src = Picture(kW, kH, 1);
    Destination dst(kW, kH, 7);
    PairedCase c{name, {}};
    AddOurs(c, dst.Reset(), BlendOurs(src, dst.pixels, op));
    auto s = std::shared_ptr<pixman_image_t>(Wrap(src->View()), pixman_image_unref);
    auto d = std::shared_ptr<pixman_image_t>(Wrap(dst.pixels->View()), pixman_image_unref);
    std::shared_ptr<pixman_image_t> mask;
    if (op < 255) {
        const pixman_color_t color{0, 0, 0, static_cast<uint16_t>(op * 257)};
        mask.reset(pixman_image_create_solid_fill(&color), pixman_image_unref);
    }
    c.impls.push_back({"pixman", dst.Reset(), [s, d, mask] {
                           pixman_image_composite32(PIXMAN_OP_OVER, s.get(), mask.get(), d.get(), 0,
                                                    0, 0, 0, 0, 0, kW, kH);
                       }});
    c.impls.push_back({"memcpy", nullptr, [src, d = dst.pixels] {
                           std::memcpy(d->View().bits, src->View().bits, src->View().size());
                       }});
    return c;
}

// Ours: `src` scaled to the size of `d` and blended onto it.
std::function<void()> ScaleOurs(std::shared_ptr<PixelBuffer> src, std::shared_ptr<PixelBuffer> d,
                                bool bilinear) {
    return [src, d, bilinear] {
        const int32_t sw = src->Width(), sh = src->Height(), w = d->Width(), h = d->Height();
        RenderRequest r;
        r.destWidth = w, r.destHeight = h, r.srcWidth = sw, r.srcHeight = sh;
        PreparedSource p;
        PrepareSoftwareSource(src->View(), r, bilinear, p);
        BlendPlan plan;
        PlanBlend(p.Rows(), p.srcX, p.srcY, p.destX, p.destY, p.destWidth, p.destHeight, w, h,
                  plan);
        BlendOntoHost(p.Rows(), plan, d->View(), 255, -1);
    };
}

// A picture scaled to a destination of another size and blended onto it.
PairedCase ScaleCase(const std::string& name, bool bilinear, int32_t sw, int32_t sh, int32_t w,
                     int32_t h) {
    auto src = Picture(sw, sh, 1);
    Destination dst(w, h, 9);
    PairedCase c{name, {}};
    AddOurs(c, dst.Reset(), ScaleOurs(src, dst.pixels, bilinear));
    auto s = std::shared_ptr<pixman_image_t>(Wrap(src->View()), pixman_image_unref);
    auto d = std::shared_ptr<pixman_image_t>(Wrap(dst.pixels->View()), pixman_image_unref);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(sw) / w),
                                pixman_double_to_fixed(static_cast<double>(sh) / h));
    pixman_image_set_transform(s.get(), &t);
    pixman_image_set_filter(s.get(), bilinear ? PIXMAN_FILTER_BILINEAR : PIXMAN_FILTER_NEAREST,
                            nullptr, 0);
    c.impls.push_back({"pixman", dst.Reset(), [s, d, w, h] {
                           pixman_image_composite32(PIXMAN_OP_OVER, s.get(), nullptr, d.get(), 0, 0,
                                                    0, 0, 0, 0, w, h);
                       }});
    return c;
}

// Ours: a 30-degree bilinear turn of `src` about its centre, blended onto `d` (the same
// size).
std::function<void()> RotateOurs(std::shared_ptr<PixelBuffer> src, std::shared_ptr<PixelBuffer> d) {
    return [src, d] {
        const int32_t w = src->Width(), h = src->Height();
        RenderRequest r;
        r.destWidth = w, r.destHeight = h, r.srcWidth = w, r.srcHeight = h;
        r.Angle = 30;
        const SourceRect visible{0, 0, w, h}; // the host image's bounds, as Render passes
        PreparedSource p;
        PrepareRotatedRows(src->View(), r, true, p, &visible);
        BlendPlan plan;
        PlanBlend(p.Rows(), p.srcX, p.srcY, p.destX, p.destY, p.destWidth, p.destHeight, w, h,
                  plan);
        BlendOntoHost(p.Rows(), plan, d->View(), 255, -1);
    };
}

// pixman: the same turn.
std::function<void()> RotatePixman(std::shared_ptr<PixelBuffer> src,
                                   std::shared_ptr<PixelBuffer> dst) {
    const int32_t w = src->Width(), h = src->Height();
    auto s = std::shared_ptr<pixman_image_t>(Wrap(src->View()), pixman_image_unref);
    auto d = std::shared_ptr<pixman_image_t>(Wrap(dst->View()), pixman_image_unref);
    pixman_f_transform_t f, rot;
    pixman_f_transform_init_translate(&f, -w / 2.0, -h / 2.0);
    const double a = 30 * M_PI / 180;
    pixman_f_transform_init_rotate(&rot, std::cos(a), std::sin(a));
    pixman_f_transform_multiply(&f, &rot, &f);
    pixman_f_transform_init_translate(&rot, w / 2.0, h / 2.0);
    pixman_f_transform_multiply(&f, &rot, &f);
    pixman_transform_t t;
    pixman_transform_from_pixman_f_transform(&t, &f);
    pixman_image_set_transform(s.get(), &t);
    pixman_image_set_filter(s.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
    return [s, d, src, dst, w, h] {
        pixman_image_composite32(PIXMAN_OP_OVER, s.get(), nullptr, d.get(), 0, 0, 0, 0, 0, 0, w, h);
    };
}

// A 30-degree bilinear turn of a 1080p picture about its centre, blended onto 1080p.
PairedCase RotateCase() {
    auto src = Picture(kW, kH, 1);
    Destination dst(kW, kH, 7);
    PairedCase c{"rotate 30 bilinear 1080p", {}};
    AddOurs(c, dst.Reset(), RotateOurs(src, dst.pixels));
    c.impls.push_back({"pixman", dst.Reset(), RotatePixman(src, dst.pixels)});
    return c;
}

// The drop shadow of a 1080p picture against a plain copy of a buffer of its output's
// size into the shadow's own pixels: the least that making the output can cost. Both
// write the same, already allocated buffer (the shadow image is kept from run to run,
// and a kept image of the same size is reused as it is).
PairedCase ShadowCase(int32_t depth) {
    auto src = Picture(kW, kH, 1);
    auto shadow = std::make_shared<MemoryImage>();
    MakeDropShadow(src->View(), depth, 0xC0C0C0, *shadow);
    auto from = std::make_shared<std::vector<uint8_t>>(shadow->View().size(), 1);
    PairedCase c{"drop shadow 1080p depth " + std::to_string(depth), {}};
    AddOurs(c, nullptr,
            [src, shadow, depth] { MakeDropShadow(src->View(), depth, 0xC0C0C0, *shadow); });
    c.impls.push_back({"memcpy", nullptr, [from, shadow] {
                           std::memcpy(shadow->BitsPointer(), from->data(), from->size());
                       }});
    return c;
}

const bool registered = [] {
    using bench::RegisterPairedCase;
    RegisterPairedCase("src-over 1080p", [] { return BlendCase("src-over 1080p", 255); });
    RegisterPairedCase("constant alpha 127 1080p",
                       [] { return BlendCase("constant alpha 127 1080p", 127); });
    struct Scale {
        const char* name;
        bool bilinear;
        int32_t sw, sh, w, h;
    };
    static const Scale scales[] = {
        {"nearest 1080p to 720p", false, kW, kH, 1280, 720},
        {"nearest 1080p to 1366x768", false, kW, kH, 1366, 768},
        {"bilinear 1080p to 720p", true, kW, kH, 1280, 720},
        {"bilinear 1080p to 1366x768", true, kW, kH, 1366, 768},
        {"bilinear 1080p to 1000x600", true, kW, kH, 1000, 600},
        {"bilinear 640x360 to 1080p", true, 640, 360, kW, kH},
    };
    for (const Scale& s : scales)
        RegisterPairedCase(s.name,
                           [&s] { return ScaleCase(s.name, s.bilinear, s.sw, s.sh, s.w, s.h); });
    RegisterPairedCase("rotate 30 bilinear 1080p", RotateCase);
    for (int32_t depth : {1, 5, 10})
        RegisterPairedCase("drop shadow 1080p depth " + std::to_string(depth),
                           [depth] { return ShadowCase(depth); });

    // The same jobs on square pictures of every size; scaling goes to 2/3 of the side.
    using bench::GrowthRun;
    using bench::RegisterGrowthJob;
    auto square = [](int32_t side) { return static_cast<double>(side) * side; };
    for (uint32_t op : {255u, 127u})
        RegisterGrowthJob(op == 255 ? "src-over" : "constant alpha 127",
                          [op, square](int32_t side) {
                              Destination dst(side, side, 7);
                              return GrowthRun{square(side), dst.Reset(),
                                               BlendOurs(Picture(side, side, 1), dst.pixels, op)};
                          });
    for (bool bilinear : {false, true})
        RegisterGrowthJob(
            bilinear ? "bilinear to 2/3" : "nearest to 2/3", [bilinear, square](int32_t side) {
                Destination dst(side * 2 / 3, side * 2 / 3, 9);
                return GrowthRun{square(side * 2 / 3), dst.Reset(),
                                 ScaleOurs(Picture(side, side, 1), dst.pixels, bilinear)};
            });
    RegisterGrowthJob("rotate 30 bilinear", [square](int32_t side) {
        Destination dst(side, side, 7);
        return GrowthRun{square(side), dst.Reset(), RotateOurs(Picture(side, side, 1), dst.pixels)};
    });
    RegisterGrowthJob("pixman rotate 30 (reference)", [square](int32_t side) {
        Destination dst(side, side, 7);
        return GrowthRun{square(side), dst.Reset(),
                         RotatePixman(Picture(side, side, 1), dst.pixels)};
    });
    RegisterGrowthJob("drop shadow depth 5 (output pixels)", [square](int32_t side) {
        auto src = Picture(side, side, 1);
        auto shadow = std::make_shared<MemoryImage>();
        return GrowthRun{square(side + 10), nullptr,
                         [src, shadow] { MakeDropShadow(src->View(), 5, 0xC0C0C0, *shadow); }};
    });
    return true;
}();

} // namespace
} // namespace moirelle

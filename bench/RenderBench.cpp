// The software renderer against pixman on premultiplied images: blending, scaling and
// rotation, and drop shadows against a plain copy of their output (the bound). Ours runs
// at every instruction-set level the processor has, side by side with the peer. pixman
// samples where our rules sample (its transform is fitted to them, edges padded as ours
// are clamped), and before the timing every level's output is compared with pixman's
// within the rounding difference of the two rules (RenderChecks.h). The memory-bound jobs
// (src-over, the drop shadow and the copies beside them) also run cold: their buffers
// flushed from every cache before each run.
#include "bench/CacheState.h"
#include "bench/GrowthTable.h"
#include "bench/PairedRuns.h"
#include "bench/PeerPixels.h"
#include "bench/RenderChecks.h"
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

using namespace bench;

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

// Runs `impl` once from its prepared state and copies what it left in `d`.
std::vector<uint8_t> OutputOf(PairedImpl& impl, const PixelBuffer& d) {
    if (impl.prepare) impl.prepare();
    impl.run();
    const PixelView v = d.View();
    return std::vector<uint8_t>(v.bits, v.bits + v.size());
}

// Every "ours" implementation of `c` against the one named `peer`, all writing `d`.
void CheckAgainst(PairedCase& c, const std::string& peer, const PixelBuffer& d, int bound) {
    std::vector<uint8_t> theirs;
    for (PairedImpl& impl : c.impls)
        if (impl.name == peer) theirs = OutputOf(impl, d);
    for (PairedImpl& impl : c.impls)
        if (impl.name.rfind("ours", 0) == 0)
            RequireWithin(c.name + " (" + impl.name + ")", peer, OutputOf(impl, d).data(),
                          theirs.data(), theirs.size(), bound);
}

// Source-over of a 1080p picture onto another, at constant alpha `op` (255: none); cold:
// both pictures flushed from the caches before every run.
PairedCase BlendCase(const std::string& name, uint32_t op, bool cold) {
    auto src = Picture(kW, kH, 1);
    Destination dst(kW, kH, 7);
    std::function<void()> flush = [src, d = dst.pixels] {
        FlushFromCaches(src->View().bits, src->View().size());
        FlushFromCaches(d->View().bits, d->View().size());
    };
    std::function<void()> reset = dst.Reset();
    if (cold) reset = [reset, flush] { reset(), flush(); };
    PairedCase c{name, {}};
    AddOurs(c, reset, BlendOurs(src, dst.pixels, op));
    auto s = std::shared_ptr<pixman_image_t>(Wrap(src->View()), pixman_image_unref);
    auto d = std::shared_ptr<pixman_image_t>(Wrap(dst.pixels->View()), pixman_image_unref);
    std::shared_ptr<pixman_image_t> mask;
    if (op < 255) {
        const pixman_color_t color{0, 0, 0, static_cast<uint16_t>(op * 257)};
        mask.reset(pixman_image_create_solid_fill(&color), pixman_image_unref);
    }
    c.impls.push_back({"pixman", reset, [s, d, mask] {
                           pixman_image_composite32(PIXMAN_OP_OVER, s.get(), mask.get(), d.get(), 0,
                                                    0, 0, 0, 0, 0, kW, kH);
                       }});
    c.impls.push_back({"memcpy", cold ? flush : nullptr, [src, d = dst.pixels] {
                           std::memcpy(d->View().bits, src->View().bits, src->View().size());
                       }});
    CheckAgainst(c, "pixman", *dst.pixels, BlendBound(op));
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

// pixman's transform for `map` on an image's pixel grid (PAD at the edges, as ours clamps).
void FitTransform(pixman_image_t* image, const SampleMap& map) {
    FittedTransform t = FitPixmanTransform(map);
    pixman_image_set_transform(image, &t.fixed);
    pixman_image_set_filter(image, map.bilinear ? PIXMAN_FILTER_BILINEAR : PIXMAN_FILTER_NEAREST,
                            nullptr, 0);
    pixman_image_set_repeat(image, PIXMAN_REPEAT_PAD);
}

// A picture scaled to a destination of another size and blended onto it. The check scales
// onto transparent destinations, where the output is the scaled picture itself.
PairedCase ScaleCase(const std::string& name, bool bilinear, int32_t sw, int32_t sh, int32_t w,
                     int32_t h) {
    auto src = Picture(sw, sh, 1);
    Destination dst(w, h, 9);
    PairedCase c{name, {}};
    AddOurs(c, dst.Reset(), ScaleOurs(src, dst.pixels, bilinear));
    auto s = std::shared_ptr<pixman_image_t>(Wrap(src->View()), pixman_image_unref);
    auto d = std::shared_ptr<pixman_image_t>(Wrap(dst.pixels->View()), pixman_image_unref);
    const SampleMap map = ScaleSampleMap(bilinear, sw, sh, w, h);
    const FittedTransform fitted = FitPixmanTransform(map);
    FitTransform(s.get(), map);
    c.impls.push_back({"pixman", dst.Reset(), [s, d, w, h] {
                           pixman_image_composite32(PIXMAN_OP_OVER, s.get(), nullptr, d.get(), 0, 0,
                                                    0, 0, 0, 0, w, h);
                       }});

    auto clear = std::make_shared<PixelBuffer>();
    clear->Allocate(w, h);
    auto theirs = std::make_shared<PixelBuffer>(*clear);
    auto t = std::shared_ptr<pixman_image_t>(Wrap(theirs->View()), pixman_image_unref);
    pixman_image_composite32(PIXMAN_OP_OVER, s.get(), nullptr, t.get(), 0, 0, 0, 0, 0, 0, w, h);
    for (VectorLevel level : AvailableVectorLevels()) {
        if (level == VectorLevel::Portable) continue;
        const ScopedVectorLevel at(level);
        auto ours = std::make_shared<PixelBuffer>(*clear);
        ScaleOurs(src, ours, bilinear)();
        const std::string what = name + " (ours " + VectorLevelName(level) + ")";
        if (bilinear)
            RequireBilinearWithin(what, "pixman", ours->View(), theirs->View(), fitted);
        else
            RequireSameWhereUnambiguous(what, "pixman", ours->View(), theirs->View(), map, fitted);
    }
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
    FitTransform(s.get(), RotationSampleMap(30, w, h));
    pixman_image_set_repeat(s.get(), PIXMAN_REPEAT_NONE);
    return [s, d, src, dst, w, h] {
        pixman_image_composite32(PIXMAN_OP_OVER, s.get(), nullptr, d.get(), 0, 0, 0, 0, 0, 0, w, h);
    };
}

// A 30-degree bilinear turn of a 1080p picture about its centre, blended onto 1080p. The
// check turns onto transparent destinations and compares the pixels whose sample lies
// inside the picture, away from its edges, where the two rules differ (ours leaves what
// falls outside transparent, pixman fades it over a pixel).
PairedCase RotateCase() {
    auto src = Picture(kW, kH, 1);
    Destination dst(kW, kH, 7);
    PairedCase c{"rotate 30 bilinear 1080p", {}};
    AddOurs(c, dst.Reset(), RotateOurs(src, dst.pixels));
    c.impls.push_back({"pixman", dst.Reset(), RotatePixman(src, dst.pixels)});

    auto clear = std::make_shared<PixelBuffer>();
    clear->Allocate(kW, kH);
    auto theirs = std::make_shared<PixelBuffer>(*clear);
    RotatePixman(src, theirs)();
    const SampleMap map = RotationSampleMap(30, kW, kH);
    const FittedTransform fitted = FitPixmanTransform(map);
    for (VectorLevel level : AvailableVectorLevels()) {
        if (level == VectorLevel::Portable) continue;
        const ScopedVectorLevel at(level);
        auto ours = std::make_shared<PixelBuffer>(*clear);
        RotateOurs(src, ours)();
        RequireWithinInside(c.name + " (ours " + VectorLevelName(level) + ")", "pixman",
                            ours->View(), theirs->View(), map, fitted, kW, kH);
    }
    return c;
}

// The drop shadow of a 1080p picture against a plain copy of a buffer of its output's
// size into the shadow's own pixels: the least that making the output can cost. Both
// write the same, already allocated buffer (the shadow image is kept from run to run,
// and a kept image of the same size is reused as it is). Cold: the picture, the shadow and
// the copy's source flushed from the caches before every run.
std::string ShadowName(int32_t depth, bool cold) {
    return "drop shadow 1080p depth " + std::to_string(depth) + (cold ? ", cold" : "");
}

PairedCase ShadowCase(int32_t depth, bool cold) {
    auto src = Picture(kW, kH, 1);
    auto shadow = std::make_shared<MemoryImage>();
    MakeDropShadow(src->View(), depth, 0xC0C0C0, *shadow);
    auto from = std::make_shared<std::vector<uint8_t>>(shadow->View().size(), 1);
    std::function<void()> flush;
    if (cold)
        flush = [src, shadow, from] {
            FlushFromCaches(src->View().bits, src->View().size());
            FlushFromCaches(shadow->BitsPointer(), shadow->View().size());
            FlushFromCaches(from->data(), from->size());
        };
    PairedCase c{ShadowName(depth, cold), {}};
    AddOurs(c, flush,
            [src, shadow, depth] { MakeDropShadow(src->View(), depth, 0xC0C0C0, *shadow); });
    c.impls.push_back({"memcpy", flush, [from, shadow] {
                           std::memcpy(shadow->BitsPointer(), from->data(), from->size());
                       }});
    return c;
}

const bool registered = [] {
    using bench::RegisterPairedCase;
    RegisterPairedCase("src-over 1080p", [] { return BlendCase("src-over 1080p", 255, false); });
    RegisterPairedCase("src-over 1080p, cold",
                       [] { return BlendCase("src-over 1080p, cold", 255, true); });
    RegisterPairedCase("constant alpha 127 1080p",
                       [] { return BlendCase("constant alpha 127 1080p", 127, false); });
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
    for (bool cold : {false, true})
        for (int32_t depth : {1, 5, 10})
            RegisterPairedCase(ShadowName(depth, cold),
                               [depth, cold] { return ShadowCase(depth, cold); });

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
    RegisterGrowthJob("pixman bilinear to 2/3 (reference)", [square](int32_t side) {
        const int32_t w = side * 2 / 3;
        Destination dst(w, w, 9);
        auto src = Picture(side, side, 1);
        auto s = std::shared_ptr<pixman_image_t>(Wrap(src->View()), pixman_image_unref);
        auto d = std::shared_ptr<pixman_image_t>(Wrap(dst.pixels->View()), pixman_image_unref);
        FitTransform(s.get(), ScaleSampleMap(true, side, side, w, w));
        return GrowthRun{square(w), dst.Reset(), [s, d, src, dst = dst.pixels, w] {
                             pixman_image_composite32(PIXMAN_OP_OVER, s.get(), nullptr, d.get(), 0,
                                                      0, 0, 0, 0, 0, w, w);
                         }};
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
    for (int32_t depth : {1, 5, 10})
        RegisterGrowthJob("drop shadow depth " + std::to_string(depth) + " (output pixels)",
                          [square, depth](int32_t side) {
                              auto src = Picture(side, side, 1);
                              auto shadow = std::make_shared<MemoryImage>();
                              return GrowthRun{
                                  square(side + 2 * depth), nullptr, [src, shadow, depth] {
                                      MakeDropShadow(src->View(), depth, 0xC0C0C0, *shadow);
                                  }};
                          });
    return true;
}();

} // namespace
} // namespace moirelle

// One frame of a taskbar animation, 1024 x 64, brought to the screen and scaled to a
// 1024 x 40 taskbar: ours composites the next frame of the animation and scales it with
// the software renderer; the peers decode the same frame as a still GIF (giflib, and
// stb_image) and pixman scales it. Beside it, for the ratio today's GIF decode reaches,
// our first-frame reader decoding that still and our scale.
#include "bench/PairedRuns.h"
#include "bench/PeerPixels.h"
#include "dib/BlendToDestination.h"
#include "dib/MemoryImage.h"
#include "dib/PixelBuffer.h"
#include "dib/RenderRequest.h"
#include "dib/SoftwareRender.h"
#include "formats/GifAnimation.h"
#include "formats/cGIFparser.h"

#include <gif_lib.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace moirelle::bench {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 1024, kHeight = 64, kFrames = 24;
constexpr int kBarWidth = 1024, kBarHeight = 40;

// A shimmer: a blue-grey gradient of 256 shades with a soft bright band moving across.
uint8_t ShimmerIndex(int x, int y, int frame) {
    const double base = 40 + 120.0 * x / kWidth + 30.0 * y / kHeight;
    const double centre = (frame + 0.5) * (kWidth + 300.0) / kFrames - 150.0;
    const double d = (x - centre + 0.4 * y) / 60.0;
    const double v = base + 90.0 * std::exp(-d * d);
    return static_cast<uint8_t>(std::min(255.0, v));
}

std::vector<GifColorType> ShimmerColours() {
    std::vector<GifColorType> colours;
    for (int i = 0; i < 256; ++i)
        colours.push_back({static_cast<GifByteType>(i * 3 / 4), static_cast<GifByteType>(i * 7 / 8),
                           static_cast<GifByteType>(i)});
    return colours;
}

int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// The animation (frames 0 .. frames - 1), or frame `only` alone as a still, through
// giflib's encoder.
Bytes EncodeShimmer(int frames, int only = -1) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    std::vector<GifColorType> colours = ShimmerColours();
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
    if (only < 0) {
        const GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        const GifByteType loop[] = {1, 0, 0};
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, sizeof(netscape), netscape);
        EGifPutExtensionBlock(gif, sizeof(loop), loop);
        EGifPutExtensionTrailer(gif);
    }
    std::vector<GifPixelType> line(kWidth);
    for (int f = only < 0 ? 0 : only; f < (only < 0 ? frames : only + 1); ++f) {
        const GifByteType control[4] = {1 << 2, 4, 0, 0}; // keep, 40 ms
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
        EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x)
                line[static_cast<size_t>(x)] = ShimmerIndex(x, y, f);
            EGifPutLine(gif, line.data(), kWidth);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

struct ReadCursor {
    const Bytes* data;
    size_t pos;
};

int ReadFromVector(GifFileType* gif, GifByteType* out, int length) {
    auto* cursor = static_cast<ReadCursor*>(gif->UserData);
    const size_t n =
        std::min<size_t>(static_cast<size_t>(length), cursor->data->size() - cursor->pos);
    std::memcpy(out, cursor->data->data() + cursor->pos, n);
    cursor->pos += n;
    return static_cast<int>(n);
}

// giflib: the still's rows through its colour map into premultiplied bottom-up BGRA.
bool DecodeStillWithGiflib(const Bytes& data, PeerImage& out) {
    ReadCursor cursor{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&cursor, ReadFromVector, &error);
    if (!gif) return false;
    bool ok = false;
    GifRecordType record;
    while (!ok && DGifGetRecordType(gif, &record) == GIF_OK && record != TERMINATE_RECORD_TYPE) {
        if (record == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* ext;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) break;
            while (ext && DGifGetExtensionNext(gif, &ext) == GIF_OK) {
            }
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) != GIF_OK) break;
            const int w = gif->Image.Width, h = gif->Image.Height;
            const ColorMapObject* map = gif->SColorMap;
            uint32_t palette[256] = {};
            for (int i = 0; i < map->ColorCount && i < 256; ++i)
                palette[i] = 0xFF000000u | (uint32_t{map->Colors[i].Red} << 16) |
                             (uint32_t{map->Colors[i].Green} << 8) | map->Colors[i].Blue;
            out.AllocateZeroed(static_cast<size_t>(w) * h * 4);
            std::vector<GifPixelType> line(static_cast<size_t>(w));
            ok = true;
            for (int y = 0; y < h && ok; ++y) {
                ok = DGifGetLine(gif, line.data(), w) == GIF_OK;
                uint32_t* row =
                    reinterpret_cast<uint32_t*>(out.data()) + static_cast<size_t>(h - 1 - y) * w;
                for (int x = 0; x < w; ++x)
                    row[x] = palette[line[static_cast<size_t>(x)]];
            }
        }
    }
    DGifCloseFile(gif, &error);
    return ok;
}

// Ours: `src` scaled bilinearly over the whole of `dst`, blended onto it.
void ScaleOurs(const PixelView& src, PixelBuffer& dst) {
    RenderRequest r;
    r.destWidth = dst.Width(), r.destHeight = dst.Height();
    r.srcWidth = src.width, r.srcHeight = src.height;
    PreparedSource p;
    PrepareSoftwareSource(src, r, true, p);
    BlendPlan plan;
    PlanBlend(p.Rows(), p.srcX, p.srcY, p.destX, p.destY, p.destWidth, p.destHeight, dst.Width(),
              dst.Height(), plan);
    BlendOntoHost(p.Rows(), plan, dst.View(), 255, -1);
}

// pixman: premultiplied BGRA (bottom-up, as ours) scaled bilinearly onto `dst`.
void ScalePixman(PeerImage& src, PixelBuffer& dst) {
    pixman_image_t* s = pixman_image_create_bits(
        PIXMAN_a8r8g8b8, kWidth, kHeight, reinterpret_cast<uint32_t*>(src.data()), kWidth * 4);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, dst.Width(), dst.Height(),
                                                 reinterpret_cast<uint32_t*>(dst.View().bits),
                                                 static_cast<int>(dst.View().stride()));
    pixman_transform_t t;
    pixman_transform_init_scale(
        &t, pixman_double_to_fixed(static_cast<double>(kWidth) / dst.Width()),
        pixman_double_to_fixed(static_cast<double>(kHeight) / dst.Height()));
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, dst.Width(),
                             dst.Height());
    pixman_image_unref(s);
    pixman_image_unref(d);
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "animation bench: %s failed\n", what);
    std::abort();
}

struct AnimationState {
    Bytes file;
    GifAnimation animation;
    MemoryImage screen;
};

PairedCase AnimationCase() {
    PairedCase c{"GIF animation frame 1024x64 + scale", {}};
    auto anim = std::make_shared<AnimationState>();
    anim->file = EncodeShimmer(kFrames);
    if (!anim->animation.Open(anim->file) || anim->animation.FrameCount() != kFrames)
        Fail("opening the animation");
    // The peers and our first-frame reader decode each frame as a still, in turn, as the
    // animation brings them.
    auto stills = std::make_shared<std::vector<Bytes>>();
    for (int f = 0; f < kFrames; ++f)
        stills->push_back(EncodeShimmer(kFrames, f));
    // Each implementation walks the stills with a counter of its own.
    auto turns = [stills] {
        return [stills, next = std::make_shared<size_t>(0)]() -> const Bytes& {
            const Bytes& b = (*stills)[*next];
            *next = (*next + 1) % stills->size();
            return b;
        };
    };
    auto bar = [] {
        auto b = std::make_shared<PixelBuffer>();
        b->Allocate(kBarWidth, kBarHeight);
        return b;
    };
    auto ourBar = bar(), peerBar = bar();

    c.impls.push_back({"ours animation", nullptr, [anim, ourBar] {
                           GifAnimation& a = anim->animation;
                           if (!a.NextFrame(anim->screen) &&
                               !(a.Rewind(anim->screen) && a.NextFrame(anim->screen)))
                               Fail("ours animation");
                           ScaleOurs(anim->screen.View(), *ourBar);
                       }});
    auto firstFrame = std::make_shared<MemoryImage>();
    c.impls.push_back({"ours first frame", nullptr, [turn = turns(), firstFrame, ourBar]() mutable {
                           *firstFrame = MemoryImage();
                           if (!cGIFparser().LoadStream(turn(), *firstFrame, 0, 0))
                               Fail("ours first frame");
                           ScaleOurs(firstFrame->View(), *ourBar);
                       }});
    using Decoder = bool (*)(const Bytes&, PeerImage&);
    const std::pair<const char*, Decoder> peers[] = {{"giflib", DecodeStillWithGiflib},
                                                     {"stb_image", DecodeStbImage}};
    for (const auto& [peer, decode] : peers) {
        auto out = std::make_shared<PeerImage>();
        c.impls.push_back(
            {peer, nullptr, [turn = turns(), out, peerBar, peer = peer, decode = decode]() mutable {
                 if (!decode(turn(), *out)) Fail(peer);
                 ScalePixman(*out, *peerBar);
             }});
    }
    // The first frame of the animation is the still: both roads give the same pixels.
    if (!anim->animation.Rewind(anim->screen) || !anim->animation.NextFrame(anim->screen))
        Fail("ours animation");
    PeerImage giflib;
    if (!DecodeStillWithGiflib(stills->front(), giflib)) Fail("giflib");
    RequireSame(c.name, "giflib", anim->screen.BitsPointer(), giflib.data(), giflib.size(),
                anim->screen.View().size());
    return c;
}

const bool registered = [] {
    RegisterPairedCase("GIF animation frame 1024x64 + scale", AnimationCase);
    return true;
}();

} // namespace
} // namespace moirelle::bench

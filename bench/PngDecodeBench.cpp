// Whole PNG files decoded side by side: ours to a premultiplied, bottom-up BGRA image, the
// peers to the same pixels (their output converted in place inside the timed run, in a
// buffer zeroed as ours is, or stb_image's own). libpng and libspng check every chunk CRC
// and the Adler-32; so does "ours checked", the headline (the reader's checked mode,
// without zlib: its own CRC-32 and Adler-32), and "ours zlib" (the default mode with
// zlib's crc32 and inflate, looked up at run time on every load as the reader does).
// "ours unchecked" is the default mode without zlib: no CRC, no Adler-32. stb_image checks
// neither. Every output is compared with ours, byte for byte, before the timing.
#include "bench/BenchImages.h"
#include "bench/GrowthTable.h"
#include "bench/PairedRuns.h"
#include "bench/PeerPixels.h"
#include "dib/MemoryImage.h"
#include "formats/ZlibAccess.h"
#include "formats/cPNGparser.h"

#include <png.h>
#include <spng.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace moirelle::bench {
namespace {

using Bytes = std::vector<uint8_t>;

void Fail(const char* who, const std::string& what) {
    std::fprintf(stderr, "%s failed to decode %s\n", who, what.c_str());
    std::abort();
}

enum class Route { Checked, Unchecked, Zlib };

bool DecodeOurs(const Bytes& png, Route route, MemoryImage& target) {
    SetZlibLibraryNames(route == Route::Zlib ? DefaultZlibLibraryNames()
                                             : ZlibLibraryNames{"", ""});
    cPNGparser parser;
    parser.SetChecked(route == Route::Checked);
    const bool ok =
        parser.LoadStream(png, target, 0, png.size(), 0) && target.BitsPointer() != nullptr;
    SetZlibLibraryNames(DefaultZlibLibraryNames());
    return ok;
}

struct MemoryReader {
    const uint8_t* next;
    size_t left;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* m = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > m->left) png_error(png, "read past the end");
    std::memcpy(out, m->next, length);
    m->next += length;
    m->left -= length;
}

// libpng's own transforms give BGRA rows, written bottom-up; then premultiplied in place.
bool DecodeLibpng(const Bytes& data, PeerImage& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    MemoryReader reader{data.data(), data.size()};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    const png_byte colorType = png_get_color_type(png, info);
    const bool alpha =
        (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    out.AllocateZeroed(w * h * 4); // a new buffer, as every decode of ours gets
    rows.resize(h);
    for (size_t y = 0; y < h; ++y)
        rows[y] = out.data() + (h - 1 - y) * w * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    if (alpha) PremultiplyBgra(out.data(), w * h);
    return true;
}

// libspng's RGBA rows, turned in place.
bool DecodeLibspng(const Bytes& data, PeerImage& out) {
    std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
    spng_ihdr ihdr{};
    size_t size = 0;
    if (!ctx || spng_set_png_buffer(ctx.get(), data.data(), data.size()) != 0 ||
        spng_get_ihdr(ctx.get(), &ihdr) != 0 ||
        spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size) != 0)
        return false;
    out.AllocateZeroed(size); // a new buffer, as every decode of ours gets
    if (spng_decode_image(ctx.get(), out.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
        return false;
    RgbaToPremultipliedBgraInPlace(out.data(), static_cast<int>(ihdr.width),
                                   static_cast<int>(ihdr.height));
    return true;
}

PairedCase PngCase(const BenchImage& image) {
    const Bytes* png = &image.png;
    const std::string name = image.name;
    PairedCase c{"PNG " + name, {}};
    const size_t size = static_cast<size_t>(image.width) * image.height * 4;
    MemoryImage reference;
    if (!DecodeOurs(*png, Route::Unchecked, reference)) Fail("ours unchecked", name);
    const std::pair<const char*, Route> routes[] = {{"ours checked", Route::Checked},
                                                    {"ours unchecked", Route::Unchecked},
                                                    {"ours zlib", Route::Zlib}};
    for (const auto& [label, route] : routes) {
        auto ours = std::make_shared<MemoryImage>();
        c.impls.push_back({label, nullptr, [png, name, ours, label = label, route = route] {
                               *ours = MemoryImage();
                               if (!DecodeOurs(*png, route, *ours)) Fail(label, name);
                           }});
        c.impls.back().run();
        RequireSame(c.name, label, reference.BitsPointer(), ours->BitsPointer(),
                    ours->View().size(), size);
    }
    using Decoder = bool (*)(const Bytes&, PeerImage&);
    const std::pair<const char*, Decoder> peers[] = {
        {"libpng", DecodeLibpng}, {"libspng", DecodeLibspng}, {"stb_image", DecodeStbImage}};
    for (const auto& [peer, decode] : peers) {
        auto out = std::make_shared<PeerImage>();
        c.impls.push_back({peer, nullptr, [png, name, out, peer = peer, decode = decode] {
                               if (!decode(*png, *out)) Fail(peer, name);
                           }});
        c.impls.back().run();
        RequireSame(c.name, peer, reference.BitsPointer(), out->data(), out->size(), size);
    }
    return c;
}

const bool registered = [] {
    for (const char* name :
         {"icon256-rgba", "ui1024-palette", "ui1024-palette-trns", "photo1080-grey",
          "photo1080-rgb", "photo1080-rgba", "photo768-rgba16", "photo1080-rgb-adam7"})
        RegisterPairedCase(std::string("PNG ") + name,
                           [name] { return PngCase(BenchImageNamed(name)); });
    for (const auto& [job, route] : {std::pair{"PNG decode rgba, checked", Route::Checked},
                                     std::pair{"PNG decode rgba, unchecked", Route::Unchecked}})
        RegisterGrowthJob(job, [route = route](int32_t side) {
            const Bytes* png = &SharedLargeRgbaImage(side).png;
            auto ours = std::make_shared<MemoryImage>();
            return GrowthRun{static_cast<double>(side) * side, nullptr, [png, ours, route] {
                                 *ours = MemoryImage();
                                 if (!DecodeOurs(*png, route, *ours)) Fail("ours", "rgba");
                             }};
        });
    RegisterGrowthJob("libspng decode rgba (reference)", [](int32_t side) {
        const Bytes* png = &SharedLargeRgbaImage(side).png;
        auto out = std::make_shared<PeerImage>();
        return GrowthRun{static_cast<double>(side) * side, nullptr, [png, out] {
                             if (!DecodeLibspng(*png, *out)) Fail("libspng", "rgba");
                         }};
    });
    return true;
}();

} // namespace
} // namespace moirelle::bench

// Whole PNG files decoded side by side: ours to a premultiplied, bottom-up BGRA image, the
// peers to the same pixels (their output converted inside the timed run, into a buffer
// zeroed as ours is). libpng and libspng check every chunk CRC and the Adler-32; so does
// "ours zlib" (zlib's crc32 and inflate, looked up at run time on every load as the
// reader does). "ours" is the route without zlib: built-in inflater, no CRC, no Adler-32.
// stb_image checks neither.
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

bool DecodeOurs(const Bytes& png, bool zlib, MemoryImage& target) {
    SetZlibLibraryNames(zlib ? DefaultZlibLibraryNames() : ZlibLibraryNames{"", ""});
    cPNGparser parser;
    return parser.LoadStream(png, target, 0, png.size(), 0) && target.BitsPointer() != nullptr;
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

// libpng's own transforms give BGRA rows, written bottom-up; then premultiplied.
bool DecodeLibpng(const Bytes& data, Bytes& out) {
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
    out = Bytes(w * h * 4, 0); // a new buffer, as every decode of ours gets
    rows.resize(h);
    for (size_t y = 0; y < h; ++y)
        rows[y] = out.data() + (h - 1 - y) * w * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    if (alpha) PremultiplyBgra(out.data(), w * h);
    return true;
}

bool DecodeLibspng(const Bytes& data, Bytes& out) {
    std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
    spng_ihdr ihdr{};
    size_t size = 0;
    if (!ctx || spng_set_png_buffer(ctx.get(), data.data(), data.size()) != 0 ||
        spng_get_ihdr(ctx.get(), &ihdr) != 0 ||
        spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size) != 0)
        return false;
    std::unique_ptr<uint8_t[]> rgba(new uint8_t[size]);
    if (spng_decode_image(ctx.get(), rgba.get(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
        return false;
    const int w = static_cast<int>(ihdr.width), h = static_cast<int>(ihdr.height);
    out = Bytes(static_cast<size_t>(w) * h * 4, 0); // a new buffer, as every decode of ours gets
    RgbaToPremultipliedBgra(rgba.get(), w, h, out.data());
    return true;
}

PairedCase PngCase(const BenchImage& image) {
    const Bytes* png = &image.png;
    const std::string name = image.name;
    PairedCase c{"PNG " + name, {}};
    auto ours = std::make_shared<MemoryImage>();
    c.impls.push_back({"ours", nullptr, [png, name, ours] {
                           *ours = MemoryImage();
                           if (!DecodeOurs(*png, false, *ours)) Fail("ours", name);
                       }});
    c.impls.push_back({"ours zlib", nullptr, [png, name, ours] {
                           *ours = MemoryImage();
                           if (!DecodeOurs(*png, true, *ours)) Fail("ours zlib", name);
                           SetZlibLibraryNames(DefaultZlibLibraryNames());
                       }});
    using Decoder = bool (*)(const Bytes&, Bytes&);
    const std::pair<const char*, Decoder> peers[] = {
        {"libpng", DecodeLibpng}, {"libspng", DecodeLibspng}, {"stb_image", DecodeStbImage}};
    MemoryImage reference;
    if (!DecodeOurs(*png, false, reference)) Fail("ours", name);
    for (const auto& [peer, decode] : peers) {
        auto out = std::make_shared<Bytes>();
        c.impls.push_back({peer, nullptr, [png, name, out, peer = peer, decode = decode] {
                               if (!decode(*png, *out)) Fail(peer, name);
                           }});
        c.impls.back().run();
        ReportDifference(c.name, peer, reference.BitsPointer(), *out,
                         static_cast<size_t>(image.width) * image.height * 4);
    }
    return c;
}

const bool registered = [] {
    for (const char* name :
         {"icon256-rgba", "ui1024-palette", "ui1024-palette-trns", "photo1080-grey",
          "photo1080-rgb", "photo1080-rgba", "photo768-rgba16", "photo1080-rgb-adam7"})
        RegisterPairedCase(std::string("PNG ") + name,
                           [name] { return PngCase(BenchImageNamed(name)); });
    RegisterGrowthJob("PNG decode rgba", [](int32_t side) {
        const Bytes* png = &SharedLargeRgbaImage(side).png;
        auto ours = std::make_shared<MemoryImage>();
        return GrowthRun{static_cast<double>(side) * side, nullptr, [png, ours] {
                             *ours = MemoryImage();
                             if (!DecodeOurs(*png, false, *ours)) Fail("ours", "rgba");
                         }};
    });
    return true;
}();

} // namespace
} // namespace moirelle::bench

// Whole PNG files decoded to pixels: ours to a premultiplied, bottom-up BGRA image (with
// the built-in inflater, and through zlib), the peers to straight RGBA8.
#include "bench/BenchImages.h"
#include "dib/MemoryImage.h"
#include "formats/ZlibAccess.h"
#include "formats/cPNGparser.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <spng.h>

#include <vector>

namespace moirelle::bench {
namespace {

enum class Impl { Ours, OursZlib, Libpng, Libspng };

bool DecodeOurs(const BenchImage& image, bool zlib) {
    SetZlibLibraryNames(zlib ? DefaultZlibLibraryNames() : ZlibLibraryNames{"", ""});
    MemoryImage target;
    cPNGparser parser;
    const bool ok = parser.LoadStream(image.png, target, 0, image.png.size(), 0) &&
                    target.Width() == image.width;
    benchmark::DoNotOptimize(target.BitsPointer());
    return ok;
}

bool DecodeLibpng(const BenchImage& image) {
    png_image info{};
    info.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&info, image.png.data(), image.png.size())) return false;
    info.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(info));
    const bool ok = png_image_finish_read(&info, nullptr, pixels.data(), 0, nullptr) != 0;
    benchmark::DoNotOptimize(pixels.data());
    return ok;
}

bool DecodeLibspng(const BenchImage& image) {
    spng_ctx* ctx = spng_ctx_new(0);
    if (!ctx) return false;
    size_t size = 0;
    bool ok = spng_set_png_buffer(ctx, image.png.data(), image.png.size()) == 0 &&
              spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0;
    if (ok) {
        std::vector<uint8_t> pixels(size);
        ok = spng_decode_image(ctx, pixels.data(), size, SPNG_FMT_RGBA8, 0) == 0;
        benchmark::DoNotOptimize(pixels.data());
    }
    spng_ctx_free(ctx);
    return ok;
}

void DecodePng(benchmark::State& state, const BenchImage* image, Impl impl) {
    for (auto _ : state) {
        bool ok = false;
        switch (impl) {
        case Impl::Ours:
            ok = DecodeOurs(*image, false);
            break;
        case Impl::OursZlib:
            ok = DecodeOurs(*image, true);
            break;
        case Impl::Libpng:
            ok = DecodeLibpng(*image);
            break;
        case Impl::Libspng:
            ok = DecodeLibspng(*image);
            break;
        }
        if (!ok) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    SetZlibLibraryNames(DefaultZlibLibraryNames());
    state.SetItemsProcessed(state.iterations() * image->width * image->height);
}

int Register() {
    for (const BenchImage& image : BenchImages()) {
        const std::string base = "PNG " + image.name + "/";
        const std::pair<const char*, Impl> impls[] = {{"ours", Impl::Ours},
                                                      {"ours_zlib", Impl::OursZlib},
                                                      {"libpng", Impl::Libpng},
                                                      {"libspng", Impl::Libspng}};
        for (const auto& [name, impl] : impls)
            benchmark::RegisterBenchmark((base + name).c_str(), DecodePng, &image, impl)
                ->Unit(benchmark::kMillisecond);
    }
    return 0;
}

const int registered = Register();

} // namespace
} // namespace moirelle::bench

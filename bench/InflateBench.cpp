// The built-in inflater against zlib and libdeflate on the image data of the
// benchmark PNGs.
#include "bench/BenchImages.h"
#include "formats/Inflater.h"

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <memory>
#include <vector>

namespace moirelle::bench {
namespace {

enum class Impl { Ours, Zlib, Libdeflate };

void InflateImage(benchmark::State& state, const BenchImage* image, Impl impl) {
    std::vector<uint8_t> out(image->rawSize);
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> peer(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    for (auto _ : state) {
        bool ok = false;
        switch (impl) {
        case Impl::Ours:
            ok = Inflate(out.data(), out.size(), image->idat.data(), image->idat.size());
            break;
        case Impl::Zlib: {
            uLongf size = static_cast<uLongf>(out.size());
            ok = uncompress(out.data(), &size, image->idat.data(),
                            static_cast<uLong>(image->idat.size())) == Z_OK;
            break;
        }
        case Impl::Libdeflate:
            ok = libdeflate_zlib_decompress(peer.get(), image->idat.data(), image->idat.size(),
                                            out.data(), out.size(), nullptr) == LIBDEFLATE_SUCCESS;
            break;
        }
        if (!ok) {
            state.SkipWithError("inflate failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
    state.counters["ratio%"] = 100.0 * static_cast<double>(image->idat.size()) / out.size();
}

int Register() {
    for (const BenchImage& image : BenchImages()) {
        const std::string base = "Inflate " + image.name + "/";
        benchmark::RegisterBenchmark((base + "ours").c_str(), InflateImage, &image, Impl::Ours)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + "zlib").c_str(), InflateImage, &image, Impl::Zlib)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + "libdeflate").c_str(), InflateImage, &image,
                                     Impl::Libdeflate)
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}

const int registered = Register();

} // namespace
} // namespace moirelle::bench

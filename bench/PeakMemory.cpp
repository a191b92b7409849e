#include "bench/PeakMemory.h"

#include "bench/BenchImages.h"
#include "bench/PeerPixels.h"
#include "dib/MemoryImage.h"
#include "formats/ZlibAccess.h"
#include "formats/cPNGparser.h"

#include <spng.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moirelle::bench {
namespace {

using Bytes = std::vector<uint8_t>;

// The child's peak resident size in KiB after `work` (which answers success); -1 on
// failure. The child starts with the parent's resident pages, measured by `work` = none.
long ChildPeakKib(const std::function<bool()>& work) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) _exit(work() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

bool Ours(const Bytes& png, bool zlib, bool checked) {
    SetZlibLibraryNames(zlib ? DefaultZlibLibraryNames() : ZlibLibraryNames{"", ""});
    MemoryImage image;
    cPNGparser parser;
    parser.SetChecked(checked);
    return parser.LoadStream(png, image, 0, png.size(), 0) && image.BitsPointer();
}

// libspng at its most frugal: rows decoded one at a time straight into the bottom-up
// destination and converted there.
bool Libspng(const Bytes& png) {
    std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
    spng_ihdr ihdr{};
    if (!ctx || spng_set_png_buffer(ctx.get(), png.data(), png.size()) != 0 ||
        spng_get_ihdr(ctx.get(), &ihdr) != 0 || ihdr.interlace_method != 0)
        return false;
    const size_t w = ihdr.width, h = ihdr.height;
    Bytes out(w * h * 4, 0);
    if (spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGBA8,
                          SPNG_DECODE_PROGRESSIVE | SPNG_DECODE_TRNS) != 0)
        return false;
    spng_row_info row{};
    int rc = 0;
    while ((rc = spng_get_row_info(ctx.get(), &row)) == 0) {
        uint8_t* dest = out.data() + (h - 1 - row.row_num) * w * 4;
        rc = spng_decode_row(ctx.get(), dest, w * 4);
        if (rc != 0 && rc != SPNG_EOI) return false;
        RgbaToPremultipliedBgraInPlace(dest, static_cast<int>(w), 1);
        if (rc == SPNG_EOI) break;
    }
    return rc == SPNG_EOI;
}

} // namespace

void RunPeakMemory() {
    const BenchImage image = LargeRgbaImage(4096);
    const Bytes& png = image.png;
    const long base = ChildPeakKib([] { return true; });
    struct Row {
        const char* name;
        std::function<bool()> work;
    };
    const Row rows[] = {{"ours checked", [&] { return Ours(png, false, true); }},
                        {"ours unchecked", [&] { return Ours(png, false, false); }},
                        {"ours zlib", [&] { return Ours(png, true, false); }},
                        {"libspng", [&] { return Libspng(png); }}};
    std::printf("\nPeak memory of one decode of a 4096 x 4096 RGBA PNG (%zu KiB of data, "
                "%zu KiB of pixels): the child's max RSS above its start\n",
                png.size() / 1024, static_cast<size_t>(image.width) * image.height * 4 / 1024);
    long spng = -1;
    std::vector<std::pair<const char*, long>> results;
    for (const Row& r : rows) {
        const long peak = ChildPeakKib(r.work);
        results.push_back({r.name, peak < 0 ? -1 : peak - base});
        if (std::string(r.name) == "libspng" && peak >= 0) spng = peak - base;
    }
    for (const auto& [name, kib] : results) {
        std::printf("%-14s %10ld KiB", name, kib);
        if (std::string(name).rfind("ours", 0) == 0 && spng > 0 && kib >= 0)
            std::printf("   libspng %.2f", static_cast<double>(kib) / spng);
        std::printf("\n");
    }
    std::fflush(stdout);
}

} // namespace moirelle::bench

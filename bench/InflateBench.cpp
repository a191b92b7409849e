// The built-in inflater against zlib, libdeflate and libisal on the image data of the
// benchmark PNGs, side by side. Every peer verifies the stream's Adler-32; so does
// "ours checked", "ours unchecked" is the figure without it. Each run starts from a
// zeroed output buffer (zeroed untimed, for all alike); the peers' decoder states are made
// once, outside the timed runs (their best case), ours are made inside every run.
#include "bench/BenchImages.h"
#include "bench/GrowthTable.h"
#include "bench/PairedRuns.h"
#include "formats/Inflater.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace moirelle::bench {
namespace {

void Fail(const char* who, const std::string& what) {
    std::fprintf(stderr, "%s failed to inflate %s\n", who, what.c_str());
    std::abort();
}

PairedCase InflateCase(const BenchImage& image) {
    const std::vector<uint8_t>* in = &image.idat;
    auto out = std::make_shared<std::vector<uint8_t>>(image.rawSize);
    const std::string name = image.name;
    auto zero = [out] { std::memset(out->data(), 0, out->size()); };
    PairedCase c{"inflate " + image.name, {}};
    c.impls.push_back({"ours checked", zero, [in, out, name] {
                           InflateChecksum sum = InflateChecksum::Unchecked;
                           if (!Inflate(out->data(), out->size(), in->data(), in->size(), &sum) ||
                               sum != InflateChecksum::Matches)
                               Fail("ours", name);
                       }});
    c.impls.push_back({"ours unchecked", zero, [in, out, name] {
                           if (!Inflate(out->data(), out->size(), in->data(), in->size()))
                               Fail("ours", name);
                       }});
    c.impls.push_back(
        {"zlib", zero, [in, out, name] {
             uLongf size = static_cast<uLongf>(out->size());
             if (uncompress(out->data(), &size, in->data(), static_cast<uLong>(in->size())) != Z_OK)
                 Fail("zlib", name);
         }});
    auto deflate = std::shared_ptr<libdeflate_decompressor>(libdeflate_alloc_decompressor(),
                                                            libdeflate_free_decompressor);
    c.impls.push_back({"libdeflate", zero, [in, out, name, deflate] {
                           if (libdeflate_zlib_decompress(deflate.get(), in->data(), in->size(),
                                                          out->data(), out->size(),
                                                          nullptr) != LIBDEFLATE_SUCCESS)
                               Fail("libdeflate", name);
                       }});
    auto isal = std::make_shared<inflate_state>();
    c.impls.push_back({"libisal", zero, [in, out, name, isal] {
                           isal_inflate_init(isal.get());
                           isal->next_in = const_cast<uint8_t*>(in->data());
                           isal->avail_in = static_cast<uint32_t>(in->size());
                           isal->next_out = out->data();
                           isal->avail_out = static_cast<uint32_t>(out->size());
                           isal->crc_flag = ISAL_ZLIB;
                           if (isal_inflate_stateless(isal.get()) != ISAL_DECOMP_OK)
                               Fail("libisal", name);
                       }});
    return c;
}

const bool registered = [] {
    for (const char* name :
         {"icon256-rgba", "ui1024-palette", "ui1024-palette-trns", "photo1080-grey",
          "photo1080-rgb", "photo1080-rgba", "photo768-rgba16", "photo1080-rgb-adam7"})
        RegisterPairedCase(std::string("inflate ") + name,
                           [name] { return InflateCase(BenchImageNamed(name)); });
    RegisterGrowthJob("inflate rgba, checked", [](int32_t side) {
        const BenchImage& image = SharedLargeRgbaImage(side);
        const std::vector<uint8_t>* in = &image.idat;
        auto out = std::make_shared<std::vector<uint8_t>>(image.rawSize);
        return GrowthRun{static_cast<double>(side) * side,
                         [out] { std::memset(out->data(), 0, out->size()); },
                         [in, out] {
                             InflateChecksum sum = InflateChecksum::Unchecked;
                             if (!Inflate(out->data(), out->size(), in->data(), in->size(), &sum) ||
                                 sum != InflateChecksum::Matches)
                                 Fail("ours", "rgba");
                         }};
    });
    return true;
}();

} // namespace
} // namespace moirelle::bench

// The built-in inflater against zlib, libdeflate and libisal on the image data of the
// benchmark PNGs, side by side. Every peer verifies the stream's Adler-32; so does
// "ours checked", "ours unchecked" is the figure without it. Each run starts from a
// zeroed output buffer (zeroed untimed, for all alike); the peers' decoder states are made
// once, outside the timed runs (their best case), ours are made inside every run. Before
// the timing every output is compared with ours, byte for byte.
#include "bench/BenchImages.h"
#include "bench/GrowthTable.h"
#include "bench/PairedRuns.h"
#include "bench/PeerPixels.h"
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

// One zlib stream through libisal's one-call inflate, its Adler-32 checked.
void IsalInflate(inflate_state& isal, const std::vector<uint8_t>& in, std::vector<uint8_t>& out,
                 const std::string& what) {
    isal_inflate_init(&isal);
    isal.next_in = const_cast<uint8_t*>(in.data());
    isal.avail_in = static_cast<uint32_t>(in.size());
    isal.next_out = out.data();
    isal.avail_out = static_cast<uint32_t>(out.size());
    isal.crc_flag = ISAL_ZLIB;
    if (isal_inflate_stateless(&isal) != ISAL_DECOMP_OK) Fail("libisal", what);
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
    c.impls.push_back(
        {"libisal", zero, [in, out, name, isal] { IsalInflate(*isal, *in, *out, name); }});
    // Every output, ours unchecked and each peer's, byte for byte as ours checked gives.
    std::vector<uint8_t> reference;
    for (PairedImpl& impl : c.impls) {
        impl.prepare();
        impl.run();
        if (reference.empty())
            reference = *out;
        else
            RequireSame(c.name, impl.name, reference.data(), out->data(), out->size(),
                        reference.size());
    }
    return c;
}

const bool registered = [] {
    for (const char* name :
         {"icon256-rgba", "ui1024-palette", "ui1024-palette-trns", "photo1080-grey",
          "photo1080-rgb", "photo1080-rgba", "photo768-rgba16", "photo1080-rgb-adam7"})
        RegisterPairedCase(std::string("inflate ") + name,
                           [name] { return InflateCase(BenchImageNamed(name)); });
    using Image = const BenchImage& (*)(int);
    for (const auto& [job, image] :
         {std::pair<const char*, Image>{"inflate rgba, checked", SharedLargeRgbaImage},
          std::pair<const char*, Image>{"inflate ui palette, checked", SharedLargePaletteImage}})
        RegisterGrowthJob(job, [image = image](int32_t side) {
            const BenchImage& made = image(side);
            const std::vector<uint8_t>* in = &made.idat;
            auto out = std::make_shared<std::vector<uint8_t>>(made.rawSize);
            return GrowthRun{
                static_cast<double>(side) * side,
                [out] { std::memset(out->data(), 0, out->size()); },
                [in, out] {
                    InflateChecksum sum = InflateChecksum::Unchecked;
                    if (!Inflate(out->data(), out->size(), in->data(), in->size(), &sum) ||
                        sum != InflateChecksum::Matches)
                        Fail("ours", "growth");
                }};
        });
    RegisterGrowthJob("libisal inflate rgba (reference)", [](int32_t side) {
        const BenchImage& made = SharedLargeRgbaImage(side);
        const std::vector<uint8_t>* in = &made.idat;
        auto out = std::make_shared<std::vector<uint8_t>>(made.rawSize);
        auto isal = std::make_shared<inflate_state>();
        return GrowthRun{static_cast<double>(side) * side,
                         [out] { std::memset(out->data(), 0, out->size()); },
                         [in, out, isal] { IsalInflate(*isal, *in, *out, "growth"); }};
    });
    return true;
}();

} // namespace
} // namespace moirelle::bench

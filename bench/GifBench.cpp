// GIF first-frame decode to premultiplied bottom-up BGRA side by side, ours against
// giflib and stb_image (their output converted inside the timed run, giflib's into a
// buffer zeroed as ours is, stb_image's in place; both checked against ours first), on a palette
// interface shot (plain, interlaced, and with a transparent colour) and a dithered photo, all
// written with giflib's encoder; and an icon's best-entry selection plus PNG entry decode against
// decoding that PNG alone.
#include "bench/BenchImages.h"
#include "bench/GrowthTable.h"
#include "bench/PairedRuns.h"
#include "bench/PeerPixels.h"
#include "dib/MemoryImage.h"
#include "formats/cGIFparser.h"
#include "formats/cICOparser.h"
#include "formats/cPNGparser.h"
#include "tests/support/ReaderSamples.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace moirelle::bench {
namespace {

using Bytes = std::vector<uint8_t>;

struct Indexed {
    int width = 0, height = 0;
    Bytes indices; // top-down
    std::vector<GifColorType> colours;
    bool interlaced = false;
    int transparentIndex = -1;
};

const BenchImage& Image(const std::string& name) {
    return BenchImageNamed(name);
}

// A photo reduced to a 6 x 7 x 6 colour cube with ordered (Bayer 4 x 4) dithering.
Indexed DitheredPhoto(const BenchImage& photo = Image("photo1080-rgb")) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    Indexed out;
    out.width = photo.width;
    out.height = photo.height;
    const int levels[3] = {6, 7, 6};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                out.colours.push_back({static_cast<GifByteType>(r * 255 / 5),
                                       static_cast<GifByteType>(g * 255 / 6),
                                       static_cast<GifByteType>(b * 255 / 5)});
    while (out.colours.size() < 256)
        out.colours.push_back({0, 0, 0});
    out.indices.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const uint8_t* p =
                &photo.pixels[(static_cast<size_t>(y) * out.width + x) * photo.channels];
            const double t = (bayer[y & 3][x & 3] + 0.5) / 16.0;
            int q[3];
            for (int c = 0; c < 3; ++c) {
                const double v = p[c] / 255.0 * (levels[c] - 1);
                int level = static_cast<int>(v);
                if (v - level > t) ++level;
                q[c] = level < levels[c] ? level : levels[c] - 1;
            }
            out.indices[static_cast<size_t>(y) * out.width + x] =
                static_cast<uint8_t>((q[0] * 7 + q[1]) * 6 + q[2]);
        }
    return out;
}

Indexed InterfaceShot() {
    const BenchImage& ui = Image("ui1024-palette");
    Indexed out;
    out.width = ui.width;
    out.height = ui.height;
    out.indices = ui.pixels;
    for (size_t i = 0; i + 2 < ui.palette.size() && out.colours.size() < 256; i += 3)
        out.colours.push_back({ui.palette[i], ui.palette[i + 1], ui.palette[i + 2]});
    while (out.colours.size() < 256)
        out.colours.push_back({0, 0, 0});
    return out;
}

int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// Picture rows in the order an interlaced GIF stores them.
std::vector<int> InterlacedRows(int height) {
    std::vector<int> rows;
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            rows.push_back(y);
    return rows;
}

Bytes EncodeGif(const Indexed& image) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    ColorMapObject* map = GifMakeMapObject(256, image.colours.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, image.width, image.height, 8, 0, map);
    if (image.transparentIndex >= 0) {
        const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(image.transparentIndex)};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    EGifPutImageDesc(gif, 0, 0, image.width, image.height, image.interlaced, nullptr);
    std::vector<int> order(static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        order[static_cast<size_t>(y)] = y;
    if (image.interlaced) order = InterlacedRows(image.height);
    for (int y : order)
        EGifPutLine(gif,
                    const_cast<GifPixelType*>(&image.indices[static_cast<size_t>(y) * image.width]),
                    image.width);
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

// giflib: the first image's rows (in picture order), through the colour map to
// premultiplied BGRA, bottom-up.
bool DecodeWithGiflib(const Bytes& data, PeerImage& out) {
    ReadCursor cursor{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&cursor, ReadFromVector, &error);
    if (!gif) return false;
    bool ok = false;
    int transparent = -1;
    GifRecordType record;
    while (DGifGetRecordType(gif, &record) == GIF_OK && record != TERMINATE_RECORD_TYPE) {
        if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) != GIF_OK) break;
            const int w = gif->Image.Width, h = gif->Image.Height;
            const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
            uint32_t palette[256] = {};
            for (int i = 0; i < map->ColorCount && i < 256; ++i)
                palette[i] = 0xFF000000u | (uint32_t{map->Colors[i].Red} << 16) |
                             (uint32_t{map->Colors[i].Green} << 8) | map->Colors[i].Blue;
            if (transparent >= 0) palette[transparent] = 0;
            out.AllocateZeroed(static_cast<size_t>(w) * h * 4); // as every decode of ours gets
            std::vector<int> order;
            if (gif->Image.Interlace) order = InterlacedRows(h);
            std::vector<GifPixelType> line(static_cast<size_t>(w));
            ok = true;
            for (int k = 0; k < h && ok; ++k) {
                ok = DGifGetLine(gif, line.data(), w) == GIF_OK;
                const int y = order.empty() ? k : order[static_cast<size_t>(k)];
                uint32_t* row =
                    reinterpret_cast<uint32_t*>(out.data()) + static_cast<size_t>(h - 1 - y) * w;
                for (int x = 0; x < w; ++x)
                    row[x] = palette[line[x]];
            }
            break;
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* ext;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) break;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4 && (ext[1] & 1))
                transparent = ext[4];
            while (ext && DGifGetExtensionNext(gif, &ext) == GIF_OK) {
            }
        }
    }
    DGifCloseFile(gif, &error);
    return ok;
}

[[noreturn]] void Fail(const char* who, const std::string& what) {
    std::fprintf(stderr, "%s failed to decode GIF %s\n", who, what.c_str());
    std::abort();
}

PairedCase GifCase(const std::string& name, const Bytes& gif) {
    PairedCase c{"GIF " + name, {}};
    auto data = std::make_shared<const Bytes>(gif);
    auto ours = std::make_shared<MemoryImage>();
    c.impls.push_back({"ours", nullptr, [data, ours, name] {
                           *ours = MemoryImage();
                           if (!cGIFparser().LoadStream(*data, *ours, 0, 0) || !ours->BitsPointer())
                               Fail("ours", name);
                       }});
    c.impls.back().run();
    using Decoder = bool (*)(const Bytes&, PeerImage&);
    const std::pair<const char*, Decoder> peers[] = {{"giflib", DecodeWithGiflib},
                                                     {"stb_image", DecodeStbImage}};
    for (const auto& [peer, decode] : peers) {
        auto out = std::make_shared<PeerImage>();
        c.impls.push_back({peer, nullptr, [data, out, name, peer = peer, decode = decode] {
                               if (!decode(*data, *out)) Fail(peer, name);
                           }});
        c.impls.back().run();
        RequireSame(c.name, peer, ours->BitsPointer(), out->data(), out->size(),
                    static_cast<size_t>(ours->Width()) * ours->Height() * 4);
    }
    return c;
}

// An icon of 16, 32 and 48 pixel bitmap entries and the 256-pixel PNG.
const Bytes& IconWithPng() {
    static const Bytes icon = [] {
        std::vector<test::IconEntry> entries;
        for (uint8_t size : {16, 32, 48}) {
            test::IconEntry e;
            e.widthByte = e.heightByte = size;
            e.directoryBits = 32;
            e.image = test::BuildIconBitmap32(
                size, size, std::vector<uint32_t>(size_t{size} * size, 0x80402010));
            entries.push_back(e);
        }
        test::IconEntry png;
        png.directoryBits = 32;
        png.image = Image("icon256-rgba").png;
        entries.push_back(png);
        return test::BuildIcon(1, entries);
    }();
    return icon;
}

void IconOurs(benchmark::State& state) {
    const Bytes& icon = IconWithPng();
    for (auto _ : state) {
        MemoryImage image;
        cICOparser ico;
        if (!ico.LoadStream(icon, 256, 256, &image, 0, 0, 32, 0) || image.Width() != 256) {
            state.SkipWithError("icon decode failed");
            break;
        }
        benchmark::DoNotOptimize(image.BitsPointer());
    }
}

void PngAlone(benchmark::State& state) {
    const Bytes& png = Image("icon256-rgba").png;
    for (auto _ : state) {
        MemoryImage image;
        if (!cPNGparser().LoadStream(png, image, 0, png.size(), 0) || image.Width() != 256) {
            state.SkipWithError("PNG decode failed");
            break;
        }
        benchmark::DoNotOptimize(image.BitsPointer());
    }
}

BENCHMARK(IconOurs)->Name("Icon 256 PNG entry/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(PngAlone)->Name("Icon 256 PNG entry/PNG alone")->Unit(benchmark::kMicrosecond);

const bool registered = [] {
    RegisterPairedCase("GIF ui1024", [] { return GifCase("ui1024", EncodeGif(InterfaceShot())); });
    RegisterPairedCase("GIF ui1024-interlaced", [] {
        Indexed ui = InterfaceShot();
        ui.interlaced = true;
        return GifCase("ui1024-interlaced", EncodeGif(ui));
    });
    RegisterPairedCase("GIF ui1024-transparent", [] {
        Indexed ui = InterfaceShot();
        ui.transparentIndex = 58; // the windows' panels
        return GifCase("ui1024-transparent", EncodeGif(ui));
    });
    RegisterPairedCase("GIF photo1080-dithered",
                       [] { return GifCase("photo1080-dithered", EncodeGif(DitheredPhoto())); });
    RegisterGrowthJob("GIF dithered", [](int32_t side) {
        auto data =
            std::make_shared<const Bytes>(EncodeGif(DitheredPhoto(SharedLargeRgbaImage(side))));
        auto ours = std::make_shared<MemoryImage>();
        return GrowthRun{static_cast<double>(side) * side, nullptr, [data, ours] {
                             *ours = MemoryImage();
                             if (!cGIFparser().LoadStream(*data, *ours, 0, 0) ||
                                 !ours->BitsPointer())
                                 Fail("ours", "dithered");
                         }};
    });
    return true;
}();

} // namespace
} // namespace moirelle::bench

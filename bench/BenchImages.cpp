#include "bench/BenchImages.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace moirelle::bench {
namespace {

class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<uint32_t>(state_ >> 16);
    }
    // Roughly normal noise with the given spread.
    double Noise(double spread) {
        double sum = 0;
        for (int i = 0; i < 4; ++i)
            sum += (Next() & 0xFFFF) / 65535.0;
        return (sum - 2.0) * spread;
    }

  private:
    uint64_t state_;
};

uint8_t Clamp(double v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0l, 255l));
}

// A photo-like scene: sky gradient, soft blobs of colour, a textured ground, fine noise.
std::vector<uint8_t> Photo(int width, int height, int channels, uint64_t seed) {
    Random rng(seed);
    std::vector<uint8_t> px(static_cast<size_t>(width) * height * channels);
    struct Blob {
        double x, y, r, cr, cg, cb;
    };
    std::vector<Blob> blobs;
    for (int i = 0; i < 12; ++i)
        blobs.push_back({rng.Next() % width * 1.0, rng.Next() % height * 1.0,
                         60.0 + rng.Next() % 300, rng.Noise(120), rng.Noise(120), rng.Noise(120)});
    const double horizon = height * 0.55;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double r, g, b;
            if (y < horizon) {
                const double t = y / horizon;
                r = 90 + 100 * t;
                g = 140 + 70 * t;
                b = 230 - 20 * t;
            } else {
                const double t = (y - horizon) / (height - horizon);
                const double texture = 18 * std::sin(x * 0.07 + std::sin(y * 0.05) * 3) *
                                       std::cos(y * 0.11 + x * 0.013);
                r = 110 - 40 * t + texture;
                g = 95 + 30 * t + texture * 0.8;
                b = 60 + texture * 0.5;
            }
            for (const Blob& blob : blobs) {
                const double dx = x - blob.x, dy = y - blob.y;
                const double w = std::exp(-(dx * dx + dy * dy) / (blob.r * blob.r));
                r += blob.cr * w;
                g += blob.cg * w;
                b += blob.cb * w;
            }
            const double grain = rng.Noise(3.0);
            uint8_t* p = &px[(static_cast<size_t>(y) * width + x) * channels];
            p[0] = Clamp(r + grain + rng.Noise(1.5));
            p[1] = Clamp(g + grain + rng.Noise(1.5));
            p[2] = Clamp(b + grain + rng.Noise(1.5));
            if (channels == 4) {
                // Mostly opaque with a soft vignette of transparency near the edges.
                const double ex = std::min(x, width - 1 - x) / 80.0;
                const double ey = std::min(y, height - 1 - y) / 80.0;
                p[3] = Clamp(255 * std::min(1.0, std::min(ex, ey)));
            }
        }
    }
    return px;
}

// Coverage (0..1) of a rounded rectangle at a pixel, anti-aliased over about one pixel.
double RoundedRect(double x, double y, double x0, double y0, double x1, double y1, double radius) {
    const double cx = std::clamp(x, x0 + radius, x1 - radius);
    const double cy = std::clamp(y, y0 + radius, y1 - radius);
    const double d = std::hypot(x - cx, y - cy) - radius;
    return std::clamp(0.5 - d, 0.0, 1.0);
}

// An application icon: transparent background, a rounded tile with a gradient, a white
// glyph and a drop shadow; flat areas with anti-aliased edges.
std::vector<uint8_t> Icon(int size) {
    std::vector<uint8_t> px(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double fx = x + 0.5, fy = y + 0.5;
            const double shadow = 0.35 * RoundedRect(fx, fy, 24, 30, size - 18, size - 10, 40);
            const double tile = RoundedRect(fx, fy, 20, 20, size - 22, size - 22, 40);
            const double ring =
                std::clamp(0.5 - std::abs(std::hypot(fx - 128, fy - 120) - 60) + 9, 0.0, 1.0);
            const double bar = RoundedRect(fx, fy, 118, 70, 138, 170, 6);
            const double glyph = std::max(ring, bar) * tile;
            const double t = fy / size;
            double r = (30 + 40 * t) * tile, g = (110 + 60 * t) * tile, b = (200 - 30 * t) * tile;
            double a = tile + shadow * (1 - tile);
            r = r * (1 - glyph) + 255 * glyph;
            g = g * (1 - glyph) + 255 * glyph;
            b = b * (1 - glyph) + 255 * glyph;
            uint8_t* p = &px[(static_cast<size_t>(y) * size + x) * 4];
            const double inv = a > 0 ? 1.0 / std::max(a, 1e-6) : 0;
            p[0] = Clamp(r * inv * tile + 0 * (1 - tile));
            p[1] = Clamp(g * inv * tile);
            p[2] = Clamp(b * inv * tile);
            p[3] = Clamp(255 * a);
        }
    }
    return px;
}

// A user-interface screenshot in 256 colours: title bars, panels, buttons, lines of
// "text" and a quantised gradient.
std::vector<uint8_t> Ui(int width, int height, std::vector<uint8_t>& palette, uint64_t seed,
                        int windows = 7) {
    Random rng(seed);
    palette.assign(256 * 3, 0);
    for (int i = 0; i < 64; ++i) { // greys
        palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i * 4);
    }
    for (int i = 64; i < 128; ++i) { // blues for the gradient
        palette[i * 3] = static_cast<uint8_t>(20 + (i - 64));
        palette[i * 3 + 1] = static_cast<uint8_t>(60 + (i - 64) * 2);
        palette[i * 3 + 2] = static_cast<uint8_t>(140 + (i - 64));
    }
    for (int i = 128; i < 256; ++i) { // assorted accent colours
        palette[i * 3] = static_cast<uint8_t>(rng.Next());
        palette[i * 3 + 1] = static_cast<uint8_t>(rng.Next());
        palette[i * 3 + 2] = static_cast<uint8_t>(rng.Next());
    }
    std::vector<uint8_t> px(static_cast<size_t>(width) * height, 60); // light grey desktop
    auto fill = [&](int x0, int y0, int x1, int y1, uint8_t c) {
        for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x1); ++x)
                px[static_cast<size_t>(y) * width + x] = c;
    };
    for (int y = 0; y < height; ++y) // background gradient
        for (int x = 0; x < width; ++x)
            px[static_cast<size_t>(y) * width + x] =
                static_cast<uint8_t>(64 + (x + y) * 63 / (width + height));
    for (int w = 0; w < windows; ++w) {
        const int x0 = static_cast<int>(rng.Next() % (width - 300)),
                  y0 = static_cast<int>(rng.Next() % (height - 250));
        const int x1 = x0 + 200 + static_cast<int>(rng.Next() % 400),
                  y1 = y0 + 150 + static_cast<int>(rng.Next() % 300);
        fill(x0 - 1, y0 - 1, x1 + 1, y1 + 1, 20);
        fill(x0, y0, x1, y1, 58);
        fill(x0, y0, x1, y0 + 24, static_cast<uint8_t>(128 + rng.Next() % 128));
        for (int line = y0 + 34; line + 10 < y1 - 30; line += 16) { // text
            int x = x0 + 10;
            while (x < x1 - 20) {
                const int word = 3 + static_cast<int>(rng.Next() % 8);
                for (int c = 0; c < word && x < x1 - 20; ++c, x += 7)
                    for (int gy = 0; gy < 9; ++gy)
                        for (int gx = 0; gx < 5; ++gx)
                            if ((rng.Next() & 3) == 0)
                                px[static_cast<size_t>(line + gy) * width + x + gx] = 8;
                x += 7;
            }
        }
        fill(x1 - 90, y1 - 28, x1 - 10, y1 - 6, 50); // button
        fill(x1 - 89, y1 - 27, x1 - 11, y1 - 7, 62);
    }
    return px;
}

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<uint8_t> EncodePng(const BenchImage& image) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng failed to write " + image.name);
    }
    png_set_write_fn(png, &out, WriteToVector, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), image.bitDepth, image.colorType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.colorType == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> colors(image.palette.size() / 3);
        for (size_t i = 0; i < colors.size(); ++i)
            colors[i] = {image.palette[i * 3], image.palette[i * 3 + 1], image.palette[i * 3 + 2]};
        png_set_PLTE(png, info, colors.data(), static_cast<int>(colors.size()));
        if (!image.alphas.empty())
            png_set_tRNS(png, info, image.alphas.data(), static_cast<int>(image.alphas.size()),
                         nullptr);
    }
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    const size_t stride = static_cast<size_t>(image.width) * image.channels * image.bitDepth / 8;
    for (int y = 0; y < image.height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(&image.pixels[stride * y]);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

std::vector<uint8_t> GatherIdat(const std::vector<uint8_t>& png) {
    std::vector<uint8_t> idat;
    size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const size_t length = BigEndian32(&png[pos]);
        if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0)
            idat.insert(idat.end(), png.begin() + static_cast<ptrdiff_t>(pos + 8),
                        png.begin() + static_cast<ptrdiff_t>(pos + 8 + length));
        pos += length + 12;
    }
    return idat;
}

size_t RawSize(const BenchImage& image) {
    const size_t bitsPerPixel = static_cast<size_t>(image.channels) * image.bitDepth;
    auto rowBytes = [&](size_t w) { return (w * bitsPerPixel + 7) / 8; };
    if (!image.interlaced) return (rowBytes(image.width) + 1) * image.height;
    static const int start[7][2] = {{0, 0}, {0, 4}, {4, 0}, {0, 2}, {2, 0}, {0, 1}, {1, 0}};
    static const int step[7][2] = {{8, 8}, {8, 8}, {8, 4}, {4, 4}, {4, 2}, {2, 2}, {2, 1}};
    size_t total = 0;
    for (int p = 0; p < 7; ++p) {
        const int rows = (image.height - start[p][0] + step[p][0] - 1) / step[p][0];
        const int cols = (image.width - start[p][1] + step[p][1] - 1) / step[p][1];
        if (rows > 0 && cols > 0) total += (rowBytes(static_cast<size_t>(cols)) + 1) * rows;
    }
    return total;
}

BenchImage Make(std::string name, int width, int height, int colorType, bool interlaced,
                std::vector<uint8_t> pixels, std::vector<uint8_t> palette = {},
                std::vector<uint8_t> alphas = {}, int bitDepth = 8) {
    BenchImage image;
    image.name = std::move(name);
    image.width = width;
    image.height = height;
    image.colorType = colorType;
    image.bitDepth = bitDepth;
    image.interlaced = interlaced;
    image.channels = colorType == 6 ? 4 : colorType == 2 ? 3 : colorType == 4 ? 2 : 1;
    image.pixels = std::move(pixels);
    image.palette = std::move(palette);
    image.alphas = std::move(alphas);
    image.png = EncodePng(image);
    image.idat = GatherIdat(image.png);
    image.rawSize = RawSize(image);
    return image;
}

// Grey levels of an RGB picture (integer Rec. 601 weights).
std::vector<uint8_t> Grey(const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> grey(rgb.size() / 3);
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<uint8_t>(
            (299 * rgb[3 * i] + 587 * rgb[3 * i + 1] + 114 * rgb[3 * i + 2] + 500) / 1000);
    return grey;
}

// 16-bit samples (big-endian) from 8-bit ones, the low byte carrying fine noise as a
// sensor's would.
std::vector<uint8_t> Widen16(const std::vector<uint8_t>& samples, uint64_t seed) {
    Random rng(seed);
    std::vector<uint8_t> wide(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        wide[2 * i] = samples[i];
        wide[2 * i + 1] = static_cast<uint8_t>(rng.Next());
    }
    return wide;
}

// Alpha per palette entry of the interface shot: the background gradient's blues fade
// out, the greys and accents stay opaque.
std::vector<uint8_t> InterfaceAlphas() {
    std::vector<uint8_t> alphas(256, 255);
    for (int i = 64; i < 128; ++i)
        alphas[static_cast<size_t>(i)] = static_cast<uint8_t>((i - 64) * 4);
    return alphas;
}

} // namespace

BenchImage LargeRgbaImage(int size) {
    // Gradients with a little noise: photo-like in how it compresses, quick to make.
    Random rng(9);
    std::vector<uint8_t> px(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            uint8_t* p = &px[(static_cast<size_t>(y) * size + x) * 4];
            const uint32_t noise = rng.Next();
            p[0] = static_cast<uint8_t>(x * 255 / size + (noise & 3));
            p[1] = static_cast<uint8_t>(y * 255 / size + ((noise >> 2) & 3));
            p[2] = static_cast<uint8_t>((x + y) * 127 / size + ((noise >> 4) & 3));
            p[3] = static_cast<uint8_t>(std::min(255, 64 + std::min(x, y)));
        }
    return Make("rgba" + std::to_string(size), size, size, 6, false, std::move(px));
}

const BenchImage& SharedLargeRgbaImage(int size) {
    static BenchImage kept;
    if (kept.width != size) {
        kept = BenchImage(); // the old one goes first: the large ones are large
        kept = LargeRgbaImage(size);
    }
    return kept;
}

BenchImage LargePaletteImage(int size) {
    // As many windows per pixel as the 1024 x 768 shot has; small sizes are cut from a
    // 1024 x 1024 one.
    const int made = std::max(size, 1024);
    std::vector<uint8_t> palette;
    const std::vector<uint8_t> ui =
        Ui(made, made, palette, 3, static_cast<int>(7.0 * made * made / (1024.0 * 768.0) + 0.5));
    std::vector<uint8_t> px(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        std::memcpy(&px[static_cast<size_t>(y) * size], &ui[static_cast<size_t>(y) * made],
                    static_cast<size_t>(size));
    return Make("palette" + std::to_string(size), size, size, 3, false, std::move(px),
                std::move(palette));
}

const BenchImage& SharedLargePaletteImage(int size) {
    static BenchImage kept;
    if (kept.width != size) {
        kept = BenchImage();
        kept = LargePaletteImage(size);
    }
    return kept;
}

const BenchImage& BenchImageNamed(const std::string& name) {
    for (const BenchImage& image : BenchImages())
        if (image.name == name) return image;
    std::abort();
}

const std::vector<BenchImage>& BenchImages() {
    static const std::vector<BenchImage> images = [] {
        std::vector<BenchImage> set;
        set.push_back(Make("photo1080-rgba", 1920, 1080, 6, false, Photo(1920, 1080, 4, 1)));
        std::vector<uint8_t> rgb = Photo(1920, 1080, 3, 2);
        set.push_back(Make("photo1080-rgb", 1920, 1080, 2, false, rgb));
        set.push_back(Make("icon256-rgba", 256, 256, 6, false, Icon(256)));
        std::vector<uint8_t> palette;
        std::vector<uint8_t> ui = Ui(1024, 768, palette, 3);
        set.push_back(Make("ui1024-palette", 1024, 768, 3, false, ui, palette));
        set.push_back(Make("photo1080-rgb-adam7", 1920, 1080, 2, true, rgb));
        set.push_back(Make("photo1080-grey", 1920, 1080, 0, false, Grey(rgb)));
        set.push_back(Make("photo768-rgba16", 1024, 768, 6, false,
                           Widen16(Photo(1024, 768, 4, 4), 5), {}, {}, 16));
        set.push_back(Make("ui1024-palette-trns", 1024, 768, 3, false, std::move(ui),
                           std::move(palette), InterfaceAlphas()));
        return set;
    }();
    return images;
}

} // namespace moirelle::bench

#include "bench/PeerPixels.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include <stb_image.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define MOIRELLE_PEER_AVX2 1
#endif

namespace moirelle::bench {
namespace {

// One pixel; `bgr`: the colour bytes are already in BGR order.
inline void Pixel(uint8_t* p, bool bgr) {
    const uint32_t a = p[3];
    uint32_t c0 = p[0], c1 = p[1], c2 = p[2];
    if (!bgr) std::swap(c0, c2);
    if (a != 255) {
        c0 = c0 * a / 255, c1 = c1 * a / 255, c2 = c2 * a / 255;
    }
    p[0] = static_cast<uint8_t>(c0), p[1] = static_cast<uint8_t>(c1);
    p[2] = static_cast<uint8_t>(c2);
}

void Pixels(uint8_t* p, size_t n, bool bgr) {
    for (size_t i = 0; i < n; ++i, p += 4)
        Pixel(p, bgr);
}

#ifdef MOIRELLE_PEER_AVX2
// Eight pixels: bytes reordered, colours × alpha / 255 truncated as (x + 1 + (x >> 8)) >> 8,
// exact for every product of two bytes; alpha multiplied by 255, which gives it back.
struct Avx2Premultiply {
    __m256i order, opaqueAlpha;
    __attribute__((target("avx2"))) explicit Avx2Premultiply(bool bgr) {
        order = bgr ? _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1,
                                       2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15)
                    : _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2, 1,
                                       0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
        opaqueAlpha = _mm256_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255);
    }
    __attribute__((target("avx2"))) __m256i Half(__m256i v) const {
        __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF);
        a = _mm256_blend_epi16(a, opaqueAlpha, 0x88);
        const __m256i x = _mm256_mullo_epi16(v, a);
        const __m256i one = _mm256_set1_epi16(1);
        return _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_add_epi16(x, one), _mm256_srli_epi16(x, 8)), 8);
    }
    __attribute__((target("avx2"))) __m256i operator()(__m256i v) const {
        v = _mm256_shuffle_epi8(v, order);
        const __m256i zero = _mm256_setzero_si256();
        return _mm256_packus_epi16(Half(_mm256_unpacklo_epi8(v, zero)),
                                   Half(_mm256_unpackhi_epi8(v, zero)));
    }
};

__attribute__((target("avx2"))) void RowsAvx2(uint8_t* top, uint8_t* bottom, size_t n, bool bgr) {
    const Avx2Premultiply premultiply(bgr);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        auto* t = reinterpret_cast<__m256i*>(top + 4 * i);
        auto* b = reinterpret_cast<__m256i*>(bottom + 4 * i);
        const __m256i vt = _mm256_loadu_si256(t), vb = _mm256_loadu_si256(b);
        _mm256_storeu_si256(b, premultiply(vt));
        if (b != t) _mm256_storeu_si256(t, premultiply(vb));
    }
    for (; i < n; ++i) {
        uint8_t* t = top + 4 * i;
        uint8_t* b = bottom + 4 * i;
        Pixel(t, bgr);
        if (b != t) {
            Pixel(b, bgr);
            uint8_t swap[4];
            std::memcpy(swap, t, 4), std::memcpy(t, b, 4), std::memcpy(b, swap, 4);
        }
    }
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");
#endif

// Converts the rows at `top` and `bottom` (n pixels each) and swaps them; one row when
// they are the same.
void ConvertAndSwap(uint8_t* top, uint8_t* bottom, size_t n, bool bgr) {
#ifdef MOIRELLE_PEER_AVX2
    if (hasAvx2) return RowsAvx2(top, bottom, n, bgr);
#endif
    Pixels(top, n, bgr);
    if (bottom == top) return;
    Pixels(bottom, n, bgr);
    for (size_t i = 0; i < 4 * n; ++i)
        std::swap(top[i], bottom[i]);
}

} // namespace

void PeerImage::AllocateZeroed(size_t size) {
    bits_.reset(static_cast<uint8_t*>(std::malloc(size ? size : 1)));
    if (!bits_) {
        std::fprintf(stderr, "bench: out of memory\n");
        std::abort();
    }
    std::memset(bits_.get(), 0, size);
    size_ = size;
}

void PeerImage::Adopt(uint8_t* bits, size_t size, void (*release)(void*)) {
    bits_ = std::unique_ptr<uint8_t, void (*)(void*)>(bits, release);
    size_ = size;
}

void RgbaToPremultipliedBgraInPlace(uint8_t* rgba, int width, int height) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < (height + 1) / 2; ++y)
        ConvertAndSwap(rgba + static_cast<size_t>(y) * rowBytes,
                       rgba + static_cast<size_t>(height - 1 - y) * rowBytes,
                       static_cast<size_t>(width), false);
}

void PremultiplyBgra(uint8_t* bgra, size_t pixels) {
    ConvertAndSwap(bgra, bgra, pixels, true);
}

void RequireSame(const std::string& what, const std::string& peer, const uint8_t* ours,
                 const uint8_t* theirs, size_t theirSize, size_t size) {
    if (theirSize != size) {
        std::fflush(stdout);
        std::fprintf(stderr, "CHECK FAILED: %s: %s gives %zu bytes, ours %zu\n", what.c_str(),
                     peer.c_str(), theirSize, size);
        std::abort();
    }
    size_t differ = 0;
    for (size_t i = 0; i < size; ++i)
        differ += ours[i] != theirs[i];
    if (differ) {
        std::fflush(stdout);
        std::fprintf(stderr, "CHECK FAILED: %s: %s differs from ours in %zu bytes\n", what.c_str(),
                     peer.c_str(), differ);
        std::abort();
    }
}

void RequireWithin(const std::string& what, const std::string& peer, const uint8_t* ours,
                   const uint8_t* theirs, size_t size, int bound) {
    int largest = 0;
    size_t beyond = 0;
    for (size_t i = 0; i < size; ++i) {
        const int d = ours[i] > theirs[i] ? ours[i] - theirs[i] : theirs[i] - ours[i];
        largest = d > largest ? d : largest;
        beyond += d > bound;
    }
    if (beyond) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "CHECK FAILED: %s: %zu bytes differ from %s by more than %d (up to %d)\n",
                     what.c_str(), beyond, peer.c_str(), bound, largest);
        std::abort();
    }
    std::printf("  check %s: within %d of %s (largest difference %d)\n", what.c_str(), bound,
                peer.c_str(), largest);
    std::fflush(stdout);
}

bool DecodeStbImage(const std::vector<uint8_t>& data, PeerImage& out) {
    int w = 0, h = 0, n = 0;
    stbi_uc* rgba =
        stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &n, 4);
    if (!rgba) return false;
    out.Adopt(rgba, static_cast<size_t>(w) * h * 4, stbi_image_free);
    RgbaToPremultipliedBgraInPlace(out.data(), w, h);
    return true;
}

} // namespace moirelle::bench

#include "bench/PeerPixels.h"

#include <cstdio>
#include <memory>

#include <stb_image.h>

namespace moirelle::bench {
namespace {

inline void Put(uint8_t* d, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    if (a == 255) {
        d[0] = static_cast<uint8_t>(b), d[1] = static_cast<uint8_t>(g);
        d[2] = static_cast<uint8_t>(r), d[3] = 255;
    } else if (a == 0) {
        d[0] = d[1] = d[2] = d[3] = 0;
    } else {
        d[0] = static_cast<uint8_t>(b * a / 255), d[1] = static_cast<uint8_t>(g * a / 255);
        d[2] = static_cast<uint8_t>(r * a / 255), d[3] = static_cast<uint8_t>(a);
    }
}

} // namespace

void RgbaToPremultipliedBgra(const uint8_t* rgba, int width, int height, uint8_t* dst) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = rgba + static_cast<size_t>(y) * rowBytes;
        uint8_t* d = dst + static_cast<size_t>(height - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x, s += 4, d += 4)
            Put(d, s[0], s[1], s[2], s[3]);
    }
}

void PremultiplyBgra(uint8_t* bgra, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, bgra += 4)
        if (bgra[3] != 255) Put(bgra, bgra[2], bgra[1], bgra[0], bgra[3]);
}

void ReportDifference(const std::string& what, const std::string& peer, const uint8_t* ours,
                      const std::vector<uint8_t>& theirs, size_t size) {
    if (theirs.size() != size) {
        std::printf("  (%s: %s gives %zu bytes, ours %zu)\n", what.c_str(), peer.c_str(),
                    theirs.size(), size);
        return;
    }
    size_t differ = 0;
    for (size_t i = 0; i < size; ++i)
        differ += ours[i] != theirs[i];
    if (differ)
        std::printf("  (%s: %s differs from ours in %zu bytes)\n", what.c_str(), peer.c_str(),
                    differ);
}

bool DecodeStbImage(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
    int w = 0, h = 0, n = 0;
    std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> rgba(
        stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &n, 4),
        stbi_image_free);
    if (!rgba) return false;
    out = std::vector<uint8_t>(static_cast<size_t>(w) * h * 4, 0);
    RgbaToPremultipliedBgra(rgba.get(), w, h, out.data());
    return true;
}

} // namespace moirelle::bench

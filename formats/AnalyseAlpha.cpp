#include "dib/ImageType.h"
#include "formats/modParsers.h"

namespace moirelle::modParsers {
namespace {

enum class Verdict { None, Premultiplied, Straight };

Verdict Classify(const PixelView& px) {
    const size_t total = static_cast<size_t>(px.width) * static_cast<size_t>(px.height);
    size_t transparent = 0;
    size_t opaque = 0;
    Verdict verdict = Verdict::Premultiplied;
    const uint8_t* p = px.bits;
    const uint8_t* const end = px.bits + total * 4;
    for (; p != end; p += 4) {
        const uint8_t a = p[3];
        if (a == 0) {
            ++transparent;
            if (verdict == Verdict::Premultiplied && (p[0] | p[1] | p[2]) != 0)
                verdict = Verdict::Straight;
        } else if (a == 255) {
            ++opaque;
            if (verdict == Verdict::Straight) break;
        } else if (verdict == Verdict::Straight || p[0] > a || p[1] > a || p[2] > a) {
            verdict = Verdict::Straight;
            break;
        }
    }
    if (transparent == total || opaque == total) return Verdict::None;
    return verdict;
}

} // namespace

void AnalyseAlpha(const PixelView& pixels, bool premultiply, bool& hasAlpha, int32_t& imageType) {
    const Verdict verdict = (imageType == -1 || pixels.empty()) ? Verdict::None : Classify(pixels);
    const size_t bytes = pixels.empty() ? 0 : pixels.size();
    uint8_t* const bits = pixels.bits;

    switch (verdict) {
    case Verdict::None:
        imageType = imgBitmap;
        hasAlpha = false;
        if (premultiply)
            for (size_t i = 3; i < bytes; i += 4)
                bits[i] = 255;
        break;
    case Verdict::Premultiplied:
        imageType = imgAlphaPremultiplied;
        hasAlpha = true;
        break;
    case Verdict::Straight:
        imageType = imgAlphaStraight;
        hasAlpha = true;
        if (premultiply) {
            for (size_t i = 0; i < bytes; i += 4) {
                uint8_t* p = bits + i;
                const unsigned a = p[3];
                if (a == 0) {
                    p[0] = p[1] = p[2] = 0;
                } else if (a != 255) {
                    p[0] = static_cast<uint8_t>(p[0] * a / 255);
                    p[1] = static_cast<uint8_t>(p[1] * a / 255);
                    p[2] = static_cast<uint8_t>(p[2] * a / 255);
                }
            }
        }
        break;
    }
}

} // namespace moirelle::modParsers

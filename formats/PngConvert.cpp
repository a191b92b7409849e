#include "formats/PngConvert.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace moirelle::png {
namespace {

inline void Store(uint8_t* dest, uint32_t pixel) {
    std::memcpy(dest, &pixel, 4);
}

inline uint8_t At(std::span<const uint8_t> bytes, size_t i) {
    return i < bytes.size() ? bytes[i] : 0;
}

// Truecolour with alpha, 8 bits.
void Rgba8Scalar(const uint8_t* s, uint8_t* d, int32_t step, int32_t count) {
    const size_t stride = static_cast<size_t>(step) * 4;
    for (int32_t i = 0; i < count; ++i, s += 4, d += stride)
        Store(d, PremultipliedPixel(s[0], s[1], s[2], s[3]));
}

bool ConvertRgba8(const uint8_t* s, uint8_t* d, int32_t step, int32_t count, const ConvertTables&) {
    int32_t i = 0;
#ifdef __SSE2__
    if (step == 1) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i alphaBytes = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
        const __m128i greenAlpha = _mm_set1_epi32(static_cast<int32_t>(0xFF00FF00u));
        const __m128i lowByte = _mm_set1_epi32(0xFF);
        const __m128i alphaLane = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
        const __m128i alpha255 = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
        const __m128i one = _mm_set1_epi16(1);
        for (; i + 4 <= count; i += 4, s += 16, d += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, alphaBytes), alphaBytes)) ==
                0xFFFF) {
                // All opaque: only swap red and blue.
                const __m128i swapped =
                    _mm_or_si128(_mm_and_si128(v, greenAlpha),
                                 _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), lowByte),
                                              _mm_slli_epi32(_mm_and_si128(v, lowByte), 16)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d), swapped);
                continue;
            }
            __m128i halves[2] = {_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)};
            for (__m128i& h : halves) {
                // R G B A -> B G R A in 16-bit lanes, then colour * alpha div 255 with
                // the alpha lane multiplied by 255 (which keeps it).
                h = _mm_shufflehi_epi16(_mm_shufflelo_epi16(h, _MM_SHUFFLE(3, 0, 1, 2)),
                                        _MM_SHUFFLE(3, 0, 1, 2));
                __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(h, _MM_SHUFFLE(3, 3, 3, 3)),
                                                _MM_SHUFFLE(3, 3, 3, 3));
                a = _mm_or_si128(_mm_andnot_si128(alphaLane, a), alpha255);
                const __m128i t = _mm_mullo_epi16(h, a);
                h = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, one), _mm_srli_epi16(t, 8)), 8);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(halves[0], halves[1]));
        }
    }
#endif
    Rgba8Scalar(s, d, step, count - i);
    return true;
}

bool ConvertGreyAlpha8(const uint8_t* s, uint8_t* d, int32_t step, int32_t count,
                       const ConvertTables&) {
    const size_t stride = static_cast<size_t>(step) * 4;
    for (int32_t i = 0; i < count; ++i, s += 2, d += stride) {
        const uint32_t g = MultiplyDiv255(s[0], s[1]);
        Store(d, g | g << 8 | g << 16 | static_cast<uint32_t>(s[1]) << 24);
    }
    return true;
}

inline uint32_t OpaqueFromRgb(const uint8_t* s) {
    return s[2] | static_cast<uint32_t>(s[1]) << 8 | static_cast<uint32_t>(s[0]) << 16 |
           0xFF000000u;
}

bool ConvertRgb8(const uint8_t* s, uint8_t* d, int32_t step, int32_t count, const ConvertTables&) {
    const size_t stride = static_cast<size_t>(step) * 4;
    int32_t i = 0;
    // Four bytes are read per pixel (the fourth belongs to the next pixel), so the last
    // pixel is taken separately.
    for (; i + 1 < count; ++i, s += 3, d += stride) {
        uint32_t v;
        std::memcpy(&v, s, 4);
        Store(d, (__builtin_bswap32(v) >> 8) | 0xFF000000u);
    }
    if (i < count) Store(d, OpaqueFromRgb(s));
    return true;
}

bool ConvertRgb8Keyed(const uint8_t* s, uint8_t* d, int32_t step, int32_t count,
                      const ConvertTables& t) {
    const size_t stride = static_cast<size_t>(step) * 4;
    for (int32_t i = 0; i < count; ++i, s += 3, d += stride) {
        const bool transparent = s[0] == t.keyRed && s[1] == t.keyGreen && s[2] == t.keyBlue;
        Store(d, transparent ? 0u : OpaqueFromRgb(s));
    }
    return true;
}

// Grey and indexed pixels of 8 bits through the lookup table.
bool ConvertLookup8(const uint8_t* s, uint8_t* d, int32_t step, int32_t count,
                    const ConvertTables& t) {
    const size_t stride = static_cast<size_t>(step) * 4;
    uint8_t outside = 0;
    for (int32_t i = 0; i < count; ++i, d += stride) {
        const uint8_t index = s[i];
        outside |= t.outside[index];
        Store(d, t.lookup[index]);
    }
    return outside == 0;
}

// Grey and indexed pixels of 1, 2 or 4 bits, packed from the high bits of each byte down.
template <int Depth>
bool ConvertLookupPacked(const uint8_t* s, uint8_t* d, int32_t step, int32_t count,
                         const ConvertTables& t) {
    constexpr int perByte = 8 / Depth;
    constexpr uint32_t mask = (1u << Depth) - 1;
    const size_t stride = static_cast<size_t>(step) * 4;
    uint8_t outside = 0;
    int32_t i = 0;
    for (; i + perByte <= count; ++s) {
        const uint32_t byte = *s;
        for (int k = 0; k < perByte; ++k, ++i, d += stride) {
            const uint32_t index = (byte >> (8 - Depth - k * Depth)) & mask;
            outside |= t.outside[index];
            Store(d, t.lookup[index]);
        }
    }
    for (int shift = 8 - Depth; i < count; ++i, shift -= Depth, d += stride) {
        const uint32_t index = (static_cast<uint32_t>(*s) >> shift) & mask;
        outside |= t.outside[index];
        Store(d, t.lookup[index]);
    }
    return outside == 0;
}

// 16-bit samples are reduced to their high bytes.
bool ConvertRgba16(const uint8_t* s, uint8_t* d, int32_t step, int32_t count,
                   const ConvertTables&) {
    const size_t stride = static_cast<size_t>(step) * 4;
    for (int32_t i = 0; i < count; ++i, s += 8, d += stride)
        Store(d, PremultipliedPixel(s[0], s[2], s[4], s[6]));
    return true;
}

bool ConvertGreyAlpha16(const uint8_t* s, uint8_t* d, int32_t step, int32_t count,
                        const ConvertTables&) {
    const size_t stride = static_cast<size_t>(step) * 4;
    for (int32_t i = 0; i < count; ++i, s += 4, d += stride) {
        const uint32_t g = MultiplyDiv255(s[0], s[2]);
        Store(d, g | g << 8 | g << 16 | static_cast<uint32_t>(s[2]) << 24);
    }
    return true;
}

bool ConvertRgb16(const uint8_t* s, uint8_t* d, int32_t step, int32_t count,
                  const ConvertTables& t) {
    const size_t stride = static_cast<size_t>(step) * 4;
    for (int32_t i = 0; i < count; ++i, s += 6, d += stride) {
        const bool transparent =
            t.keyed && s[0] == t.keyRed && s[2] == t.keyGreen && s[4] == t.keyBlue;
        Store(d, transparent ? 0u
                             : s[4] | static_cast<uint32_t>(s[2]) << 8 |
                                   static_cast<uint32_t>(s[0]) << 16 | 0xFF000000u);
    }
    return true;
}

bool ConvertGrey16(const uint8_t* s, uint8_t* d, int32_t step, int32_t count,
                   const ConvertTables& t) {
    const size_t stride = static_cast<size_t>(step) * 4;
    for (int32_t i = 0; i < count; ++i, s += 2, d += stride) {
        const uint32_t g = s[0];
        Store(d, t.keyed && s[0] == t.keyRed ? 0u : g | g << 8 | g << 16 | 0xFF000000u);
    }
    return true;
}

} // namespace

ConvertTables BuildConvertTables(const Header& header, std::span<const uint8_t> palette,
                                 std::span<const uint8_t> transparency, int32_t transparencyKey) {
    ConvertTables t;
    t.keyed = transparencyKey != -1;
    const bool sixteen = header.bitDepth == 16;
    switch (header.colorType) {
    case colorTrue:
        if (sixteen) {
            t.keyRed = At(transparency, 0);
            t.keyGreen = At(transparency, 2);
            t.keyBlue = At(transparency, 4);
        } else {
            t.keyRed = static_cast<uint8_t>(transparencyKey >> 16);
            t.keyGreen = static_cast<uint8_t>(transparencyKey >> 8);
            t.keyBlue = static_cast<uint8_t>(transparencyKey);
        }
        break;
    case colorGrey:
        t.keyRed = sixteen ? At(transparency, 0) : static_cast<uint8_t>(transparencyKey);
        break;
    default:
        break;
    }
    if ((header.colorType == colorGrey || header.colorType == colorIndexed) && !sixteen) {
        const size_t entries = palette.size() / 3;
        for (size_t i = 0; i < 256; ++i) {
            if (i >= entries) {
                t.outside[i] = 1;
                continue;
            }
            uint32_t alpha = 255;
            if (t.keyed) {
                if (header.colorType == colorIndexed)
                    alpha = i < transparency.size() ? transparency[i] : 255;
                else if (i == static_cast<uint8_t>(transparencyKey))
                    alpha = 0;
            }
            t.lookup[i] =
                PremultipliedPixel(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2], alpha);
        }
    }
    return t;
}

RowConverter SelectConverter(const Header& header, const ConvertTables& tables) {
    if (!IsValidCombination(header.colorType, header.bitDepth)) return nullptr;
    const bool sixteen = header.bitDepth == 16;
    switch (header.colorType) {
    case colorTrueAlpha:
        return sixteen ? ConvertRgba16 : ConvertRgba8;
    case colorGreyAlpha:
        return sixteen ? ConvertGreyAlpha16 : ConvertGreyAlpha8;
    case colorTrue:
        if (sixteen) return ConvertRgb16;
        return tables.keyed ? ConvertRgb8Keyed : ConvertRgb8;
    case colorGrey:
    case colorIndexed:
        switch (header.bitDepth) {
        case 1:
            return ConvertLookupPacked<1>;
        case 2:
            return ConvertLookupPacked<2>;
        case 4:
            return ConvertLookupPacked<4>;
        case 8:
            return ConvertLookup8;
        default:
            return ConvertGrey16;
        }
    default:
        return nullptr;
    }
}

} // namespace moirelle::png

#include "formats/GifLzw.h"

#include <cstring>

namespace moirelle::gif {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr uint32_t kTableSize = 1u << kMaxCodeBits;

// Copies a string that lies `distance` bytes back in the output. Overlapping copies
// (distance below the length) repeat the source, as the table's strings require.
inline void CopyString(uint8_t* dst, const uint8_t* src, size_t length) {
    const size_t distance = static_cast<size_t>(dst - src);
    if (distance >= 16) {
        for (size_t i = 0; i < length; i += 16)
            std::memcpy(dst + i, src + i, 16);
    } else {
        for (size_t i = 0; i < length; ++i)
            dst[i] = src[i];
    }
}

} // namespace

size_t MaxLzwOutput(int minCodeSize, size_t dataBytes) {
    const size_t codeBits = static_cast<size_t>(minCodeSize) + 1;
    const size_t codes = dataBytes * 8 / codeBits + 1;
    return codes * kTableSize;
}

LzwResult DecodeLzw(int minCodeSize, std::span<const uint8_t> data, uint8_t* out, size_t pixelCount,
                    uint32_t colours) {
    LzwResult result;
    if (minCodeSize < 1 || minCodeSize > kMaxCodeBits - 1) return result;
    if (colours > 256) colours = 256;

    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    // Every table string lies in the output already: a code's string is the previous
    // code's string plus one byte, and the previous string was written just before.
    struct String {
        uint32_t offset, length;
    };
    String strings[kTableSize];

    int codeSize = minCodeSize + 1;
    uint32_t codeMask = (1u << codeSize) - 1;
    uint32_t nextCode = clearCode + 2;
    bool havePrevious = false;
    size_t prevPos = 0;
    uint32_t prevLength = 0;
    size_t produced = 0;

    const uint8_t* in = data.data();
    const size_t inSize = data.size();
    size_t inPos = 0;
    uint64_t bits = 0;
    int bitCount = 0;

    for (;;) {
        if (bitCount < codeSize) {
            if (inPos + 8 <= inSize) {
                uint64_t word;
                std::memcpy(&word, in + inPos, 8);
                bits |= word << bitCount;
                inPos += static_cast<size_t>(63 - bitCount) >> 3;
                bitCount |= 56;
            } else {
                while (bitCount <= 56 && inPos < inSize) {
                    bits |= static_cast<uint64_t>(in[inPos++]) << bitCount;
                    bitCount += 8;
                }
                if (bitCount < codeSize) break; // data ends without an end code
            }
        }
        const uint32_t code = static_cast<uint32_t>(bits) & codeMask;
        bits >>= codeSize;
        bitCount -= codeSize;

        if (code == clearCode) {
            codeSize = minCodeSize + 1;
            codeMask = (1u << codeSize) - 1;
            nextCode = clearCode + 2;
            havePrevious = false;
            continue;
        }
        if (code == endCode) break;

        uint32_t length;
        if (code < clearCode) {
            // A literal is a palette index: it must name an entry of the colour table.
            if (code >= colours) return result;
            length = 1;
            out[produced] = static_cast<uint8_t>(code); // produced < pixelCount here
        } else if (!havePrevious) {
            return result; // only a literal may follow a clear code
        } else if (code < nextCode) {
            length = strings[code].length;
            if (produced + length <= pixelCount)
                CopyString(out + produced, out + strings[code].offset, length);
        } else if (code == nextCode) {
            // The string being defined: the previous one plus its own first byte.
            length = prevLength + 1;
            if (produced + length <= pixelCount) CopyString(out + produced, out + prevPos, length);
        } else {
            return result; // a code that is not in the table yet
        }

        if (produced + length > pixelCount) {
            // Surplus pixels: keep what fits and stop.
            const size_t fits = pixelCount - produced;
            const size_t source = code < clearCode  ? produced
                                  : code < nextCode ? strings[code].offset
                                                    : prevPos;
            if (code >= clearCode)
                for (size_t i = 0; i < fits; ++i)
                    out[produced + i] = out[source + i];
            produced = pixelCount;
            break;
        }

        if (havePrevious && nextCode < kTableSize) {
            strings[nextCode] = {static_cast<uint32_t>(prevPos), prevLength + 1};
            ++nextCode;
            if (nextCode == (1u << codeSize) && codeSize < kMaxCodeBits) {
                ++codeSize;
                codeMask = (1u << codeSize) - 1;
            }
        }
        havePrevious = true;
        prevPos = produced;
        prevLength = length;
        produced += length;
        if (produced == pixelCount) break;
    }
    result.produced = produced;
    result.valid = true;
    return result;
}

} // namespace moirelle::gif

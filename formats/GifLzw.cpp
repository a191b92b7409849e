#include "formats/GifLzw.h"

#include <cstring>
#include <memory>

// How it goes fast: codes come from a 64-bit buffer refilled without a test while 8
// input bytes remain; every code's string, a literal's too, is copied from where it
// already lies in 16-byte pieces, with no test of how far back that is; the string that
// defines itself is told apart by selects, not branches. Clear and end codes, codes
// beyond the table, the code after a clear and the last pixels take the careful branch.

namespace moirelle::gif {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr uint32_t kTableSize = 1u << kMaxCodeBits;

// Every byte value, as the string of its literal, and room for a 16-byte read past it.
constexpr struct Identity {
    uint8_t bytes[256 + 16];
    constexpr Identity() : bytes() {
        for (int i = 0; i < 256; ++i)
            bytes[i] = static_cast<uint8_t>(i);
    }
} kIdentity;

// A code's string: where it lies (in the output, or in kIdentity for a literal).
struct String {
    const uint8_t* at;
    uint32_t length; // 0: a code with no string (clear, end, a literal beyond the colours)
};

inline void Copy16(uint8_t* dst, const uint8_t* src) {
    uint8_t piece[16];
    std::memcpy(piece, src, 16);
    std::memcpy(dst, piece, 16);
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
    // Entries above the end code are written before they are used; until then they hold a
    // length of 1, so that a zero length marks exactly the codes without a string.
    const std::unique_ptr<String[]> strings(new String[kTableSize]);
    for (uint32_t c = 0; c < kTableSize; ++c) {
        const bool literal = c < clearCode && c < colours;
        strings[c] = {literal ? kIdentity.bytes + c : kIdentity.bytes,
                      literal || c > endCode ? 1u : 0u};
    }

    int codeSize = minCodeSize + 1;
    uint32_t codeMask = (1u << codeSize) - 1;
    uint32_t nextCode = clearCode + 2;
    bool havePrevious = false;
    const uint8_t* previous = out; // the previous code's string, in the output
    uint32_t previousLength = 0;
    size_t produced = 0;

    const uint8_t* in = data.data();
    const size_t inSize = data.size();
    size_t inPos = 0;
    uint64_t bits = 0;
    int bitCount = 0;

    for (;;) {
        if (inPos + 8 <= inSize) {
            uint64_t word;
            std::memcpy(&word, in + inPos, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            word = __builtin_bswap64(word);
#endif
            bits |= word << bitCount;
            inPos += static_cast<size_t>(63 - bitCount) >> 3;
            bitCount |= 56;
        } else if (bitCount < codeSize) {
            while (bitCount <= 56 && inPos < inSize) {
                bits |= static_cast<uint64_t>(in[inPos++]) << bitCount;
                bitCount += 8;
            }
            if (bitCount < codeSize) break; // data ends without an end code
        }
        const uint32_t code = static_cast<uint32_t>(bits) & codeMask;
        bits >>= codeSize;
        bitCount -= codeSize;

        const uint8_t* src;
        uint32_t length;
        if (code > nextCode || strings[code].length == 0 || !havePrevious) [[unlikely]] {
            if (code == clearCode) {
                codeSize = minCodeSize + 1;
                codeMask = (1u << codeSize) - 1;
                nextCode = clearCode + 2;
                havePrevious = false;
                continue;
            }
            if (code == endCode) break;
            // Not in the table yet, a literal beyond the colour table, or a string
            // straight after a clear code.
            if (code >= clearCode || strings[code].length == 0) return result;
            src = strings[code].at; // a literal after a clear code: no entry to define
            length = 1;
        } else {
            // The code being defined is the previous string plus its own first byte.
            const bool self = code == nextCode;
            src = self ? previous : strings[code].at;
            length = self ? previousLength + 1 : strings[code].length;
            if (nextCode < kTableSize) {
                strings[nextCode] = {previous, previousLength + 1};
                ++nextCode;
                if (nextCode == (1u << codeSize) && codeSize < kMaxCodeBits) {
                    ++codeSize;
                    codeMask = (1u << codeSize) - 1;
                }
            }
        }
        havePrevious = true;

        uint8_t* const dst = out + produced;
        if (length > pixelCount - produced) [[unlikely]] {
            // Surplus pixels: keep what fits and stop.
            for (size_t i = 0; i < pixelCount - produced; ++i)
                dst[i] = src[i];
            produced = pixelCount;
            break;
        }
        // A string lies wholly before its copy, except the one that defines itself, whose
        // last byte is its own first: each piece's bytes are final when it is read, but
        // for that one byte, set at the end (for any other string, to what it was).
        uint32_t i = 0;
        do {
            Copy16(dst + i, src + i);
            i += 16;
        } while (i < length);
        dst[length - 1] = src[length - 1];
        previous = dst;
        previousLength = length;
        produced += length;
        if (produced == pixelCount) break;
    }
    result.produced = produced;
    result.valid = true;
    return result;
}

} // namespace moirelle::gif

#include "formats/GifLzwRows.h"

#include <algorithm>
#include <cstring>

// A code's string is written from its end backwards, following the prefix codes, straight
// into the row buffer; rows are handed out as soon as they are complete and the rest of
// the string moves to the front. The longest string is one entry per table code, so the
// buffer never needs more than a row plus the table's size.

namespace moirelle::gif {

LzwRowsResult LzwRowDecoder::Decode(std::span<const uint8_t> bytes, size_t chainPos,
                                    int minCodeSize, uint32_t colours, int32_t width,
                                    int32_t height, IRowSink* sink) {
    LzwRowsResult result;
    if (minCodeSize < 1 || minCodeSize > kMaxCodeBits - 1) return result;
    colours = std::min<uint32_t>(colours, 256);
    const uint64_t pixelCount =
        width > 0 && height > 0 ? static_cast<uint64_t>(width) * static_cast<uint64_t>(height) : 0;
    if (pixelCount == 0) {
        result.valid = true;
        return result;
    }

    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    for (uint32_t c = 0; c < clearCode; ++c) {
        const bool literal = c < colours;
        prefix_[c] = 0;
        length_[c] = literal ? 1 : 0;
        last_[c] = first_[c] = static_cast<uint8_t>(c);
    }
    length_[clearCode] = length_[endCode] = 0;
    if (sink) {
        // Exactly one row and the longest string: a wider image replaces the buffer rather
        // than growing it geometrically.
        const size_t rowBytes = static_cast<size_t>(width) + kTableSize;
        if (row_.size() < rowBytes) {
            row_.clear();
            row_.shrink_to_fit();
            row_.resize(rowBytes);
        }
    }

    // The bit reader walks the sub-blocks: `blockLeft` bytes remain in the current one.
    size_t pos = chainPos;
    size_t blockLeft = 0;
    uint32_t bits = 0;
    int bitCount = 0;

    int codeSize = minCodeSize + 1;
    uint32_t nextCode = clearCode + 2;
    bool havePrevious = false;
    uint32_t previous = 0;
    uint64_t produced = 0;
    size_t fill = 0; // indices waiting in row_
    int32_t storedRow = 0;
    const size_t rowWidth = static_cast<size_t>(width);

    for (;;) {
        while (bitCount < codeSize) {
            if (blockLeft == 0) {
                if (pos >= bytes.size() || bytes[pos] == 0) break; // the chain ends
                blockLeft = bytes[pos++];
            }
            if (pos >= bytes.size()) break; // the bytes end inside a sub-block
            bits |= static_cast<uint32_t>(bytes[pos++]) << bitCount;
            bitCount += 8;
            --blockLeft;
        }
        if (bitCount < codeSize) break; // the data ends without an end code
        const uint32_t code = bits & ((1u << codeSize) - 1);
        bits >>= codeSize;
        bitCount -= codeSize;

        if (code == clearCode) {
            codeSize = minCodeSize + 1;
            nextCode = clearCode + 2;
            havePrevious = false;
            continue;
        }
        if (code == endCode) break;
        if (!havePrevious) {
            // Straight after a clear code only a literal of the colour table makes sense.
            if (code >= clearCode || length_[code] == 0) return result;
        } else {
            if (code > nextCode || (code < nextCode && length_[code] == 0)) return result;
            // The new entry is the previous string plus the first index of this one (of
            // itself, when this code is the one being defined).
            if (nextCode < kTableSize) {
                prefix_[nextCode] = static_cast<uint16_t>(previous);
                length_[nextCode] = static_cast<uint16_t>(length_[previous] + 1);
                first_[nextCode] = first_[previous];
                last_[nextCode] = code == nextCode ? first_[previous] : first_[code];
                ++nextCode;
                if (nextCode == (1u << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
            }
        }
        havePrevious = true;
        previous = code;

        const uint32_t length = length_[code];
        if (sink) {
            uint8_t* at = row_.data() + fill + length;
            uint32_t c = code;
            for (uint32_t i = 0; i < length; ++i) {
                *--at = last_[c];
                c = prefix_[c];
            }
        }
        // Surplus indices past the image's last pixel are dropped.
        const size_t taken = static_cast<size_t>(std::min<uint64_t>(length, pixelCount - produced));
        produced += taken;
        fill += taken;
        while (fill >= rowWidth) {
            if (sink) sink->Row(storedRow, row_.data(), width);
            ++storedRow;
            fill -= rowWidth;
            if (sink && fill != 0) std::memmove(row_.data(), row_.data() + rowWidth, fill);
        }
        if (produced == pixelCount) break;
    }
    if (sink && fill != 0) sink->Row(storedRow, row_.data(), static_cast<int32_t>(fill));
    result.produced = produced;
    result.valid = true;
    return result;
}

} // namespace moirelle::gif

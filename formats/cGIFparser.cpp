#include "formats/cGIFparser.h"

#include "dib/ImageType.h"
#include "formats/GifLzw.h"
#include "formats/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace moirelle {
namespace {

constexpr size_t kScreenEnd = 13; // signature and logical screen descriptor
constexpr size_t kDescriptorSize = 10;
constexpr size_t kControlExtensionSize = 8;

// Steps over a chain of data sub-blocks at `pos` and the terminating 0. A chain that runs
// past the end of the data ends there; `terminated` then says false.
size_t SkipSubBlocks(std::span<const uint8_t> data, size_t pos, bool& terminated) {
    while (pos < data.size() && data[pos] != 0)
        pos += data[pos] + 1;
    terminated = pos < data.size();
    return terminated ? pos + 1 : data.size();
}

bool IsGifSignature(std::span<const uint8_t> data) {
    if (data.size() < 6) return false;
    char sig[6];
    for (int i = 0; i < 6; ++i)
        sig[i] = static_cast<char>(data[i] >= 'A' && data[i] <= 'Z' ? data[i] + 32 : data[i]);
    return std::memcmp(sig, "gif89a", 6) == 0 || std::memcmp(sig, "gif87a", 6) == 0;
}

// Ends a chain of sub-blocks that starts at `pos` and runs to the end of `bytes` without
// its terminator: the block that the end cuts off keeps only the bytes that are there
// (its length byte says so), and the terminating 0 follows.
void TerminateSubBlocks(std::vector<uint8_t>& bytes, size_t pos) {
    while (pos < bytes.size()) {
        const size_t available = bytes.size() - pos - 1;
        if (bytes[pos] > available) {
            if (available == 0)
                bytes.resize(pos);
            else
                bytes[pos] = static_cast<uint8_t>(available);
            break;
        }
        pos += bytes[pos] + 1;
    }
    bytes.push_back(0);
}

// Joins the data sub-blocks from `pos` (an unterminated last block is cut at the end).
void JoinSubBlocks(std::span<const uint8_t> data, size_t pos, std::vector<uint8_t>& out) {
    out.clear();
    while (pos < data.size() && data[pos] != 0) {
        const size_t length = data[pos];
        const size_t available = std::min(length, data.size() - pos - 1);
        out.insert(out.end(), data.begin() + pos + 1, data.begin() + pos + 1 + available);
        pos += length + 1;
    }
}

// Picture row of the k-th stored row of an interlaced image of the given height.
void InterlacedRowOrder(int32_t height, std::vector<int32_t>& rows) {
    rows.clear();
    rows.reserve(height);
    static constexpr int32_t start[4] = {0, 4, 2, 1};
    static constexpr int32_t step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int32_t y = start[pass]; y < height; y += step[pass])
            rows.push_back(y);
}

// Palette colours of `count` indices into a row of pixels.
void ExpandRow(const uint8_t* indices, size_t count, const uint32_t* palette, uint8_t* row) {
    size_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const uint32_t p[4] = {palette[indices[x]], palette[indices[x + 1]],
                               palette[indices[x + 2]], palette[indices[x + 3]]};
        std::memcpy(row + 4 * x, p, 16);
    }
    for (; x < count; ++x)
        std::memcpy(row + 4 * x, &palette[indices[x]], 4);
}

} // namespace

bool cGIFparser::BuildSingleFrame(std::span<const uint8_t> stream, SingleFrame& frame) {
    if (!IsGifSignature(stream) || stream.size() < kScreenEnd) return false;

    size_t headerLength = kScreenEnd;
    size_t tablePosition = 0;
    uint32_t tableEntries = 0;
    if (stream[10] & 0x80) {
        tableEntries = 2u << (stream[10] & 7);
        tablePosition = kScreenEnd;
        headerLength += 3 * tableEntries;
        if (headerLength > stream.size()) return false;
    }

    // Walk to the first image, remembering the last graphic control extension.
    size_t pos = headerLength;
    size_t controlPos = 0;
    bool transparent = false;
    uint8_t transparentIndex = 0;
    for (;;) {
        if (pos >= stream.size()) return false;
        const uint8_t block = stream[pos];
        if (block == 0x00) {
            ++pos;
        } else if (block == 0x21) {
            if (pos + 2 > stream.size()) return false;
            const uint8_t label = stream[pos + 1];
            bool terminated;
            if (label == 0xFF) {
                if (pos + 3 > stream.size()) return false;
                pos += 2;
                pos += stream[pos] + 1;
                pos = SkipSubBlocks(stream, pos, terminated);
            } else if (label == 0xF9) {
                if (pos + kControlExtensionSize > stream.size()) return false;
                transparent = (stream[pos + 3] & 1) != 0;
                if (transparent) transparentIndex = stream[pos + 6];
                controlPos = pos;
                pos += kControlExtensionSize;
            } else {
                pos = SkipSubBlocks(stream, pos + 2, terminated);
            }
        } else if (block == 0x2C) {
            break;
        } else {
            return false;
        }
    }

    // The first image: descriptor, local colour table, minimum code size, data.
    const size_t descriptorPos = pos;
    if (descriptorPos + kDescriptorSize > stream.size()) return false;
    const uint8_t packed = stream[descriptorPos + 9];
    pos = descriptorPos + kDescriptorSize;
    if (packed & 0x80) {
        tableEntries = 2u << (packed & 7);
        tablePosition = pos;
        pos += 3 * tableEntries;
        if (pos > stream.size()) return false;
    }
    bool terminated = false;
    const size_t imageEnd = SkipSubBlocks(stream, pos + 1, terminated);
    if (imageEnd - descriptorPos < 4) return false;
    if (tableEntries == 0) return false;

    // The rebuilt GIF: header, global table, control extension, image, trailer.
    std::vector<uint8_t>& out = frame.bytes;
    out.clear();
    out.reserve(headerLength + kControlExtensionSize + (imageEnd - descriptorPos) + 2);
    out.insert(out.end(), stream.begin(), stream.begin() + headerLength);
    if (controlPos != 0)
        out.insert(out.end(), stream.begin() + controlPos,
                   stream.begin() + controlPos + kControlExtensionSize);
    const size_t newDescriptor = out.size();
    out.insert(out.end(), stream.begin() + descriptorPos, stream.begin() + imageEnd);
    if (!terminated) TerminateSubBlocks(out, newDescriptor + (pos + 1 - descriptorPos));
    out.push_back(0x3B);

    // Placed at 0, 0 on a screen of its own size.
    std::memcpy(&out[6], &out[newDescriptor + 5], 4);
    std::memset(&out[newDescriptor + 1], 0, 4);

    frame.transparentIndex = transparent ? transparentIndex : -1;
    frame.tablePosition = tablePosition;
    frame.tableEntries = tableEntries;
    if (transparent) {
        // Where the applying table sits in the rebuilt bytes.
        const size_t rebuiltTable = tablePosition == kScreenEnd
                                        ? kScreenEnd
                                        : newDescriptor + (tablePosition - descriptorPos);
        for (uint32_t i = 0; i < tableEntries; ++i) {
            uint8_t* entry = &out[rebuiltTable + 3 * i];
            entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
        }
    }
    return true;
}

bool cGIFparser::RenderFrame(const SingleFrame& frame, std::span<const uint8_t> stream,
                             IImageTarget& cHost) {
    // Read the rebuilt GIF: screen descriptor, global table, control extension, image.
    const std::vector<uint8_t>& gif = frame.bytes;
    size_t pos = kScreenEnd;
    size_t tableInRebuilt = 0;
    if (gif[10] & 0x80) {
        tableInRebuilt = pos;
        pos += 3 * (2u << (gif[10] & 7));
    }
    if (gif[pos] == 0x21) pos += kControlExtensionSize;
    const uint8_t* descriptor = &gif[pos];
    const int32_t width = Read16LE(descriptor + 5);
    const int32_t height = Read16LE(descriptor + 7);
    const uint8_t packed = descriptor[9];
    pos += kDescriptorSize;
    if (packed & 0x80) {
        tableInRebuilt = pos;
        pos += 3 * (2u << (packed & 7));
    }
    // An image block cut short before its minimum code size has no pixels.
    if (pos >= gif.size() - 1) return false;
    const int minCodeSize = gif[pos];
    if (width < 1 || height < 1) return false;

    std::vector<uint8_t> codes;
    JoinSubBlocks(gif, pos + 1, codes);
    const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
    // Refuse sizes that the data could never fill.
    if (pixelCount > gif::MaxLzwOutput(minCodeSize, codes.size())) return false;
    if (pixelCount > static_cast<size_t>(INT32_MAX / 4)) return false;

    // Not zero-filled: only the indices the decoder produced are read.
    std::unique_ptr<uint8_t[]> indices(new uint8_t[pixelCount + gif::kLzwSlack]);
    // An index beyond the colour table has no colour: the decoder refuses the image, so
    // the image is untouched then.
    const gif::LzwResult decoded =
        gif::DecodeLzw(minCodeSize, codes, indices.get(), pixelCount, frame.tableEntries);
    if (!decoded.valid) return false;
    codes = {};

    // Colours: the source table when the rebuilt one holds grey steps, else the rebuilt one.
    // Without transparency every colour is opaque, and so is the black of rows the data did
    // not reach; with it those stay transparent black.
    const bool transparent = frame.transparentIndex >= 0;
    const uint8_t* table = transparent ? stream.data() + frame.tablePosition : &gif[tableInRebuilt];
    uint32_t palette[256] = {};
    for (uint32_t i = 0; i < frame.tableEntries; ++i) {
        const uint8_t* rgb = table + 3 * i;
        palette[i] = 0xFF000000u | (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
    }
    if (transparent) palette[frame.transparentIndex] = 0;
    const uint32_t missing = transparent ? 0 : 0xFF000000u;

    if (!cHost.InitializeDIB(width, height)) return false;
    uint8_t* bits = cHost.BitsPointer();
    const size_t stride = static_cast<size_t>(width) * 4;

    // One pass over the stored rows: each goes through the palette straight to its place.
    std::vector<int32_t> interlacedRows;
    const bool interlaced = (packed & 0x40) != 0;
    if (interlaced) InterlacedRowOrder(height, interlacedRows);
    for (size_t k = 0; k < static_cast<size_t>(height); ++k) {
        const int32_t y = interlaced ? interlacedRows[k] : static_cast<int32_t>(k);
        uint8_t* row = bits + stride * static_cast<size_t>(height - 1 - y);
        const size_t start = k * static_cast<size_t>(width);
        const size_t count =
            start >= decoded.produced ? 0 : std::min<size_t>(width, decoded.produced - start);
        ExpandRow(indices.get() + start, count, palette, row);
        if (missing != 0)
            for (size_t x = count; x < static_cast<size_t>(width); ++x)
                std::memcpy(row + 4 * x, &missing, 4);
    }
    cHost.SetAlphaFlag(transparent);
    cHost.SetImageType(imgGIF);
    return true;
}

bool cGIFparser::LoadStream(std::span<const uint8_t> inStream, IImageTarget& cHost,
                            size_t streamOffset, size_t streamLength) {
    if (streamOffset > inStream.size()) return false;
    if (streamLength == 0 || streamLength > inStream.size() - streamOffset)
        streamLength = inStream.size() - streamOffset;
    const std::span<const uint8_t> stream = inStream.subspan(streamOffset, streamLength);
    try {
        SingleFrame frame;
        if (!BuildSingleFrame(stream, frame)) return false;
        return RenderFrame(frame, stream, cHost);
    } catch (const std::bad_alloc&) {
        cHost.DestroyDIB();
        return true;
    }
}

} // namespace moirelle

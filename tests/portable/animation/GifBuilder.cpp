#include "tests/portable/animation/GifBuilder.h"

#include <algorithm>

namespace moirelle::test {
namespace {

int TableBits(size_t entries) {
    int bits = 1;
    while ((size_t{1} << bits) < entries)
        ++bits;
    return bits;
}

void Put16(Bytes& out, unsigned value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// LZW codes of the indices as literals only, LSB first. The decoder adds a table entry
// for every code after the first; the width grows when the next entry reaches 2^width.
Bytes EncodeLiterals(int minCodeSize, const std::vector<uint8_t>& indices) {
    Bytes out;
    uint32_t bits = 0;
    int bitCount = 0;
    int codeSize = minCodeSize + 1;
    const uint32_t clear = 1u << minCodeSize;
    uint32_t next = clear + 2;
    bool havePrevious = false;
    auto put = [&](uint32_t code) {
        bits |= code << bitCount;
        bitCount += codeSize;
        while (bitCount >= 8) {
            out.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    put(clear);
    for (uint8_t index : indices) {
        put(index);
        if (havePrevious && next < 4096) {
            ++next;
            if (next == (1u << codeSize) && codeSize < 12) ++codeSize;
        }
        havePrevious = true;
    }
    put(clear + 1);
    if (bitCount > 0) out.push_back(static_cast<uint8_t>(bits & 0xFF));
    return out;
}

} // namespace

std::vector<uint8_t> Indices(const std::string& digits) {
    std::vector<uint8_t> out;
    for (char c : digits)
        if (c >= '0' && c <= '9') out.push_back(static_cast<uint8_t>(c - '0'));
    return out;
}

GifBuilder::GifBuilder(int width, int height, const std::vector<uint32_t>& colours) {
    const std::string sig = "GIF89a";
    bytes_.assign(sig.begin(), sig.end());
    Put16(bytes_, static_cast<unsigned>(width));
    Put16(bytes_, static_cast<unsigned>(height));
    globalBits_ = TableBits(colours.size());
    bytes_.push_back(colours.empty() ? 0 : static_cast<uint8_t>(0x80 | (globalBits_ - 1)));
    bytes_.push_back(0); // background
    bytes_.push_back(0); // aspect
    if (!colours.empty()) Table(colours, globalBits_);
}

void GifBuilder::Table(const std::vector<uint32_t>& colours, int bits) {
    for (size_t i = 0; i < (size_t{1} << bits); ++i) {
        const uint32_t c = i < colours.size() ? colours[i] : 0;
        bytes_.push_back(static_cast<uint8_t>(c >> 16));
        bytes_.push_back(static_cast<uint8_t>(c >> 8));
        bytes_.push_back(static_cast<uint8_t>(c));
    }
}

void GifBuilder::SubBlocks(const Bytes& data) {
    for (size_t pos = 0; pos < data.size(); pos += 255) {
        const size_t n = std::min<size_t>(255, data.size() - pos);
        bytes_.push_back(static_cast<uint8_t>(n));
        bytes_.insert(bytes_.end(), data.begin() + static_cast<ptrdiff_t>(pos),
                      data.begin() + static_cast<ptrdiff_t>(pos + n));
    }
    bytes_.push_back(0);
}

GifBuilder& GifBuilder::Loop(uint16_t count, const char* id) {
    blockStarts_.push_back(bytes_.size());
    bytes_.insert(bytes_.end(), {0x21, 0xFF, 11});
    bytes_.insert(bytes_.end(), id, id + 11);
    bytes_.insert(bytes_.end(), {3, 1});
    Put16(bytes_, count);
    bytes_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::Control(int disposal, uint16_t delay, int transparentIndex) {
    blockStarts_.push_back(bytes_.size());
    bytes_.insert(bytes_.end(), {0x21, 0xF9, 4});
    bytes_.push_back(static_cast<uint8_t>((disposal << 2) | (transparentIndex >= 0 ? 1 : 0)));
    Put16(bytes_, delay);
    bytes_.push_back(static_cast<uint8_t>(transparentIndex >= 0 ? transparentIndex : 0));
    bytes_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::Image(int left, int top, int width, int height,
                              const std::vector<uint8_t>& indices,
                              const std::vector<uint32_t>& localColours, bool interlaced) {
    blockStarts_.push_back(bytes_.size());
    bytes_.push_back(0x2C);
    Put16(bytes_, static_cast<unsigned>(left));
    Put16(bytes_, static_cast<unsigned>(top));
    Put16(bytes_, static_cast<unsigned>(width));
    Put16(bytes_, static_cast<unsigned>(height));
    int bits = globalBits_;
    uint8_t packed = interlaced ? 0x40 : 0;
    if (!localColours.empty()) {
        bits = TableBits(localColours.size());
        packed |= static_cast<uint8_t>(0x80 | (bits - 1));
    }
    bytes_.push_back(packed);
    if (!localColours.empty()) Table(localColours, bits);

    // Interlaced images store every 8th row from 0, every 8th from 4, every 4th from 2,
    // then every 2nd from 1.
    std::vector<uint8_t> stored = indices;
    if (interlaced && width > 0) {
        stored.clear();
        const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = starts[pass]; y < height; y += steps[pass])
                for (int x = 0; x < width; ++x)
                    stored.push_back(indices[static_cast<size_t>(y * width + x)]);
    }
    const int minCodeSize = std::max(2, bits);
    bytes_.push_back(static_cast<uint8_t>(minCodeSize));
    SubBlocks(EncodeLiterals(minCodeSize, stored));
    imageEnds_.push_back(bytes_.size());
    return *this;
}

GifBuilder& GifBuilder::Comment(const std::string& text) {
    blockStarts_.push_back(bytes_.size());
    bytes_.insert(bytes_.end(), {0x21, 0xFE});
    SubBlocks(Bytes(text.begin(), text.end()));
    return *this;
}

GifBuilder& GifBuilder::Raw(const Bytes& bytes) {
    blockStarts_.push_back(bytes_.size());
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes GifBuilder::Finish() {
    blockStarts_.push_back(bytes_.size());
    bytes_.push_back(0x3B);
    return bytes_;
}

} // namespace moirelle::test

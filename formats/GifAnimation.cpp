#include "formats/GifAnimation.h"

#include "formats/GifLzw.h"
#include "formats/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace moirelle {
namespace {

constexpr size_t kSignatureSize = 6;
constexpr size_t kScreenEnd = 13; // signature and logical screen descriptor
constexpr size_t kDescriptorSize = 10;
constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImage = 0x2C;
constexpr uint8_t kControlLabel = 0xF9;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr uint32_t kShortestDelayMs = 20; // below this browsers show a frame at 100 ms
constexpr uint32_t kDefaultDelayMs = 100;

bool IsGifSignature(std::span<const uint8_t> data) {
    if (data.size() < kSignatureSize) return false;
    char sig[kSignatureSize];
    for (size_t i = 0; i < kSignatureSize; ++i)
        sig[i] = static_cast<char>(data[i] >= 'A' && data[i] <= 'Z' ? data[i] + 32 : data[i]);
    return std::memcmp(sig, "gif89a", 6) == 0 || std::memcmp(sig, "gif87a", 6) == 0;
}

uint32_t TableEntries(uint8_t packed) {
    return (packed & kTableFlag) ? 2u << (packed & 7) : 0;
}

// Steps over a chain of data sub-blocks at `pos` and its terminating 0. False when the
// data ends first.
bool SkipSubBlocks(std::span<const uint8_t> data, size_t& pos) {
    while (pos < data.size() && data[pos] != 0)
        pos += data[pos] + size_t{1};
    if (pos >= data.size()) return false;
    ++pos;
    return true;
}

// The loop count of an application extension whose chain starts at `pos` (its identifier's
// length byte): the sub-block 1 of "NETSCAPE2.0" or "ANIMEXTS1.0". False for any other.
bool ReadLoopExtension(std::span<const uint8_t> data, size_t pos, uint16_t& count) {
    constexpr size_t kIdSize = 11;
    if (pos + 1 + kIdSize > data.size() || data[pos] != kIdSize) return false;
    const uint8_t* id = &data[pos + 1];
    if (std::memcmp(id, "NETSCAPE2.0", kIdSize) != 0 &&
        std::memcmp(id, "ANIMEXTS1.0", kIdSize) != 0)
        return false;
    pos += 1 + kIdSize;
    while (pos < data.size() && data[pos] != 0) {
        const size_t length = data[pos];
        if (pos + 1 + length > data.size()) return false;
        if (length >= 3 && data[pos + 1] == 1) {
            count = Read16LE(&data[pos + 2]);
            return true;
        }
        pos += 1 + length;
    }
    return false;
}

// Draws the rows of one frame onto the screen image: clipped to the screen, interlaced rows
// put in their place, the transparent index leaving the pixel under it.
class Compositor final : public gif::IRowSink {
  public:
    Compositor(IImageTarget& screen, const GifFrameInfo& info, const uint8_t* table,
               uint32_t entries)
        : bits_(screen.BitsPointer()), stride_(static_cast<size_t>(screen.Width()) * 4),
          screenHeight_(screen.Height()), info_(info) {
        visibleWidth_ =
            std::clamp<int32_t>(screen.Width() - info.left, 0, std::max<int32_t>(info.width, 0));
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* rgb = table + 3 * i;
            palette_[i] = 0xFF000000u | (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
        }
    }

    void Row(int32_t storedRow, const uint8_t* indices, int32_t count) override {
        const int32_t y = info_.interlaced ? NextInterlacedRow() : storedRow;
        const int32_t screenY = info_.top + y;
        if (screenY >= screenHeight_ || visibleWidth_ == 0) return;
        uint8_t* dst = bits_ + stride_ * static_cast<size_t>(screenHeight_ - 1 - screenY) +
                       static_cast<size_t>(info_.left) * 4;
        const int32_t n = std::min(count, visibleWidth_);
        const int32_t transparent = info_.transparentIndex;
        if (transparent < 0) {
            // Every index is a colour: four pixels a step, no test.
            int32_t x = 0;
            for (; x + 4 <= n; x += 4) {
                const uint32_t p[4] = {palette_[indices[x]], palette_[indices[x + 1]],
                                       palette_[indices[x + 2]], palette_[indices[x + 3]]};
                std::memcpy(dst + 4 * static_cast<size_t>(x), p, 16);
            }
            for (; x < n; ++x)
                std::memcpy(dst + 4 * static_cast<size_t>(x), &palette_[indices[x]], 4);
            return;
        }
        for (int32_t x = 0; x < n; ++x) {
            const uint8_t index = indices[x];
            if (index == transparent) continue;
            std::memcpy(dst + 4 * static_cast<size_t>(x), &palette_[index], 4);
        }
    }

  private:
    // Interlaced rows come in four passes: every 8th row from 0, every 8th from 4, every
    // 4th from 2, every 2nd from 1.
    int32_t NextInterlacedRow() {
        static constexpr int32_t kStart[4] = {0, 4, 2, 1};
        static constexpr int32_t kStep[4] = {8, 8, 4, 2};
        const int32_t y = passRow_;
        passRow_ += kStep[pass_];
        while (pass_ < 3 && passRow_ >= info_.height)
            passRow_ = kStart[++pass_];
        return y;
    }

    uint8_t* bits_;
    size_t stride_;
    int32_t screenHeight_;
    const GifFrameInfo& info_;
    int32_t visibleWidth_ = 0;
    int pass_ = 0;
    int32_t passRow_ = 0;
    uint32_t palette_[256] = {};
};

} // namespace

uint32_t GifDisplayMilliseconds(uint16_t delay) {
    const uint32_t ms = uint32_t{delay} * 10;
    return ms < kShortestDelayMs ? kDefaultDelayMs : ms;
}

bool GifAnimation::ReadFrameHeader(size_t& pos, Header& header) {
    const std::span<const uint8_t> data = bytes_;
    header = Header{};
    for (;;) {
        if (pos >= data.size()) return false;
        const uint8_t block = data[pos];
        if (block == 0x00) { // stray padding between blocks
            ++pos;
        } else if (block == kExtension) {
            if (pos + 2 > data.size()) return false;
            const uint8_t label = data[pos + 1];
            const size_t chain = pos + 2;
            if (label == kControlLabel && chain + 5 <= data.size() && data[chain] >= 4) {
                const uint8_t packed = data[chain + 1];
                header.info.disposal = static_cast<GifDisposal>((packed >> 2) & 7);
                if (static_cast<uint8_t>(header.info.disposal) > 3)
                    header.info.disposal = GifDisposal::Keep;
                header.info.delay = Read16LE(&data[chain + 2]);
                header.info.transparentIndex = (packed & 1) ? data[chain + 4] : -1;
            } else if (label == kApplicationLabel && !loopSeen_) {
                uint16_t count = 0;
                if (ReadLoopExtension(data, chain, count)) {
                    loopSeen_ = true;
                    loopCount_ = count == 0 ? kLoopForever : count;
                }
            }
            pos = chain;
            if (!SkipSubBlocks(data, pos)) return false;
        } else if (block == kImage) {
            if (pos + kDescriptorSize > data.size()) return false;
            const uint8_t* d = &data[pos];
            header.info.left = Read16LE(d + 1);
            header.info.top = Read16LE(d + 3);
            header.info.width = Read16LE(d + 5);
            header.info.height = Read16LE(d + 7);
            const uint8_t packed = d[9];
            header.info.interlaced = (packed & kInterlaceFlag) != 0;
            header.info.localTable = (packed & kTableFlag) != 0;
            pos += kDescriptorSize;
            if (header.info.localTable) {
                header.tableEntries = TableEntries(packed);
                header.tablePos = pos;
                pos += 3 * size_t{header.tableEntries};
            } else {
                header.tableEntries = globalTableEntries_;
                header.tablePos = globalTablePos_;
            }
            if (pos >= data.size()) return false;
            header.minCodeSize = data[pos++];
            header.chainPos = pos;
            return SkipSubBlocks(data, pos) && header.tableEntries != 0;
        } else {
            return false; // the trailer (0x3B), or a block this format does not have
        }
    }
}

bool GifAnimation::Open(std::span<const uint8_t> bytes) {
    const bool allowWhole = allowWhole_;
    *this = GifAnimation();
    allowWhole_ = allowWhole;
    bytes_ = bytes;
    if (!IsGifSignature(bytes) || bytes.size() < kScreenEnd) return false;
    screenWidth_ = Read16LE(&bytes[6]);
    screenHeight_ = Read16LE(&bytes[8]);
    fault_ = GifAnimationFault::BadScreen;
    if (screenWidth_ == 0 || screenHeight_ == 0 ||
        static_cast<uint64_t>(screenWidth_) * static_cast<uint64_t>(screenHeight_) >
            kMaxScreenPixels)
        return false;
    globalTableEntries_ = TableEntries(bytes[10]);
    globalTablePos_ = kScreenEnd;
    firstBlock_ = kScreenEnd + 3 * size_t{globalTableEntries_};
    fault_ = GifAnimationFault::NoWholeFrame;
    if (firstBlock_ > bytes.size()) return false;

    size_t pos = firstBlock_;
    Header header;
    while (ReadFrameHeader(pos, header)) {
        const gif::LzwRowsResult checked =
            decoder_.Decode(bytes_, header.chainPos, header.minCodeSize, header.tableEntries,
                            header.info.width, header.info.height, nullptr);
        if (!checked.valid) break;
        ++frameCount_;
    }
    if (frameCount_ == 0) return false;
    fault_ = GifAnimationFault::None;
    return true;
}

bool GifAnimation::Rewind(IImageTarget& screen) {
    if (frameCount_ == 0) return false;
    if (screen.Width() == screenWidth_ && screen.Height() == screenHeight_ &&
        screen.BitsPointer() != nullptr) {
        std::memset(screen.BitsPointer(), 0, static_cast<size_t>(screenWidth_) * 4 * screenHeight_);
    } else if (!screen.InitializeDIB(screenWidth_, screenHeight_)) {
        return false;
    }
    screen.SetAlphaFlag(true);
    rewound_ = true;
    cursor_ = firstBlock_;
    nextIndex_ = 0;
    frameShown_ = false;
    return true;
}

GifAnimation::Rect GifAnimation::Clipped(const GifFrameInfo& info) const {
    Rect r;
    r.left = std::min(info.left, screenWidth_);
    r.top = std::min(info.top, screenHeight_);
    r.width = std::min(info.left + info.width, screenWidth_) - r.left;
    r.height = std::min(info.top + info.height, screenHeight_) - r.top;
    return r;
}

void GifAnimation::Dispose(IImageTarget& screen) {
    if (!frameShown_) return;
    const Rect& r = shownRect_;
    const size_t rowBytes = static_cast<size_t>(r.width) * 4;
    const size_t stride = static_cast<size_t>(screenWidth_) * 4;
    for (int32_t y = 0; y < r.height; ++y) {
        uint8_t* row = screen.BitsPointer() +
                       stride * static_cast<size_t>(screenHeight_ - 1 - (r.top + y)) +
                       static_cast<size_t>(r.left) * 4;
        if (frame_.disposal == GifDisposal::Background)
            std::memset(row, 0, rowBytes);
        else if (frame_.disposal == GifDisposal::Previous)
            std::memcpy(row, previous_.data() + rowBytes * static_cast<size_t>(y), rowBytes);
    }
}

bool GifAnimation::DecodeWhole(const Header& header, size_t previousBytes, gif::IRowSink& sink) {
    // The frame's indices and its codes must fit beside the restore-to-previous copy in
    // the room of one screen; frames that do not (far larger than the screen, or as large
    // with that copy) go row by row.
    const size_t room = static_cast<size_t>(screenWidth_) * 4 * screenHeight_ - previousBytes;
    const uint64_t pixels = static_cast<uint64_t>(header.info.width) * header.info.height;
    if (pixels == 0 || pixels + gif::kLzwSlack > room) return false;
    size_t codeBytes = 0;
    for (size_t pos = header.chainPos; pos < bytes_.size() && bytes_[pos] != 0;
         pos += bytes_[pos] + size_t{1})
        codeBytes += bytes_[pos];
    if (pixels + gif::kLzwSlack + codeBytes > room) return false;

    std::unique_ptr<uint8_t[]> block(new (std::nothrow)
                                         uint8_t[codeBytes + pixels + gif::kLzwSlack]);
    if (!block) return false;
    uint8_t* codes = block.get();
    uint8_t* indices = codes + codeBytes;
    size_t joined = 0;
    for (size_t pos = header.chainPos; joined < codeBytes; pos += bytes_[pos] + size_t{1}) {
        const size_t length = std::min<size_t>(bytes_[pos], bytes_.size() - pos - 1);
        std::memcpy(codes + joined, &bytes_[pos + 1], length);
        joined += length;
    }
    const gif::LzwResult decoded =
        gif::DecodeLzw(header.minCodeSize, std::span<const uint8_t>(codes, codeBytes), indices,
                       static_cast<size_t>(pixels), header.tableEntries);
    if (!decoded.valid) return false;
    const size_t width = static_cast<size_t>(header.info.width);
    for (size_t start = 0, row = 0; start < decoded.produced; start += width, ++row)
        sink.Row(static_cast<int32_t>(row), indices + start,
                 static_cast<int32_t>(std::min(width, decoded.produced - start)));
    return true;
}

bool GifAnimation::NextFrame(IImageTarget& screen) {
    if (!rewound_ || nextIndex_ >= frameCount_ || screen.Width() != screenWidth_ ||
        screen.Height() != screenHeight_ || screen.BitsPointer() == nullptr)
        return false;
    Header header;
    size_t pos = cursor_;
    if (!ReadFrameHeader(pos, header)) return false;

    Dispose(screen);
    const Rect rect = Clipped(header.info);
    if (header.info.disposal == GifDisposal::Previous) {
        // Keep what the frame will cover, to put it back once the frame has been shown.
        const size_t rowBytes = static_cast<size_t>(rect.width) * 4;
        const size_t stride = static_cast<size_t>(screenWidth_) * 4;
        previous_.resize(rowBytes * static_cast<size_t>(rect.height));
        for (int32_t y = 0; y < rect.height; ++y)
            std::memcpy(previous_.data() + rowBytes * static_cast<size_t>(y),
                        screen.BitsPointer() +
                            stride * static_cast<size_t>(screenHeight_ - 1 - (rect.top + y)) +
                            static_cast<size_t>(rect.left) * 4,
                        rowBytes);
    }

    frame_ = header.info;
    Compositor compositor(screen, frame_, bytes_.data() + header.tablePos, header.tableEntries);
    if (!(allowWhole_ && DecodeWhole(header, previous_.capacity(), compositor)) &&
        !decoder_
             .Decode(bytes_, header.chainPos, header.minCodeSize, header.tableEntries, frame_.width,
                     frame_.height, &compositor)
             .valid) {
        // Only changed bytes could fail here after Open checked them: end the animation.
        frameCount_ = nextIndex_;
        frameShown_ = false;
        return false;
    }
    shownRect_ = rect;
    frameShown_ = true;
    cursor_ = pos;
    frameIndex_ = nextIndex_++;
    return true;
}

size_t GifAnimation::ScratchBytes() const {
    return previous_.capacity() + decoder_.RowCapacity();
}

} // namespace moirelle

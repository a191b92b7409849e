#include "formats/PngRows.h"

#include "formats/PngUnfilter.h"

#include <algorithm>
#include <cstring>

namespace moirelle::png {

RowDecoder::RowDecoder(const Header& header, const ConvertTables& tables, RowConverter convert,
                       uint8_t* bits)
    : header_(header), tables_(tables), convert_(convert), bits_(bits),
      scan_(static_cast<size_t>(header.width) * 4),
      filterDistance_(PixelSizes(header).filterDistance),
      bitsPerPixel_(PixelSizes(header).bitsPerPixel), interlaced_(header.interlace == 1) {
    stride_ = static_cast<size_t>(RowBytes(header.width, bitsPerPixel_)) + 1;
    buffers_.assign(3 * stride_, 0);
    zeros_ = buffers_.data();
    current_ = zeros_ + stride_;
    above_ = zeros_ + 1;
    StartPass(interlaced_ ? 0 : wholeImagePass);
}

void RowDecoder::StartPass(int passIndex) {
    const int last = interlaced_ ? wholeImagePass - 1 : wholeImagePass;
    for (passIndex_ = passIndex; passIndex_ <= last; ++passIndex_) {
        const Pass& pass = passTable[passIndex_];
        passWidth_ = PassWidth(header_, pass);
        passHeight_ = PassHeight(header_, pass);
        if (passWidth_ == 0 || passHeight_ == 0) continue; // such a pass holds no data
        rowBytes_ = static_cast<size_t>(RowBytes(passWidth_, bitsPerPixel_));
        row_ = 0;
        filled_ = 0;
        return;
    }
    passHeight_ = 0; // every pass is done
}

uint8_t* RowDecoder::SpareBuffer() const {
    uint8_t* const first = zeros_ + stride_;
    uint8_t* const second = first + stride_;
    return above_ >= first && above_ < second ? second : first;
}

bool RowDecoder::ConvertRow(const uint8_t* row) {
    const Pass& pass = passTable[passIndex_];
    const int64_t y = pass.startRow + static_cast<int64_t>(row_) * pass.rowStep;
    uint8_t* dest = bits_ + static_cast<size_t>(header_.height - 1 - y) * scan_ +
                    static_cast<size_t>(pass.startColumn) * 4;
    if (!convert_(row + 1, dest, pass.columnStep, passWidth_, tables_)) return false;
    above_ = row + 1; // the next row's prior
    filled_ = 0;
    if (++row_ == passHeight_) StartPass(passIndex_ + 1);
    return true;
}

bool RowDecoder::EndGatheredRow() {
    const uint8_t* prior = row_ == 0 ? zeros_ + 1 : above_;
    if (!UnfilterRow(current_[0], current_ + 1, prior, rowBytes_, filterDistance_) && interlaced_)
        return false;
    return ConvertRow(current_);
}

bool RowDecoder::Take(std::span<const uint8_t> bytes) {
    return TakeBytes(bytes, nullptr);
}

bool RowDecoder::TakeWritable(std::span<uint8_t> bytes) {
    return TakeBytes(bytes, bytes.data());
}

bool RowDecoder::TakeBytes(std::span<const uint8_t> bytes, uint8_t* writable) {
    while (!failed_ && !bytes.empty() && passHeight_ != 0) {
        const size_t stride = rowBytes_ + 1;
        if (filled_ == 0 && bytes.size() >= stride) {
            // A whole row is converted where it lies, unfiltered there when it may be.
            if (bytes[0] == filterNone) {
                if (!ConvertRow(bytes.data())) failed_ = true;
                bytes = bytes.subspan(stride);
                continue;
            }
            if (writable) {
                uint8_t* const row = writable + (bytes.data() - writable);
                const uint8_t* prior = row_ == 0 ? zeros_ + 1 : above_;
                if ((!UnfilterRow(row[0], row + 1, prior, rowBytes_, filterDistance_) &&
                     interlaced_) ||
                    !ConvertRow(row))
                    failed_ = true;
                bytes = bytes.subspan(stride);
                continue;
            }
        }
        if (filled_ == 0) current_ = SpareBuffer();
        const size_t n = std::min(stride - filled_, bytes.size());
        std::memcpy(current_ + filled_, bytes.data(), n);
        filled_ += n;
        bytes = bytes.subspan(n);
        if (filled_ == stride && !EndGatheredRow()) failed_ = true;
    }
    // The row above may lie in `bytes`, which go away: it is kept, unless a pass (or the
    // image) has just ended and it is no longer needed.
    const uint8_t* const own = buffers_.data();
    if (row_ == 0 || passHeight_ == 0) {
        above_ = zeros_ + 1;
    } else if (above_ < own || above_ >= own + buffers_.size()) {
        uint8_t* const first = zeros_ + stride_;
        uint8_t* const keep = filled_ != 0 && current_ == first ? first + stride_ : first;
        std::memcpy(keep + 1, above_, rowBytes_);
        above_ = keep + 1;
    }
    return !failed_;
}

bool RowDecoder::Finish() {
    if (!failed_ && passHeight_ != 0 && filled_ != 0) {
        std::memset(current_ + filled_, 0, rowBytes_ + 1 - filled_);
        if (!EndGatheredRow()) failed_ = true;
    }
    // Zero rows need no unfiltering (filter None over zero samples).
    while (!failed_ && passHeight_ != 0)
        if (!ConvertRow(zeros_)) failed_ = true;
    return !failed_;
}

} // namespace moirelle::png

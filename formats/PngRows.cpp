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
    const size_t maxStride = static_cast<size_t>(RowBytes(header.width, bitsPerPixel_)) + 1;
    buffers_.assign(3 * maxStride, 0);
    zeros_ = buffers_.data();
    current_ = zeros_ + maxStride;
    prior_ = current_ + maxStride;
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

bool RowDecoder::EndRow(bool zero) {
    uint8_t* row = zero ? zeros_ : current_;
    const uint8_t* prior = row_ == 0 ? zeros_ + 1 : prior_ + 1;
    if (!zero && !UnfilterRow(row[0], row + 1, prior, rowBytes_, filterDistance_) && interlaced_)
        return false;
    const Pass& pass = passTable[passIndex_];
    const int64_t y = pass.startRow + static_cast<int64_t>(row_) * pass.rowStep;
    uint8_t* dest = bits_ + static_cast<size_t>(header_.height - 1 - y) * scan_ +
                    static_cast<size_t>(pass.startColumn) * 4;
    if (!convert_(row + 1, dest, pass.columnStep, passWidth_, tables_)) return false;
    // The row just converted is the next one's prior.
    if (!zero) std::swap(current_, prior_);
    filled_ = 0;
    if (++row_ == passHeight_) StartPass(passIndex_ + 1);
    return true;
}

bool RowDecoder::Take(std::span<const uint8_t> bytes) {
    while (!failed_ && !bytes.empty() && passHeight_ != 0) {
        const size_t n = std::min(rowBytes_ + 1 - filled_, bytes.size());
        std::memcpy(current_ + filled_, bytes.data(), n);
        filled_ += n;
        bytes = bytes.subspan(n);
        if (filled_ == rowBytes_ + 1 && !EndRow(false)) failed_ = true;
    }
    return !failed_;
}

bool RowDecoder::Finish() {
    if (!failed_ && passHeight_ != 0 && filled_ != 0) {
        std::memset(current_ + filled_, 0, rowBytes_ + 1 - filled_);
        if (!EndRow(false)) failed_ = true;
    }
    while (!failed_ && passHeight_ != 0)
        if (!EndRow(true)) failed_ = true;
    return !failed_;
}

} // namespace moirelle::png

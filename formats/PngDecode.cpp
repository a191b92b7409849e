// The decode stage of the PNG reader: inflate, unfilter, de-interlace and convert.
#include "dib/ImageType.h"
#include "formats/Inflater.h"
#include "formats/PngConvert.h"
#include "formats/PngUnfilter.h"
#include "formats/cPNGparser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace moirelle {
namespace {

// DEFLATE data cannot expand more than 1032-fold (a 258-byte match in two bits), so the
// inflate output is never sized beyond what the gathered data could produce, however
// large the header says the image is. Rows past the output decode from zero bytes.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 64 * 1024;

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using ZeroedBuffer = std::unique_ptr<uint8_t[], FreeDeleter>;

// A zero-filled buffer; large ones come straight from the system as zero pages.
ZeroedBuffer AllocateZeroed(size_t size) {
    ZeroedBuffer buffer(static_cast<uint8_t*>(std::calloc(size == 0 ? 1 : size, 1)));
    if (!buffer) throw std::bad_alloc();
    return buffer;
}

} // namespace

bool cPNGparser::InflateImageData(uint8_t* output, size_t outputSize) {
    if (zlib_ && zlib_->IsLoaded()) {
        size_t written = outputSize;
        if (zlib_->Uncompress(output, written, imageData_.data(), imageDataLength_) == 0)
            return true;
        // The built-in inflater expects a clean buffer.
        std::memset(output, 0, outputSize);
    }
    // The built-in inflater reads the whole buffer, its zero-filled tail included.
    return Inflate(output, outputSize, imageData_.data(), imageData_.size());
}

void cPNGparser::PreparePalette() {
    if (!palette_.empty()) return;
    if (header_.colorType != png::colorGrey && header_.colorType != png::colorIndexed) return;
    palette_.assign(256 * 3, 0);
    if (header_.colorType == png::colorGrey) {
        if (header_.bitDepth > 8) return;
        const uint32_t top = (1u << header_.bitDepth) - 1;
        const uint32_t stepSize = 255 / top;
        for (uint32_t i = 1; i <= top; ++i)
            std::memset(&palette_[3 * i], static_cast<int>(i * stepSize), 3);
    } else if (header_.bitDepth == 1) {
        std::memset(&palette_[3], 255, 3);
    }
}

void cPNGparser::DecodeImage(IImageTarget& target) {
    try {
        const uint64_t bound =
            static_cast<uint64_t>(imageData_.size()) * kMaxInflateRatio + kInflateSlack;
        const size_t rawSize = static_cast<size_t>(std::min(expectedRawSize_, bound));
        ZeroedBuffer raw = AllocateZeroed(rawSize);
        const bool inflated = InflateImageData(raw.get(), rawSize);
        std::vector<uint8_t>().swap(imageData_);
        imageDataLength_ = 0;
        if (!inflated) return;

        PreparePalette();
        if (!target.InitializeDIB(header_.width, header_.height)) {
            target.DestroyDIB();
            return;
        }
        if (!DecodeRows(target, raw.get(), rawSize)) {
            target.DestroyDIB();
            return;
        }
        const bool alpha = header_.colorType == png::colorGreyAlpha ||
                           header_.colorType == png::colorTrueAlpha || transparencyKey_ != -1;
        target.SetAlphaFlag(alpha);
        target.SetImageType(imgPNG);
    } catch (const std::bad_alloc&) {
        target.DestroyDIB();
    }
}

bool cPNGparser::DecodeRows(IImageTarget& target, uint8_t* raw, size_t rawSize) {
    const png::ConvertTables tables =
        png::BuildConvertTables(header_, palette_, transparency_, transparencyKey_);
    const png::RowConverter convert = png::SelectConverter(header_, tables);
    if (!convert) return false;
    const png::PixelSize sizes = png::PixelSizes(header_);
    uint8_t* const bits = target.BitsPointer();
    if (!bits || target.Width() != header_.width || target.Height() != header_.height) return false;
    const size_t scan = static_cast<size_t>(header_.width) * 4;

    // Zero bytes stand for the rows past the inflated data and for the row above the
    // first row of a pass; a row cut by the end of the data is completed with zeros.
    const size_t maxStride = png::RowBytes(header_.width, sizes.bitsPerPixel) + 1;
    ZeroedBuffer zeros = AllocateZeroed(maxStride);
    ZeroedBuffer partial = AllocateZeroed(maxStride);

    const bool interlaced = header_.interlace == 1;
    const int first = interlaced ? 0 : png::wholeImagePass;
    const int last = interlaced ? png::wholeImagePass - 1 : png::wholeImagePass;
    size_t offset = 0;
    for (int passIndex = first; passIndex <= last; ++passIndex) {
        const png::Pass& pass = png::passTable[passIndex];
        const int32_t passWidth = png::PassWidth(header_, pass);
        const int32_t passHeight = png::PassHeight(header_, pass);
        if (passWidth == 0 || passHeight == 0) continue; // such a pass holds no data
        const size_t rowBytes = png::RowBytes(passWidth, sizes.bitsPerPixel);
        const size_t stride = rowBytes + 1;
        const uint8_t* prior = zeros.get() + 1;
        for (int32_t i = 0; i < passHeight; ++i, offset += stride) {
            uint8_t* row;
            if (offset < rawSize && rawSize - offset >= stride) {
                row = raw + offset;
            } else if (offset < rawSize) {
                std::memcpy(partial.get(), raw + offset, rawSize - offset);
                std::memset(partial.get() + (rawSize - offset), 0, stride - (rawSize - offset));
                row = partial.get();
            } else {
                row = zeros.get(); // filter None over zero samples: nothing to undo
            }
            if (row != zeros.get() &&
                !png::UnfilterRow(row[0], row + 1, prior, rowBytes, sizes.filterDistance)) {
                // An unknown filter: an interlaced image fails, a sequential one keeps the
                // row as it is.
                if (interlaced) return false;
            }
            const int64_t y = pass.startRow + static_cast<int64_t>(i) * pass.rowStep;
            uint8_t* dest = bits + static_cast<size_t>(header_.height - 1 - y) * scan +
                            static_cast<size_t>(pass.startColumn) * 4;
            if (!convert(row + 1, dest, pass.columnStep, passWidth, tables)) return false;
            prior = row + 1;
        }
    }
    return true;
}

} // namespace moirelle

// The decode stage of the PNG reader: inflate, unfilter, de-interlace and convert, a few
// rows at a time into a new image that replaces the target's only when all went well.
#include "dib/ImageType.h"
#include "formats/Adler32.h"
#include "formats/Inflater.h"
#include "formats/PngConvert.h"
#include "formats/PngRows.h"
#include "formats/cPNGparser.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace moirelle {
namespace {

// DEFLATE data cannot expand more than 1032-fold (a 258-byte match in two bits), so the
// inflate output is never allowed beyond what a buffer of the gathered data could
// produce, however large the header says the image is. Rows past the output decode from
// zero bytes.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 64 * 1024;

// The rows of one decode attempt, into `image`, made when the first data arrive (so its
// pixels are still in the cache when the first rows reach them; a second attempt makes
// it again). Once a row has failed, the rest of the data is only inflated, to learn
// whether the inflate itself succeeds.
class RowSink {
  public:
    RowSink(const png::Header& header, const png::ConvertTables& tables, png::RowConverter convert,
            IImageTarget* image)
        : header_(header), tables_(tables), convert_(convert), image_(image) {}
    void Take(std::span<const uint8_t> bytes) {
        if (!started_) Start();
        if (rows_ && !rows_->Take(bytes)) rows_.reset();
    }
    void TakeWritable(std::span<uint8_t> bytes) {
        if (!started_) Start();
        if (rows_ && !rows_->TakeWritable(bytes)) rows_.reset();
    }
    // True when every row converted.
    bool Finish() {
        if (!started_) Start();
        return rows_ && rows_->Finish();
    }

  private:
    void Start() {
        started_ = true;
        if (!image_ || !convert_ || !image_->InitializeDIB(header_.width, header_.height) ||
            !image_->BitsPointer() || image_->Width() != header_.width ||
            image_->Height() != header_.height)
            return;
        rows_.emplace(header_, tables_, convert_, image_->BitsPointer());
    }

    const png::Header& header_;
    const png::ConvertTables& tables_;
    const png::RowConverter convert_;
    IImageTarget* const image_;
    bool started_ = false;
    std::optional<png::RowDecoder> rows_;
};

} // namespace

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
        if (imagePieces_.empty()) imagePieces_.push_back(imageData_);
        const uint64_t bound = imageDataCapacity_ * kMaxInflateRatio + kInflateSlack;
        const size_t rawSize = static_cast<size_t>(std::min(expectedRawSize_, bound));

        // The new image; without it (too large, no memory) the data are still inflated,
        // since a failed inflate leaves the target alone and a good one destroys it.
        PreparePalette();
        const png::ConvertTables tables =
            png::BuildConvertTables(header_, palette_, transparency_, transparencyKey_);
        const png::RowConverter convert = png::SelectConverter(header_, tables);
        const std::unique_ptr<IImageTarget> image = target.NewSameKind();

        // zlib first when it is there; when it fails, the built-in inflater starts again
        // from the first byte (and reads the zero bytes after the data too).
        bool inflated = false;
        std::optional<RowSink> rows;
        if (zlib_ && zlib_->IsLoaded()) {
            rows.emplace(header_, tables, convert, image.get());
            inflated = zlib_->InflatePieces(imagePieces_, rawSize, [&](std::span<uint8_t> bytes) {
                rows->TakeWritable(bytes);
            }) == 0;
        }
        if (!inflated) {
            rows.emplace(header_, tables, convert, image.get());
            InflateStream stream(imagePieces_, imageDataCapacity_ - imageDataLength_, rawSize);
            InflateStream::Status status = InflateStream::Status::More;
            uint32_t adler = 1;
            while (status == InflateStream::Status::More) {
                std::span<const uint8_t> bytes;
                status = stream.Next(bytes);
                if (checked_) adler = Adler32(adler, bytes.data(), bytes.size());
                rows->Take(bytes);
            }
            inflated = status == InflateStream::Status::Done &&
                       (!checked_ || stream.CompareTrailer(adler) == InflateChecksum::Matches);
        }
        std::vector<std::span<const uint8_t>>().swap(imagePieces_);
        std::vector<uint8_t>().swap(imageData_);
        if (!inflated) return;

        if (!rows->Finish() || !target.TakePixels(*image)) {
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

} // namespace moirelle

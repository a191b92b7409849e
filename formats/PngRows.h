#pragma once
// The rows of a PNG image as the inflated data arrive: each row is gathered, unfiltered
// against the row above it and converted into the image, pass by pass for an interlaced
// image. Only two rows are held.

#include "formats/PngConvert.h"
#include "formats/PngFormat.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace moirelle::png {

class RowDecoder {
  public:
    // `bits`: the image's pixels (header.width x header.height, bottom-up BGRA).
    RowDecoder(const Header& header, const ConvertTables& tables, RowConverter convert,
               uint8_t* bits);

    // Takes the next inflated bytes; bytes beyond the last row are ignored. False once a
    // row has failed: an unknown filter in an interlaced image (a sequential one keeps
    // such a row as it is) or an index beyond the palette.
    bool Take(std::span<const uint8_t> bytes);
    // As Take, for bytes that may be overwritten: rows are unfiltered where they lie.
    bool TakeWritable(std::span<uint8_t> bytes);
    // The data have ended: a row cut by the end is completed with zeros and the rows
    // after it decode from zero bytes. False when a row failed.
    bool Finish();

  private:
    // `writable`: the start of `bytes` when they may be overwritten, else null.
    bool TakeBytes(std::span<const uint8_t> bytes, uint8_t* writable);
    void StartPass(int passIndex);
    // Converts `row` (filter byte first, unfiltered) and moves on to the next row.
    bool ConvertRow(const uint8_t* row);
    // Unfilters the gathered row, then converts it.
    bool EndGatheredRow();
    // The row buffer that does not hold the row above.
    uint8_t* SpareBuffer() const;

    const Header header_;
    const ConvertTables& tables_;
    const RowConverter convert_;
    uint8_t* const bits_;
    const size_t scan_;
    const int32_t filterDistance_;
    const int32_t bitsPerPixel_;
    const bool interlaced_;
    size_t stride_ = 0; // of the widest pass, filter byte included
    int passIndex_ = 0;
    int32_t passWidth_ = 0;
    int32_t passHeight_ = 0;
    int32_t row_ = 0;     // within the pass
    size_t rowBytes_ = 0; // of the pass, filter byte not counted
    size_t filled_ = 0;   // bytes of the current row gathered
    bool failed_ = false;
    // Three rows of stride_ bytes: zeros, then two that take turns gathering a row and
    // holding the row above.
    std::vector<uint8_t> buffers_;
    uint8_t* zeros_ = nullptr;
    uint8_t* current_ = nullptr;     // the row being gathered
    const uint8_t* above_ = nullptr; // the row above's pixel bytes, unfiltered
};

} // namespace moirelle::png

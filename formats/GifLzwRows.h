#pragma once
// The LZW decoder of one GIF image that hands out its palette indices a stored row at a
// time, read straight from the image's data sub-blocks where they lie. Unlike DecodeLzw it
// never holds the whole image: its memory is its code table and one row plus the longest
// string, whatever the image's size, so an image far larger than the screen it is drawn
// on costs no more than a small one.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace moirelle::gif {

// Receives the rows of an image in the order the image stores them. `count` is the row's
// width, or fewer for the last row when the codes end inside it.
class IRowSink {
  public:
    virtual ~IRowSink() = default;
    virtual void Row(int32_t storedRow, const uint8_t* indices, int32_t count) = 0;
};

struct LzwRowsResult {
    uint64_t produced = 0; // indices decoded, at most width x height
    bool valid = false;    // false: a code outside the table, a literal of `colours` or
                           // more, or a minimum code size outside 1..11
};

class LzwRowDecoder {
  public:
    // Decodes the sub-block chain that starts with the length byte at `chainPos` of
    // `bytes`. Stops at the end-of-information code, at the chain's end (or the end of the
    // bytes) or when width x height indices are decoded (surplus codes are not read).
    // Without a sink nothing is written: the codes are only checked, table lengths and
    // all, which is what a check of a whole file needs.
    LzwRowsResult Decode(std::span<const uint8_t> bytes, size_t chainPos, int minCodeSize,
                         uint32_t colours, int32_t width, int32_t height, IRowSink* sink);
    // Bytes the row buffer holds (it is kept for the next image).
    size_t RowCapacity() const { return row_.capacity(); }

  private:
    static constexpr int kMaxCodeBits = 12;
    static constexpr uint32_t kTableSize = 1u << kMaxCodeBits;

    // A code's string: its prefix code, last and first index, and its length (0 for the
    // clear and end codes and for literals beyond the colour table).
    std::array<uint16_t, kTableSize> prefix_{};
    std::array<uint16_t, kTableSize> length_{};
    std::array<uint8_t, kTableSize> last_{};
    std::array<uint8_t, kTableSize> first_{};
    // One row, and room for the longest string that starts before its end.
    std::vector<uint8_t> row_;
};

} // namespace moirelle::gif

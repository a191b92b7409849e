#pragma once
// Removing the PNG row filters, in place.

#include <cstddef>
#include <cstdint>

namespace moirelle::png {

inline constexpr uint8_t filterNone = 0;
inline constexpr uint8_t filterSub = 1;
inline constexpr uint8_t filterUp = 2;
inline constexpr uint8_t filterAverage = 3;
inline constexpr uint8_t filterPaeth = 4;

// The predictor of the Paeth filter; ties go to left, then above, then upper-left.
constexpr uint8_t PaethPredictor(uint8_t left, uint8_t above, uint8_t upperLeft) {
    const int p = left + above - upperLeft;
    const int pa = p > left ? p - left : left - p;
    const int pb = p > above ? p - above : above - p;
    const int pc = p > upperLeft ? p - upperLeft : upperLeft - p;
    if (pa <= pb && pa <= pc) return left;
    return pb <= pc ? above : upperLeft;
}

// Undoes filter `type` on the `length` pixel bytes of `row`. `prior` is the row above,
// already unfiltered (all zero for the first row of an image or pass); `distance` is the
// number of bytes per complete pixel (1 to 8). False, with the row untouched, for an
// unknown filter type.
bool UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prior, size_t length, int32_t distance);

void UnfilterSub(uint8_t* row, size_t length, int32_t distance);
void UnfilterUp(uint8_t* row, const uint8_t* prior, size_t length);
void UnfilterAverage(uint8_t* row, const uint8_t* prior, size_t length, int32_t distance);
void UnfilterPaeth(uint8_t* row, const uint8_t* prior, size_t length, int32_t distance);

} // namespace moirelle::png

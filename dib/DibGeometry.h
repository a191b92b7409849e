#pragma once
// Size rules shared by every image implementation.

#include <cstdint>
#include <limits>

namespace moirelle {

// Checks the arguments of InitializeDIB and normalises the height: a negative width or a
// zero height is refused, a negative height stands for its absolute value, and the
// byte size Width * Height * 4 must fit a signed 32-bit value. On success stores the
// positive height and the byte size.
inline bool NormaliseDibSize(int32_t width, int32_t height, int32_t& outHeight, int32_t& outBytes) {
    if (width < 0 || height == 0) return false;
    const int64_t h = height < 0 ? -static_cast<int64_t>(height) : height;
    if (h > std::numeric_limits<int32_t>::max()) return false;
    const int64_t pixels = static_cast<int64_t>(width) * h; // below 2^62: no overflow
    if (pixels > std::numeric_limits<int32_t>::max() / 4) return false;
    const int64_t bytes = pixels * 4;
    outHeight = static_cast<int32_t>(h);
    outBytes = static_cast<int32_t>(bytes);
    return true;
}

} // namespace moirelle

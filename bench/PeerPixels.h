#pragma once
// Brings the peers' decoded pixels to what our readers produce: premultiplied BGRA with
// bottom-up rows, colour × alpha / 255 truncated (alpha 0 clears the colour).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace moirelle::bench {

// Straight RGBA rows, top-down, into premultiplied bottom-up BGRA (`dst` holds w × h × 4).
void RgbaToPremultipliedBgra(const uint8_t* rgba, int width, int height, uint8_t* dst);

// Straight BGRA pixels premultiplied in place.
void PremultiplyBgra(uint8_t* bgra, size_t pixels);

// stb_image's decode of `data` (any format it reads) as premultiplied bottom-up BGRA, in a
// new buffer as every decode of ours gets; false when it refuses the data.
bool DecodeStbImage(const std::vector<uint8_t>& data, std::vector<uint8_t>& out);

// Prints a line when `peer` differs from `ours` (same size expected): how many bytes.
void ReportDifference(const std::string& what, const std::string& peer, const uint8_t* ours,
                      const std::vector<uint8_t>& theirs, size_t size);

} // namespace moirelle::bench

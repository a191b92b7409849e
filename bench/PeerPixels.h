#pragma once
// Brings the peers' decoded pixels to what our readers produce: premultiplied BGRA with
// bottom-up rows, colour × alpha / 255 truncated (alpha 0 clears the colour), in the
// buffer the peer decoded into (no second buffer), eight pixels a step on AVX2 processors.
// And the checks of every peer's output against ours, run before any timing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace moirelle::bench {

// Pixels a peer decoded, in the buffer it decoded them into: one we allocated for it
// (zero-filled, as every decode of ours gets a new zero-filled image) or its own.
class PeerImage {
  public:
    void AllocateZeroed(size_t size);
    // Takes a buffer the peer allocated, freed with `release`.
    void Adopt(uint8_t* bits, size_t size, void (*release)(void*));
    uint8_t* data() const { return bits_.get(); }
    size_t size() const { return size_; }

  private:
    std::unique_ptr<uint8_t, void (*)(void*)> bits_{nullptr, std::free};
    size_t size_ = 0;
};

// Straight RGBA rows, top-down, turned in place into premultiplied bottom-up BGRA.
void RgbaToPremultipliedBgraInPlace(uint8_t* rgba, int width, int height);

// Straight BGRA pixels premultiplied in place.
void PremultiplyBgra(uint8_t* bgra, size_t pixels);

// stb_image's decode of `data` (any format it reads) as premultiplied bottom-up BGRA, in
// its own buffer; false when it refuses the data.
bool DecodeStbImage(const std::vector<uint8_t>& data, PeerImage& out);

// Ends the run with a message unless `theirs` holds exactly the `size` bytes at `ours`.
void RequireSame(const std::string& what, const std::string& peer, const uint8_t* ours,
                 const uint8_t* theirs, size_t theirSize, size_t size);

// Ends the run with a message unless every byte of `theirs` is within `bound` of the
// same byte of `ours` (both `size` bytes); prints the largest difference seen.
void RequireWithin(const std::string& what, const std::string& peer, const uint8_t* ours,
                   const uint8_t* theirs, size_t size, int bound);

} // namespace moirelle::bench

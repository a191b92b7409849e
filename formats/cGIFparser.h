#pragma once
// Reader of GIF data (GIF87a and GIF89a): loads the first image with its transparency into
// a 32-bpp premultiplied image. It walks the blocks up to the first image, rebuilds that
// image as a GIF of its own (placed at 0, 0, the screen sized to it), decodes that and
// colours the pixels from the source colour table, so the transparent index is exact.
// Animation, disposal, delays, comments and application data are not used.

#include "dib/ImageTarget.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace moirelle {

class cGIFparser {
  public:
    // True when the data was taken as a GIF and handled: the image then holds the first
    // frame, or has been destroyed when decoding it failed for lack of memory. False when
    // the data is not a GIF, its structure is unusable or its image cannot be decoded
    // (the image is then untouched). streamLength 0 means everything from streamOffset.
    bool LoadStream(std::span<const uint8_t> inStream, IImageTarget& cHost, size_t streamOffset,
                    size_t streamLength);

    // The single-frame GIF rebuilt from the first image, as the last LoadStream made it.
    struct SingleFrame {
        std::vector<uint8_t> bytes;
        int32_t transparentIndex = -1; // -1: no transparency
        size_t tablePosition = 0;      // the applying colour table in the source data
        uint32_t tableEntries = 0;
    };

    // Walks the blocks and rebuilds the first image; false for data that is not a usable
    // GIF. With transparency the rebuilt colour table is replaced by grey steps
    // (entry i = i, i, i) so that every index keeps a colour of its own.
    static bool BuildSingleFrame(std::span<const uint8_t> stream, SingleFrame& frame);

  private:
    // Decodes the rebuilt GIF into the image. False when it cannot be decoded.
    static bool RenderFrame(const SingleFrame& frame, std::span<const uint8_t> stream,
                            IImageTarget& cHost);
};

} // namespace moirelle

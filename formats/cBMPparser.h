#pragma once
// Reader of bitmap data. Uncompressed 32-bit BMP files are read directly so that their
// alpha channel survives; every other bitmap (1 to 24 bits, RLE, bit fields) and every
// other format the system's picture loader opens (JPEG, GIF, icons, metafiles) goes to a
// picture loader, which on Windows draws a picture object into the image
// (UseSystemPictureLoader). Without one such data are refused.

#include "dib/ImageTarget.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#ifdef _WIN32
struct IPicture;
#endif

namespace moirelle {

class cBMPparser {
  public:
    // The image occupies streamLength bytes of inStream from streamOffset (0, or a length
    // reaching past the end: everything from streamOffset). True when the image was
    // filled.
    bool LoadStream(std::span<const uint8_t> inStream, IImageTarget& cHost, size_t streamOffset,
                    size_t streamLength);

    enum class DirectResult {
        Loaded,    // a 32-bit uncompressed BMP, read into the image
        Refused,   // a BMP with a width below 1 or a height of 0: nothing else is tried
        NotDirect, // anything else: for the picture loader
    };
    // Takes the data the direct path leaves (the whole slice and the BMP's bit count, 0
    // when not a BMP) and fills the empty image, or answers false.
    using PictureLoader =
        std::function<bool(std::span<const uint8_t> stream, IImageTarget& cHost, int32_t bitCount)>;
    void SetPictureLoader(PictureLoader loader) { pictureLoader_ = std::move(loader); }

    // The direct path alone. bitCount receives the BMP's bit count (0 when not a BMP).
    static DirectResult LoadDirect(std::span<const uint8_t> stream, IImageTarget& cHost,
                                   int32_t& bitCount);

#ifdef _WIN32
    // Windows (formats/win/cBMPparserWin.cpp): the system's picture loader takes the data
    // the direct path leaves.
    void UseSystemPictureLoader();
    // Draws a picture object (or, without one, a bitmap handle) into the image and sets
    // its alpha and type. bitCount: the source's bit count when known, else 0.
    // (formats/win/cBMPparserWin.cpp)
    bool ConvertstdPicTo32bpp(IPicture* stdPic, void* Handle, IImageTarget& cHost,
                              int32_t bitCount);
    // HiMetric (0.01 mm) to screen pixels on one axis, rounded half to even.
    static int32_t HiMetricToPixels(int32_t value, bool horizontal);
#endif

  private:
    PictureLoader pictureLoader_;
};

} // namespace moirelle

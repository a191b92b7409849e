#pragma once
// Reader of icon and cursor data (a directory of images, each a bitmap with an AND mask
// or a PNG stream): picks the image that best matches a wanted size and colour depth and
// puts it into a 32-bpp premultiplied image. After a load the directory stays in the
// object and the properties describe every entry (1-based; a bad index reads 0).

#include "dib/ImageTarget.h"
#include "formats/cPNGparser.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace moirelle {

class c32bppDIB;

class cICOparser {
  public:
    // True when the data hold a valid icon or cursor directory. With a target, the best
    // entry is loaded into it as well (desired sizes below 1 mean 32). The data occupy
    // streamLength bytes from streamOffset (0: everything from streamOffset). The bytes
    // are only read.
    bool LoadStream(std::span<const uint8_t> inStream, int32_t desiredWidth, int32_t desiredHeight,
                    IImageTarget* cHost, size_t streamOffset, size_t streamLength,
                    int32_t icoBitDepth, uintptr_t GlobalToken);
    // A loader that PNG entries are offered to before the PNG reader's own decoder (the
    // loading dispatch sets the GDI+ bridge here when it is enabled); none by default.
    void SetPngLoader(cPNGparser::ExternalLoader loader) { pngLoader_ = std::move(loader); }

#ifdef _WIN32
    // Converts an icon or cursor handle (HICON) into the image; the object then describes
    // that one entry. Windows only (formats/win/cICOparserWin.cpp).
    bool ConvertstdPicTo32bpp(void* Handle, IImageTarget& cHost);
#endif

    int32_t IconCount() const {
        return static_cast<int32_t>(entries_.size());
    }
    int32_t Width(int32_t Index) const;
    int32_t Height(int32_t Index) const;
    bool IsIconPNG(int32_t Index) const;
    int32_t bitDepth(int32_t Index) const;
    int32_t ColorCount(int32_t Index) const;
    int32_t ColorByteOffset(int32_t Index) const;

    // The entry the directory's scores choose for a wanted size and depth, or 0.
    int32_t SelectBestIcon(int32_t desiredWidth, int32_t desiredHeight,
                           int32_t desiredBitDepth) const;

  private:
    static constexpr uint16_t kMarkerBitmap = 1;
    static constexpr uint16_t kMarkerPNG = 255;

    struct Entry {
        uint8_t width = 0; // 0 stands for 256
        uint8_t height = 0;
        uint8_t colorCount = 0;
        uint8_t reserved = 0;
        uint16_t planes = 0; // reused as the marker: kMarkerBitmap or kMarkerPNG
        uint16_t bitCount = 0;
        uint32_t bytesInImage = 0;
        uint32_t imageOffset = 0;
        uint32_t headerSize = 0; // first 32-bit value of the image, kept for the properties
    };

    const Entry* At(int32_t Index) const;
    int64_t XorSize(const Entry& e) const;
    int64_t AndSize(const Entry& e) const;
    int64_t PaletteEntries(const Entry& e) const;

    bool InspectPNGEntry(int32_t i);
    bool LoadPNGEntry(int32_t i, IImageTarget& cHost, uintptr_t GlobalToken);
    bool LoadBitmapEntry(int32_t i, IImageTarget& cHost);
    // Sets alpha from the entry's alpha bytes (32-bit) or its AND mask (other depths).
    void ApplyIconMask(int32_t i, IImageTarget& cHost);
    // Masks the image with 1-bit rows (bit set: transparent); true when any was set.
    static bool ApplyAndMask(IImageTarget& cHost, const uint8_t* mask, size_t maskBytes);

    cPNGparser::ExternalLoader pngLoader_;
    std::span<const uint8_t> data_; // during a load only
    std::vector<Entry> entries_;
    bool isIcon_ = true;
    std::vector<uint8_t> handleMask_; // the AND mask of a converted handle
};

} // namespace moirelle

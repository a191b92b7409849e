#pragma once
// The PNG reader: turns PNG data, from memory or from a file read chunk by chunk, into a
// premultiplied, bottom-up BGRA image. It walks the chunks, checks the header, gathers
// the image data, inflates it (through zlib when present, else the built-in inflater),
// removes the row filters, undoes Adam7 interlacing and converts every colour type and
// bit depth. Ancillary information (gamma, background, text, ...) is not honoured.
//
// Results: both entry points answer true when the data carry the PNG signature, whatever
// happens afterwards; whether an image resulted is seen on the target (which holds it on
// success). A fault in the chunk walk (truncation, bad header, a CRC mismatch in IHDR,
// PLTE or IDAT, no image data, no memory) or a failed inflate leaves the target as it
// was; a fault after the target was initialised (an unknown filter in an interlaced
// image, a palette index beyond the palette) destroys it.
//
// By default the chunk CRCs are checked only through zlib, when it is there, and the
// image data's Adler-32 only by zlib's inflate. The checked mode (SetChecked) checks both
// always, with the reader's own CRC-32 and Adler-32: a chunk whose stored CRC is wrong
// (zero included) counts as a CRC mismatch, and image data whose Adler-32 is wrong or
// missing as a failed inflate.

#include "dib/ImageTarget.h"
#include "formats/ByteSource.h"
#include "formats/PngFormat.h"
#include "formats/ZlibAccess.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace moirelle {

class cPNGparser {
  public:
    // What an outside loader is offered: the bytes (stream path) or the file name (file
    // path; the bytes are then empty).
    struct ExternalSource {
        std::span<const uint8_t> bytes;
        std::string fileName;
    };
    // A loader tried before the own decoder, e.g. the system's imaging library. It fills
    // the target and answers true, or answers false and leaves the target alone.
    using ExternalLoader = std::function<bool(const ExternalSource& source, IImageTarget& target,
                                              uintptr_t GlobalToken)>;

    // None is set by default: the own decoder is complete without one. The Windows
    // loading dispatch sets the GDI+ bridge here when that bridge is enabled.
    void SetExternalLoader(ExternalLoader loader) { externalLoader_ = std::move(loader); }

    // Turns the checked mode on or off (off by default).
    void SetChecked(bool checked) { checked_ = checked; }
    bool Checked() const { return checked_; }

    // The PNG occupies streamLength bytes of Stream from streamOffset (a slice reaching
    // past the end is cut at the end). The bytes are read in place.
    bool LoadStream(std::span<const uint8_t> Stream, IImageTarget& dibClass, size_t streamOffset,
                    size_t streamLength, uintptr_t GlobalToken);
    // The PNG is the whole of `file`, read one chunk at a time. FileName is only handed
    // to the outside loader.
    bool LoadFile(IByteSource& file, const std::string& FileName, IImageTarget& dibClass,
                  uintptr_t GlobalToken);

    static bool IsPNGSignature(std::span<const uint8_t> bytes);

    // A reader of chunks at given positions, over memory or a file (cPNGparser.cpp).
    class ChunkSource;

  private:
    void ResetState();
    bool OfferExternal(const ExternalSource& source, IImageTarget& target, uintptr_t token);
    // The walk; true when it ended cleanly at IEND with a header and image data.
    bool ParseChunks(ChunkSource& source, uint64_t dataSize);
    bool CheckCRC(std::span<const uint8_t> typeAndData, uint32_t storedCrc) const;
    bool ReadIHDR(std::span<const uint8_t> data, bool crcOk);
    bool ReadPLTE(std::span<const uint8_t> data, bool crcOk);
    void ReadTRNS(std::span<const uint8_t> data, bool crcOk);
    // `lasting`: the data stay where they are until the decode is over.
    bool AppendImageData(std::span<const uint8_t> data, uint64_t dataSize, bool lasting);

    // The decode stage (PngDecode.cpp).
    void DecodeImage(IImageTarget& target);
    void PreparePalette();

    ExternalLoader externalLoader_;
    bool checked_ = false;

    png::Header header_;
    bool haveHeader_ = false;
    std::vector<uint8_t> palette_;      // 3 bytes per entry
    std::vector<uint8_t> transparency_; // raw tRNS data (indexed: padded to 256 entries)
    int32_t transparencyKey_ = -1;
    uint64_t expectedRawSize_ = 0;
    std::optional<ZlibLibrary> zlib_;
    // The IDAT data: where they lie (memory path), or gathered (file path).
    std::vector<std::span<const uint8_t>> imagePieces_;
    std::vector<uint8_t> imageData_;
    size_t imageDataLength_ = 0; // bytes of IDAT data
    // The size of a buffer holding the data, grown by the rule in AppendImageData; the
    // built-in inflater reads zero bytes up to it after the data.
    uint64_t imageDataCapacity_ = 0;
};

} // namespace moirelle

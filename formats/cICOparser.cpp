#include "formats/cICOparser.h"

#include "dib/ImageType.h"
#include "formats/LittleEndian.h"
#include "formats/cPNGparser.h"
#include "formats/modParsers.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace moirelle {
namespace {

constexpr size_t kDirectoryHeader = 6;
constexpr size_t kDirectoryEntry = 16;
constexpr uint32_t kBitmapHeaderSize = 40;

// True when [offset, offset + length) lies within a buffer of `size` bytes.
inline bool Fits(int64_t offset, int64_t length, size_t size) {
    return offset >= 0 && length >= 0 && offset <= static_cast<int64_t>(size) &&
           length <= static_cast<int64_t>(size) - offset;
}

} // namespace

// --- Directory and properties ---------------------------------------------------------

const cICOparser::Entry* cICOparser::At(int32_t Index) const {
    if (Index < 1 || Index > IconCount()) return nullptr;
    return &entries_[static_cast<size_t>(Index) - 1];
}

int32_t cICOparser::Width(int32_t Index) const {
    const Entry* e = At(Index);
    return e ? (e->width == 0 ? 256 : e->width) : 0;
}

int32_t cICOparser::Height(int32_t Index) const {
    const Entry* e = At(Index);
    return e ? (e->height == 0 ? 256 : e->height) : 0;
}

bool cICOparser::IsIconPNG(int32_t Index) const {
    const Entry* e = At(Index);
    return e && e->planes == kMarkerPNG;
}

int32_t cICOparser::bitDepth(int32_t Index) const {
    const Entry* e = At(Index);
    return e ? e->bitCount : 0;
}

// Sizes use the entry's real dimensions (a width byte of 0 is 256 pixels).
int64_t cICOparser::XorSize(const Entry& e) const {
    const int64_t w = e.width == 0 ? 256 : e.width;
    const int64_t h = e.height == 0 ? 256 : e.height;
    return modParsers::ScanWidth(e.bitCount, w) * h;
}

int64_t cICOparser::AndSize(const Entry& e) const {
    const int64_t w = e.width == 0 ? 256 : e.width;
    const int64_t h = e.height == 0 ? 256 : e.height;
    return modParsers::ScanWidth(1, w) * h;
}

int32_t cICOparser::ColorCount(int32_t Index) const {
    const Entry* e = At(Index);
    if (!e || e->bitCount > 8) return 0;
    const int64_t count =
        (int64_t{e->bytesInImage} - XorSize(*e) - AndSize(*e) - int64_t{e->headerSize}) / 4;
    return static_cast<int32_t>(count);
}

int32_t cICOparser::ColorByteOffset(int32_t Index) const {
    const Entry* e = At(Index);
    if (!e) return 0;
    int64_t offset = int64_t{e->imageOffset} + int64_t{e->headerSize};
    if (e->bitCount < 16) offset += (int64_t{1} << e->bitCount) * 4;
    return static_cast<int32_t>(offset);
}

// Colour table entries of a palette image: the count the entry's size leaves room for
// when that is a shorter table, else the full 2^bits.
int64_t cICOparser::PaletteEntries(const Entry& e) const {
    if (e.bitCount > 8) return 0;
    const int64_t full = int64_t{1} << e.bitCount;
    const int64_t counted =
        (int64_t{e.bytesInImage} - XorSize(e) - AndSize(e) - int64_t{e.headerSize}) / 4;
    return counted >= 1 && counted < full ? counted : full;
}

// --- Loading --------------------------------------------------------------------------

bool cICOparser::LoadStream(std::span<const uint8_t> inStream, int32_t desiredWidth,
                            int32_t desiredHeight, IImageTarget* cHost, size_t streamOffset,
                            size_t streamLength, int32_t icoBitDepth, uintptr_t GlobalToken) {
    entries_.clear();
    handleMask_.clear();
    if (streamOffset > inStream.size()) return false;
    if (streamLength == 0 || streamLength > inStream.size() - streamOffset)
        streamLength = inStream.size() - streamOffset;
    data_ = inStream.subspan(streamOffset, streamLength);
    struct Forget {
        std::span<const uint8_t>& data;
        ~Forget() { data = {}; }
    } forget{data_};

    if (data_.size() <= 5) return false;
    const uint8_t* p = data_.data();
    const uint16_t reserved = Read16LE(p);
    const uint16_t type = Read16LE(p + 2);
    const uint16_t count = Read16LE(p + 4);
    if (count < 1 || reserved != 0 || (type != 1 && type != 2)) return false;
    const int64_t directoryEnd = kDirectoryHeader + int64_t{kDirectoryEntry} * count;
    if (directoryEnd > static_cast<int64_t>(data_.size())) return false;
    int64_t total = directoryEnd;
    for (uint16_t i = 0; i < count; ++i)
        total += Read32LE(p + kDirectoryHeader + kDirectoryEntry * i + 8);
    if (total > static_cast<int64_t>(data_.size())) return false;
    isIcon_ = type == 1;

    entries_.resize(count);
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* d = p + kDirectoryHeader + kDirectoryEntry * i;
        Entry& e = entries_[i];
        e.width = d[0];
        e.height = d[1];
        e.colorCount = d[2];
        e.reserved = d[3];
        e.bitCount = Read16LE(d + 6);
        e.bytesInImage = Read32LE(d + 8);
        e.imageOffset = Read32LE(d + 12);
    }

    bool valid = true;
    for (int32_t i = 1; i <= count; ++i) {
        Entry& e = entries_[static_cast<size_t>(i) - 1];
        e.planes = kMarkerBitmap;
        if (!Fits(e.imageOffset, 16, data_.size())) {
            valid = false; // the image header lies outside the data
            continue;
        }
        e.headerSize = Read32LE(p + e.imageOffset);
        const uint16_t headerBits = Read16LE(p + e.imageOffset + 14);
        if (headerBits == 0x5244) {
            valid = InspectPNGEntry(i);
        } else if (headerBits != 0) {
            e.bitCount = headerBits;
        } else if (e.bitCount == 0) {
            valid = false;
        }
    }
    if (!valid) return false;
    if (!cHost) return true;

    if (desiredWidth < 1) desiredWidth = 32;
    if (desiredHeight < 1) desiredHeight = 32;
    const int32_t best = SelectBestIcon(desiredWidth, desiredHeight, icoBitDepth);
    if (best == 0) return true;
    try {
        if (IsIconPNG(best)) return LoadPNGEntry(best, *cHost, GlobalToken);
        if (!LoadBitmapEntry(best, *cHost)) cHost->DestroyDIB();
    } catch (const std::bad_alloc&) {
        cHost->DestroyDIB();
    }
    return true;
}

bool cICOparser::InspectPNGEntry(int32_t i) {
    Entry& e = entries_[static_cast<size_t>(i) - 1];
    e.planes = kMarkerPNG;
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    // Signature, chunk length and type, width, height, bit depth, colour type.
    if (!Fits(e.imageOffset, 26, data_.size())) {
        e.bitCount = 0;
        return false;
    }
    const uint8_t* png = data_.data() + e.imageOffset;
    if (std::memcmp(png, kSignature, 8) != 0 || std::memcmp(png + 12, "IHDR", 4) != 0) {
        e.bitCount = 0;
        return false;
    }
    const uint32_t width = Read32BE(png + 16);
    const uint32_t height = Read32BE(png + 20);
    auto storeSize = [&](uint32_t value, uint8_t& field) {
        if (value == 256)
            field = 0;
        else if (value < 1 || value > 255)
            e.bitCount = 0;
        else
            field = static_cast<uint8_t>(value);
    };
    storeSize(width, e.width);
    storeSize(height, e.height);
    if (e.bitCount == 0) {
        const uint8_t depth = png[24];
        const uint8_t colourType = png[25];
        if (depth == 16 || colourType == 4 || colourType == 6)
            e.bitCount = 32;
        else if (colourType == 2)
            e.bitCount = 24;
        else
            e.bitCount = depth;
    }
    return e.bitCount > 0;
}

int32_t cICOparser::SelectBestIcon(int32_t desiredWidth, int32_t desiredHeight,
                                   int32_t desiredBitDepth) const {
    const int32_t count = IconCount();
    if (count < 2) return count == 1 && entries_[0].bitCount != 0 ? 1 : 0;

    std::vector<int32_t> scores(static_cast<size_t>(count) + 1, 0);
    int32_t chosen = 0;
    int32_t bestScore = 10000;
    for (int32_t i = 1; i <= count; ++i) {
        const int32_t bits = entries_[static_cast<size_t>(i) - 1].bitCount;
        if (bits == 0) continue;
        int32_t dw = Width(i) - desiredWidth;
        int32_t dh = Height(i) - desiredHeight;
        if (dw < 0) dw *= 2;
        if (dh < 0) dh *= 2;
        int32_t score = dw + dh + std::abs(desiredBitDepth - bits);
        if (bits > 32) score = -10000;
        scores[static_cast<size_t>(i)] = score;
        if (score == 0) return i;
        if (score > 0 && score < bestScore) {
            bestScore = score;
            chosen = i;
        }
    }
    if (chosen != 0) return chosen;

    bestScore = 10000;
    for (int32_t i = count; i >= 1; --i) {
        const int32_t bits = entries_[static_cast<size_t>(i) - 1].bitCount;
        const int32_t score = std::abs(scores[static_cast<size_t>(i)]) + std::abs(32 - bits);
        if (score < bestScore) {
            bestScore = score;
            chosen = i;
        }
    }
    return chosen != 0 ? chosen : 1;
}

// A PNG entry goes through the PNG reader, limited to the entry's bytes.
bool cICOparser::LoadPNGEntry(int32_t i, IImageTarget& cHost, uintptr_t GlobalToken) {
    const Entry& e = entries_[static_cast<size_t>(i) - 1];
    cHost.DestroyDIB();
    if (!Fits(e.imageOffset, e.bytesInImage, data_.size()) || e.bytesInImage == 0) return false;
    cPNGparser png;
    if (pngLoader_) png.SetExternalLoader(pngLoader_);
    const bool result = png.LoadStream(data_, cHost, e.imageOffset, e.bytesInImage, GlobalToken);
    if (cHost.BitsPointer() != nullptr) cHost.SetImageType(imgIconPNG);
    return result;
}

// The colour image of a bitmap entry, palette expanded, into the image's rows (both
// bottom-up). Refuses headers and depths it cannot read and data outside the entry.
bool cICOparser::LoadBitmapEntry(int32_t i, IImageTarget& cHost) {
    const Entry& e = entries_[static_cast<size_t>(i) - 1];
    const int32_t width = Width(i);
    const int32_t height = Height(i);
    const int32_t bits = e.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const int64_t headerSize = int64_t{e.headerSize};
    if (headerSize < kBitmapHeaderSize || !Fits(e.imageOffset, headerSize, data_.size()))
        return false;
    const uint8_t* header = data_.data() + e.imageOffset;
    if (Read32LE(header + 16) != 0) return false; // compressed or bit-field colour images

    const int64_t paletteEntries = PaletteEntries(e);
    const int64_t paletteOffset = int64_t{e.imageOffset} + headerSize;
    const int64_t pixelOffset = paletteOffset + paletteEntries * 4;
    const int64_t stride = modParsers::ScanWidth(bits, width);
    if (!Fits(paletteOffset, paletteEntries * 4, data_.size()) ||
        !Fits(pixelOffset, stride * height, data_.size()))
        return false;

    uint8_t palette[256 * 4] = {};
    std::memcpy(palette, data_.data() + paletteOffset, static_cast<size_t>(paletteEntries) * 4);

    if (!cHost.InitializeDIB(width, height)) return false;
    uint8_t* dst = cHost.BitsPointer();
    const uint8_t* src = data_.data() + pixelOffset;
    for (int32_t y = 0; y < height; ++y, src += stride) {
        uint8_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        for (int32_t x = 0; x < width; ++x, out += 4) {
            switch (bits) {
            case 32:
                std::memcpy(out, src + 4 * x, 4);
                break;
            case 24:
                std::memcpy(out, src + 3 * x, 3);
                break;
            case 16: {
                const uint16_t v = Read16LE(src + 2 * x);
                const uint8_t b = v & 31, g = (v >> 5) & 31, r = (v >> 10) & 31;
                out[0] = static_cast<uint8_t>((b << 3) | (b >> 2));
                out[1] = static_cast<uint8_t>((g << 3) | (g >> 2));
                out[2] = static_cast<uint8_t>((r << 3) | (r >> 2));
                break;
            }
            default: {
                const int32_t bitPos = x * bits;
                const int shift = 8 - bits - (bitPos & 7);
                const unsigned index = (src[bitPos >> 3] >> shift) & ((1u << bits) - 1);
                std::memcpy(out, palette + 4 * index, 3);
                break;
            }
            }
        }
    }
    ApplyIconMask(i, cHost);
    return true;
}

bool cICOparser::ApplyAndMask(IImageTarget& cHost, const uint8_t* mask, size_t maskBytes) {
    const int32_t width = cHost.Width();
    const int32_t height = cHost.Height();
    const size_t maskStride = static_cast<size_t>(modParsers::ScanWidth(1, width));
    uint8_t* bits = cHost.BitsPointer();
    bool masked = false;
    for (int32_t y = 0; y < height; ++y) {
        const size_t rowStart = maskStride * static_cast<size_t>(y);
        uint8_t* px = bits + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        for (int32_t x = 0; x < width; ++x, px += 4) {
            // A mask cut short leaves the rest of the image opaque.
            const size_t at = rowStart + static_cast<size_t>(x >> 3);
            const bool set = mask && at < maskBytes && (mask[at] & (0x80 >> (x & 7)));
            if (set) {
                std::memset(px, 0, 4);
                masked = true;
            } else {
                px[3] = 255;
            }
        }
    }
    return masked;
}

void cICOparser::ApplyIconMask(int32_t i, IImageTarget& cHost) {
    const Entry& e = entries_[static_cast<size_t>(i) - 1];
    uint8_t* bits = cHost.BitsPointer();
    const size_t pixels = static_cast<size_t>(cHost.Width()) * static_cast<size_t>(cHost.Height());

    if (e.bitCount == 32) {
        // The colour image carried its alpha bytes along; they decide. A 32-bit image
        // whose alpha bytes are all 0 relies on its AND mask instead.
        bool anyAlpha = false;
        for (size_t k = 0; k < pixels && !anyAlpha; ++k)
            anyAlpha = bits[4 * k + 3] != 0;
        if (anyAlpha) {
            for (size_t k = 0; k < pixels; ++k) {
                uint8_t* px = bits + 4 * k;
                const unsigned a = px[3];
                if (a == 0) {
                    std::memset(px, 0, 4);
                } else if (a != 255) {
                    px[0] = static_cast<uint8_t>(px[0] * a / 255);
                    px[1] = static_cast<uint8_t>(px[1] * a / 255);
                    px[2] = static_cast<uint8_t>(px[2] * a / 255);
                }
            }
            cHost.SetImageType(isIcon_ ? imgIconAlpha : imgCursorAlpha);
            cHost.SetAlphaFlag(true);
            return;
        }
    }

    const uint8_t* mask = nullptr;
    size_t maskBytes = 0;
    if (!handleMask_.empty()) {
        mask = handleMask_.data();
        maskBytes = handleMask_.size();
    } else {
        const int64_t andSize = AndSize(e);
        const int64_t andOffset = int64_t{e.imageOffset} + e.bytesInImage - andSize;
        if (Fits(andOffset, andSize, data_.size())) {
            mask = data_.data() + andOffset;
            maskBytes = static_cast<size_t>(andSize);
        }
    }
    const bool masked = ApplyAndMask(cHost, mask, maskBytes);
    cHost.SetImageType(isIcon_ ? imgIcon : imgCursor);
    cHost.SetAlphaFlag(masked);
}

} // namespace moirelle

#include "formats/cBMPparser.h"

#include "dib/ImageType.h"
#include "formats/BmpCheck.h"
#include "formats/modParsers.h"

#include <cstring>

namespace moirelle {
namespace {

inline uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Read32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

constexpr size_t kFieldsEnd = 34; // through the compression field

} // namespace

cBMPparser::DirectResult cBMPparser::LoadDirect(std::span<const uint8_t> stream,
                                                IImageTarget& cHost, int32_t& bitCount) {
    bitCount = 0;
    if (stream.size() < 2 || stream[0] != 'B' || stream[1] != 'M') return DirectResult::NotDirect;
    if (stream.size() < kFieldsEnd) return DirectResult::NotDirect;
    const uint8_t* p = stream.data();
    const uint32_t pixelOffset = Read32(p + 10);
    const int32_t width = static_cast<int32_t>(Read32(p + 18));
    const int32_t height = static_cast<int32_t>(Read32(p + 22));
    bitCount = Read16(p + 28);
    const uint32_t compression = Read32(p + 30);
    if (width < 1 || height == 0) return DirectResult::Refused;

    const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
    const int64_t rowSize = modParsers::ScanWidth(bitCount, width);
    // pixelOffset + rowSize * rows <= size, without overflow.
    const int64_t room = static_cast<int64_t>(stream.size()) - int64_t{pixelOffset};
    if (room < 0 || (rowSize > 0 && rows > room / rowSize)) return DirectResult::NotDirect;
    if (bitCount != 32 || compression != 0) return DirectResult::NotDirect;

    if (!cHost.InitializeDIB(width, static_cast<int32_t>(rows))) return DirectResult::NotDirect;
    uint8_t* bits = cHost.BitsPointer();
    const size_t stride = static_cast<size_t>(width) * 4;
    const uint8_t* src = p + pixelOffset;
    if (height > 0) {
        std::memcpy(bits, src, stride * static_cast<size_t>(rows));
    } else {
        for (int64_t y = 0; y < rows; ++y)
            std::memcpy(bits + stride * static_cast<size_t>(y),
                        src + stride * static_cast<size_t>(rows - 1 - y), stride);
    }
    bool hasAlpha = false;
    int32_t type = imgBitmap;
    modParsers::AnalyseAlpha({bits, width, static_cast<int32_t>(rows)}, true, hasAlpha, type);
    cHost.SetAlphaFlag(hasAlpha);
    cHost.SetImageType(type);
    return DirectResult::Loaded;
}

bool cBMPparser::LoadStream(std::span<const uint8_t> inStream, IImageTarget& cHost,
                            size_t streamOffset, size_t streamLength) {
    if (streamOffset > inStream.size()) return false;
    if (streamLength == 0 || streamLength > inStream.size() - streamOffset)
        streamLength = inStream.size() - streamOffset;
    const std::span<const uint8_t> stream = inStream.subspan(streamOffset, streamLength);

    int32_t bitCount = 0;
    switch (LoadDirect(stream, cHost, bitCount)) {
    case DirectResult::Loaded:
        return true;
    case DirectResult::Refused:
        return false;
    case DirectResult::NotDirect:
        break;
    }
    if (cHost.BitsPointer() != nullptr) return false;
    // Broken bitmaps are refused here: the picture loader would make pictures of them.
    if (stream.size() >= 2 && stream[0] == 'B' && stream[1] == 'M' && !IsSoundBmp(stream))
        return false;
    return pictureLoader_ && pictureLoader_(stream, cHost, bitCount);
}

} // namespace moirelle

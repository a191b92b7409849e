#include "formats/cPNGparser.h"

#include "formats/Crc32.h"

#include <cstring>
#include <limits>
#include <new>

namespace moirelle {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

constexpr uint32_t ChunkType(const char (&name)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}
constexpr uint32_t kIHDR = ChunkType("IHDR");
constexpr uint32_t kPLTE = ChunkType("PLTE");
constexpr uint32_t kTRNS = ChunkType("tRNS");
constexpr uint32_t kIDAT = ChunkType("IDAT");
constexpr uint32_t kIEND = ChunkType("IEND");

// Chunk lengths from here on are refused (their end position would not fit).
constexpr uint32_t kLengthLimit = 0x7FFFFFFFu - 11u;

// Bytes of a chunk beyond its data: length, type and CRC.
constexpr uint64_t kChunkOverhead = 12;

// A file of this size or less cannot be a complete PNG (signature, header, one chunk of
// image data and the end chunk take 58 bytes).
constexpr uint64_t kShortFile = 56;

uint32_t ReadBigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

} // namespace

class cPNGparser::ChunkSource {
  public:
    virtual ~ChunkSource() = default;
    // The length and type of the chunk at `position` (8 bytes).
    virtual bool Header(uint64_t position, uint32_t& length, uint32_t& type) = 0;
    // The type and data (length + 4 bytes) and the stored CRC of the chunk at `position`;
    // the view stays valid until the next call.
    virtual bool Body(uint64_t position, uint32_t length, std::span<const uint8_t>& typeAndData,
                      uint32_t& crc) = 0;
    // True when the views stay valid after the next call too (until the load ends).
    virtual bool Lasting() const = 0;
};

namespace {

// Chunks addressed in place in the caller's bytes.
class MemoryChunks final : public cPNGparser::ChunkSource {
  public:
    explicit MemoryChunks(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Header(uint64_t position, uint32_t& length, uint32_t& type) override {
        if (position > bytes_.size() || bytes_.size() - position < 8) return false;
        length = ReadBigEndian32(bytes_.data() + position);
        type = ReadBigEndian32(bytes_.data() + position + 4);
        return true;
    }
    bool Body(uint64_t position, uint32_t length, std::span<const uint8_t>& typeAndData,
              uint32_t& crc) override {
        const uint64_t end = position + length + kChunkOverhead;
        if (end > bytes_.size()) return false;
        typeAndData = bytes_.subspan(static_cast<size_t>(position) + 4, size_t{length} + 4);
        crc = ReadBigEndian32(bytes_.data() + position + 8 + length);
        return true;
    }
    bool Lasting() const override { return true; }

  private:
    std::span<const uint8_t> bytes_;
};

// Chunks read one at a time from a file into a buffer.
class FileChunks final : public cPNGparser::ChunkSource {
  public:
    explicit FileChunks(IByteSource& file) : file_(file) {}
    bool Header(uint64_t position, uint32_t& length, uint32_t& type) override {
        uint8_t bytes[8];
        if (!file_.ReadAt(position, bytes, sizeof bytes)) return false;
        length = ReadBigEndian32(bytes);
        type = ReadBigEndian32(bytes + 4);
        return true;
    }
    bool Body(uint64_t position, uint32_t length, std::span<const uint8_t>& typeAndData,
              uint32_t& crc) override {
        // Type, data and CRC in one read.
        buffer_.resize(size_t{length} + 8);
        if (!file_.ReadAt(position + 4, buffer_.data(), buffer_.size())) return false;
        typeAndData = std::span<const uint8_t>(buffer_.data(), size_t{length} + 4);
        crc = ReadBigEndian32(buffer_.data() + length + 4);
        return true;
    }
    bool Lasting() const override { return false; }

  private:
    IByteSource& file_;
    std::vector<uint8_t> buffer_;
};

} // namespace

bool cPNGparser::IsPNGSignature(std::span<const uint8_t> bytes) {
    return bytes.size() >= sizeof kSignature &&
           std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

void cPNGparser::ResetState() {
    header_ = {};
    haveHeader_ = false;
    palette_.clear();
    transparency_.clear();
    transparencyKey_ = -1;
    expectedRawSize_ = 0;
    zlib_.reset();
    std::vector<std::span<const uint8_t>>().swap(imagePieces_);
    std::vector<uint8_t>().swap(imageData_);
    imageDataLength_ = 0;
    imageDataCapacity_ = 0;
}

bool cPNGparser::OfferExternal(const ExternalSource& source, IImageTarget& target,
                               uintptr_t token) {
    return externalLoader_ && externalLoader_(source, target, token);
}

bool cPNGparser::LoadStream(std::span<const uint8_t> Stream, IImageTarget& dibClass,
                            size_t streamOffset, size_t streamLength, uintptr_t GlobalToken) {
    ResetState();
    if (streamOffset > Stream.size()) return false;
    const std::span<const uint8_t> bytes =
        Stream.subspan(streamOffset, std::min(streamLength, Stream.size() - streamOffset));
    if (!IsPNGSignature(bytes)) return false;
    if (OfferExternal({bytes, {}}, dibClass, GlobalToken)) return true;

    MemoryChunks chunks(bytes);
    if (ParseChunks(chunks, bytes.size())) DecodeImage(dibClass);
    ResetState();
    return true;
}

bool cPNGparser::LoadFile(IByteSource& file, const std::string& FileName, IImageTarget& dibClass,
                          uintptr_t GlobalToken) {
    ResetState();
    uint64_t size = 0;
    if (!file.Size(size)) return false;
    if (size <= kShortFile) {
        // Too short for the own decoder; only an outside loader may know it.
        return OfferExternal({{}, FileName}, dibClass, GlobalToken);
    }
    uint8_t signature[sizeof kSignature];
    if (!file.ReadAt(0, signature, sizeof signature) || !IsPNGSignature(signature)) return false;
    if (OfferExternal({{}, FileName}, dibClass, GlobalToken)) return true;

    FileChunks chunks(file);
    if (ParseChunks(chunks, size)) DecodeImage(dibClass);
    ResetState();
    return true;
}

bool cPNGparser::ParseChunks(ChunkSource& source, uint64_t dataSize) {
    try {
        zlib_.emplace();
        uint64_t position = sizeof kSignature;
        for (;;) {
            // Data that end before an IEND chunk (or inside a chunk's frame) are an error.
            if (position > dataSize || dataSize - position < kChunkOverhead) return false;
            uint32_t length = 0;
            uint32_t type = 0;
            if (!source.Header(position, length, type)) return false;
            if (length >= kLengthLimit) return false;
            const uint64_t end = position + length + kChunkOverhead;
            if (end > dataSize) return false;

            if (length == 0) {
                if (type == kIEND) break;
                position = end;
                continue;
            }
            if (type == kIEND) break;
            if (type == kIHDR || type == kPLTE || type == kTRNS || type == kIDAT) {
                std::span<const uint8_t> typeAndData;
                uint32_t crc = 0;
                if (!source.Body(position, length, typeAndData, crc)) return false;
                const std::span<const uint8_t> data = typeAndData.subspan(4);
                const bool crcOk = CheckCRC(typeAndData, crc);
                bool ok = true;
                if (type == kIHDR)
                    ok = ReadIHDR(data, crcOk);
                else if (type == kPLTE)
                    ok = ReadPLTE(data, crcOk);
                else if (type == kTRNS)
                    ReadTRNS(data, crcOk);
                else
                    ok = crcOk && AppendImageData(data, dataSize, source.Lasting());
                if (!ok) return false;
            }
            position = end;
        }
        return haveHeader_ && imageDataLength_ != 0;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool cPNGparser::CheckCRC(std::span<const uint8_t> typeAndData, uint32_t storedCrc) const {
    if (checked_) return Crc32(0, typeAndData.data(), typeAndData.size()) == storedCrc;
    if (!zlib_ || !zlib_->IsLoaded() || storedCrc == 0) return true;
    const uint32_t computed = zlib_->Crc32(typeAndData.data(), typeAndData.size());
    return computed != 0 && computed == storedCrc;
}

bool cPNGparser::ReadIHDR(std::span<const uint8_t> data, bool crcOk) {
    if (!crcOk || data.size() < 13) return false;
    const uint32_t width = ReadBigEndian32(data.data());
    const uint32_t height = ReadBigEndian32(data.data() + 4);
    png::Header h;
    h.bitDepth = data[8];
    h.colorType = data[9];
    h.interlace = data[12];
    const uint8_t compression = data[10];
    const uint8_t filterMethod = data[11];
    // Values with the top bit set (negative to a reader of signed fields) lie far above the
    // limit on the pixel count below.
    if (width < 1 || height < 1) return false;
    if (compression != 0 || filterMethod != 0 || h.interlace > 1) return false;
    // Besides the depths and colour types themselves, the combinations the PNG standard
    // forbids are refused here: for some of them the bytes per pixel come out as 0.
    if (!png::IsValidCombination(h.colorType, h.bitDepth)) return false;
    if (static_cast<uint64_t>(width) * height > static_cast<uint64_t>(png::maxPixels)) return false;
    h.width = static_cast<int32_t>(width);
    h.height = static_cast<int32_t>(height);
    const uint64_t expected = png::ExpectedRawSize(h);
    if (expected > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
    header_ = h;
    expectedRawSize_ = expected;
    haveHeader_ = true;
    return true;
}

bool cPNGparser::ReadPLTE(std::span<const uint8_t> data, bool crcOk) {
    if (header_.colorType == png::colorGrey || header_.colorType == png::colorGreyAlpha)
        return true;
    if (!crcOk || data.size() % 3 != 0) return false;
    palette_.assign(data.begin(), data.end());
    return true;
}

void cPNGparser::ReadTRNS(std::span<const uint8_t> data, bool crcOk) {
    if (header_.colorType == png::colorGreyAlpha || header_.colorType == png::colorTrueAlpha)
        return;
    if (!crcOk) return;
    transparency_.assign(data.begin(), data.end());
    switch (header_.colorType) {
    case png::colorGrey:
        if (data.size() >= 2) transparencyKey_ = data[1];
        break;
    case png::colorTrue:
        if (data.size() >= 6) transparencyKey_ = data[1] << 16 | data[3] << 8 | data[5];
        break;
    case png::colorIndexed:
        if (transparency_.size() < 256) transparency_.resize(256, 255);
        transparencyKey_ = 0;
        break;
    default:
        break;
    }
}

bool cPNGparser::AppendImageData(std::span<const uint8_t> data, uint64_t dataSize, bool lasting) {
    // The data are read where they lie when they stay there; otherwise they are gathered.
    if (lasting)
        imagePieces_.push_back(data);
    else
        imageData_.insert(imageData_.end(), data.begin(), data.end());
    // The capacity of a buffer that gathered them all: it starts at half the data size
    // and, when too small, grows to the new total plus a quarter of the data size.
    const uint64_t needed = imageDataLength_ + data.size();
    if (needed > imageDataCapacity_) {
        uint64_t capacity = imageDataCapacity_ == 0 ? dataSize / 2 : 0;
        if (needed > capacity) capacity = needed + dataSize / 4;
        imageDataCapacity_ = capacity;
    }
    imageDataLength_ = static_cast<size_t>(needed);
    return true;
}

} // namespace moirelle

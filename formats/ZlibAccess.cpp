#include "formats/ZlibAccess.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace moirelle {
namespace {

ZlibLibraryNames& Names() {
    static ZlibLibraryNames names = DefaultZlibLibraryNames();
    return names;
}

bool ExportsZlibFunctions(const platform::DynamicLibrary& lib) {
    return lib.Symbol("crc32") != nullptr && lib.Symbol("uncompress") != nullptr;
}

// Loads into lib the first of the current names that is a usable zlib, preferred name
// first; answers its kind (0 when none is) and sets name to it (empty when none is).
int32_t LoadZlib(platform::DynamicLibrary& lib, std::string& name) {
    const ZlibLibraryNames names = CurrentZlibLibraryNames();
    name.clear();
    for (int32_t kind = zlibPreferredName; kind > zlibNotFound; --kind) {
        const std::string& candidate = kind == zlibPreferredName ? names.preferred : names.fallback;
        if (lib.Load(candidate) && ExportsZlibFunctions(lib)) {
            name = candidate;
            return kind;
        }
    }
    lib.Unload();
    return zlibNotFound;
}

} // namespace

ZlibLibraryNames DefaultZlibLibraryNames() {
#ifdef _WIN32
    return {"zlib1.dll", "zlib.dll"};
#else
    return {"libz.so.1", "libz.so"};
#endif
}

void SetZlibLibraryNames(ZlibLibraryNames names) {
    Names() = std::move(names);
}
ZlibLibraryNames CurrentZlibLibraryNames() {
    return Names();
}

namespace modParsers {

bool ProbeZlib(std::string& libraryName, int32_t& zlibKind, bool& isCdecl,
               bool /*skipConventionTest*/) {
    platform::DynamicLibrary lib; // freed again when the probe returns
    zlibKind = LoadZlib(lib, libraryName);
    isCdecl = zlibKind != zlibNotFound;
    return zlibKind != zlibNotFound;
}

} // namespace modParsers

ZlibLibrary::ZlibLibrary() {
    kind_ = LoadZlib(library_, name_);
    if (kind_ == zlibNotFound) return;
    crc32_ = library_.Function<Crc32Fn>("crc32");
    uncompress_ = library_.Function<UncompressFn>("uncompress");
    inflateInit_ = library_.Function<InflateInitFn>("inflateInit_");
    inflate_ = library_.Function<InflateFn>("inflate");
    inflateEnd_ = library_.Function<InflateEndFn>("inflateEnd");
}

uint32_t ZlibLibrary::Crc32(const uint8_t* data, size_t length) const {
    if (!crc32_ || length > std::numeric_limits<unsigned int>::max()) return 0;
    return static_cast<uint32_t>(crc32_(0, data, static_cast<unsigned int>(length)));
}

int ZlibLibrary::Uncompress(uint8_t* dest, size_t& destLen, const uint8_t* source,
                            size_t sourceLen) const {
    constexpr int zStreamError = -2;
    constexpr size_t limit = std::numeric_limits<unsigned long>::max();
    if (!uncompress_ || destLen > limit || sourceLen > limit) return zStreamError;
    unsigned long outLen = static_cast<unsigned long>(destLen);
    const int rc = uncompress_(dest, &outLen, source, static_cast<unsigned long>(sourceLen));
    destLen = outLen;
    return rc;
}

namespace {
constexpr int zOk = 0;
constexpr int zStreamEnd = 1;
constexpr int zNeedDictionary = 2;
constexpr int zStreamError = -2;
constexpr int zDataError = -3;
constexpr int zBufferError = -5;
constexpr int zNoFlush = 0;
// Output handed to `take` at a time: zlib copies the last 32 KiB of each call into its
// window, so larger chunks cost less.
constexpr size_t kOutputChunk = 256 * 1024;
// zlib returns whenever its input runs out, copying what it wrote into its window then:
// input pieces smaller than this are joined into a buffer of this size.
constexpr size_t kInputStage = 128 * 1024;
// Any 1.x library accepts the stream record of this layout.
constexpr char kZlibVersion[] = "1.2.13";
// The buffers of InflatePieces (neither is read before it is written), kept for the
// thread's next decode: fresh pages from the system for every decode cost about a tenth of
// the decode of a 1024 x 768 palette image. A nested call gets buffers of its own.
struct InflateBuffers {
    std::unique_ptr<uint8_t[]> output = std::make_unique_for_overwrite<uint8_t[]>(kOutputChunk);
    std::unique_ptr<uint8_t[]> input = std::make_unique_for_overwrite<uint8_t[]>(kInputStage);
    bool inUse = false;
};

class BorrowedBuffers {
  public:
    BorrowedBuffers() {
        static thread_local InflateBuffers kept;
        if (kept.inUse) {
            own_ = std::make_unique<InflateBuffers>();
            buffers_ = own_.get();
        } else {
            buffers_ = &kept;
        }
        buffers_->inUse = true;
    }
    ~BorrowedBuffers() { buffers_->inUse = false; }
    BorrowedBuffers(const BorrowedBuffers&) = delete;
    BorrowedBuffers& operator=(const BorrowedBuffers&) = delete;
    uint8_t* Output() const { return buffers_->output.get(); }
    uint8_t* Input() const { return buffers_->input.get(); }

  private:
    std::unique_ptr<InflateBuffers> own_;
    InflateBuffers* buffers_ = nullptr;
};

} // namespace

int ZlibLibrary::InflatePieces(std::span<const std::span<const uint8_t>> pieces, size_t outputLimit,
                               const std::function<void(std::span<uint8_t>)>& take) const {
    if (!IsLoaded()) return zStreamError;
    if (!inflateInit_ || !inflate_ || !inflateEnd_)
        return UncompressPieces(pieces, outputLimit, take);
    Stream stream{};
    if (inflateInit_(&stream, kZlibVersion, static_cast<int>(sizeof stream)) != zOk)
        return zStreamError;
    // The steps of uncompress, with the output given a chunk at a time up to the same limit
    // and the input a piece at a time.
    BorrowedBuffers buffers;
    uint8_t* const chunk = buffers.Output();
    uint8_t* const stage = buffers.Input();
    size_t outputLeft = outputLimit;
    size_t piece = 0;
    size_t offset = 0; // into pieces[piece]
    int rc = zOk;
    do {
        if (stream.availOut == 0) {
            if (stream.nextOut) take({chunk, static_cast<size_t>(stream.nextOut - chunk)});
            stream.nextOut = chunk;
            stream.availOut = static_cast<unsigned int>(std::min(outputLeft, kOutputChunk));
            outputLeft -= stream.availOut;
        }
        if (stream.availIn == 0 && piece < pieces.size()) {
            const std::span<const uint8_t> rest = pieces[piece].subspan(offset);
            if (rest.size() >= kInputStage) {
                stream.nextIn = rest.data();
                stream.availIn = static_cast<unsigned int>(rest.size());
                ++piece;
                offset = 0;
            } else {
                // Small pieces are joined first.
                size_t staged = 0;
                while (staged < kInputStage && piece < pieces.size()) {
                    const size_t n = std::min(kInputStage - staged, pieces[piece].size() - offset);
                    std::memcpy(stage + staged, pieces[piece].data() + offset, n);
                    staged += n;
                    offset += n;
                    if (offset == pieces[piece].size()) {
                        ++piece;
                        offset = 0;
                    }
                }
                stream.nextIn = stage;
                stream.availIn = static_cast<unsigned int>(staged);
            }
        }
        rc = inflate_(&stream, zNoFlush);
    } while (rc == zOk);
    if (stream.nextOut) take({chunk, static_cast<size_t>(stream.nextOut - chunk)});
    const bool roomLeft = outputLeft + stream.availOut != 0;
    inflateEnd_(&stream);
    if (rc == zStreamEnd) return zOk;
    if (rc == zNeedDictionary) return zDataError;
    if (rc == zBufferError && roomLeft) return zDataError;
    return rc;
}

int ZlibLibrary::UncompressPieces(std::span<const std::span<const uint8_t>> pieces,
                                  size_t outputLimit,
                                  const std::function<void(std::span<uint8_t>)>& take) const {
    std::vector<uint8_t> joined;
    for (const std::span<const uint8_t>& piece : pieces)
        joined.insert(joined.end(), piece.begin(), piece.end());
    std::vector<uint8_t> output(outputLimit);
    size_t written = output.size();
    const int rc = Uncompress(output.data(), written, joined.data(), joined.size());
    take({output.data(), written});
    return rc;
}

} // namespace moirelle

#pragma once
// zlib loaded at run time for the inflater's tests: it produces streams of every kind and
// decodes them as a second opinion. The same code runs natively and under Wine.

#include "platform/DynamicLibrary.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace moirelle::test {

using Bytes = std::vector<uint8_t>;

struct DeflateSettings {
    int level = 6;
    int strategy = 0;    // Z_DEFAULT_STRATEGY, Z_FILTERED 1, Z_HUFFMAN_ONLY 2, Z_RLE 3, Z_FIXED 4
    int windowBits = 15; // 9..15; the stream is always zlib-wrapped
    int memLevel = 8;
    // Flush (Z_PARTIAL_FLUSH 1, Z_SYNC_FLUSH 2, Z_FULL_FLUSH 3, Z_BLOCK 5) after every
    // flushEvery input bytes; 0 = none.
    int flush = 0;
    size_t flushEvery = 0;
};

class ZlibPeer {
  public:
    ZlibPeer();
    bool IsLoaded() const { return loaded_; }

    // A zlib stream of `data`; empty on failure.
    Bytes Deflate(const Bytes& data, const DeflateSettings& settings) const;
    // Inflates the raw DEFLATE data after the 2-byte header of `stream` into at most
    // `limit` bytes. True only when the final block ended within `limit` bytes of output;
    // `out` receives what was produced.
    bool InflateRaw(const uint8_t* stream, size_t size, size_t limit, Bytes& out) const;
    // zlib's adler32(adler, data, size); 0 when zlib or its adler32 is missing.
    uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) const;
    bool HasAdler32() const { return adler32_ != nullptr; }

  private:
    platform::DynamicLibrary library_;
    bool loaded_ = false;
    void* deflateInit2_ = nullptr;
    void* deflate_ = nullptr;
    void* deflateEnd_ = nullptr;
    void* inflateInit2_ = nullptr;
    void* inflate_ = nullptr;
    void* inflateEnd_ = nullptr;
    void* adler32_ = nullptr;
    const char* version_ = nullptr;
};

// The process's one loaded peer (loaded on first use).
const ZlibPeer& Zlib();

} // namespace moirelle::test

#include "tests/portable/inflate/ZlibPeer.h"

#include "formats/ZlibAccess.h"

#include <zlib.h>

#include <algorithm>

namespace moirelle::test {
namespace {

using DeflateInit2Fn = int (*)(z_streamp, int, int, int, int, int, const char*, int);
using StreamFn = int (*)(z_streamp, int);
using EndFn = int (*)(z_streamp);
using InflateInit2Fn = int (*)(z_streamp, int, const char*, int);
using VersionFn = const char* (*)();

template <class F> F As(void* p) {
    return reinterpret_cast<F>(p);
}

} // namespace

ZlibPeer::ZlibPeer() {
    if (!library_.Load(DefaultZlibLibraryNames().preferred)) return;
    deflateInit2_ = library_.Symbol("deflateInit2_");
    deflate_ = library_.Symbol("deflate");
    deflateEnd_ = library_.Symbol("deflateEnd");
    inflateInit2_ = library_.Symbol("inflateInit2_");
    inflate_ = library_.Symbol("inflate");
    inflateEnd_ = library_.Symbol("inflateEnd");
    adler32_ = library_.Symbol("adler32");
    auto version = library_.Function<VersionFn>("zlibVersion");
    if (version) version_ = version();
    loaded_ = deflateInit2_ && deflate_ && deflateEnd_ && inflateInit2_ && inflate_ &&
              inflateEnd_ && version_;
}

Bytes ZlibPeer::Deflate(const Bytes& data, const DeflateSettings& settings) const {
    if (!loaded_) return {};
    z_stream strm{};
    if (As<DeflateInit2Fn>(deflateInit2_)(&strm, settings.level, Z_DEFLATED, settings.windowBits,
                                          settings.memLevel, settings.strategy, version_,
                                          static_cast<int>(sizeof(z_stream))) != Z_OK)
        return {};
    Bytes out(data.size() + data.size() / 2 + 1024);
    size_t inPos = 0;
    bool ok = true;
    for (;;) {
        size_t chunk = data.size() - inPos;
        if (settings.flush != 0 && settings.flushEvery != 0)
            chunk = std::min(chunk, settings.flushEvery);
        const bool last = inPos + chunk == data.size();
        strm.next_in = const_cast<Bytef*>(data.data() + inPos);
        strm.avail_in = static_cast<uInt>(chunk);
        const int mode = last ? Z_FINISH : settings.flush;
        int rc = Z_OK;
        do {
            if (strm.total_out + 64 > out.size()) out.resize(out.size() * 2);
            strm.next_out = out.data() + strm.total_out;
            strm.avail_out = static_cast<uInt>(out.size() - strm.total_out);
            rc = As<StreamFn>(deflate_)(&strm, mode);
            if (rc == Z_STREAM_ERROR) break;
        } while (last ? rc != Z_STREAM_END : (strm.avail_out == 0 || strm.avail_in != 0));
        if (rc == Z_STREAM_ERROR) {
            ok = false;
            break;
        }
        inPos += chunk;
        if (last) break;
    }
    out.resize(strm.total_out);
    As<EndFn>(deflateEnd_)(&strm);
    return ok ? out : Bytes{};
}

uint32_t ZlibPeer::Adler32(uint32_t adler, const uint8_t* data, size_t size) const {
    using Adler32Fn = unsigned long (*)(unsigned long, const unsigned char*, unsigned int);
    if (!adler32_) return 0;
    auto fn = As<Adler32Fn>(adler32_);
    unsigned long sum = adler;
    for (size_t done = 0; done < size;) { // in pieces that fit zlib's length type
        const size_t piece = std::min<size_t>(size - done, 1u << 30);
        sum = fn(sum, data + done, static_cast<unsigned int>(piece));
        done += piece;
    }
    return static_cast<uint32_t>(sum);
}

bool ZlibPeer::InflateRaw(const uint8_t* stream, size_t size, size_t limit, Bytes& out) const {
    out.clear();
    if (!loaded_ || size < 2) return false;
    z_stream strm{};
    if (As<InflateInit2Fn>(inflateInit2_)(&strm, -15, version_,
                                          static_cast<int>(sizeof(z_stream))) != Z_OK)
        return false;
    out.resize(limit + 1);
    uint8_t dummy = 0;
    strm.next_in = const_cast<Bytef*>(stream + 2);
    strm.avail_in = static_cast<uInt>(size - 2);
    strm.next_out = out.empty() ? &dummy : out.data();
    strm.avail_out = static_cast<uInt>(out.size());
    const int rc = As<StreamFn>(inflate_)(&strm, Z_FINISH);
    out.resize(strm.total_out);
    As<EndFn>(inflateEnd_)(&strm);
    return rc == Z_STREAM_END && out.size() <= limit;
}

const ZlibPeer& Zlib() {
    static const ZlibPeer peer;
    return peer;
}

} // namespace moirelle::test

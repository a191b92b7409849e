#pragma once
// zlib is not part of the program: it is looked for by name at run time and used, when
// present, for the CRC-32 of PNG chunks and for inflating PNG image data. Its absence is
// normal: CRCs then go unchecked and the built-in inflater decodes.

#include "platform/DynamicLibrary.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace moirelle {

// zlibKind values.
inline constexpr int32_t zlibNotFound = 0;
inline constexpr int32_t zlibFallbackName = 1;  // "zlib.dll"
inline constexpr int32_t zlibPreferredName = 2; // "zlib1.dll"

// The two library names the probe tries, preferred first. An empty name is never found.
struct ZlibLibraryNames {
    std::string preferred; // zlibKind 2
    std::string fallback;  // zlibKind 1
};
// The platform's names: "zlib1.dll" and "zlib.dll" on Windows, "libz.so.1" and
// "libz.so" elsewhere.
ZlibLibraryNames DefaultZlibLibraryNames();
// Process-wide choice of names (tests point it at fixture libraries; an empty pair
// forces the route without zlib).
void SetZlibLibraryNames(ZlibLibraryNames names);
ZlibLibraryNames CurrentZlibLibraryNames();

namespace modParsers {

// Looks for a zlib that exports crc32 and uncompress, preferred name first; the library
// is loaded and freed again. On x86-64 there is one calling convention, so isCdecl is
// always true and skipConventionTest changes nothing.
bool ProbeZlib(std::string& libraryName, int32_t& zlibKind, bool& isCdecl, bool skipConventionTest);

} // namespace modParsers

// A loaded zlib with the functions the PNG decoder calls.
class ZlibLibrary {
  public:
    // Probes and loads the library found; IsLoaded tells whether one was.
    ZlibLibrary();
    bool IsLoaded() const { return crc32_ != nullptr && uncompress_ != nullptr; }
    int32_t Kind() const { return kind_; }
    const std::string& Name() const { return name_; }

    // crc32(0, data, length); 0 when the library is not loaded.
    uint32_t Crc32(const uint8_t* data, size_t length) const;
    // uncompress(dest, &destLen, source, sourceLen): zlib's return code (0 = success);
    // destLen receives the bytes written. -2 (Z_STREAM_ERROR) when not loaded or when a
    // size does not fit the library's integer type.
    int Uncompress(uint8_t* dest, size_t& destLen, const uint8_t* source, size_t sourceLen) const;

    // Inflates the zlib stream made of `pieces` joined, with the result uncompress would
    // give for a destination of outputLimit bytes, but without holding the output: `take`
    // receives it a chunk at a time, in order, and may overwrite it. Streaming needs inflateInit_,
    // inflate and inflateEnd; a library without them is run through uncompress into one buffer.
    int InflatePieces(std::span<const std::span<const uint8_t>> pieces, size_t outputLimit,
                      const std::function<void(std::span<uint8_t>)>& take) const;

  private:
    // zlib's stream record, field by field.
    struct Stream {
        const unsigned char* nextIn;
        unsigned int availIn;
        unsigned long totalIn;
        unsigned char* nextOut;
        unsigned int availOut;
        unsigned long totalOut;
        const char* message;
        void* state;
        void* allocate;
        void* release;
        void* opaque;
        int dataType;
        unsigned long adler;
        unsigned long reserved;
    };
    using InflateInitFn = int (*)(Stream*, const char*, int);
    using InflateFn = int (*)(Stream*, int);
    using InflateEndFn = int (*)(Stream*);
    int UncompressPieces(std::span<const std::span<const uint8_t>> pieces, size_t outputLimit,
                         const std::function<void(std::span<uint8_t>)>& take) const;

    using Crc32Fn = unsigned long (*)(unsigned long, const unsigned char*, unsigned int);
    using UncompressFn = int (*)(unsigned char*, unsigned long*, const unsigned char*,
                                 unsigned long);
    platform::DynamicLibrary library_;
    std::string name_;
    int32_t kind_ = zlibNotFound;
    Crc32Fn crc32_ = nullptr;
    UncompressFn uncompress_ = nullptr;
    InflateInitFn inflateInit_ = nullptr;
    InflateFn inflate_ = nullptr;
    InflateEndFn inflateEnd_ = nullptr;
};

} // namespace moirelle

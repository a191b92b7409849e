#include "formats/ZlibAccess.h"

#include <limits>
#include <utility>

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

} // namespace moirelle

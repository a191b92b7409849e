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
    const ZlibLibraryNames names = CurrentZlibLibraryNames();
    libraryName.clear();
    zlibKind = zlibNotFound;
    isCdecl = false;
    for (int32_t kind = zlibPreferredName; kind > zlibNotFound; --kind) {
        const std::string& name = kind == zlibPreferredName ? names.preferred : names.fallback;
        platform::DynamicLibrary lib;
        if (lib.Load(name) && ExportsZlibFunctions(lib)) {
            libraryName = name;
            zlibKind = kind;
            isCdecl = true;
            return true;
        }
    }
    return false;
}

} // namespace modParsers

ZlibLibrary::ZlibLibrary() {
    bool isCdecl = false;
    if (!modParsers::ProbeZlib(name_, kind_, isCdecl, true)) return;
    if (!library_.Load(name_)) {
        kind_ = zlibNotFound;
        return;
    }
    crc32_ = library_.Function<Crc32Fn>("crc32");
    uncompress_ = library_.Function<UncompressFn>("uncompress");
    if (!IsLoaded()) {
        crc32_ = nullptr;
        uncompress_ = nullptr;
        kind_ = zlibNotFound;
        library_.Unload();
    }
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

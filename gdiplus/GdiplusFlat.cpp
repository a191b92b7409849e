#include "gdiplus/GdiplusFlat.h"

#include "platform/DynamicLibrary.h"

#include <map>
#include <memory>

namespace moirelle::gdip {
namespace {

std::string& CurrentName() {
    static std::string name = DefaultGdiplusLibraryName();
    return name;
}

template <class F> bool Resolve(const platform::DynamicLibrary& lib, const char* name, F& slot) {
    slot = lib.Function<F>(name);
    return slot != nullptr;
}

bool ResolveAll(const platform::DynamicLibrary& lib, Api& api) {
#define MOIRELLE_RESOLVE(fn) Resolve(lib, #fn, api.fn)
    return MOIRELLE_RESOLVE(GdiplusStartup) && MOIRELLE_RESOLVE(GdiplusShutdown) &&
           MOIRELLE_RESOLVE(GdipCreateBitmapFromScan0) && MOIRELLE_RESOLVE(GdipImageRotateFlip) &&
           MOIRELLE_RESOLVE(GdipCreateFromHDC) && MOIRELLE_RESOLVE(GdipDeleteGraphics) &&
           MOIRELLE_RESOLVE(GdipSetInterpolationMode) &&
           MOIRELLE_RESOLVE(GdipCreateImageAttributes) &&
           MOIRELLE_RESOLVE(GdipSetImageAttributesColorMatrix) &&
           MOIRELLE_RESOLVE(GdipDisposeImageAttributes) &&
           MOIRELLE_RESOLVE(GdipRotateWorldTransform) &&
           MOIRELLE_RESOLVE(GdipTranslateWorldTransform) &&
           MOIRELLE_RESOLVE(GdipDrawImageRectRectI) && MOIRELLE_RESOLVE(GdipDisposeImage) &&
           MOIRELLE_RESOLVE(GdipLoadImageFromFile) && MOIRELLE_RESOLVE(GdipLoadImageFromStream) &&
           MOIRELLE_RESOLVE(GdipGetImageBounds) && MOIRELLE_RESOLVE(GdipGetImagePixelFormat) &&
           MOIRELLE_RESOLVE(GdipGetImageEncodersSize) && MOIRELLE_RESOLVE(GdipGetImageEncoders) &&
           MOIRELLE_RESOLVE(GdipSaveImageToFile) && MOIRELLE_RESOLVE(GdipSaveImageToStream);
#undef MOIRELLE_RESOLVE
}

// A library with its resolved table; kept for the process once loaded.
struct LoadedApi {
    platform::DynamicLibrary library;
    Api api{};
};

} // namespace

std::string DefaultGdiplusLibraryName() {
    return "gdiplus.dll";
}

void SetGdiplusLibraryName(std::string name) {
    CurrentName() = std::move(name);
}

std::string GdiplusLibraryName() {
    return CurrentName();
}

const Api* LoadApi() {
    // One entry per library name ever found usable (in practice only the system's).
    // Entries are never removed: see the header.
    static std::map<std::string, std::unique_ptr<LoadedApi>> loaded;
    const std::string& name = CurrentName();
    if (name.empty()) return nullptr;
    if (auto it = loaded.find(name); it != loaded.end()) return &it->second->api;

    auto entry = std::make_unique<LoadedApi>();
    if (!entry->library.Load(name) || !ResolveAll(entry->library, entry->api)) return nullptr;
    // Pinned: even the release of this table at process exit must not unload the library
    // while a kept session's threads may still run in it.
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(entry->api.GdiplusStartup), &pinned);
    const Api* api = &entry->api;
    loaded.emplace(name, std::move(entry));
    return api;
}

} // namespace moirelle::gdip

#include "gdiplus/GdiplusSession.h"

#include "formats/modParsers.h"

namespace moirelle::gdip {

bool StartGdiplus(const Api& api, uintptr_t& token) {
    const StartupInput input;
    ULONG_PTR started = 0;
    if (api.GdiplusStartup(&started, &input, nullptr) != statusOk) {
        token = 0;
        return false;
    }
    token = started;
    return true;
}

bool StopGdiplus(const Api& api, uintptr_t token) {
    if (token != 0) api.GdiplusShutdown(token);
    return false;
}

bool GdiplusLibraryPresent() {
    return modParsers::IsFunctionExported(GdiplusLibraryName(), "GdiplusStartup");
}

TokenScope::TokenScope(uintptr_t globalToken) {
    if (globalToken != 0) {
        api_ = LoadApi();
        return;
    }
    if (!GdiplusLibraryPresent()) return;
    const Api* api = LoadApi();
    if (api && StartGdiplus(*api, ownToken_)) api_ = api;
}

TokenScope::~TokenScope() {
    if (api_ && ownToken_ != 0) StopGdiplus(*api_, ownToken_);
}

} // namespace moirelle::gdip

#include "gdiplus/cGDIPlus.h"

#include "gdiplus/GdiplusSession.h"

namespace moirelle {

bool cGDIPlus::isGDIplusOk(uintptr_t& gdiToken, bool KeepToken) {
    const gdip::Api* api = gdip::GdiplusLibraryPresent() ? gdip::LoadApi() : nullptr;
    if (!api) {
        gdiToken = 0;
        return false;
    }
    if (!gdip::StartGdiplus(*api, gdiToken)) return false;
    if (!KeepToken) gdip::StopGdiplus(*api, gdiToken);
    return true;
}

} // namespace moirelle

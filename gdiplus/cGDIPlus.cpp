#include "gdiplus/cGDIPlus.h"

namespace moirelle {

bool cGDIPlus::isGDIplusOk(uintptr_t& gdiToken, bool /*KeepToken*/) {
    // The GDI+ road is not wired into the library yet: every image is loaded, drawn and
    // saved by the library's own code, so report GDI+ as unavailable.
    gdiToken = 0;
    return false;
}

} // namespace moirelle

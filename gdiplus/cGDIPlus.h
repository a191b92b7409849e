#pragma once
// The library's only user of GDI+.

#include <cstdint>

namespace moirelle {

class cGDIPlus {
  public:
    // Whether GDI+ can be started here. With KeepToken the session stays running and
    // gdiToken holds its token; otherwise it is shut down again at once.
    bool isGDIplusOk(uintptr_t& gdiToken, bool KeepToken = false);
};

} // namespace moirelle

#pragma once
// Starting and stopping GDI+, and the token handling that every working operation of the
// bridge shares: a caller's token (not 0) means GDI+ is running and belongs to the caller;
// token 0 means the operation starts GDI+ for itself and shuts it down again at its end.

#include "gdiplus/GdiplusFlat.h"

#include <cstdint>

namespace moirelle::gdip {

// The start-up manager. Start: version 1, no debug callback, background thread and
// external codecs not suppressed; a failure sets token to 0 and answers false.
bool StartGdiplus(const Api& api, uintptr_t& token);
// Stop: shuts GDI+ down when token is not 0. Always answers false.
bool StopGdiplus(const Api& api, uintptr_t token);

// True when the GDI+ library can be loaded and exports its start-up function.
bool GdiplusLibraryPresent();

class TokenScope {
  public:
    // With a caller's token: uses it and never shuts it down. With 0: starts GDI+ when
    // its library is present, and shuts it down when the scope ends.
    explicit TokenScope(uintptr_t globalToken);
    ~TokenScope();
    TokenScope(const TokenScope&) = delete;
    TokenScope& operator=(const TokenScope&) = delete;

    // The flat API when GDI+ is running for the scope, else null.
    const Api* api() const { return api_; }
    explicit operator bool() const { return api_ != nullptr; }

  private:
    const Api* api_ = nullptr;
    uintptr_t ownToken_ = 0;
};

} // namespace moirelle::gdip
